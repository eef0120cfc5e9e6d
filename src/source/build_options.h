#pragma once

#include <string>

namespace tavrin {

// The "Options" group of the main window, as the builders read it.
struct BuildOptions {
  std::string line_mark = "#";           // LineMark: "Control line mark:"
  bool join_lines = false;               // Option2: "Join lines into paragraphs"
  bool preserve_empty_lines = true;      // Option3: "Preserve empty lines"
  bool remove_extra_spaces = true;       // Option4: "Remove extra spaces in text"
  bool trim_leading_spaces = true;       // Option5: "Trim leading spaces and tabs"
  bool remove_extra_empty_lines = true;  // Option6: "Remove extra empty lines"
  int mark_type = 0;                     // MarkTypeRG: "Verse reference mark type"

  // Option6 is enabled only while Option3 is checked; only an enabled, checked box acts.
  bool RemoveExtraEmptyLinesActive() const {
    return preserve_empty_lines && remove_extra_empty_lines;
  }
};

}  // namespace tavrin
