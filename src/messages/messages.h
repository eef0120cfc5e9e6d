#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Every message the program writes, one row each: the creation log's warnings and errors, the
// closing and outcome messages, the lint's findings and checks, the command line's own errors
// and the import's messages. Code names a message by its id and gives the values; its text,
// its place and its check come from the row, so nothing has to read a text back to learn what
// it is.

namespace tavrin {

enum class Message : std::uint16_t {
  // Warnings of the creation log ("<place> - Warning: <text>").
  kSectionTooLong,
  kTopicHasNoName,
  kSectionHasNoName,
  kDuplicateReference,
  kInvalidReference,
  kReferenceOutOfBounds,
  kCrLineEnds,
  kNulBytes,
  kLooksLikeUtf16,
  kNotInCodePage,
  kInvalidEncoding,
  kIncludeUnreadable,
  kNameNotInCodePage,
  kNameCut,
  kTextOutsideSection,
  kStrayIndexBytes,
  kTopicsWithoutPosition,
  kNameWithoutTerminator,
  kPositionsOutOfOrder,
  kByteEndsText,
  // Errors of the creation log ("Error: <text>").
  kNoTopicsMarked,
  kNoSectionsMarked,
  kNoVersesMarked,
  kNoVerseNoteFound,
  kNoTopicsInFile,
  kFailure,
  kNotOfExpectedType,
  kHeaderWithoutInclude,
  kOutputIsFolder,
  kOutputIsSource,
  kEmptyMark,
  // Closing lines of the creation log and the build's outcome.
  kTerminated,
  kTerminatedSeeLog,
  kTerminatedBecause,
  kCancelled,
  kUnknownError,
  kCreated,
  kCreatedWithWarningsLine,
  kCreatedWithWarnings,
  kWouldBeCreated,
  kWouldBeCreatedWithWarnings,
  kCannotCreateFile,
  kAskOverwrite,
  kConversionNotAvailable,
  kBuildNotAvailable,
  // Failures of files and modules, told in a message box, a log's error line or the terminal.
  kFileOpening,
  kCannotOpenFile,
  kCannotCreateFileBecause,
  kCannotReadFile,
  kCannotWriteFile,
  kModuleTooLarge,
  kModuleDamaged,
  kNotAModule,
  kVerseMapDamaged,
  // The window's own.
  kChooseSourceToCheck,
  kSourceLooksClean,
  kCharactersNotTaken,
  // Findings of the lint that looks inside entries.
  kEmptyEntry,
  kUnknownTag,
  kClosingWithoutOpening,
  kTagFailsRule,
  kLinesNeverClosed,
  kNoClosingTag,
  kLinkTooLong,
  kLinkWithoutTarget,
  kBibleLinkNoReference,
  kBibleLinkOutsideMap,
  kFileLinkMissing,
  kUrlWithoutScheme,
  kEmailWithoutAt,
  kLocalLinkMissing,
  kFindingLeftOut,
  kFindingsLeftOut,
  // The command line's own.
  kNoModuleName,
  kUnknownCommand,
  kLogIsAt,
  kNotOverwritten,
  kUnexpectedFailure,
  kVerseWithoutReference,
  // The import: refusals (no marked text is written).
  kImportCannotRead,
  kImportCannotWrite,
  kImportFileError,
  kImportNoEntries,
  kImportEntityExpansion,
  kImportTooDeep,
  kImportNoBookNames,
  kImportKindNotImported,
  // The import: warnings (the marked text is written).
  kImportXmlProblem,
  kImportEntityNotRead,
  kImportXmlProblemsLeft,
  kImportNotUtf8,
  kImportInvalidUtf8,
  kImportNotAVerse,
  kImportBookOutside,
  kImportIntroductionMoved,
  kImportHeadingMoved,
  kImportRangeFirstVerse,
  kImportDuplicateKey,
  kImportReferenceAsText,
  kImportReferenceOutside,
  kImportPictureAsText,
  kImportGreekAccents,
  kImportHebrewMarks,
  kImportLastByte,
  kImportUntitledSection,
  kImportTextBeforeFirstEntry,
  kImportTextLeftOut,
  // The import: what the front ends tell when the marked text was written, and what they ask.
  kImportWritten,
  kImportWrittenIntoTab,
  kImportAskFormat,
};

// What a message points at. For a warning of the creation log it also says how the line
// begins: "line #N - ", "section #N - " and so on.
enum class Place : std::uint8_t {
  kSourceLine,     // line N of the read source ("line #N - ")
  kHeaderLine,     // line N of the header file ("header file line #N - ")
  kInclude,        // the include on line N of the header file (the line is not named in the log)
  kSection,        // the Nth entry of the build, found at its control or reference line
  kStoredTopic,    // the Nth topic of a stored module ("topic #N - ")
  kStoredRecord,   // the Nth index record of a stored module ("record #N - ")
  kSource,         // the source (or stored module) as a whole
  kBuild,          // the build itself (its module name), no place in a file
  kEntryPosition,  // a place inside an entry: its line and column
  kInputPosition,  // import: the line and column of the input where it was found
  kKeyLine,        // import: the key line of the entry (column 1)
  kInputFile,      // import: the input as a whole (line 1, column 1)
  kOutputFile,     // import: the marked text being written
  kNone,           // a line of its own, placed nowhere
};

// What kind of line a message makes.
enum class MessageLevel : std::uint8_t {
  kWarning,  // a warning of the creation log, also a finding of the lint's check
  kError,    // an error of the creation log: the build stops; an error finding of the lint
  kFinding,  // a finding of one of the lint's checks
  kText,     // a message box, a closing line, a question, a line of the terminal
};

// The lint's checks, by the names `--disable` takes.
enum class Check : std::uint8_t {
  kBuild,
  kUnknownTag,
  kInvalidTag,
  kUnpairedTag,
  kLinkTarget,
  kEmptyEntry,
};

struct CheckRow {
  Check id;
  std::string_view name;
  std::string_view help;  // one line: what the check reports
};

struct MessageRow {
  Message id;
  MessageLevel level;
  Place place;
  std::string_view text;  // %1, %2 ... stand for the values
  Check check = Check::kBuild;
};

const MessageRow& Row(Message id);
std::span<const MessageRow> AllMessages();
const CheckRow& CheckInfo(Check check);
std::span<const CheckRow> AllChecks();
std::optional<Check> FindCheck(std::string_view name);

// The text of a message with its values put in (a value is never read for %-signs itself).
std::string MessageText(Message id, std::initializer_list<std::string_view> values = {});
std::string MessageText(Message id, const std::vector<std::string>& values);

// One message raised somewhere and told later: its id, the place it is at (the row's unless a
// caller moved it, as a header file's own lines are), the number that place names, its values.
struct Diagnostic {
  Diagnostic(Message id, std::int64_t number, std::initializer_list<std::string_view> values = {});
  Message id;
  Place place;
  std::int64_t number;
  std::vector<std::string> values;

  std::string Text() const { return MessageText(id, values); }
};

// The line of the creation log a warning or error makes: "section #3 - Warning: section too
// long", "Warning: module name cut to its first 60 characters", "Error: no topics marked".
std::string LogLine(const Diagnostic& diagnostic);
std::string LogLine(Message id, std::int64_t number = 0,
                    std::initializer_list<std::string_view> values = {});

}  // namespace tavrin
