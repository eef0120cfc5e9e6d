#include "platform/replacing_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include "mstrgrid/mstrgrid.h"
#include "mstrlist/mstrlist.h"
#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

struct Folder {
  Folder() : path(CreateTempFile("tavrin-replace-test")) {
    fs::remove(path);
    fs::create_directory(path);
  }
  ~Folder() { fs::remove_all(path); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(path)) names.insert(e.path().filename().string());
    return names;
  }
  fs::path path;
};

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The new version has no name while it is written, so a process killed meanwhile leaves nothing
// behind in the folder.
TEST(ReplacingFileTest, NothingIsNamedUntilCommit) {
#ifdef _WIN32
  GTEST_SKIP() << "O_TMPFILE is Linux's: on Windows the new version is a hidden file until Commit";
#endif
  for (const bool existing : {false, true}) {
    Folder folder;
    const fs::path target = folder.path / "m.k30";
    if (existing) std::ofstream(target, std::ios::binary) << "old";
    ReplacingFile file(target.string(), "m.k30");
    file.Write(std::string(3 << 20, 'x'));
    file.Sync();
    EXPECT_EQ(folder.Names(), existing ? std::set<std::string>{"m.k30"} : std::set<std::string>{});
    file.Commit();
    EXPECT_EQ(folder.Names(), std::set<std::string>{"m.k30"});
    EXPECT_EQ(fs::file_size(target), std::uintmax_t{3} << 20);
  }
}

#ifndef _WIN32  // a file size limit (setrlimit) makes a save fail as a full disk would
// Runs in a child process under a file size limit, as a full disk would fail: 0 when the save
// raised a file error.
int SaveUnderSizeLimit(const std::function<void()>& save) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{4096, 4096};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  try {
    save();
  } catch (const EFileError&) {
    return 0;
  } catch (...) {
    return 2;
  }
  return 1;
}

TEST(ReplacingFileDeathTest, SavesFailingMidwayKeepTheOldFile) {
  Folder folder;
  const std::string path = (folder.path / "tavrin.bok").string();
  const TextLocale locale("en_US", 1252);
  TmStrList names(locale);
  TmStrGrid grid(locale);
  grid.SetRowCount(100);
  for (int i = 0; i < 100; ++i) {
    names.Add(std::string(100, 'n'));
    grid.SetCell(0, i, std::string(100, 'g'));
  }
  const std::function<void()> saves[] = {
      [&] { names.SaveToFile(path); },
      [&] { grid.SaveToFile(path, "\t"); },
  };
  for (const auto& save : saves) {
    std::ofstream(path, std::ios::binary) << "Gen\r\nExod\r\n";
    EXPECT_EXIT(std::_Exit(SaveUnderSizeLimit(save)), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(Read(path), "Gen\r\nExod\r\n");
    EXPECT_EQ(folder.Names(), std::set<std::string>{"tavrin.bok"});
  }
}

#endif

}  // namespace
}  // namespace tavrin
