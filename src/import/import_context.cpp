#include "import/import_context.h"

namespace tavrin {

void ImportFindings::Warn(const std::string& file, InputPosition at, Message id,
                          std::initializer_list<std::string_view> values) {
  warnings_.push_back({file, at.line, at.column, std::string(kCheck), MessageText(id, values)});
}

void ImportFindings::Error(const std::string& file, InputPosition at, Message id,
                           std::initializer_list<std::string_view> values) {
  errors_.push_back({file, at.line, at.column, std::string(kCheck), MessageText(id, values)});
}

std::string FormatError(const Finding& f) {
  return f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) +
         ": error: " + f.message + " [" + f.check + "]";
}

}  // namespace tavrin
