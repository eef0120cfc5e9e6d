#include "module/module_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <csignal>
#include <filesystem>

#include "module/module_header.h"
#include "module/module_test_util.h"
#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {
namespace {

using testing::Buffers;
using ::testing::ElementsAre;
using testing::Int32At;
using testing::Slurp;
using testing::Spit;
using testing::TempDir;

// Header layouts written out by hand from the file format, independent of the writer's tables.
struct Expected {
  std::string bytes;
  explicit Expected(int size) : bytes(static_cast<std::size_t>(size), '\0') {}
  void Str(int offset, const std::string& text) {
    bytes[offset] = static_cast<char>(text.size());
    bytes.replace(offset + 1, text.size(), text);
  }
  void Int(int offset, std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(u >> (8 * i));
  }
};

std::string Short(const std::string& kind, const std::string& name, std::int32_t s1,
                  std::int32_t s2, std::int32_t s3, std::int32_t per_kind, char flag,
                  const std::string& creator) {
  Expected e(364);
  e.Str(0, kind);
  e.Str(16, "KV201");
  if (!name.empty()) e.Str(22, name);
  e.Int(76, s1);
  e.Int(80, s2);
  e.Int(84, s3);
  e.Int(96, per_kind);
  e.bytes[104] = flag;
  e.Str(105, creator);
  return e.bytes;
}

std::string Long(const std::string& kind, const std::string& name, std::int32_t s2, std::int32_t s3,
                 std::int32_t per_kind, std::int32_t charset, const std::string& creator) {
  Expected e(508);
  e.Str(0, kind);
  e.Str(16, "KV201");
  e.Str(22, name);
  e.Int(124, 508);
  e.Int(128, s2);
  e.Int(132, s3);
  e.Int(144, per_kind);
  e.Int(152, -1);
  e.bytes[156] = 1;
  e.Str(157, creator);
  e.Int(416, 300);
  e.Str(420, "English");
  e.Int(432, charset);
  return e.bytes;
}

// Points at the first differing byte instead of dumping two binary strings.
void ExpectSameBytes(const std::string& actual, const std::string& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i)
    ASSERT_EQ(static_cast<unsigned char>(actual[i]), static_cast<unsigned char>(expected[i]))
        << "at offset " << i;
}

Buffers AlphaBeta(bool complement) {
  Buffers b;
  b.AddNamed("Alpha", "a", complement);
  b.AddNamed("beta", "bb", complement);
  return b;
}

TEST(WriteModuleTest, DictionaryInCurrentFormatIsByteExact) {
  TempDir dir;
  Buffers b = AlphaBeta(true);
  std::string path = dir.File("d.k30");
  WriteModule(b.Request(ModuleKind::kDictionary, true, path, "My Dict", 0, "joe"));

  std::string file = Slurp(path);
  ASSERT_EQ(file.size(), 508u + 11 + 8 + 5);
  ExpectSameBytes(file.substr(0, 508),
                  Long("dict", "My Dict", 519, 527, 0, 0, "Module created by joe"));
  EXPECT_EQ(file.substr(508, 11), std::string("Alpha\0beta\0", 11));
  EXPECT_EQ(Int32At(file, 519), 0);
  EXPECT_EQ(Int32At(file, 523), 2);
  EXPECT_EQ(file.substr(527), std::string("\x9E\0\x9D\x9D\0", 5));
  // The buffers are the builder's and stay as they were.
  EXPECT_EQ(b.names.Size(), 11u);
  EXPECT_EQ(b.texts.Size(), 5u);
}

TEST(WriteModuleTest, DictionaryCompatibleFormIsByteExact) {
  TempDir dir;
  Buffers b = AlphaBeta(false);
  std::string path = dir.File("d.dat");
  WriteModule(b.Request(ModuleKind::kDictionary, false, path, "My Dict", 2, "joe"));

  std::string file = Slurp(path);
  ASSERT_EQ(file.size(), 364u + 11 + 8 + 5);
  // The character set choice is not stored in this form.
  ExpectSameBytes(file.substr(0, 364),
                  Short("dict", "My Dict", 364, 375, 383, 0, 1, "Module created by joe"));
  EXPECT_EQ(file.substr(383), std::string("a\0bb\0", 5));
}

