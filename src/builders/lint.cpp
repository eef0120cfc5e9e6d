#include "builders/lint.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>

#include "source/text_util.h"

namespace tavrin {

namespace {

// The number behind `prefix` at the start of `text`, and the rest behind " - Warning: ".
bool NumberedWarning(std::string_view text, std::string_view prefix, std::int64_t& number,
                     std::string_view& rest) {
  if (!text.starts_with(prefix)) return false;
  std::size_t i = prefix.size();
  std::int64_t n = 0;
  const std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && n < (std::int64_t{1} << 50))
    n = n * 10 + (text[i++] - '0');
  constexpr std::string_view kBetween = " - Warning: ";
  if (i == digits || text.substr(i, kBetween.size()) != kBetween) return false;
  number = n;
  rest = text.substr(i + kBetween.size());
  return true;
}

}  // namespace

void SourceMap::Add(std::string file, std::int64_t first_line) {
  spans_.push_back({std::move(file), first_line});
}

std::pair<std::string, std::int64_t> SourceMap::Locate(std::int64_t line) const {
  if (spans_.empty()) return {std::string(), line};
  // The last span that starts at or before the line.
  auto after = std::upper_bound(spans_.begin(), spans_.end(), line,
                                [](std::int64_t l, const Span& s) { return l < s.first_line; });
  const Span& span = after == spans_.begin() ? spans_.front() : *std::prev(after);
  return {span.file, std::max<std::int64_t>(1, line - span.first_line + 1)};
}

bool LintReport::ChecksEntries() const {
  return Enabled(kCheckUnknownTag) || Enabled(kCheckInvalidTag) || Enabled(kCheckUnpairedTag) ||
         Enabled(kCheckLinkTarget) || Enabled(kCheckEmptyEntry);
}

void LintReport::AtSourceLine(std::int64_t line, std::int64_t column, std::string_view check,
                              std::string message) {
  auto [file, own_line] = source_map.Locate(line);
  AtFile(std::move(file), own_line, column, check, std::move(message));
}

void LintReport::AtFile(std::string file, std::int64_t line, std::int64_t column,
                        std::string_view check, std::string message) {
  if (!Enabled(check)) return;
  if (std::find(file_order_.begin(), file_order_.end(), file) == file_order_.end())
    file_order_.push_back(file);
  findings_.push_back({std::move(file), line, column, std::string(check), std::move(message)});
}

void LintReport::BuildError(std::string_view log_line, std::int64_t line, std::string file) {
  constexpr std::string_view kError = "Error: ";
  std::string message(log_line.starts_with(kError) ? log_line.substr(kError.size()) : log_line);
  std::int64_t column = 1;
  if (file.empty()) {
    std::tie(file, line) = source_map.Locate(std::max<std::int64_t>(1, line));
  } else {
    line = column = 0;
  }
  if (std::find(file_order_.begin(), file_order_.end(), file) == file_order_.end())
    file_order_.push_back(file);
  findings_.push_back(
      {std::move(file), line, column, std::string(kCheckBuild), std::move(message), true});
  has_error_ = true;
}

void LintReport::BuildNotice(std::string_view log_line) {
  constexpr std::string_view kWarning = "Warning: ";
  AtFile({}, 0, 0, kCheckBuild,
         std::string(log_line.starts_with(kWarning) ? log_line.substr(kWarning.size()) : log_line));
}

