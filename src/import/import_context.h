#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "builders/lint.h"
#include "messages/messages.h"

namespace tavrin {

// A place in an input.
struct InputPosition {
  std::int64_t line = 1;
  std::int64_t column = 1;
};

// The findings of one import, in the form the lint prints.
class ImportFindings {
 public:
  inline static constexpr std::string_view kCheck = "import";

  void Warn(const std::string& file, InputPosition at, Message id,
            std::initializer_list<std::string_view> values = {});
  // A refusal: the import writes nothing.
  void Error(const std::string& file, InputPosition at, Message id,
             std::initializer_list<std::string_view> values = {});

  const std::vector<Finding>& Warnings() const { return warnings_; }
  const std::vector<Finding>& Errors() const { return errors_; }
  bool Failed() const { return !errors_.empty(); }

 private:
  std::vector<Finding> warnings_;
  std::vector<Finding> errors_;
};

// "FILE:LINE:COLUMN: error: MESSAGE [import]", beside FormatFinding's warnings.
std::string FormatError(const Finding& finding);

}  // namespace tavrin