TEST(WriteModuleTest, CommentaryOffsetsInBothForms) {
  TempDir dir;
  Buffers b;
  b.AddVerse(1, 1, 1, "In the beginning", false);
  b.AddVerse(43, 3, 16, "For God", false);
  std::string path = dir.File("c.dat");
  WriteModule(b.Request(ModuleKind::kCommentary, false, path, "Comm", 0, "joe"));
  std::string file = Slurp(path);
  ExpectSameBytes(file.substr(0, 364),
                  Short("comment", "Comm", 364, 380, 0, -1, 1, "Module created by joe"));
  ASSERT_EQ(file.size(), 380u + b.texts.Size());
  EXPECT_EQ(file.substr(364, 16), b.index.Bytes());

  WriteModule(b.Request(ModuleKind::kCommentary, true, path, "Comm", 1, "joe"));
  file = Slurp(path);
  ExpectSameBytes(file.substr(0, 508),
                  Long("comment", "Comm", 524, 0, -1, 238, "Module created by joe"));
  EXPECT_EQ(file.size(), 524u + b.texts.Size());
}

TEST(WriteModuleTest, EditableKindsAndJumplistsAlwaysGetTheShortHeader) {
  TempDir dir;
  Buffers b = AlphaBeta(false);
  std::string path = dir.File("t.tpb");
  // The compatibility box does not matter, nor does a module name.
  WriteModule(b.Request(ModuleKind::kTopics, true, path, "Ignored", 1, "joe"));
  std::string file = Slurp(path);
  ExpectSameBytes(file.substr(0, 364),
                  Short("topics", "", 364, 375, 383, 200, 0, "Module created by joe"));
  EXPECT_EQ(file.size(), 388u);

  Buffers v;
  v.AddVerse(2, 3, 4, "note", false);
  for (auto [kind, text] :
       {std::pair{ModuleKind::kNotes, "notes"}, {ModuleKind::kJumplist, "jlist"}}) {
    WriteModule(v.Request(kind, true, path, "Ignored", 1, "joe"));
    file = Slurp(path);
    ExpectSameBytes(file.substr(0, 364),
                    Short(text, "", 364, 372, 0, 200, 0, "Module created by joe"));
  }
}

TEST(WriteModuleTest, ModuleNameIsCutToTheField) {
  TempDir dir;
  Buffers b = AlphaBeta(false);
  std::string path = dir.File("w.dat");
  std::string name60(60, 'n');
  name60[49] = 'L';  // last kept character of the short field
  std::string name120(120, 'm');

  WriteModule(b.Request(ModuleKind::kWriting, false, path, name60));
  std::string file = Slurp(path);
  EXPECT_EQ(static_cast<unsigned char>(file[22]), 50);
  EXPECT_EQ(file.substr(23, 50), name60.substr(0, 50));
  EXPECT_EQ(file.substr(73, 3), std::string(3, '\0'));
  EXPECT_EQ(Int32At(file, 76), 364);

  WriteModule(b.Request(ModuleKind::kWriting, true, path, name60));
  file = Slurp(path);
  EXPECT_EQ(static_cast<unsigned char>(file[22]), 60);
  EXPECT_EQ(file.substr(23, 60), name60);

  WriteModule(b.Request(ModuleKind::kWriting, true, path, name120));
  file = Slurp(path);
  EXPECT_EQ(static_cast<unsigned char>(file[22]), 100);
  EXPECT_EQ(file.substr(23, 100), name120.substr(0, 100));
  EXPECT_EQ(file[123], '\0');
  EXPECT_EQ(Int32At(file, 124), 508);
}

