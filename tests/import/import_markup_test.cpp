// The import's vocabulary: what each element of OSIS, ThML, TEI and HTML becomes, and the
// references read from their attributes and texts.
#include <gtest/gtest.h>

#include <fstream>

#include "import/bible_books.h"
#include "import/entry_composer.h"
#include "import/marked_text_writer.h"
#include "import/xml_stream.h"

namespace tavrin {
namespace {

std::vector<std::string> ShippedBookNames() {
  std::ifstream in(std::string(TAVRIN_DATA_DIR) + "/tavrin.bok", std::ios::binary);
  std::vector<std::string> names;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    names.push_back(line);
  }
  return names;
}

struct Composed {
  std::string text;  // the lines, each ended by "\n"
  std::vector<std::string> warnings;
};

Composed Compose(std::string_view fragment, bool html = false) {
  ComposerSettings settings;
  settings.book_names = ShippedBookNames();
  settings.local_key = [](std::string_view, std::string_view key) -> std::optional<std::string> {
    if (key == "427") return "00427";
    return std::nullopt;
  };
  settings.in_map = [](const BibleRef& ref) { return ref.chapter <= 150; };
  ImportFindings findings;
  EntryComposer composer(settings, findings);
  composer.SetHtml(html);
  MarkupStream stream(html ? MarkupStream::Syntax::kHtml : MarkupStream::Syntax::kXml, composer,
                      findings, "in.xml");
  std::string document = "<x>" + XmlFragment(fragment) + "</x>";
  std::size_t done = 0;
  stream.Parse([&](char* data, std::size_t size) {
    std::size_t n = std::min(size, document.size() - done);
    std::copy_n(document.data() + done, n, data);
    done += n;
    return n;
  });
  Composed out;
  for (const std::string& line : composer.TakeLines()) out.text += line + "\n";
  for (const Finding& f : findings.Warnings()) out.warnings.push_back(f.message);
  return out;
}

TEST(ImportMarkup, ElementsBecomeTavrinMarkup) {
  struct Case {
    std::string_view input, expected;
  } cases[] = {
      // Emphasis of every vocabulary.
      {"a <b>b</b> <hi type=\"italic\">c</hi> <hi rend=\"bold\">d</hi> <u>e</u> <em>f</em>",
       "a <b>b</b> <i>c</i> <b>d</b> <u>e</u> <i>f</i>\n"},
      {"<orth rend=\"bold\" type=\"trans\">A</orth> <transChange>is</transChange> <tt>x</tt>",
       "<b>A</b> <i>is</i> <mono>x</mono>\n"},
      {"<font color=\"Red\">red</font> <font color=\"#ff0000\">hex</font>",
       "<color=red>red</color> hex\n"},
      // Blocks and breaks: paragraphs, TEI and HTML breaks, OSIS milestone paragraphs.
      {"<p>one</p><p>two<lb/>three</p><div sID=\"g1\" type=\"x-p\"/>four<br/>five",
       "one\ntwo\nthree\nfour\nfive\n"},
      // Headings, centred and indented blocks.
      {"<title type=\"x-s\">Psalm 1</title>text<title></title><h1>Top</h1><h6>Low</h6>",
       "<h3>Psalm 1</h>\ntext\n<h1>Top</h>\n<h5>Low</h>\n"},
      {"<center>mid</center><p align=\"center\">also</p><blockquote>quoted</blockquote>",
       "<c>mid</c>\n<c>also</c>\n<ind=1>quoted</ind>\n"},
      // Poetry and lists.
      {"<lg><l>line one</l><l>line two</l></lg>after",
       "<lines>\nline one\nline two\n</lines>\nafter\n"},
      {"<list><item>a</item><item>b</item></list><ol><li>c</li><li>d</li></ol>",
       "\u2022 a\n\u2022 b\n1. c\n2. d\n"},
      {"<table><row><cell>1</cell><cell>2</cell></row><row><cell>3</cell></row></table>",
       "1 2\n3\n"},
      // Notes stay where they stand, in brackets.
      {"word<note type=\"x-footnote\">a note</note> goes on", "word [a note] goes on\n"},
      // References: OSIS ids, ranges, chapters, English text, ThML passages, their text alone.
      {"<reference osisRef=\"Exod.6.16-Exod.6.20\">Ex 6:16-20</reference>",
       "<link bible=Exod 6:16>Ex 6:16-20</link>\n"},
      {"<ref osisRef=\"1Chr.6.2\">1Ch 6:2</ref>, <ref osisRef=\"Ps.23\">23</ref>",
       "<link bible=1 Chr 6:2>1Ch 6:2</link>, <link bible=Ps 23:1>23</link>\n"},
      {"<reference osisRef=\"ge 1\">ge 1</reference> <scripRef passage=\"joh 7:7\">v</scripRef>",
       "<link bible=Gen 1:1>ge 1</link> <link bible=John 7:7>v</link>\n"},
      {"see <scripRef>Re20:4-6</scripRef> and <reference>MHCC:Heb 1:4</reference>",
       "see <link bible=Rev 20:4>Re20:4-6</link> and <link bible=Heb 1:4>MHCC:Heb 1:4</link>\n"},
      {"<reference osisRef=\"Gen.1.1\"/>", "<link bible=Gen 1:1>Gen 1:1</link>\n"},
      // Another entry of the same dictionary; an entry of another; the web.
      {"<ref target=\"StrongsGreek:427\">G427</ref> <ref target=\"StrongsHebrew:9\">H9</ref>",
       "<link local=00427>G427</link> H9\n"},
      {"<a href=\"https://x.org/a\">site</a> <a href=\"mailto:me@x.org\">me</a> <a "
       "name=\"n\">n</a>",
       "<link url=https://x.org/a>site</link> <link email=me@x.org>me</link> n\n"},
      // An address with blanks or brackets (the fuzz target's) stays one link on one line.
      {"<a href=\"http://x.org/a b\n>c\">w</a>", "<link url=http://x.org/a%20b%20%3Ec>w</link>\n"},
      // Outside the 66 books or the verse map: text.
      {"<reference osisRef=\"Tob.1.1\">Tob 1:1</reference> <reference "
       "osisRef=\"Ps.151.1\">x</reference>",
       "Tob 1:1 x\n"},
      // Greek and Hebrew in their code pages, accents of polytonic Greek dropped.
      {"<orth>\u1F00\u03B3\u03AC\u03C0\u03B7</orth> and \u05D0\u05B8\u05D1",
       "<gre><cp=1253>\u00E1\u00E3\u00DC\u00F0\u00E7</cp></gre> and "
       "<heb><cp=1255>\u00E0\u00C8\u00E1</cp></heb>\n"},
      // Text that would read as markup stays text.
      {"a &lt;b&gt; b &amp; c < d &nbsp;e", "a <lit><</lit>b> b & c < d \u00A0e\n"},
      // Elements with no counterpart leave their text; hidden ones leave nothing.
      {"<w lemma=\"strong:H07225\">In</w> <divineName>Lord</divineName><style>p{}</style>",
       "In Lord\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Compose(c.input).text, c.expected) << c.input;
}

TEST(ImportMarkup, WhatIsNotCarriedOverIsWarned) {
  struct Case {
    std::string_view input, warning;
  } cases[] = {
      {"<reference osisRef=\"Sir.1.1\">Sir 1:1</reference>",
       "'Sir' is a book outside the 66 of the book names; the reference is kept as text"},
      {"<ref target=\"Nave:NOWHERE\">x</ref>",
       "reference 'Nave:NOWHERE' leads outside this module; kept as text"},
      {"<img src=\"a.png\" alt=\"A map\"/>",
       "picture 'a.png' is not carried over; its description kept as text"},
      {"\u1F00", "accents and breathings of Greek letters dropped (code page 1253 has none)"},
      {"<b>open <i>never closed</b>",
       "Opening and ending tag mismatch: i line 1 and b; read on "
       "from here"},
  };
  for (const Case& c : cases) {
    Composed composed = Compose(c.input);
    ASSERT_FALSE(composed.warnings.empty()) << c.input;
    EXPECT_EQ(composed.warnings.front(), c.warning) << c.input;
  }
}

TEST(ImportMarkup, EnglishReferences) {
  struct Case {
    std::string_view text;
    int book, chapter, verse, end_chapter, end_verse;
  } cases[] = {
      {"Genesis 1:1", 1, 1, 1, 1, 1},
      {"I Chronicles 3:4", 13, 3, 4, 3, 4},
      {"Revelation of John 2:1", 66, 2, 1, 2, 1},
      {"Genesis 1:1-3", 1, 1, 1, 1, 3},
      {"Genesis 1:0", 1, 1, 0, 1, 0},
      {"Genesis 0:0", 1, 0, 0, 0, 0},
      {"joh 7:7", 43, 7, 7, 7, 7},
      {"Ro 3:23", 45, 3, 23, 3, 23},
      {"1Ch 6:3", 13, 6, 3, 6, 3},
      {"Re20:4-6", 66, 20, 4, 20, 6},
      {"MHCC:Heb 1:4", 58, 1, 4, 1, 4},
      {"Ps 23", 19, 23, 1, 23, 1},
      {"Jude 5", 65, 1, 5, 1, 5},
      {"Song of Solomon 2:1", 22, 2, 1, 2, 1},
      {"2 Sam. 7:12-8:3", 10, 7, 12, 8, 3},
      {"First John 1:9", 62, 1, 9, 1, 9},
      {"Phlm 1:4", 57, 1, 4, 1, 4},
      {"Gen. 1.2", 1, 1, 2, 1, 2},
  };
  for (const Case& c : cases) {
    RefReading r = ReadEnglishRef(c.text);
    ASSERT_EQ(r.kind, RefReading::Kind::kVerse) << c.text;
    EXPECT_EQ(r.ref.book, c.book) << c.text;
    EXPECT_EQ(r.ref.chapter, c.chapter) << c.text;
    EXPECT_EQ(r.ref.verse, c.verse) << c.text;
    EXPECT_EQ(r.ref.end_chapter, c.end_chapter) << c.text;
    EXPECT_EQ(r.ref.end_verse, c.end_verse) << c.text;
  }
  // Ambiguous abbreviations, words that are no books, books of other canons.
  for (std::string_view text :
       {"Jo 1:1", "AARON", "00427", "John said", "Ph 1:1", "[ Module Heading ]"})
    EXPECT_EQ(ReadEnglishRef(text).kind, RefReading::Kind::kNone) << text;
  EXPECT_EQ(ReadEnglishRef("Tobit 1:1").kind, RefReading::Kind::kOutsideBook);
  EXPECT_EQ(ReadOsisRef("Sir.2.3").kind, RefReading::Kind::kOutsideBook);
}

TEST(ImportMarkup, LinesThatWouldReadAsMarkup) {
  EXPECT_EQ(LiteralText("a<b x</i> 3<4 <!-- c"),
            "a<lit><</lit>b x<lit><</lit>/i> 3<4 <lit><</lit>!-- c");
  EXPECT_EQ(XmlFragment("a & b &nbsp; &amp; &#65; &bogus; <3 <b>"),
            "a &amp; b &#160; &amp; &#65; &amp;bogus; &lt;3 <b>");
}

}  // namespace
}  // namespace tavrin
