// Sources saved by today's editors: UTF-8 and UTF-16 with or without byte order marks.
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "module/module_reader.h"
#include "platform/text_locale.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

std::string Utf16(const std::string& utf8, bool big_endian, bool mark) {
  std::string out = mark ? (big_endian ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (const char16_t c : Utf8ToUtf16(utf8, u'?')) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    out += big_endian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

class EncodingCliTest : public CliTest {};

TEST_F(EncodingCliTest, OneDictionaryInEveryEncodingGivesTheSameModule) {
  const std::string utf8 =
      "#Caf\xC3\xA9\r\n<b>na\xC3\xAFve</b> \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC 5\r\n"
      "#\xC3\x84pfel\r\nline\r\n";
  const std::string cp1252 =
      "#Caf\xE9\r\n<b>na\xEFve</b> \x93quoted\x94 \x80 5\r\n#\xC4pfel\r\nline\r\n";
  struct Variant {
    std::string file, bytes;
    Lines flags;
  } variants[] = {
      {"ansi.txt", cp1252, {}},
      {"bom8.txt", "\xEF\xBB\xBF" + utf8, {}},
      {"plain8.txt", utf8, {"--source-encoding", "utf-8"}},
      {"le.txt", Utf16(utf8, false, true), {}},
      {"be.txt", Utf16(utf8, true, true), {}},
      {"le-nomark.txt", Utf16(utf8, false, false), {"--source-encoding", "utf-16le"}},
  };
  std::string reference;
  for (const Variant& v : variants) {
    WriteFile(v.file, v.bytes);
    Lines args = {"build", "dictionary", v.file, "out.k30", "--name", "D", "--overwrite"};
    args.insert(args.end(), v.flags.begin(), v.flags.end());
    CliResult r = Run(args);
    ASSERT_EQ(r.exit_code, 0) << v.file << r.output;
    EXPECT_EQ(r.output, "File 'out.k30' successfuly created.\n") << v.file;
    if (reference.empty())
      reference = ReadFile("out.k30");
    else
      EXPECT_EQ(ReadFile("out.k30"), reference) << v.file;
  }
  // Without a mark, auto reads 8-bit text as before: the UTF-8 bytes stay as they are.
  Run({"build", "dictionary", "plain8.txt", "out.k30", "--name", "D", "--overwrite"});
  EXPECT_NE(ReadFile("out.k30"), reference);
}

TEST_F(EncodingCliTest, CyrillicCommentaryAndLostCharacters) {
  WriteFile("c.txt",
            "\xEF\xBB\xBF#Gen 1:1\r\n\xD0\x92 \xD0\xBD\xD0\xB0\xD1\x87\xD0\xB0\xD0\xBB\xD0\xB5 "
            "\xE2\x82\xAC\r\n#Gen 1:2\r\n\xE4\xB8\xAD \xC3\x28\r\n");
  CliResult r = Run({"build", "commentary", "c.txt", "c.k30", "--name", "C", "--charset",
                     "cyrillic", "--show-log"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(LogLines(),
            (Lines{"line #4 - Warning: invalid UTF-8 replaced by '?'",
                   "line #4 - Warning: characters not in code page 1251 replaced by '?'", "",
                   "Total of: 4 lines, 2 verse notes", "", "File 'c.k30' was created."}));
  ModuleFile module = ReadModuleFile((dir_ / "c.k30").string());
  ASSERT_EQ(module.entries.size(), 2u);
  EXPECT_EQ(module.entries[0].text, "\xC2 \xED\xE0\xF7\xE0\xEB\xE5 \x88");  // "В начале €"
  EXPECT_EQ(module.entries[1].text, "? ?(");
  r = Run({"dump", "c.k30"});
  EXPECT_NE(r.output.find("\xD0\x92 \xD0\xBD\xD0\xB0\xD1\x87"), std::string::npos) << r.output;
}

// Names are compared in the code page the module holds them in, whatever the user's is.
TEST_F(EncodingCliTest, NamesAreOrderedInTheModulesCodePage) {
  const std::string cyrillic[] = {"\xD0\x92\xD0\xBE\xD0\xB4\xD0\xB0",
                                  "\xD0\x91\xD0\xBE\xD0\xB3",
                                  "\xD0\x90\xD0\xB2\xD1\x82\xD0\xBE\xD1\x80",
                                  "\xD0\x93\xD0\xB4\xD0\xB5",
                                  "\xD0\x81\xD0\xB6",
                                  "\xD0\x96\xD0\xB8\xD0\xB7\xD0\xBD\xD1\x8C"};
  const std::string polish[] = {"Mak", "\xC5\x81za", "Lato", "Kot"};
  struct Case {
    std::string environment, charset;
    Lines topics, order;  // UTF-8
  } cases[] = {
      {"LC_ALL=en_US.UTF-8",
       "cyrillic",
       Lines(std::begin(cyrillic), std::end(cyrillic)),
       {cyrillic[2], cyrillic[1], cyrillic[0], cyrillic[3], cyrillic[4], cyrillic[5]}},
      {"LC_ALL=ru_RU.UTF-8",
       "cyrillic",
       Lines(std::begin(cyrillic), std::end(cyrillic)),
       {cyrillic[2], cyrillic[1], cyrillic[0], cyrillic[3], cyrillic[4], cyrillic[5]}},
      {"LC_ALL=en_US.UTF-8",
       "ce",
       Lines(std::begin(polish), std::end(polish)),
       {"Kot", "Lato", "\xC5\x81za", "Mak"}},
  };
  std::string modules[3];
  for (int k = 0; k < 3; ++k) {
    std::string source = "\xEF\xBB\xBF";
    for (const std::string& topic : cases[k].topics) source += "#" + topic + "\r\ntext\r\n";
    WriteFile("n.txt", source);
    CliResult r = Run({"build", "dictionary", "n.txt", "n.k30", "--name", "N", "--charset",
                       cases[k].charset, "--overwrite"},
                      cases[k].environment);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    modules[k] = ReadFile("n.k30");
    r = Run({"dump", "n.k30", "--json"});
    std::size_t at = 0;
    for (const std::string& name : cases[k].order) {
      at = r.output.find("\"" + name + "\"", at);
      EXPECT_NE(at, std::string::npos) << cases[k].environment << " " << name << r.output;
    }
  }
  EXPECT_EQ(modules[0], modules[1]);  // the user's language orders both alike

  // References are found in tavrin.bok, read in the user's code page, from a module in another.
  struct Verse {
    std::string environment, book_names, reference;
  } verses[] = {
      {"LC_ALL=en_US.UTF-8", "", "Gen 1:1"},
      {"LC_ALL=ru_RU.UTF-8", "\xC1\xFB\xF2\r\n", "\xD0\x91\xD1\x8B\xD1\x82 1:1"},  // 1251 and UTF-8
  };
  for (const Verse& v : verses) {
#ifdef _WIN32
    // The user's code page there is the system's; no variable of the environment changes it.
    if (!v.book_names.empty()) continue;
#endif
    if (!v.book_names.empty()) WriteFile("tavrin.bok", v.book_names);
    WriteFile("c.txt", "\xEF\xBB\xBF#" + v.reference + "\r\n\xD0\x92 \xD0\xBD\xD0\xB0\xD1\x87\r\n");
    CliResult r = Run({"build", "commentary", "c.txt", "c.k30", "--name", "C", "--charset",
                       "cyrillic", "--overwrite"},
                      v.environment);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(r.output, "File 'c.k30' successfuly created.\n") << v.environment;
    ModuleFile module = ReadModuleFile((dir_ / "c.k30").string());
    ASSERT_EQ(module.entries.size(), 1u);
    EXPECT_EQ(module.entries[0].text, "\xC2 \xED\xE0\xF7");
  }
}

// A book name keyed in the user's code page (1257) meets a reference in the module's (1250): the
// same letter, another byte.
TEST_F(EncodingCliTest, BookNameInTheUsersCodePageMeetsTheModules) {
#ifdef _WIN32
  GTEST_SKIP() << "the user's code page there is the system's; no variable changes it";
#endif
  std::string book_names = ReadFile("tavrin.bok");
  const std::size_t luke = book_names.find("\r\nLuke\r\n");
  ASSERT_NE(luke, std::string::npos);
  WriteFile("tavrin.bok", book_names.replace(luke + 2, 4, "\xD9k"));  // Łk
  WriteFile("c.txt", "#\xA3k 1:1\r\nnote\r\n");
  CliResult r = Run({"build", "commentary", "c.txt", "c.k30", "--name", "C", "--charset", "ce"},
                    "LC_ALL= LC_COLLATE= LANG=lt_LT.UTF-8");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "File 'c.k30' successfuly created.\n");
  ModuleFile module = ReadModuleFile((dir_ / "c.k30").string());
  ASSERT_EQ(module.entries.size(), 1u);
  EXPECT_EQ(module.entries[0].book, 42);
}

TEST_F(EncodingCliTest, HeaderWithIncludesInDifferentEncodings) {
  WriteFile("a.txt", "#Alpha\r\ncaf\xE9\r\n");                              // cp1252
  WriteFile("b.txt", "\xEF\xBB\xBF#Beta\r\ncaf\xC3\xA9 \xE4\xB8\xAD\r\n");  // UTF-8
  WriteFile("c.txt", Utf16("#Gamma\r\ncaf\xC3\xA9\r\n", false, true));      // UTF-16LE
  WriteFile("all.hdr", Utf16("title T\xC3\xAFtle\r\ninclude a.txt\r\ninclude b.txt\r\n"
                             "include c.txt\r\n",
                             true, true));  // UTF-16BE
  CliResult r = Run({"build", "dictionary", "all.hdr", "all.k30"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ModuleFile module = ReadModuleFile((dir_ / "all.k30").string());
  EXPECT_EQ(module.header.module_name, "T\xEFtle");
  ASSERT_EQ(module.entries.size(), 3u);
  for (const ModuleEntry& e : module.entries) EXPECT_EQ(e.text.substr(0, 4), "caf\xE9");
  // b.txt starts on line 5 of the assembled source: its second line is line 6.
  EXPECT_EQ(LogLines()[0], "line #6 - Warning: characters not in code page 1252 replaced by '?'");
}

// Include names are file names, and file names are Unicode: an include is found by its name as
// the header spells it, whatever the header's encoding and the module's code page.
TEST_F(EncodingCliTest, IncludesAreFoundByTheNamesTheHeaderSpells) {
  const std::string esaie =
      "\xC3\x89sa\xC3\xAF"
      "e.txt";
  const std::string file_one =
      "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB \xD0\xBE\xD0\xB4\xD0\xB8\xD0\xBD.txt";
  WriteFile(esaie, "#Un\r\nun\r\n");
  WriteFile(file_one, "#Deux\r\ndeux\r\n");
  const std::string header = "title T\r\ninclude " + esaie + "\r\ninclude " + file_one + "\r\n";
  const struct {
    std::string bytes;
    Lines flags;
  } headers[] = {
      {"\xEF\xBB\xBF" + header, {}},
      {header, {"--source-encoding", "utf-8"}},
      {Utf16(header, false, true), {}},
  };
  for (const char* charset : {"western", "cyrillic"}) {
    for (const auto& h : headers) {
      WriteFile("h.hdr", h.bytes);
      Lines args = {"build", "dictionary", "h.hdr", "h.k30", "--charset", charset, "--overwrite"};
      args.insert(args.end(), h.flags.begin(), h.flags.end());
      CliResult r = Run(args);
      ASSERT_EQ(r.exit_code, 0) << charset << " " << h.bytes.size() << r.output;
      EXPECT_EQ(r.output, "File 'h.k30' successfuly created.\n")
          << charset << " " << h.bytes.size();
      ModuleFile module = ReadModuleFile((dir_ / "h.k30").string());
      ASSERT_EQ(module.entries.size(), 2u) << charset << " " << h.bytes.size();
      EXPECT_EQ(module.entries[0].text + module.entries[1].text, "deuxun");
    }
  }
  // A missing include keeps its warning at its own line; the title's lost letter keeps its own.
  WriteFile("m.hdr",
            "\xEF\xBB\xBFtitle \xD0\x96\r\ninclude " + esaie +
                "\r\ninclude \xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB \xD0\xB4\xD0\xB2\xD0\xB0.txt\r\n");
  EXPECT_EQ(Run({"lint", "dictionary", "m.hdr"}).output,
            "m.hdr:1:1: warning: characters not in code page 1252 replaced by '?' [build]\n"
            "m.hdr:3:1: warning: cannot read included file '???? ???.txt'; it and the files after "
            "it were left out [build]\n");
}

}  // namespace
}  // namespace tavrin::e2e