TEST(WriteModuleTest, CharacterSetAndCreatorText) {
  TempDir dir;
  Buffers b = AlphaBeta(true);
  std::string path = dir.File("d.k30");
  for (auto [choice, id] : {std::pair{0, 0}, {1, 238}, {2, 204}}) {
    WriteModule(b.Request(ModuleKind::kDictionary, true, path, "D", choice));
    EXPECT_EQ(Int32At(Slurp(path), 432), id) << choice;
  }

  WriteModule(b.Request(ModuleKind::kDictionary, false, path, "D", 0, ""));
  std::string file = Slurp(path);
  EXPECT_EQ(static_cast<unsigned char>(file[105]), 18);
  EXPECT_EQ(file.substr(106, 18), "Module created by ");
  EXPECT_EQ(file[124], '\0');

  std::string long_user(300, 'u');
  WriteModule(b.Request(ModuleKind::kDictionary, true, path, "D", 0, long_user));
  file = Slurp(path);
  EXPECT_EQ(static_cast<unsigned char>(file[157]), 255);
  EXPECT_EQ(file.substr(158, 255), "Module created by " + long_user.substr(0, 237));
  EXPECT_EQ(Int32At(file, 416), 300);
}

TEST(WriteModuleTest, EmptyBuffersGiveEmptySections) {
  TempDir dir;
  Buffers b;
  std::string path = dir.File("e.dat");
  WriteModule(b.Request(ModuleKind::kDictionary, false, path));
  std::string file = Slurp(path);
  EXPECT_EQ(file.size(), 364u);
  EXPECT_EQ(Int32At(file, 76), 364);
  EXPECT_EQ(Int32At(file, 80), 364);
  EXPECT_EQ(Int32At(file, 84), 364);
}

TEST(WriteModuleTest, BorrowedTextsAreWrittenAsIfCopied) {
  // Thousands of borrowed pieces (more than one gathered write takes), some lying one behind
  // the other in memory, between own bytes and empty pieces.
  std::string store;
  for (int i = 0; i < 5000; ++i) store += "text " + std::to_string(i) + '\0';
  Buffers borrowed;
  Buffers copied;
  std::size_t at = 0;
  for (int i = 0; i < 5000; ++i) {
    const std::size_t end = store.find('\0', at) + 1;
    const std::string_view text = std::string_view(store).substr(at, end - at);
    at = end;
    for (Buffers* b : {&borrowed, &copied}) {
      b->names.Append("n" + std::to_string(i));
      b->names.AppendByte(0);
      b->index.AppendInt32(static_cast<std::int32_t>(b->texts.Size()));
    }
    if (i % 3 == 0) {
      borrowed.texts.Append(text);  // own bytes between the borrowed ones
    } else {
      borrowed.texts.AppendBorrowed(text);
      borrowed.texts.AppendBorrowed({});
    }
    copied.texts.Append(text);
    if (i == 4000) {
      // A piece out of place in memory, as after sorting.
      borrowed.texts.AppendBorrowed(std::string_view(store).substr(0, 7));
      copied.texts.Append(std::string_view(store).substr(0, 7));
    }
  }
  EXPECT_EQ(borrowed.texts.Size(), copied.texts.Size());
  EXPECT_EQ(borrowed.texts.Bytes(), copied.texts.Bytes());
  // Neighbours in memory make one piece: far fewer pieces than texts.
  EXPECT_LT(borrowed.texts.Pieces().size(), 3500u);
  // The pieces taken one by one are the same as the list of them, the own bytes last.
  std::string walked;
  for (std::size_t k = 0; k < borrowed.texts.PieceCount(); ++k) walked += borrowed.texts.PieceAt(k);
  EXPECT_EQ(borrowed.texts.PieceCount(), borrowed.texts.Pieces().size());
  EXPECT_EQ(walked, copied.texts.Bytes());
  EXPECT_EQ(copied.texts.PieceCount(), 1u);
  EXPECT_EQ(Buffers().texts.PieceCount(), 0u);

  TempDir dir;
  WriteModule(borrowed.Request(ModuleKind::kDictionary, true, dir.File("b.k30"), "B", 0, "joe"));
  WriteModule(copied.Request(ModuleKind::kDictionary, true, dir.File("c.k30"), "B", 0, "joe"));
  const std::string file = Slurp(dir.File("b.k30"));
  EXPECT_GT(file.size(), store.size());
  EXPECT_EQ(file, Slurp(dir.File("c.k30")));
}

