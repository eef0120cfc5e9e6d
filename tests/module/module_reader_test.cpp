#include "module/module_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "module/module_test_util.h"
#include "platform/exceptions.h"

namespace tavrin {
namespace {

using testing::Buffers;
using ::testing::HasSubstr;
using testing::Slurp;
using testing::TempDir;

// Writes a module through the writer and returns its bytes.
std::string Written(const Buffers& b, ModuleKind kind, bool new_format, int charset = 0) {
  TempDir dir;
  std::string path = dir.File("m");
  WriteModule(b.Request(kind, new_format, path, "Name", charset, "ann"));
  return Slurp(path);
}

Buffers Named(bool complement) {
  Buffers b;
  b.AddNamed("Alpha", "a", complement);
  b.AddNamed("beta", "bb", complement);
  b.AddNamed("Gamma", "\xE0\xFE high bytes", complement);
  return b;
}

Buffers Verses(bool complement) {
  Buffers b;
  b.AddVerse(1, 1, 1, "first", complement);
  b.AddVerse(66, 22, 21, "", complement);
  b.AddVerse(40, 5, 3, "third", complement);
  return b;
}

// The message of the EModuleError `read` raises; fails the test if it raises nothing or else.
std::string ModuleError(const std::function<void()>& read) {
  try {
    read();
  } catch (const EModuleError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no EModuleError";
  return "";
}

void SetInt32(std::string& bytes, std::size_t offset, std::int32_t value) {
  auto u = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(u >> (8 * i));
}

TEST(ModuleReaderTest, RoundTripsEveryKindAndForm) {
  struct Case {
    ModuleKind kind;
    bool new_format;
  };
  for (Case c : {Case{ModuleKind::kDictionary, true},
                 {ModuleKind::kDictionary, false},
                 {ModuleKind::kTopics, false},
                 {ModuleKind::kCommentary, true},
                 {ModuleKind::kCommentary, false},
                 {ModuleKind::kNotes, false},
                 {ModuleKind::kWriting, true},
                 {ModuleKind::kWriting, false},
                 {ModuleKind::kJumplist, false}}) {
    SCOPED_TRACE(std::string(KindString(c.kind)) + (c.new_format ? " new" : " old"));
    bool verse = IsVerseKind(c.kind);
    Buffers b = verse ? Verses(c.new_format) : Named(c.new_format);
    ModuleFile m = ReadModuleBytes(Written(b, c.kind, c.new_format, 2));

    EXPECT_EQ(m.header.kind, c.kind);
    EXPECT_EQ(m.header.header_size, c.new_format ? 508 : 364);
    EXPECT_EQ(m.header.module_name, HasModuleName(c.kind) ? "Name" : "");
    EXPECT_EQ(m.header.creator, "Module created by ann");
    EXPECT_EQ(m.header.charset_id, c.new_format ? std::optional<int>(204) : std::nullopt);
    ASSERT_EQ(m.entries.size(), 3u);
    if (verse) {
      EXPECT_EQ(m.entries[1].book, 66);
      EXPECT_EQ(m.entries[1].chapter, 22);
      EXPECT_EQ(m.entries[1].verse, 21);
      EXPECT_EQ(m.entries[0].text, "first");
      EXPECT_EQ(m.entries[1].text, "");
      EXPECT_EQ(m.entries[2].text, "third");
    } else {
      EXPECT_EQ(m.entries[0].name, "Alpha");
      EXPECT_EQ(m.entries[1].name, "beta");
      EXPECT_EQ(m.entries[1].text, "bb");
      EXPECT_EQ(m.entries[2].text, "\xE0\xFE high bytes");
    }
  }
}

TEST(ModuleReaderTest, ReadsFromDiskAndEntriesByTheirOffsets) {
  // Two entries sharing one text, listed out of text order.
  Buffers b;
  b.names.Append(std::string("one\0two\0", 8));
  b.index.AppendInt32(4);
  b.index.AppendInt32(4);
  b.texts.Append(std::string("abc\0shared\0", 11));
  TempDir dir;
  std::string path = dir.File("t.tpb");
  WriteModule(b.Request(ModuleKind::kTopics, false, path));
  ModuleFile m = ReadModuleFile(path);
  ASSERT_EQ(m.entries.size(), 2u);
  EXPECT_EQ(m.entries[0].text, "shared");
  EXPECT_EQ(m.entries[1].text, "shared");

  EXPECT_THROW(ReadModuleFile(dir.File("missing")), EFOpenError);
}

TEST(ModuleReaderTest, EmptyModuleReadsAsNoEntries) {
  Buffers b;
  EXPECT_TRUE(ReadModuleBytes(Written(b, ModuleKind::kDictionary, true)).entries.empty());
  EXPECT_TRUE(ReadModuleBytes(Written(b, ModuleKind::kJumplist, false)).entries.empty());
}

TEST(ModuleReaderTest, RejectsBrokenHeaders) {
  const std::string good = Written(Named(false), ModuleKind::kDictionary, false);
  auto read = [](std::string bytes) { return [bytes] { ReadModuleBytes(bytes, "x.dat"); }; };

  EXPECT_THAT(ModuleError(read(good.substr(0, 100))), HasSubstr("header is incomplete"));
  EXPECT_THAT(ModuleError(read(good.substr(0, 100))), HasSubstr("x.dat"));

  std::string bad = good;
  bad[17] = 'X';
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("signature"));
  bad = good;
  bad[16] = 4;  // "KV20"
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("signature"));
  bad = good;
  bad[1] = 'D';
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("unknown module kind 'Dict'"));
  bad = good;
  bad[0] = 60;  // kind length beyond its field
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("kind field"));
  bad = good;
  bad[22] = 51;
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("module name"));

  bad = good;
  SetInt32(bad, 76, 360);
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("first section"));
  bad = good;
  SetInt32(bad, 80, 363);
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("section 2 starts at 363"));
  bad = good;
  SetInt32(bad, 84, 370);  // before section 2
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("section 3"));
  bad = good;
  SetInt32(bad, 84, static_cast<std::int32_t>(good.size() + 1));
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("beyond the end"));
  bad = good;
  SetInt32(bad, 84, -5);
  EXPECT_THAT(ModuleError(read(bad)), HasSubstr("section 3"));

  // A 508-byte header cut inside its tail is told as a short header, not a wrong form.
  const std::string long_form = Written(Named(true), ModuleKind::kDictionary, true);
  EXPECT_THAT(ModuleError(read(long_form.substr(0, 400))), HasSubstr("header is incomplete"));
}