void LintReport::BuildWarning(std::string_view log_line, std::int64_t entry_line) {
  std::int64_t number = 0;
  std::string_view rest;
  if (entry_line > 0) {
    // About a whole entry: at its control or reference line, whatever number the log names.
    const std::size_t warning = log_line.find("Warning: ");
    AtSourceLine(
        entry_line, 1, kCheckBuild,
        std::string(warning == std::string_view::npos ? log_line : log_line.substr(warning + 9)));
  } else if (NumberedWarning(log_line, "line #", number, rest)) {
    AtSourceLine(number, 1, kCheckBuild, std::string(rest));
  } else if (NumberedWarning(log_line, "header file line #", number, rest)) {
    AtFile(header_file, number, 1, kCheckBuild, std::string(rest));
  } else if (constexpr std::string_view kInclude = "Warning: cannot read included file '";
             log_line.starts_with(kInclude)) {
    // Placed at the include that could not be read, in the header file.
    const std::string_view name =
        log_line.substr(kInclude.size(), log_line.find('\'', kInclude.size()) - kInclude.size());
    std::int64_t line = 1;
    for (std::size_t i = 0; i < include_names.size() && i < include_lines.size(); ++i)
      if (include_names[i] == name) line = include_lines[i];
    AtFile(header_file, line, 1, kCheckBuild, std::string(log_line.substr(9)));
  } else if (NumberedWarning(log_line, "section #", number, rest)) {
    AtSourceLine(std::max<std::int64_t>(1, entry_line), 1, kCheckBuild, std::string(rest));
  } else {
    std::string message(log_line.starts_with("Warning: ") ? log_line.substr(9) : log_line);
    AtSourceLine(std::max<std::int64_t>(1, entry_line), 1, kCheckBuild, std::move(message));
  }
}

std::vector<Finding> LintReport::Sorted() const {
  std::vector<Finding> sorted = findings_;
  auto rank = [&](const std::string& file) {
    return std::find(file_order_.begin(), file_order_.end(), file) - file_order_.begin();
  };
  std::stable_sort(sorted.begin(), sorted.end(), [&](const Finding& a, const Finding& b) {
    const auto ra = rank(a.file), rb = rank(b.file);
    if (ra != rb) return ra < rb;
    if (a.line != b.line) return a.line < b.line;
    return a.column < b.column;
  });
  return sorted;
}

std::string FormatFinding(const Finding& f) {
  std::string place = f.file;
  if (f.line > 0) place += ":" + std::to_string(f.line) + ":" + std::to_string(f.column);
  if (!place.empty()) place += ": ";
  return place + (f.error ? "error: " : "warning: ") + f.message + " [" + f.check + "]";
}

std::string FindingsJson(const std::vector<Finding>& findings) {
  std::string out = "[";
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const Finding& f = findings[i];
    out += i == 0 ? "\n  {" : ",\n  {";
    out += "\"file\": ";
    out += JsonString(f.file);
    out += ", \"line\": " + std::to_string(f.line) + ", \"column\": " + std::to_string(f.column);
    out += f.error ? ", \"severity\": \"error\"" : ", \"severity\": \"warning\"";
    out += ", \"check\": ";
    out += JsonString(f.check);
    out += ", \"message\": ";
    out += JsonString(f.message);
    out += "}";
  }
  out += findings.empty() ? "]\n" : "\n]\n";
  return out;
}

std::string DisplayPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path p(path);
  if (!p.is_absolute()) return path;
  const fs::path here = fs::current_path(ec);
  if (ec) return path;
  const fs::path relative = p.lexically_relative(here);
  if (relative.empty() || *relative.begin() == "..") return path;
  return relative.generic_string();
}

std::int64_t RawColumn(std::string_view raw, std::string_view cleaned, std::size_t index) {
  // Cleaning only takes bytes out (blanks, control bytes) and makes 0xA4 a blank, so the
  // cleaned line is the raw one with some bytes skipped: match them up greedily.
  std::size_t i = 0;
  for (std::size_t j = 0; j < cleaned.size() && i < raw.size(); ++i) {
    const bool same = raw[i] == cleaned[j] || (raw[i] == '\xA4' && cleaned[j] == ' ');
    if (!same) continue;
    if (j == index) return static_cast<std::int64_t>(i) + 1;
    ++j;
  }
  return static_cast<std::int64_t>(std::min(index, raw.size())) + 1;
}

}  // namespace tavrin
