// Each format's structure read into entries: commentaries with introductions, headings and
// ranges, glossaries, general books, book paths, GBF, and HTML books of several files.
#include <gtest/gtest.h>
#include <unistd.h>  // getpid, which MinGW-w64 has too

#include <filesystem>
#include <fstream>

#include "import/importer.h"
#include "platform/system.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

class ImportFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tavrin-formats-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The entries of the marked text (past its leading lines), and the warnings, one a line.
  std::string Import(ImportFormat format, const std::vector<std::string>& inputs,
                     std::optional<ModuleKind> kind = std::nullopt, int split = -1) {
    ImportRequest request;
    request.format = format;
    request.kind = kind;
    request.split_level = split;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      fs::path path = dir_ / ("in" + std::to_string(i + 1));
      std::ofstream(path, std::ios::binary) << inputs[i];
      request.inputs.push_back(path.string());
    }
    request.output = (dir_ / "out.txt").string();
    request.program_folder = TAVRIN_DATA_BIN_DIR;
    ImportResult result = RunImport(request);
    std::string out;
    if (result.written) {
      std::string text = ReadWholeFile(request.output);
      out = text.substr(text.find("\r\n\r\n") + 4);
      out = std::string(KindInfo(result.kind).word) + "\r\n" + out;
    }
    for (const Finding& f : result.findings.Warnings())
      out += std::to_string(f.line) + ": " + f.message + "\r\n";
    return out;
  }
  fs::path dir_;
};

TEST_F(ImportFormats, EntriesOfEachStructure) {
  struct Case {
    ImportFormat format;
    std::vector<std::string> inputs;
    std::string expected;
    std::optional<ModuleKind> kind = std::nullopt;
    int split = -1;
  } cases[] = {
      {ImportFormat::kImp,
       {"$$$[ Module Heading ]\nA work\n$$$Genesis 0:0\nOn Genesis\n$$$Genesis 1:0\n\n"
        "$$$Genesis 1:1-3\nIn the beginning\n$$$Genesis 1:1\nagain\n$$$Tobit 1:1\nx\n"},
       "commentary\r\n#Gen 1:1\r\nA work\r\nOn Genesis\r\nIn the beginning\r\n#Gen 1:1\r\n"
       "again\r\n"
       "7: 'Genesis 1:1-3' covers several verses; the note is attached to its first, Gen 1:1\r\n"
       "1: heading '[ Module Heading ]' put in front of the note on Gen 1:1\r\n"
       "3: introduction 'Genesis 0:0' put in front of the note on Gen 1:1\r\n"
       "9: key 'Genesis 1:1' was met before; the build adds the note to the first one\r\n"
       "11: 'Tobit' is a book outside the 66 of the book names; entry left out\r\n"},
      {ImportFormat::kImp,
       {"$$$/\nTitle page\n$$$/Part 1\n<FB>Bold<Fb> and <FI>italic<Fi><CM>next<RF>a "
        "note<Rf>\n$$$/Part 1/Chapter 3\nplain 3 < 4 & <b>more\n"},
       "writing\r\n#in1\r\nTitle page\r\n#Part 1\r\n<b>Bold</b> and <i>italic</i>\r\nnext [a "
       "note]\r\n#Part 1/Chapter 3\r\nplain 3 < 4 & <b>more</b>\r\n"
       // An element the entry leaves open is closed at its end.
       "7: Opening and ending tag mismatch: b line 2 and x; read on from here\r\n"
       "7: Premature end of data in tag x line 1; read on from here\r\n"},
      {ImportFormat::kOsis,
       {"<osis><osisText><div type=\"glossary\"><div type=\"x-keyword\"><p><seg "
        "type=\"keyword\">Abba</seg> Father</p></div><p><seg type=\"keyword\">Amen</seg> So be "
        "it</p></div></osisText></osis>"},
       "dictionary\r\n#Abba\r\nFather\r\n#Amen\r\nSo be it\r\n"},
      {ImportFormat::kOsis,
       {"<osis><osisText><header><work><title>W</title></work></header><div type=\"book\">"
        "<title>Part One</title><p>Opening</p><div type=\"chapter\" n=\"Ch 1\"><p>Text "
        "<note>n</note></p></div><div type=\"x-p\" sID=\"p1\"/><div><title>Last</title>"
        "</div></div></osisText></osis>"},
       "writing\r\n#Part One\r\nOpening\r\n#Ch 1\r\nText [n]\r\n#Last\r\n"},
      {ImportFormat::kOsis,
       {"<osis><div type=\"book\"><title>Psalms</title><chapter osisID=\"Ps.1\"><verse "
        "sID=\"Ps.1.1\" osisID=\"Ps.1.1\"/>Blessed<verse eID=\"Ps.1.1\"/><verse "
        "osisID=\"Ps.1.2 Ps.1.3\">his delight</verse></chapter></div></osis>"},
       "commentary\r\n#Ps 1:1\r\n<h3>Psalms</h>\r\nBlessed\r\n#Ps 1:2\r\nhis delight\r\n"
       "1: heading '<h3>Psalms</h>' put in front of the note on Ps 1:1\r\n"
       "1: 'Ps.1.2 Ps.1.3' covers several verses; the note is attached to its first, Ps 1:2\r\n"},
      {ImportFormat::kHtml,
       {"<html><head><title>One</title></head><body><p>first <b>file</b></p></body></html>",
        "<html><body><h1>Two</h1><p>second</p></body></html>"},
       "writing\r\n#One\r\nfirst <b>file</b>\r\n#in2\r\n<h1>Two</h>\r\nsecond\r\n"},
      {ImportFormat::kHtml,
       {"<html><body><p>before</p><h2>Gen 1:1</h2><p>a</p><h3>sub</h3><h2>John 3:16</h2>"
        "<p>b</p></body></html>"},
       "commentary\r\n#Gen 1:1\r\na\r\n<h3>sub</h>\r\n#John 3:16\r\nb\r\n"
       "1: key 'in1' is no verse of the 66 books; entry left out\r\n",
       ModuleKind::kCommentary},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Import(c.format, c.inputs, c.kind, c.split), c.expected) << c.inputs[0];
}

}  // namespace
}  // namespace tavrin