TEST(ModuleReaderTest, RejectsInconsistentBodies) {
  auto read = [](std::string bytes) { return [bytes] { ReadModuleBytes(bytes, "x"); }; };
  Buffers b = Named(false);

  Buffers odd_index = b;
  odd_index.index.AppendByte(0);
  EXPECT_THAT(ModuleError(read(Written(odd_index, ModuleKind::kDictionary, false))),
              HasSubstr("not a whole number of 4-byte records"));
  Buffers odd_verses = Verses(false);
  odd_verses.index.AppendInt32(0);
  EXPECT_THAT(ModuleError(read(Written(odd_verses, ModuleKind::kNotes, false))),
              HasSubstr("8-byte records"));

  Buffers extra_name = b;
  extra_name.names.Append(std::string("Delta\0", 6));
  EXPECT_THAT(ModuleError(read(Written(extra_name, ModuleKind::kDictionary, false))),
              HasSubstr("more names than index records"));
  Buffers extra_record = b;
  extra_record.index.AppendInt32(0);
  EXPECT_THAT(ModuleError(read(Written(extra_record, ModuleKind::kWriting, false))),
              HasSubstr("3 names for 4 index records"));
  Buffers open_name = b;
  open_name.names.Append("Delta");
  EXPECT_THAT(ModuleError(read(Written(open_name, ModuleKind::kDictionary, false))),
              HasSubstr("no terminator"));

  Buffers far_text = b;
  far_text.index.Clear();
  for (std::int32_t offset : {0, 2, static_cast<std::int32_t>(b.texts.Size())})
    far_text.index.AppendInt32(offset);
  EXPECT_THAT(ModuleError(read(Written(far_text, ModuleKind::kDictionary, true))),
              HasSubstr("entry 3 has its text at"));
  Buffers negative = b;
  negative.index.Clear();
  for (std::int32_t offset : {0, -1, 2}) negative.index.AppendInt32(offset);
  EXPECT_THAT(ModuleError(read(Written(negative, ModuleKind::kTopics, false))),
              HasSubstr("outside the text section"));

  Buffers cut_text = Verses(false);
  cut_text.texts.Append("unterminated");
  cut_text.index.AppendInt32(0);
  cut_text.index.AppendInt32(static_cast<std::int32_t>(Verses(false).texts.Size()));
  EXPECT_THAT(ModuleError(read(Written(cut_text, ModuleKind::kCommentary, false))),
              HasSubstr("entry 4 has no terminator"));
}

// Every prefix and every single-byte change of valid files: a clean result or EModuleError,
// never another failure (run under a sanitizer to catch reads past the end).
TEST(ModuleReaderTest, DamagedFilesNeverCrash) {
  std::vector<std::string> files = {Written(Named(true), ModuleKind::kDictionary, true),
                                    Written(Named(false), ModuleKind::kWriting, false),
                                    Written(Verses(true), ModuleKind::kCommentary, true),
                                    Written(Verses(false), ModuleKind::kJumplist, false)};
  int rejected = 0;
  for (const std::string& file : files) {
    for (std::size_t length = 0; length < file.size(); ++length) {
      std::string cut = file.substr(0, length);
      try {
        ReadModuleBytes(cut);
      } catch (const EModuleError&) {
        ++rejected;
      }
    }
    for (std::size_t i = 0; i < file.size(); ++i) {
      for (unsigned char value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        std::string changed = file;
        changed[i] = static_cast<char>(value);
        try {
          ReadModuleBytes(changed);
        } catch (const EModuleError&) {
        }
      }
    }
  }
  // A file cut inside its header or index can never pass.
  EXPECT_GT(rejected, 4 * 364);
}

}  // namespace
}  // namespace tavrin
