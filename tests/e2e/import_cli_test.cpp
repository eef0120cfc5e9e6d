// tavrin-cli import: real SWORD modules exported by SWORD's own tools, an XHTML book, and inputs
// made to harm, each imported, built with the command the marked text names, and looked at.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>

#include "cli_fixture.h"

namespace tavrin::e2e {
namespace {

using Lines = std::vector<std::string>;

// The ASCII words of a text. Tags are left out: inline ones join what stands around them, those
// that break a line (`markup`: of the input's vocabularies) separate it. With `markup` entities
// are read, and "\u00FF" is the "y" the import writes for it (0xFF would end a module's text).
Lines Words(std::string_view text, bool markup = false) {
  static constexpr std::string_view kBreaking[] = {
      "lb",    "br", "p",  "div", "l",  "item", "li",   "cell", "td",  "th",   "row",      "tr",
      "title", "h1", "h2", "h3",  "lg", "note", "orth", "pron", "def", "orig", "entryFree"};
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '<' && i + 1 < text.size() && text[i + 1] != '<' && text[i + 1] != ' ') {
      std::size_t end = text.find('>', i);
      if (end == std::string_view::npos) break;
      std::string_view name = text.substr(i + 1, end - i - 1);
      if (name.starts_with("/")) name.remove_prefix(1);
      name = name.substr(0, name.find_first_of(" />"));
      for (std::string_view breaking : kBreaking)
        if (markup && name == breaking) plain += ' ';
      if (!markup && (name.starts_with("h") || name == "lines")) plain += ' ';
      i = end;
    } else if (markup && c == '&' && text.find(';', i) < i + 10) {
      std::string_view name = text.substr(i + 1, text.find(';', i) - i - 1);
      plain += name == "amp" ? "&" : " ";
      i = text.find(';', i);
    } else if (markup && text.substr(i, 2) == "\u00FF") {
      plain += 'y';
      ++i;
    } else {
      plain += c;
    }
  }
  Lines words;
  std::string word;
  auto end_word = [&] {
    if (!word.empty()) words.push_back(word);
    word.clear();
  };
  for (char c : plain) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      word += c;
    } else {
      end_word();
    }
  }
  end_word();
  return words;
}

// Whether `part` stands in `whole` in its order (with other words between).
bool InOrder(const Lines& part, const Lines& whole, std::string& missing) {
  std::size_t at = 0;
  for (const std::string& w : part) {
    while (at < whole.size() && whole[at] != w) ++at;
    if (at == whole.size()) {
      missing = w;
      return false;
    }
    ++at;
  }
  return true;
}

struct DumpEntry {
  std::string head;  // "# name" or "@ b c:v"
  std::string text;
};

std::vector<DumpEntry> ReadDump(const std::string& output) {
  std::vector<DumpEntry> entries;
  std::size_t pos = output.find("\n\n");
  while (pos != std::string::npos) {
    std::size_t head_end = output.find('\n', pos + 2);
    std::size_t next = output.find("\n\n# ", head_end);
    std::size_t next_verse = output.find("\n\n@ ", head_end);
    next = std::min(next, next_verse);
    entries.push_back(
        {output.substr(pos + 2, head_end - pos - 2),
         output.substr(head_end + 1,
                       next == std::string::npos ? std::string::npos : next - head_end - 1)});
    pos = next;
  }
  return entries;
}

class ImportCliTest : public CliTest {
 protected:
  // The build command of an imported source's leading lines, as arguments.
  Lines BuildCommand(const std::string& source, const std::string& output) {
    std::string text = ReadFile(source);
    std::size_t start = text.find("\r\ntavrin-cli build ") + 2;
    std::string line = text.substr(start, text.find("\r\n", start) - start);
    Lines args;
    std::string arg;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\'') {
        quoted = !quoted;
        any = true;
      } else if (c == '\\' && !quoted && i + 1 < line.size()) {
        arg += line[++i];
      } else if (c == ' ' && !quoted) {
        if (any || !arg.empty())
          args.push_back(arg == "THIS-FILE" ? source : arg == "OUTPUT" ? output : arg);
        arg.clear();
        any = false;
      } else {
        arg += c;
      }
    }
    args.push_back(arg == "OUTPUT" ? output : arg);
    args.erase(args.begin());  // tavrin-cli
    return args;
  }

  // Runs a command of the machine's (SWORD's exporters) into a file of the test folder.
  bool Export(const std::string& command, const std::string& file) {
    std::string line =
        "cd '" + dir_.string() + "' && (" + command + ") 2>/dev/null > '" + file + "'";
    std::system(line.c_str());
    return Exists(file) && fs::file_size(dir_ / file) > 0;
  }
};

