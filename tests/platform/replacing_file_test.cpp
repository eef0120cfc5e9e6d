#include "platform/replacing_file.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
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

// A killed build: the process ends while the new version is written, and no code of its own runs.
TEST(ReplacingFileDeathTest, KilledWriterLeavesNothing) {
  // On Windows the dying writer is this program started again and running this test from its
  // start: it takes the folder from the environment it inherits.
  static constexpr char kFolderVariable[] = "TAVRIN_KILLED_WRITER_FOLDER";
  std::optional<Folder> own;
  fs::path path;
  if (const char* inherited = std::getenv(kFolderVariable)) {
    path = inherited;
  } else {
    own.emplace();
    path = own->path;
    std::ofstream(path / "m.k30", std::ios::binary) << "old";
#ifdef _WIN32
    _putenv_s(kFolderVariable, path.string().c_str());
#else
    ::setenv(kFolderVariable, path.c_str(), 1);
#endif
  }
  EXPECT_EXIT(
      {
        ReplacingFile file((path / "m.k30").string(), "m.k30");
        file.Write(std::string(1 << 20, 'x'));
        file.Sync();
#ifdef _WIN32
        TerminateProcess(GetCurrentProcess(), 3);
#endif
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(3), "");
#ifdef _WIN32
  _putenv_s(kFolderVariable, "");
#else
  ::unsetenv(kFolderVariable);
#endif
  EXPECT_EQ(own->Names(), std::set<std::string>{"m.k30"});
  EXPECT_EQ(Read(path / "m.k30"), "old");
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