TEST(WriteModuleTest, ModulesOfManyMegabytesAreWrittenWhole) {
  // Larger than one step of the early write-out, with pieces that cross the steps and the runs
  // gathered on the helper thread; no two runs alike, so that one out of place shows.
  std::string big(18 << 20, 'b');
  for (std::size_t i = 0; i < big.size(); i += 4096)
    big[i] = static_cast<char>('a' + i / 4096 % 26);
  Buffers b;
  b.names.Append("one");
  b.names.AppendByte(0);
  b.index.AppendInt32(0);
  b.texts.AppendBorrowed(big);
  b.texts.Append("own bytes");
  b.texts.AppendBorrowed(big);
  b.texts.AppendByte(0);
  TempDir dir;
  WriteModule(b.Request(ModuleKind::kDictionary, true, dir.File("big.k30"), "B", 0, "joe"));
  const std::string file = Slurp(dir.File("big.k30"));
  ASSERT_EQ(file.size(), 508 + 4 + 4 + 2 * big.size() + 10);
  EXPECT_EQ(file.substr(508 + 8), big + "own bytes" + big + '\0');
}

TEST(WriteModuleTest, BuffersMayBeFreedOnceWritten) {
  // The caller is told when every byte has been handed over and may then change or free its
  // buffers while the file goes to the disk: what is on disk is what was there before.
  std::string big(40 << 20, 'b');
  for (std::size_t i = 0; i < big.size(); i += 4096)
    big[i] = static_cast<char>('a' + i / 4096 % 26);
  const std::string expected = big;
  Buffers b;
  b.names.Append("one");
  b.names.AppendByte(0);
  b.index.AppendInt32(0);
  b.texts.AppendBorrowed(big);
  TempDir dir;
  WriteRequest request = b.Request(ModuleKind::kDictionary, true, dir.File("big.k30"));
  int calls = 0;
  request.written = [&] {
    ++calls;
    std::fill(big.begin(), big.end(), 'z');
  };
  WriteModule(request);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Slurp(dir.File("big.k30")).substr(508 + 8), expected);
}

TEST(WriteModuleTest, OverwritingALongerFileLeavesNothingOfItAndKeepsItsMode) {
  TempDir dir;
  std::string path = dir.File("d.dat");
  Spit(path, std::string(10000, 'x'));
#ifndef _WIN32
  ::chmod(path.c_str(), 0640);
#endif
  Buffers b = AlphaBeta(false);
  WriteModule(b.Request(ModuleKind::kDictionary, false, path));
  EXPECT_EQ(Slurp(path).size(), 388u);
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
#endif
  EXPECT_THAT(dir.Names(), ElementsAre("d.dat"));
}

#ifdef _WIN32
// What permission bits are on Linux, attributes are on Windows: a replaced module keeps them,
// and a read-only one is not replaced at all.
TEST(WriteModuleTest, ReplacedModuleKeepsItsAttributes) {
  TempDir dir;
  std::string path = dir.File("d.dat");
  Spit(path, "old module");
  const std::wstring wide = FilePath(path).wstring();
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), kKept));
  Buffers b = AlphaBeta(false);
  WriteModule(b.Request(ModuleKind::kDictionary, false, path));
  EXPECT_EQ(Slurp(path).size(), 388u);
  EXPECT_EQ(GetFileAttributesW(wide.c_str()) & (kKept | FILE_ATTRIBUTE_READONLY), kKept);

  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
  try {
    WriteModule(b.Request(ModuleKind::kDictionary, true, path));
    ADD_FAILURE() << "a read-only module was replaced";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.what(), "Cannot create file " + path + ": the file is read-only");
  }
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Slurp(path).size(), 388u);
  EXPECT_THAT(dir.Names(), ElementsAre("d.dat"));
}
#endif