#ifndef _WIN32
// The entries of an .imp export, for the test below (SWORD's exporters through the Linux shell).
struct ImpEntry {
  std::string key;
  std::string text;
};

std::vector<ImpEntry> ReadImp(const std::string& bytes) {
  std::vector<ImpEntry> entries;
  std::istringstream in(bytes);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("$$$", 0) == 0)
      entries.push_back({line.substr(3), ""});
    else if (!entries.empty())
      entries.back().text += line + "\n";
  }
  return entries;
}

TEST_F(ImportCliTest, DebianModulesBuildWithTheirWordsLinksAndNoMarkupLeft) {
  if (std::system("command -v mod2imp >/dev/null 2>&1 && test -d /usr/share/sword/mods.d") != 0)
    GTEST_SKIP() << "SWORD's tools and modules are not installed (scripts/install-deps)";
  struct Case {
    std::string module, export_command, format, kind;
    std::size_t min_entries;
    bool bible_links, local_links;
  } cases[] = {
      {"Nave", "mod2imp Nave", "imp", "dictionary", 5000, true, true},
      {"StrongsGreek", "mod2imp StrongsGreek", "imp", "dictionary", 5500, false, true},
      {"StrongsHebrew", "mod2imp StrongsHebrew", "imp", "dictionary", 8600, true, true},
      {"TDavid", "mod2imp TDavid", "imp", "commentary", 150, true, false},
      {"TDavid", "mod2osis TDavid", "osis", "commentary", 150, true, false},
      // The concise commentary up to a chapter introduction behind its first 6 MB (of 400; bench/
      // imports it whole).
      {"MHCC",
       "mod2imp MHCC | awk '/^[$][$][$].*:0$/ && n > 6000000 {exit} {n += length($0); print}'",
       "imp", "commentary", 80, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.export_command);
    const std::string input = c.module + "." + c.format;
    ASSERT_TRUE(Export(c.export_command, input));
    CliResult imported = Run({"import", c.format, input, "-o", "s.txt"});
    ASSERT_EQ(imported.exit_code, 0) << imported.output.substr(0, 2000);
    const std::string source = ReadFile("s.txt");
    ASSERT_EQ(source.substr(0, 3), "\xEF\xBB\xBF");
    Lines build = BuildCommand("s.txt", "m.k30");
    EXPECT_EQ(build[1], c.kind);
    build.push_back("--overwrite");
    CliResult built = Run(build);
    ASSERT_EQ(built.exit_code, 0) << built.output.substr(0, 2000);

    // Links that lead somewhere and tags the markup knows, all of them paired.
    Lines lint = build;
    lint[0] = "lint";
    lint.erase(lint.begin() + 3);  // no OUTPUT
    lint.pop_back();               // --overwrite
    lint.insert(lint.end(), {"--disable", "build,empty-entry"});
    CliResult linted = Run(lint);
    EXPECT_EQ(linted.output, "");
    EXPECT_EQ(linted.exit_code, 0);
    EXPECT_EQ(source.find("<link bible=") != std::string::npos, c.bible_links);
    EXPECT_EQ(source.find("<link local=") != std::string::npos, c.local_links);

    CliResult dumped = Run({"dump", "m.k30"});
    ASSERT_EQ(dumped.exit_code, 0);
    std::vector<DumpEntry> entries = ReadDump(dumped.output);
    EXPECT_GE(entries.size(), c.min_entries);
    std::string all_text;
    for (const DumpEntry& e : entries) all_text += e.text + "\n";
    for (std::string_view markup :
         {"osisRef", "osisID", "<entryFree", "<reference", "<ref ", "<div", "<hi ", "<lb", "<title",
          "<verse", "&amp;", "&lt;", "&#", "sID=", "eID="})
      EXPECT_EQ(all_text.find(markup), std::string::npos) << markup;

    // The input's words, in their order: per key in a dictionary, all along a commentary (whose
    // introductions go in front of the verses they stand before).
    std::string missing;
    if (c.kind == "dictionary") {
      std::vector<ImpEntry> input_entries = ReadImp(ReadFile(input));
      EXPECT_EQ(entries.size(), input_entries.size());
      std::map<std::string, Lines> by_name;
      for (const DumpEntry& e : entries) {
        Lines& words = by_name[e.head.substr(2)];
        for (std::string& w : Words(e.text)) words.push_back(std::move(w));
      }
      for (const ImpEntry& e : input_entries)
        EXPECT_TRUE(InOrder(Words(e.text, true), by_name[e.key], missing))
            << e.key << ": " << missing;
    } else {
      std::string input_text = ReadFile(input);
      if (c.format == "osis") input_text = input_text.substr(input_text.find("</header>"));
      Lines input_words;
      for (const ImpEntry& e : ReadImp(input_text)) {
        for (std::string& w : Words(e.text, true)) input_words.push_back(std::move(w));
      }
      if (c.format == "osis") input_words = Words(input_text, true);
      EXPECT_TRUE(InOrder(input_words, Words(all_text), missing)) << missing;
    }
  }
}
#endif

