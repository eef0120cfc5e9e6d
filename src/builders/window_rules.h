#pragma once

#include <string>
#include <string_view>

#include "builders/build_request.h"

namespace tavrin {

class TextLocale;

// Rules of the main window that do not depend on the toolkit, so every front end and the tests
// share them.

// The name with its trailing extension (from the last "." of the file name part) replaced by
// `extension`; a name without one just gets it appended.
std::string ReplaceExtension(std::string_view file_name, std::string_view extension);

// The output name Browse proposes for a chosen source: its bare name (no folder), extension
// replaced. The folder goes because the output is resolved against the current folder.
std::string ProposedOutputName(std::string_view chosen_path, std::string_view extension);

// The output extension of the tab's fields: ".tpb", ".nts", ".jpl", ".k30" or ".dat".
std::string TabOutputExtension(BuildTab tab, bool editable_topics, bool editable_notes,
                               bool compatible);

// The Browse dialog's filter of a tab, as "description|patterns" with "; " between patterns.
std::string SourceFilter(BuildTab tab);

// The verse reference mark type matters only to the verse-based tabs.
bool MarkTypeEnabled(BuildTab tab);

// Stored settings are strings. A flag is true when its text is a decimal number other than 0;
// a text that is not a decimal number gives the default.
bool SettingFlag(std::string_view text, bool default_value);
int SettingNumber(std::string_view text, int default_value);
// A number that selects one of `count` items; out of range gives the default.
int SettingChoice(std::string_view text, int default_value, int count);
inline std::string FlagText(bool value) { return value ? "1" : "0"; }

}  // namespace tavrin
