// The fast text pipeline against the step-by-step one: the same random entries must give the
// same bytes. The number of cases is 5,000 by default; TAVRIN_DIFFERENTIAL_CASES asks for more
// (bench/run uses 200,000) and TAVRIN_DIFFERENTIAL_SEED for other entries.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "builders/body_line.h"
#include "source/markup.h"
#include "support/reference_conversion.h"

namespace tavrin {
namespace {

// Pieces that entries are made of: every tag open and closed, good and bad attributes, breaks
// in all spellings, literal breaks, the marker byte, blanks and line breaks, links.
const std::vector<std::string>& Pieces() {
  static const std::vector<std::string> pieces = {
      "<link>", "<link bible=Gen 1:1>", "<link bible=>", "<LINK KJV=Jn 3:16>", "<link kjv=x>",
      "<link picture=map.gif>", "<link  picture=a>", "<link sound=s.wav>", "<link file=f.doc>",
      "<link pic=p.gif>", "</link>", "</LINK>", "<h1>", "<h2>", "<H5>", "<h6>", "<h>", "<h x2>",
      "<h 3>", "</h>", "</h2>", "<l>", "</l>", "<r>", "</r>", "<c>", "</c>", "<ind=0>", "<ind=2>",
      "<ind=-1>", "<ind>", "</ind>", "<n>", "</n>", "<b>", "<B>", "< b>", "<b\t>", "<b x=1>",
      "<b =1>", "<b\tx>", "<b 2>", "</b>", "</B>", "<i>", "</i>", "<u>", "</u>", "<color=red>",
      "<color=Red>", "<color=26>", "<color=31>", "<color=pink>", "<color = 5 >", "</color>",
      "<mono>", "</mono>", "<lines>", "</lines>", "<size=0>", "<size=3>", "<size=6>", "<size>",
      "<size=+2>", "</size>", "<lit>", "</lit>", "<gre>", "</gre>", "<heb>", "</heb>", "<cp=1250>",
      "<cp=abc>", "<cp=-7>", "</cp>", "<font>", "<font=Arial>", "<font= >", "</font>",
      "<lit><br></lit>", "<LIT><BR></LIT>", "<br>", "<BR>", " <br> ", "  <br>", "<br>  ", "<br",
      "\r\n", "\r\n\r\n", "\r\n\r\n\r\n", "\r", "\n", " ", "  ", "\t", "<", ">", "=", "/", "</",
      "a", "word", "Apple", "3", "\xA4", "\x8B", "\x9B", "\xC4", "<b <i>", "<<b>>", "<bx>",
      "<link x=<b>>", "<\r\nb>", "</\x01b>", "<colorx>", "<size=00000000002>",
      // Tags open to the next "=" and ">", so that several share one value.
      "<ind ", "<link ", "<color ", "<size ", "<font ", "=", "00", "+", "-", "red",
      // Long runs without a special byte, in
      // both cases and with bytes above 0x7F.
      "The Quick Brown Fox Jumps Over Zebra Azure", "CAF\xC9 AND \xC4PFEL strasse ZZZ @[`{ AZaz"};
  return pieces;
}

std::string RandomEntry(std::mt19937& rng) {
  const auto& pieces = Pieces();
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> byte_or_piece(0, 9);
  std::uniform_int_distribution<int> any_byte(0, 255);
  const std::string chaos = "<>/=bi \r\n";
  std::uniform_int_distribution<std::size_t> pick_chaos(0, chaos.size() - 1);
  std::string entry;
  int n = length(rng);
  for (int i = 0; i < n; ++i) {
    int kind = byte_or_piece(rng);
    if (kind == 0)
      entry += chaos[pick_chaos(rng)];
    else if (kind == 1 && any_byte(rng) < 32)
      entry += static_cast<char>(any_byte(rng));
    else
      entry += pieces[pick(rng)];
  }
  // Entries as the reading loop leaves them usually end in a separator.
  std::uniform_int_distribution<int> tail(0, 2);
  int t = tail(rng);
  if (t == 1) entry += " ";
  if (t == 2) entry += "\r\n";
  return entry;
}

LinkSettings RandomLinks(std::mt19937& rng) {
  LinkSettings links;
  std::uniform_int_distribution<int> coin(0, 1);
  if (coin(rng)) links.link_aliases.push_back({"kjv", "bible"});
  if (coin(rng)) links.link_aliases.push_back({"PIC", "picture"});
  if (coin(rng)) links.link_aliases.push_back({"bible", "url"});
  if (coin(rng)) links.pictures_dir = "pics\\";
  if (coin(rng)) links.sounds_dir = "snd\\";
  if (coin(rng)) links.files_dir = "files\\";
  return links;
}

// A fixed seed unless TAVRIN_DIFFERENTIAL_SEED asks for another one.
unsigned Seed(unsigned fixed) {
  const char* asked = std::getenv("TAVRIN_DIFFERENTIAL_SEED");
  return asked != nullptr ? fixed ^ static_cast<unsigned>(std::strtoul(asked, nullptr, 10)) : fixed;
}

int CaseCount() {
  const char* asked = std::getenv("TAVRIN_DIFFERENTIAL_CASES");
  int n = asked != nullptr ? std::atoi(asked) : 0;
  return n > 0 ? n : 5000;
}

std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

// The usual locale and tag table, without link settings.
struct WesternMarkup {
  TextLocale locale{"en_US", 1252};
  TagTable tags = BuildTagTable();
  LinkSettings links;
  MarkupContext context{tags, links, locale};
};

TEST(EntryTextDifferential, FinishingMatchesTheStepByStepVersion) {
  TextLocale locale("en_US", 1252);
  TagTable tags = BuildTagTable();
  std::mt19937 rng(Seed(20240607));
  const int cases = CaseCount();
  int failures = 0;
  // One set of working buffers for every case, as a finishing thread keeps it.
  ConversionBuffers shared;
  for (int i = 0; i < cases && failures < 5; ++i) {
    std::string entry = RandomEntry(rng);
    LinkSettings links = RandomLinks(rng);
    MarkupContext context{tags, links, locale};
    BuildOptions options;
    const int bits = static_cast<int>(rng());
    options.join_lines = (bits & 1) != 0;
    options.preserve_empty_lines = (bits & 2) != 0;
    options.remove_extra_empty_lines = (bits & 4) != 0;
    const bool new_format = (bits & 8) != 0;

    for (bool keep : {true, false}) {
      std::string fast = ConvertEntryText(entry, keep, context);
      std::string slow = ConvertEntryTextReference(entry, keep, context);
      if (fast != slow) {
        ++failures;
        ADD_FAILURE() << "ConvertEntryText keep=" << keep << " of '" << Printable(entry)
                      << "'\n fast '" << Printable(fast) << "'\n slow '" << Printable(slow) << "'";
      }
    }
    EXPECT_EQ(RewriteLinks(entry, context), RewriteLinksReference(entry, context))
        << Printable(entry);

    ByteStream fast_stream;
    ByteStream slow_stream;
    bool fast_block = true;
    bool slow_block = true;
    FinishEntryText(entry, options, new_format, context, fast_stream, fast_block);
    FinishEntryTextReference(entry, options, new_format, context, slow_stream, slow_block);
    if (fast_stream.Bytes() != slow_stream.Bytes()) {
      ++failures;
      ADD_FAILURE() << "FinishEntryText of '" << Printable(entry) << "'";
    }
    EXPECT_FALSE(fast_block);
    std::string appended = "before";
    AppendFinishedEntryText(entry, options, new_format, context, appended, shared);
    if (appended != "before" + slow_stream.Bytes()) {
      ++failures;
      ADD_FAILURE() << "AppendFinishedEntryText with reused buffers of '" << Printable(entry)
                    << "'";
    }
  }
}

TEST(EntryTextDifferential, LineCleaningMatchesTheStepByStepVersion) {
  std::mt19937 rng(Seed(77));
  // Letters enough for runs of eight bytes without a blank pair, blanks enough for pairs.
  const std::string alphabet = "  \t abcdefgh a\xA4<>\x01";
  // Mostly words with single blanks: long stretches with nothing to change, as real lines.
  const std::string words = "abcdefghijklmnopqrstuvwxyz abcdefghijklmnopqrstuvwxyz \xA4";
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<std::size_t> pick_word(0, words.size() - 1);
  std::uniform_int_distribution<int> length(0, 60);
  const int cases = CaseCount();
  for (int i = 0; i < cases; ++i) {
    std::string line;
    if (i % 2 == 0) {
      for (int k = length(rng); k > 0; --k) line += alphabet[pick(rng)];
    } else {
      for (int k = 2 * length(rng); k > 0; --k) line += words[pick_word(rng)];
    }
    BuildOptions options;
    const int bits = static_cast<int>(rng());
    options.remove_extra_spaces = (bits & 1) != 0;
    options.trim_leading_spaces = (bits & 2) != 0;
    const bool in_block = (bits & 4) != 0;
    ASSERT_EQ(CleanLine(line, options, in_block), CleanLineReference(line, options, in_block))
        << Printable(line);
  }
}

// Entries of a few kilobytes take the conversion's eight-bytes-at-a-time paths.
TEST(EntryTextDifferential, LongEntriesMatchTheStepByStepVersion) {
  TagTable tags = BuildTagTable();
  std::mt19937 rng(Seed(99));
  for (const auto& [name, code_page] :
       {std::pair<const char*, int>{"en_US", 1252}, {"ru_RU", 1251}, {"tr_TR", 1254}}) {
    TextLocale locale(name, code_page);
    for (int i = 0; i < 60; ++i) {
      std::string entry;
      for (int k = 0; k < 30; ++k) entry += RandomEntry(rng);
      LinkSettings links = RandomLinks(rng);
      MarkupContext context{tags, links, locale};
      BuildOptions options;
      options.remove_extra_empty_lines = i % 2 == 0;
      for (bool keep : {true, false}) {
        ASSERT_EQ(ConvertEntryText(entry, keep, context),
                  ConvertEntryTextReference(entry, keep, context))
            << name << " keep=" << keep << " '" << Printable(entry) << "'";
        ByteStream fast_stream;
        ByteStream slow_stream;
        bool block = false;
        FinishEntryText(entry, options, keep, context, fast_stream, block);
        FinishEntryTextReference(entry, options, keep, context, slow_stream, block);
        ASSERT_EQ(fast_stream.Bytes(), slow_stream.Bytes()) << name << " '" << Printable(entry);
      }
    }
  }
}

// The break pass looks at sixteen bytes at a time, and at the bytes behind them: each special
// pattern at every place of a block and near the end of the text, in both cases.
TEST(EntryTextDifferential, BreaksAtEveryPlaceOfABlock) {
  const WesternMarkup markup;
  const MarkupContext& context = markup.context;
  BuildOptions options;
  options.remove_extra_empty_lines = true;
  for (const char* pattern : {"<br>", "<Br>", "<bR >", " <BR>  ", "<lit><br></lit>",
                              "<LiT><Br></LiT>", "<lit><b>", "\xA4", "\r\n\r\n\r\n", "\r\n\r\n",
                              "\r\n\r\r\n\r\n", "<\xC4>", "<L>x</L>", "<b>y</b>", "<<br>"}) {
    for (std::size_t before = 0; before <= 40; ++before) {
      for (std::size_t after : {0, 1, 2, 3, 17}) {
        const std::string text =
            std::string(before, before % 3 == 0 ? 'Q' : 'q') + pattern + std::string(after, 'z');
        for (bool keep : {true, false}) {
          ASSERT_EQ(ConvertEntryText(text, keep, context),
                    ConvertEntryTextReference(text, keep, context))
              << Printable(text) << " keep=" << keep;
          ByteStream fast_stream;
          ByteStream slow_stream;
          bool block = false;
          FinishEntryText(text, options, keep, context, fast_stream, block);
          FinishEntryTextReference(text, options, keep, context, slow_stream, block);
          ASSERT_EQ(fast_stream.Bytes(), slow_stream.Bytes()) << Printable(text);
        }
      }
    }
  }
}

// Where tags are kept, a pair changes the text only by a line break right inside one of its ends;
// texts with breaks elsewhere (behind a closing tag, in front of an opening one) stay as they are.
TEST(EntryTextDifferential, KeptTagsTakeOnlyTheBreaksInsideTheirPairs) {
  const WesternMarkup markup;
  const MarkupContext& context = markup.context;
  EXPECT_EQ(ConvertEntryText("<b>\r\nx\r\n</b>", true, context), "<b>x</b>");
  EXPECT_EQ(ConvertEntryText("a\r\n<b>x</b>\r\nb", true, context), "a\r\n<b>x</b>\r\nb");
  EXPECT_EQ(ConvertEntryText("x\r\n</b> <i>\r\n", true, context), "x\r\n</b> <i>\r\n");
  for (const char* text :
       {"<b>\r\nx\r\n</b>", "a\r\n<b>x</b>\r\nb", "x\r\n</b> <i>\r\n", "<i>\r\n<b>x</b>\r\n</i>",
        "<b>x\r\n</i></b>", "<b>\xA4\r\n</b>", "<color=red>\r\n\r\nx</color>", "<b\r\n>x</b>"}) {
    EXPECT_EQ(ConvertEntryText(text, true, context), ConvertEntryTextReference(text, true, context))
        << Printable(text);
  }
}

// Deleting a closing tag can join the bytes around it into a new one, which a later pair takes.
TEST(EntryTextDifferential, ClosingTagsJoinedByDeletion) {
  const WesternMarkup markup;
  const MarkupContext& context = markup.context;
  EXPECT_EQ(ConvertEntryText("<b><i>x<</b>/i>", false, context), "x");
  EXPECT_EQ(ConvertEntryText("<b><i>x<</b>/i>", true, context), "<b><i>x<</b>/i>");
  for (const char* text : {"<u><b><i>x</<</b>/u>i>", "<b>\r\n<i>a\r<</b>/i>\n</b>",
                           "<c><b>y</c</b>></c>", "<b><b>a</</b>b></b>"}) {
    for (bool keep : {true, false}) {
      EXPECT_EQ(ConvertEntryText(text, keep, context),
                ConvertEntryTextReference(text, keep, context))
          << Printable(text) << " keep=" << keep;
    }
  }
}

// Shapes that cost the square of their size when searched from the start each time.
TEST(EntryTextDifferential, LargeEntriesStayExact) {
  const WesternMarkup markup;
  const MarkupContext& context = markup.context;
  std::string nested;
  for (int i = 0; i < 300; ++i) nested += "<b>\r\n<i>";
  nested += "x";
  for (int i = 0; i < 300; ++i) nested += "</i>\r\n</b>";
  std::string lone;
  for (int i = 0; i < 300; ++i) lone += "a<b and <lit><br></lit> <br>  ";
  lone += "> </b>";
  // Held breaks make the text fifteen times longer than its source.
  std::string held;
  for (int i = 0; i < 2000; ++i) held += i % 7 == 0 ? "Ab \xA4 <BR> \r\n" : "\xA4\xA4";
  for (const std::string& text : {nested, lone, held}) {
    for (bool keep : {true, false}) {
      EXPECT_EQ(ConvertEntryText(text, keep, context),
                ConvertEntryTextReference(text, keep, context));
    }
  }
}

}  // namespace
}  // namespace tavrin
