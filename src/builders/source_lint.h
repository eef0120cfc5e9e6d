#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "builders/lint.h"
#include "source/entry_text_conversion.h"

namespace tavrin {

struct BuildJob;
struct VerseSources;

// The lint's look inside the entries of a build from marked text: every tag the markup
// conversion lets through as text, every link whose target is nowhere, every entry that ends
// up empty. The decisions are the conversion's own (ExplainTags, FinishText); this class only
// places them at the file, line and column the author wrote them.
class SourceLint {
 public:
  SourceLint(const BuildJob& job, LintReport& report);
  ~SourceLint();
  SourceLint(const SourceLint&) = delete;
  SourceLint& operator=(const SourceLint&) = delete;

  // One gathered line of the open entry: its text begins at `offset` of the entry's text.
  void Line(std::size_t offset, std::int64_t line, std::string_view raw);
  // The open entry closes with `text` gathered; `first_line` is its control or reference line,
  // `name` its name (topics), `finished_empty` whether its finished text is empty. Its lines
  // are forgotten.
  void Entry(std::int64_t first_line, std::string_view name, std::string_view text,
             bool finished_empty);
  // Every entry is read: local links are checked against the names met (dictionaries and
  // topic books).
  void Finish();

 private:
  struct Place {
    std::size_t offset;  // of the line's text in the entry's
    std::int64_t line;
    std::size_t raw_begin, raw_size;  // the raw line in raw_lines_
  };
  struct LocalLink {
    std::string target;
    std::int64_t line, column;
  };
  // Line and column of byte `offset` of the entry's text. Offsets are asked in growing order
  // (the tag scan's), so the columns of a line are found in one walk over it.
  std::pair<std::int64_t, std::int64_t> Locate(std::string_view text, std::size_t offset);
  void CheckLink(std::string_view tag, std::int64_t line, std::int64_t column);
  const VerseSources* Verses();

  const BuildJob& job_;
  LintReport& report_;
  std::vector<Place> places_;
  std::string raw_lines_;                 // the open entry's raw lines, back to back
  std::size_t columns_place_ = SIZE_MAX;  // the place whose line `columns_` walks
  RawColumns columns_;
  std::vector<TagVerdict> verdicts_;
  ConversionBuffers buffers_;
  std::vector<std::string> names_;
  std::vector<LocalLink> local_links_;
  std::unique_ptr<VerseSources> verses_;
  bool verses_tried_ = false;
};

}  // namespace tavrin