TEST_F(ImportCliTest, XhtmlBookBecomesAWritingOfItsSections) {
  fs::copy_file(fs::path(TAVRIN_EXAMPLES_DIR) / "psalms-guide.xhtml", dir_ / "guide.xhtml");
  CliResult imported = Run({"import", "html", "guide.xhtml", "-o", "guide.txt"});
  ASSERT_EQ(imported.exit_code, 0) << imported.output;
  // Only the in-book anchor has no place in the module.
  EXPECT_EQ(imported.output,
            "guide.xhtml:35:39: warning: reference '#p100' leads outside this module; kept as "
            "text [import]\n"
            "guide.txt: 4 entries; build it with:\n"
            "tavrin-cli build writing THIS-FILE OUTPUT --name 'A Short Guide to the Psalms'\n");
  Lines build = BuildCommand("guide.txt", "guide.k30");
  ASSERT_EQ(Run(build).exit_code, 0);
  CliResult lint = Run({"lint", "writing", "guide.txt", "--name", "G"});
  EXPECT_EQ(lint.output, "");
  std::vector<DumpEntry> entries = ReadDump(Run({"dump", "guide.k30"}).output);
  Lines heads;
  for (const DumpEntry& e : entries) heads.push_back(e.head);
  EXPECT_EQ(heads, (Lines{"# A Short Guide to the Psalms", "# The Book and Its Parts",
                          "# Reading Hebrew Poetry", "# Further Reading"}));
  std::string missing;
  std::string all;
  for (const DumpEntry& e : entries) all += e.head + "\n" + e.text + "\n";
  std::string body = ReadFile("guide.xhtml");
  body = body.substr(body.find("<body>"));
  EXPECT_TRUE(InOrder(Words(body, true), Words(all), missing)) << missing;
}

