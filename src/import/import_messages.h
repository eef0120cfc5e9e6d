#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Every message of the import, one row each: the program's messages are to live in one table,
// and these rows move over as they are.

namespace tavrin {

enum class ImportMessage {
  // Refusals: no marked text is written.
  kCannotRead,
  kCannotWrite,
  kFileError,
  kNoEntries,
  kEntityExpansion,
  kTooDeep,
  kNoBookNames,
  kKindNotImported,
  // Warnings: the marked text is written.
  kXmlProblem,
  kEntityNotRead,
  kXmlProblemsLeft,
  kNotUtf8,
  kInvalidUtf8,
  kNotAVerse,
  kBookOutside,
  kIntroductionMoved,
  kHeadingMoved,
  kRangeFirstVerse,
  kDuplicateKey,
  kReferenceAsText,
  kReferenceOutside,
  kPictureAsText,
  kGreekAccents,
  kHebrewMarks,
  kLastByte,
  // What the front ends tell when the marked text was written, and what they ask.
  kWritten,
  kWrittenIntoTab,
  kAskFormat,
  kUntitledSection,
  kTextBeforeFirstEntry,
  kTextLeftOut,
};

// What a message's place names.
enum class MessagePlace {
  kInputPosition,  // the line and column of the input where it was found
  kKeyLine,        // the key line of the entry (column 1)
  kInputFile,      // the input as a whole (line 1, column 1)
  kOutputFile,     // the marked text being written
  kNone,           // a line of its own, placed nowhere
};

struct ImportMessageRow {
  ImportMessage id;
  std::string_view text;  // %1, %2 ... stand for the values
  MessagePlace place;
};

// The row of a message.
const ImportMessageRow& MessageRow(ImportMessage id);

// The text of a message with its values put in.
std::string MessageText(ImportMessage id, std::initializer_list<std::string_view> values = {});

}  // namespace tavrin