TEST(WriteModuleTest, NewFileHonoursTheUmask) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no umask";
#else
  TempDir dir;
  std::string path = dir.File("n.dat");
  mode_t old = ::umask(027);
  Buffers b = AlphaBeta(false);
  WriteModule(b.Request(ModuleKind::kDictionary, false, path));
  ::umask(old);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
#endif
}

TEST(WriteModuleTest, SymbolicLinkIsWrittenThrough) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need a privilege on Windows";
#endif
  TempDir dir;
  std::string target = dir.File("real.dat");
  std::string link = dir.File("link.dat");
  Spit(target, "old");
  std::filesystem::create_symlink(target, link);
  Buffers b = AlphaBeta(false);
  WriteModule(b.Request(ModuleKind::kDictionary, false, link));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Slurp(target).size(), 388u);
}

TEST(WriteModuleTest, UncreatableOutputRaisesAndLeavesNoFile) {
  TempDir dir;
  Buffers b = AlphaBeta(false);
  std::string folder = dir.File("sub");
  std::filesystem::create_directory(folder);
  try {
    WriteModule(b.Request(ModuleKind::kDictionary, false, folder));
    FAIL() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(), ("Cannot create file " + folder).c_str());
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  std::string missing = dir.File("nowhere/d.dat");
  EXPECT_THROW(WriteModule(b.Request(ModuleKind::kDictionary, false, missing)), EFCreateError);
  EXPECT_THAT(dir.Names(), ElementsAre("sub"));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(WriteModuleTest, ReadOnlyFolderKeepsTheOldModule) {
#ifdef _WIN32
  GTEST_SKIP()
      << "a folder's permission bits are Linux's (Windows: ReplacedModuleKeepsItsAttributes)";
#else
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  TempDir dir;
  std::string path = dir.File("d.dat");
  Spit(path, "old module");
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  Buffers b = AlphaBeta(false);
  EXPECT_THROW(WriteModule(b.Request(ModuleKind::kDictionary, false, path)), EFCreateError);
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_EQ(Slurp(path), "old module");
  EXPECT_THAT(dir.Names(), ElementsAre("d.dat"));
#endif
}

#ifndef _WIN32  // a file size limit (setrlimit) makes a write fail as a full disk would
// Runs in a child process: 0 when the write fails with EInOutError naming the output.
int WriteUnderSizeLimit(const Buffers& b, const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{65536, 65536};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  // A write that fails never tells the caller that its bytes were handed over.
  bool told = false;
  WriteRequest request = b.Request(ModuleKind::kDictionary, false, path);
  request.written = [&] { told = true; };
  try {
    WriteModule(request);
  } catch (const EInOutError& e) {
    if (told) return 4;
    return std::string(e.what()).find(path) != std::string::npos ? 0 : 2;
  } catch (...) {
    return 3;
  }
  return 1;
}

// A file size limit makes the write fail part way, as a full disk would.
TEST(WriteModuleDeathTest, FailedWriteKeepsTheOldModuleAndLeavesNoTemporaryFile) {
  TempDir dir;
  std::string path = dir.File("d.dat");
  Spit(path, "old module");
  Buffers b;
  b.AddNamed("big", std::string(200000, 'x'), false);
  EXPECT_EXIT(std::_Exit(WriteUnderSizeLimit(b, path)), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Slurp(path), "old module");
  EXPECT_THAT(dir.Names(), ElementsAre("d.dat"));
}

// The same for a module large enough to be gathered on a helper thread while it is written.
TEST(WriteModuleDeathTest, FailedWriteOfALargeModuleStopsItsGatheringAndKeepsTheOldOne) {
  TempDir dir;
  std::string path = dir.File("d.dat");
  Spit(path, "old module");
  Buffers b;
  for (int i = 0; i < 12000; ++i)
    b.AddNamed("t" + std::to_string(i), std::string(3000, 'x'), false);
  EXPECT_EXIT(std::_Exit(WriteUnderSizeLimit(b, path)), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Slurp(path), "old module");
  EXPECT_THAT(dir.Names(), ElementsAre("d.dat"));
}
#endif

}  // namespace
}  // namespace tavrin
