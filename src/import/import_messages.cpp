#include "import/import_messages.h"

#include <array>
#include <stdexcept>

namespace tavrin {
namespace {

constexpr auto kRows = std::to_array<ImportMessageRow>({
    {ImportMessage::kCannotRead, "cannot read the input: %1", MessagePlace::kInputFile},
    {ImportMessage::kCannotWrite, "cannot write the marked text: %1", MessagePlace::kOutputFile},
    {ImportMessage::kFileError, "%1", MessagePlace::kInputFile},
    {ImportMessage::kNoEntries, "no entries found in the input; nothing written",
     MessagePlace::kInputFile},
    {ImportMessage::kEntityExpansion,
     "entity expansion refused (a document that expands its entities this far is no text to "
     "import): %1",
     MessagePlace::kInputPosition},
    {ImportMessage::kTooDeep, "elements nested deeper than %1; the document is refused",
     MessagePlace::kInputPosition},
    {ImportMessage::kNoBookNames, "cannot read the book names: %1", MessagePlace::kInputFile},
    {ImportMessage::kKindNotImported,
     "a %1 cannot be imported (dictionary, topics, commentary, "
     "notes or writing)",
     MessagePlace::kInputFile},
    {ImportMessage::kXmlProblem, "%1; read on from here", MessagePlace::kInputPosition},
    {ImportMessage::kEntityNotRead,
     "entity '&%1;' names another file or address, which is never read; left out",
     MessagePlace::kInputPosition},
    {ImportMessage::kXmlProblemsLeft, "%1 more problems of the markup in this input not listed",
     MessagePlace::kInputFile},
    {ImportMessage::kNotUtf8, "the entry is not UTF-8; read as Windows-1252",
     MessagePlace::kKeyLine},
    {ImportMessage::kInvalidUtf8, "bytes that are no UTF-8 characters replaced by '?'",
     MessagePlace::kInputPosition},
    {ImportMessage::kNotAVerse, "key '%1' is no verse of the 66 books; entry left out",
     MessagePlace::kKeyLine},
    {ImportMessage::kBookOutside, "'%1' is a book outside the 66 of the book names; %2",
     MessagePlace::kInputPosition},
    {ImportMessage::kIntroductionMoved, "introduction '%1' put in front of the note on %2",
     MessagePlace::kKeyLine},
    {ImportMessage::kHeadingMoved, "heading '%1' put in front of the note on %2",
     MessagePlace::kKeyLine},
    {ImportMessage::kRangeFirstVerse,
     "'%1' covers several verses; the note is attached to its first, %2", MessagePlace::kKeyLine},
    {ImportMessage::kDuplicateKey, "key '%1' was met before; %2", MessagePlace::kKeyLine},
    {ImportMessage::kReferenceAsText, "reference '%1' is no verse of the 66 books; kept as text",
     MessagePlace::kInputPosition},
    {ImportMessage::kReferenceOutside, "reference '%1' leads outside this module; kept as text",
     MessagePlace::kInputPosition},
    {ImportMessage::kPictureAsText,
     "picture '%1' is not carried over; its description kept as text",
     MessagePlace::kInputPosition},
    {ImportMessage::kGreekAccents,
     "accents and breathings of Greek letters dropped (code page 1253 has none)",
     MessagePlace::kInputPosition},
    {ImportMessage::kHebrewMarks, "Hebrew cantillation marks dropped (code page 1255 has none)",
     MessagePlace::kInputPosition},
    {ImportMessage::kLastByte,
     "'%1' is the byte 0xFF of code page %2, which would end the text in the module; written "
     "as '%3'",
     MessagePlace::kInputPosition},
    {ImportMessage::kWritten, "%1: %2 entries; build it with:", MessagePlace::kNone},
    {ImportMessage::kWrittenIntoTab,
     "%1 entries written to %2; it is the source of the %3 tab now.", MessagePlace::kNone},
    {ImportMessage::kAskFormat,
     "%1 does not tell its format. Read it as an OSIS document?\n(No reads it as HTML.)",
     MessagePlace::kNone},
    {ImportMessage::kUntitledSection, "a section without a title is named '%1'",
     MessagePlace::kInputPosition},
    {ImportMessage::kTextBeforeFirstEntry, "text before the first entry left out: '%1'",
     MessagePlace::kInputPosition},
    {ImportMessage::kTextLeftOut, "text after the last entry left out: '%1'",
     MessagePlace::kInputPosition},
});

constexpr bool RowsInOrder() {
  for (std::size_t i = 0; i < kRows.size(); ++i)
    if (static_cast<std::size_t>(kRows[i].id) != i) return false;
  return true;
}
static_assert(RowsInOrder(), "one row per message, in the order of the enum");

}  // namespace

const ImportMessageRow& MessageRow(ImportMessage id) {
  return kRows.at(static_cast<std::size_t>(id));
}

std::string MessageText(ImportMessage id, std::initializer_list<std::string_view> values) {
  std::string_view text = MessageRow(id).text;
  std::string out;
  out.reserve(text.size() + 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      std::size_t n = static_cast<std::size_t>(text[i + 1] - '1');
      if (n < values.size()) out += values.begin()[n];
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace tavrin
