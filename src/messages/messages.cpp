#include "messages/messages.h"

#include <array>

namespace tavrin {
namespace {

using L = MessageLevel;
using P = Place;
using C = Check;

constexpr auto kChecks = std::to_array<CheckRow>({
    {C::kBuild, "build",
     "every warning the build logs, at its place; a warning about a whole entry (section too "
     "long, a duplicate note) at the entry's control or reference line"},
    {C::kUnknownTag, "unknown-tag",
     "a \"<\" followed by a letter or \"/\" whose name is not in the tag table (nor `br`): it "
     "shows as text"},
    {C::kInvalidTag, "invalid-tag",
     "a known tag that fails its rule (`<color=300>`, `<size=9>`, `<h7>`, `<ind=-1>`), the rule "
     "in the message"},
    {C::kUnpairedTag, "unpaired-tag",
     "an opening tag without its closing tag in the entry, a closing tag without an opening "
     "one, a `<lines>` block never closed"},
    {C::kLinkTarget, "link-target",
     "links as the module will hold them (aliases and folders applied): a `local=` target that "
     "is no topic of the dictionary or topic book (compared as the sort compares names), a "
     "`bible=` reference that does not parse with `tavrin.bok` or lies outside `master.map`, a "
     "`picture=`, `sound=` or `file=` that does not exist beside the source (\"\\\" is a folder "
     "separator), a `url=` without a scheme, an `email=` without \"@\", a link without type and "
     "target"},
    {C::kEmptyEntry, "empty-entry", "a topic, section or note whose finished text is empty"},
});

constexpr auto kRows = std::to_array<MessageRow>({
    // Warnings of the creation log.
    {Message::kSectionTooLong, L::kWarning, P::kSection, "section too long"},
    {Message::kTopicHasNoName, L::kWarning, P::kSourceLine, "topic has no name"},
    {Message::kSectionHasNoName, L::kWarning, P::kSourceLine, "section has no name"},
    {Message::kDuplicateReference, L::kWarning, P::kSourceLine, "duplicate reference (%1)"},
    {Message::kInvalidReference, L::kWarning, P::kSourceLine, "invalid reference (%1)"},
    {Message::kReferenceOutOfBounds, L::kWarning, P::kSourceLine,
     "reference out of bounds (%1) adjusted"},
    {Message::kCrLineEnds, L::kWarning, P::kSourceLine,
     "lines end in CR alone (no LF); each CR was taken as a line end"},
    {Message::kNulBytes, L::kWarning, P::kSourceLine, "NUL bytes replaced by blanks"},
    {Message::kLooksLikeUtf16, L::kWarning, P::kSourceLine,
     "the source looks like UTF-16 without a byte order mark (NUL bytes at every other "
     "position); save it with a byte order mark, or build it with --source-encoding %1"},
    {Message::kNotInCodePage, L::kWarning, P::kSourceLine,
     "characters not in code page %1 replaced by '?'"},
    {Message::kInvalidEncoding, L::kWarning, P::kSourceLine, "invalid %1 replaced by '?'"},
    {Message::kIncludeUnreadable, L::kWarning, P::kInclude,
     "cannot read included file '%1'; it and the files after it were left out"},
    {Message::kNameNotInCodePage, L::kWarning, P::kBuild,
     "characters of the module name not in code page %1 replaced by '?'"},
    {Message::kNameCut, L::kWarning, P::kBuild, "module name cut to its first %1 characters"},
    {Message::kTextOutsideSection, L::kWarning, P::kStoredTopic,
     "text position outside the text section"},
    {Message::kStrayIndexBytes, L::kWarning, P::kSource,
     "%1 stray bytes at the end of the index section ignored"},
    {Message::kTopicsWithoutPosition, L::kWarning, P::kSource,
     "%1 topics have no text position and take the last topic's text"},
    {Message::kNameWithoutTerminator, L::kWarning, P::kStoredTopic, "name has no terminator"},
    {Message::kPositionsOutOfOrder, L::kWarning, P::kStoredTopic, "text positions out of order"},
    {Message::kByteEndsText, L::kWarning, P::kSourceLine,
     "'%1' is the byte 0xFF of code page %2, which ends the text in a module of the current "
     "format: the entry is cut there"},
    // Errors of the creation log.
    {Message::kNoTopicsMarked, L::kError, P::kSourceLine, "no topics marked"},
    {Message::kNoSectionsMarked, L::kError, P::kSourceLine, "no sections marked"},
    {Message::kNoVersesMarked, L::kError, P::kSourceLine, "no verses marked"},
    {Message::kNoVerseNoteFound, L::kError, P::kSourceLine, "no verse note found"},
    {Message::kNoTopicsInFile, L::kError, P::kSourceLine, "no topics in file"},
    {Message::kFailure, L::kError, P::kSourceLine, "%1"},
    {Message::kNotOfExpectedType, L::kError, P::kSource, "File '%1' is not of expected type."},
    {Message::kHeaderWithoutInclude, L::kError, P::kSource,
     "Header file '%1' has no include line: it names no source to build."},
    {Message::kOutputIsFolder, L::kError, P::kNone, "Output '%1' is a folder, not a file."},
    {Message::kOutputIsSource, L::kError, P::kNone, "Output '%1' is the source file '%2' itself."},
    {Message::kEmptyMark, L::kError, P::kNone,
     "the control line mark is empty (--mark): no line could open an entry"},
    // Closing lines and outcomes.
    {Message::kTerminated, L::kText, P::kNone, "Module creation terminated due to error."},
    {Message::kTerminatedSeeLog, L::kText, P::kNone,
     "Module creation terminated due to error. See log for details."},
    {Message::kTerminatedBecause, L::kText, P::kNone,
     "%1. Module creation terminated due to error."},
    {Message::kCancelled, L::kText, P::kNone, "Module creation canceled by user."},
    {Message::kUnknownError, L::kText, P::kNone, "Unknown error occured. Operation terminated."},
    {Message::kCreated, L::kText, P::kNone, "File '%1' successfuly created."},
    {Message::kCreatedWithWarningsLine, L::kText, P::kNone, "File '%1' was created."},
    {Message::kCreatedWithWarnings, L::kText, P::kNone,
     "File '%1' created with warnings. See log for details."},
    {Message::kWouldBeCreated, L::kText, P::kNone, "File '%1' would be created."},
    {Message::kWouldBeCreatedWithWarnings, L::kText, P::kNone,
     "File '%1' would be created with warnings. See log for details."},
    {Message::kCannotCreateFile, L::kText, P::kNone, "Cannot create file %1"},
    {Message::kAskOverwrite, L::kText, P::kNone,
     "File named '%1' already exists. Do you wish to overwrite it?"},
    {Message::kConversionNotAvailable, L::kText, P::kNone,
     "Converting this kind of module is not available in this version."},
    {Message::kBuildNotAvailable, L::kText, P::kNone,
     "Building this kind of module is not available in this version."},
    // Failures of files and modules.
    {Message::kFileOpening, L::kText, P::kNone,
     "File opening error. File does not exist or is used by other application."},
    {Message::kCannotOpenFile, L::kText, P::kNone, "Cannot open file %1"},
    {Message::kCannotCreateFileBecause, L::kText, P::kNone, "Cannot create file %1: %2"},
    {Message::kCannotReadFile, L::kText, P::kNone, "Cannot read file %1"},
    {Message::kCannotWriteFile, L::kText, P::kNone, "%1: cannot write file %2"},
    {Message::kModuleTooLarge, L::kText, P::kNone, "Module too large for its 32-bit offsets: %1"},
    {Message::kModuleDamaged, L::kText, P::kNone, "Module file '%1' is damaged: %2"},
    {Message::kNotAModule, L::kText, P::kNone,
     "File '%1' is not a module: it does not begin with the kind string of one of the six "
     "module kinds"},
    {Message::kVerseMapDamaged, L::kText, P::kNone, "Verse map file '%1' is damaged: %2"},
    // The window's own.
    {Message::kChooseSourceToCheck, L::kText, P::kNone,
     "Choose the source (and type the module name) to check it."},
    {Message::kSourceLooksClean, L::kText, P::kNone, "No finding: the source looks clean."},
    {Message::kCharactersNotTaken, L::kText, P::kNone,
     "The characters \"%1\" are not in code page %2, in which the book names are stored; they "
     "were not taken."},
    // Findings of the lint.
    {Message::kEmptyEntry, L::kFinding, P::kSection, "the entry's finished text is empty",
     C::kEmptyEntry},
    {Message::kUnknownTag, L::kFinding, P::kEntryPosition, "unknown tag %1 is shown as text",
     C::kUnknownTag},
    {Message::kClosingWithoutOpening, L::kFinding, P::kEntryPosition,
     "closing tag %1 has no opening tag before it in its entry", C::kUnpairedTag},
    {Message::kTagFailsRule, L::kFinding, P::kEntryPosition, "%1 is shown as text: %2",
     C::kInvalidTag},
    {Message::kLinesNeverClosed, L::kFinding, P::kEntryPosition,
     "<lines> block is never closed in its entry", C::kUnpairedTag},
    {Message::kNoClosingTag, L::kFinding, P::kEntryPosition,
     "%1 has no closing </%2> behind it in its entry", C::kUnpairedTag},
    {Message::kLinkTooLong, L::kFinding, P::kEntryPosition,
     "link %1 is longer than %2 bytes: its target is not checked", C::kLinkTarget},
    {Message::kLinkWithoutTarget, L::kFinding, P::kEntryPosition, "link %1 has no type and target",
     C::kLinkTarget},
    {Message::kBibleLinkNoReference, L::kFinding, P::kEntryPosition,
     "bible link to '%1': no such reference with these book names", C::kLinkTarget},
    {Message::kBibleLinkOutsideMap, L::kFinding, P::kEntryPosition,
     "bible link to '%1' lies outside the verse map", C::kLinkTarget},
    {Message::kFileLinkMissing, L::kFinding, P::kEntryPosition,
     "%1 link to '%2': no such file beside the source", C::kLinkTarget},
    {Message::kUrlWithoutScheme, L::kFinding, P::kEntryPosition,
     "url link to '%1' has no scheme (such as http://)", C::kLinkTarget},
    {Message::kEmailWithoutAt, L::kFinding, P::kEntryPosition, "email link to '%1' has no @",
     C::kLinkTarget},
    {Message::kLocalLinkMissing, L::kFinding, P::kEntryPosition,
     "local link to '%1': no topic of that name", C::kLinkTarget},
    {Message::kFindingLeftOut, L::kText, P::kNone,
     "%1 more finding left out by --max-findings %2 (0 shows them all)"},
    {Message::kFindingsLeftOut, L::kText, P::kNone,
     "%1 more findings left out by --max-findings %2 (0 shows them all)"},
    // The command line's own.
    {Message::kNoModuleName, L::kText, P::kNone,
     "a module name is needed (--name) unless the source is a header file"},
    {Message::kUnknownCommand, L::kText, P::kNone,
     "unknown command '%1' (the commands: %2; --help says more)"},
    {Message::kLogIsAt, L::kText, P::kNone, "the creation log is %1"},
    {Message::kNotOverwritten, L::kText, P::kNone, "%1 Not overwritten (use --overwrite)."},
    {Message::kUnexpectedFailure, L::kText, P::kNone, "an unexpected failure"},
    {Message::kVerseWithoutReference, L::kText, P::kNone,
     "the verse %1 %2:%3 cannot be written as a reference with the names of %4"},
    // The import: refusals.
    {Message::kImportCannotRead, L::kError, P::kInputFile, "cannot read the input: %1"},
    {Message::kImportCannotWrite, L::kError, P::kOutputFile, "cannot write the marked text: %1"},
    {Message::kImportFileError, L::kError, P::kInputFile, "%1"},
    {Message::kImportNoEntries, L::kError, P::kInputFile,
     "no entries found in the input; nothing written"},
    {Message::kImportEntityExpansion, L::kError, P::kInputPosition,
     "entity expansion refused (a document that expands its entities this far is no text to "
     "import): %1"},
    {Message::kImportTooDeep, L::kError, P::kInputPosition,
     "elements nested deeper than %1; the document is refused"},
    {Message::kImportNoBookNames, L::kError, P::kInputFile, "cannot read the book names: %1"},
    {Message::kImportKindNotImported, L::kError, P::kInputFile,
     "a %1 cannot be imported (dictionary, topics, commentary, notes or writing)"},
    // The import: warnings.
    {Message::kImportXmlProblem, L::kWarning, P::kInputPosition, "%1; read on from here"},
    {Message::kImportEntityNotRead, L::kWarning, P::kInputPosition,
     "entity '&%1;' names another file or address, which is never read; left out"},
    {Message::kImportXmlProblemsLeft, L::kWarning, P::kInputFile,
     "%1 more problems of the markup in this input not listed"},
    {Message::kImportNotUtf8, L::kWarning, P::kKeyLine,
     "the entry is not UTF-8; read as Windows-1252"},
    {Message::kImportInvalidUtf8, L::kWarning, P::kInputPosition,
     "bytes that are no UTF-8 characters replaced by '?'"},
    {Message::kImportNotAVerse, L::kWarning, P::kKeyLine,
     "key '%1' is no verse of the 66 books; entry left out"},
    {Message::kImportBookOutside, L::kWarning, P::kInputPosition,
     "'%1' is a book outside the 66 of the book names; %2"},
    {Message::kImportIntroductionMoved, L::kWarning, P::kKeyLine,
     "introduction '%1' put in front of the note on %2"},
    {Message::kImportHeadingMoved, L::kWarning, P::kKeyLine,
     "heading '%1' put in front of the note on %2"},
    {Message::kImportRangeFirstVerse, L::kWarning, P::kKeyLine,
     "'%1' covers several verses; the note is attached to its first, %2"},
    {Message::kImportDuplicateKey, L::kWarning, P::kKeyLine, "key '%1' was met before; %2"},
    {Message::kImportReferenceAsText, L::kWarning, P::kInputPosition,
     "reference '%1' is no verse of the 66 books; kept as text"},
    {Message::kImportReferenceOutside, L::kWarning, P::kInputPosition,
     "reference '%1' leads outside this module; kept as text"},
    {Message::kImportPictureAsText, L::kWarning, P::kInputPosition,
     "picture '%1' is not carried over; its description kept as text"},
    {Message::kImportGreekAccents, L::kWarning, P::kInputPosition,
     "accents and breathings of Greek letters dropped (code page 1253 has none)"},
    {Message::kImportHebrewMarks, L::kWarning, P::kInputPosition,
     "Hebrew cantillation marks dropped (code page 1255 has none)"},
    {Message::kImportLastByte, L::kWarning, P::kInputPosition,
     "'%1' is the byte 0xFF of code page %2, which would end the text in the module; written "
     "as '%3'"},
    {Message::kImportUntitledSection, L::kWarning, P::kInputPosition,
     "a section without a title is named '%1'"},
    {Message::kImportTextBeforeFirstEntry, L::kWarning, P::kInputPosition,
     "text before the first entry left out: '%1'"},
    {Message::kImportTextLeftOut, L::kWarning, P::kInputPosition,
     "text after the last entry left out: '%1'"},
    // The import: told and asked by the front ends.
    {Message::kImportWritten, L::kText, P::kNone, "%1: %2 entries; build it with:"},
    {Message::kImportWrittenIntoTab, L::kText, P::kNone,
     "%1 entries written to %2; it is the source of the %3 tab now."},
    {Message::kImportAskFormat, L::kText, P::kNone,
     "%1 does not tell its format. Read it as an OSIS document?\n(No reads it as HTML.)"},
});

template <typename Rows>
constexpr bool InOrder(const Rows& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (static_cast<std::size_t>(rows[i].id) != i) return false;
  return true;
}
static_assert(InOrder(kRows), "one row per message, in the order of the enum");
static_assert(InOrder(kChecks), "one row per check, in the order of the enum");

template <typename Values>
std::string Substitute(std::string_view text, const Values& values) {
  std::string out;
  out.reserve(text.size() + 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const auto n = static_cast<std::size_t>(text[i + 1] - '1');
      if (n < values.size()) out += values.begin()[n];
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// How a log line names its place, before " - Warning: ".
std::string_view PlaceWord(Place place) {
  switch (place) {
    case Place::kSourceLine:
      return "line #";
    case Place::kHeaderLine:
      return "header file line #";
    case Place::kSection:
      return "section #";
    case Place::kStoredTopic:
      return "topic #";
    case Place::kStoredRecord:
      return "record #";
    case Place::kInclude:
    case Place::kSource:
    case Place::kBuild:
    case Place::kEntryPosition:
    case Place::kInputPosition:
    case Place::kKeyLine:
    case Place::kInputFile:
    case Place::kOutputFile:
    case Place::kNone:
      return {};
  }
  return {};
}

}  // namespace

const MessageRow& Row(Message id) { return kRows.at(static_cast<std::size_t>(id)); }

std::span<const MessageRow> AllMessages() { return kRows; }

const CheckRow& CheckInfo(Check check) { return kChecks.at(static_cast<std::size_t>(check)); }

std::span<const CheckRow> AllChecks() { return kChecks; }

std::optional<Check> FindCheck(std::string_view name) {
  for (const CheckRow& row : kChecks)
    if (row.name == name) return row.id;
  return std::nullopt;
}

std::string MessageText(Message id, std::initializer_list<std::string_view> values) {
  return Substitute(Row(id).text, values);
}

std::string MessageText(Message id, const std::vector<std::string>& values) {
  return Substitute(Row(id).text, values);
}

Diagnostic::Diagnostic(Message id, std::int64_t number,
                       std::initializer_list<std::string_view> values)
    : id(id), place(Row(id).place), number(number), values(values.begin(), values.end()) {}

std::string LogLine(const Diagnostic& d) {
  const MessageRow& row = Row(d.id);
  std::string line;
  if (row.level == MessageLevel::kError) {
    line = "Error: ";
  } else if (row.level == MessageLevel::kWarning) {
    if (const std::string_view word = PlaceWord(d.place); !word.empty()) {
      line = word;
      line += std::to_string(d.number);
      line += " - ";
    }
    line += "Warning: ";
  }
  line += d.Text();
  return line;
}

std::string LogLine(Message id, std::int64_t number,
                    std::initializer_list<std::string_view> values) {
  return LogLine(Diagnostic(id, number, values));
}

}  // namespace tavrin