TEST_F(ImportCliTest, ExitStatusAndFindings) {
  WriteFile(
      "a.imp",
      "$$$AARON\r\nA <b>bold</b> man\r\n$$$ABEL\r\n<ref osisRef=\"Tob.1.1\">Tob 1:1</ref>\r\n");
  struct Case {
    Lines args;
    int exit_code;
    std::string output;
  } cases[] = {
      {{"import", "imp", "a.imp", "-o", "a.txt"},
       0,
       "a.imp:4:23: warning: 'Tob' is a book outside the 66 of the book names; the reference is "
       "kept as text [import]\n"
       "a.txt: 2 entries; build it with:\ntavrin-cli build dictionary THIS-FILE OUTPUT --name "
       "'a'\n"},
      {{"import", "imp", "missing.imp", "-o", "b.txt"},
       1,
       "missing.imp:1:1: error: cannot read the input: Cannot open file missing.imp [import]\n"},
      {{"import", "imp", "a.imp", "-o", "a.txt", "--kind", "commentary"},
       1,
       "a.imp:1:1: warning: key 'AARON' is no verse of the 66 books; entry left out [import]\n"
       "a.imp:4:23: warning: 'Tob' is a book outside the 66 of the book names; the reference is "
       "kept as text [import]\n"
       "a.imp:3:1: warning: key 'ABEL' is no verse of the 66 books; entry left out [import]\n"
       "a.imp:1:1: error: no entries found in the input; nothing written [import]\n"},
      {{"import", "rtf", "a.imp", "-o", "c.txt"}, 2, ""},
      {{"import", "imp", "a.imp"}, 2, ""},
  };
  for (const Case& c : cases) {
    CliResult r = Run(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args[1] << " " << c.args[2];
    if (c.exit_code != 2) {
      EXPECT_EQ(r.output, c.output);
    }
  }
  EXPECT_EQ(ReadFile("a.txt"),
            "\xEF\xBB\xBFMarked text written by tavrin-cli import imp. Build it with:\r\n"
            "tavrin-cli build dictionary THIS-FILE OUTPUT --name 'a'\r\n\r\n"
            "#AARON\r\nA <b>bold</b> man\r\n#ABEL\r\nTob 1:1\r\n");
  EXPECT_FALSE(Exists("b.txt"));
}

// Inputs from strangers: the import reads no other file, expands entities only so far, and
// refuses documents nested without end, each quickly.
TEST_F(ImportCliTest, HostileDocumentsReadNothingElseAndAreRefusedQuickly) {
  WriteFile("secret.txt", "SECRET-FILE");
  WriteFile("secret.dtd", "<!ENTITY leak \"SECRET-DTD\">");
  std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE osis [\n<!ENTITY a \"lol\">\n";
  for (char e = 'b'; e <= 'k'; ++e) {
    laughs += std::string("<!ENTITY ") + e + " \"";
    for (int i = 0; i < 10; ++i) laughs += std::string("&") + char(e - 1) + ";";
    laughs += "\">\n";
  }
  laughs += "]>\n<osis><verse osisID=\"Gen.1.1\">&k;</verse></osis>\n";
  const std::string absolute = (dir_ / "secret.txt").string();
  const std::string external =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE osis SYSTEM \"secret.dtd\" [\n"
      "<!ENTITY ext SYSTEM \"secret.txt\">\n<!ENTITY abs SYSTEM \"file://" +
      absolute +
      "\">\n"
      "<!ENTITY % pe SYSTEM \"secret.txt\">\n%pe;\n]>\n"
      "<osis><verse osisID=\"Gen.1.1\">In &ext;&abs;&leak; the beginning</verse></osis>\n";
  auto nested = [](std::string_view open, std::string_view close) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += open;
    text += "deep";
    for (int i = 0; i < 100000; ++i) text += close;
    return text;
  };
  struct Case {
    std::string file, format, bytes;
    int exit_code;
    std::string message;  // a line of the output
  } cases[] = {
      {"laughs.osis", "osis", laughs, 1,
       "laughs.osis:15:34: error: entity expansion refused (a document that expands its entities "
       "this far is no text to import): Detected an entity reference loop [import]"},
      {"external.osis", "osis", external, 0,
       "external.osis:8:39: warning: entity '&ext;' names another file or address, which is "
       "never read; left out [import]"},
      {"deep.osis", "osis", "<osis><verse osisID=\"Gen.1.1\">" + nested("<div>", "</div>"), 1,
       "deep.osis:1:1305: error: elements nested deeper than 256; the document is refused "
       "[import]"},
      {"deep.html", "html", "<html><body>" + nested("<div>", "</div>"), 1,
       "deep.html:1:1287: error: elements nested deeper than 256; the document is refused "
       "[import]"},
      {"deep.imp", "imp", "$$$A\n" + nested("<hi>", "</hi>"), 1,
       "deep.imp:2:1024: error: elements nested deeper than 256; the document is refused "
       "[import]"},
  };
  for (const Case& c : cases) {
    WriteFile(c.file, c.bytes);
    const auto start = std::chrono::steady_clock::now();
    CliResult r = Run({"import", c.format, c.file, "-o", c.file + ".txt"});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0) << c.file;
    EXPECT_EQ(r.exit_code, c.exit_code) << c.file;
    EXPECT_NE(r.output.find(c.message + "\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("SECRET"), std::string::npos) << c.file;
    EXPECT_EQ(Exists(c.file + ".txt"), c.exit_code == 0) << c.file;
  }
  EXPECT_EQ(ReadFile("external.osis.txt").find("SECRET"), std::string::npos);
  EXPECT_NE(ReadFile("external.osis.txt").find("In the beginning"), std::string::npos);
}

}  // namespace
}  // namespace tavrin::e2e
