#include "builders/lint.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <tuple>

#include "platform/text_locale.h"
#include "source/text_util.h"

namespace tavrin {

void SourceMap::Add(std::string file, std::int64_t first_line) {
  spans_.push_back({std::move(file), first_line});
}

std::pair<std::string_view, std::int64_t> SourceMap::Locate(std::int64_t line) const {
  if (spans_.empty()) return {std::string_view(), line};
  // The last span that starts at or before the line.
  auto after = std::upper_bound(spans_.begin(), spans_.end(), line,
                                [](std::int64_t l, const Span& s) { return l < s.first_line; });
  const Span& span = after == spans_.begin() ? spans_.front() : *std::prev(after);
  return {span.file, std::max<std::int64_t>(1, line - span.first_line + 1)};
}

bool LintReport::ChecksEntries() const {
  for (const CheckRow& check : AllChecks())
    if (check.id != Check::kBuild && Enabled(check.id)) return true;
  return false;
}

void LintReport::AtSourceLine(std::int64_t line, std::int64_t column, Message id,
                              std::initializer_list<std::string_view> values) {
  AtSourceLineWith(line, column, id, [&] { return MessageText(id, values); });
}

bool LintReport::Before(const Record& a, const Record& b) {
  if (a.file != b.file) return a.file < b.file;
  if (a.line != b.line) return a.line < b.line;
  if (a.column != b.column) return a.column < b.column;
  return a.made < b.made;
}

std::uint32_t LintReport::FileNumber(std::string_view file) {
  // Findings come in runs from one file.
  if (!files_.empty() && files_[last_file_] == file) return last_file_;
  std::string name(file);
  const auto [at, added] =
      file_numbers_.try_emplace(name, static_cast<std::uint32_t>(files_.size()));
  if (added) files_.push_back(std::move(name));
  last_file_ = at->second;
  return last_file_;
}

std::uint32_t LintReport::MessageNumber(Check check, std::string_view message, bool error) {
  key_.assign(1, static_cast<char>(static_cast<unsigned>(check) | (error ? 0x80U : 0U)));
  key_ += message;
  if (const auto found = message_numbers_.find(key_); found != message_numbers_.end())
    return found->second;
  const auto at =
      message_numbers_.emplace(key_, static_cast<std::uint32_t>(messages_.size())).first;
  // The map's nodes stay where they are, so the key can be pointed at.
  messages_.push_back(&at->first);
  return at->second;
}

void LintReport::DropUnusedMessages() {
  std::vector<std::uint32_t> renumbered(messages_.size(), UINT32_MAX);
  std::unordered_map<std::string, std::uint32_t> kept;
  std::vector<const std::string*> kept_messages;
  for (Record& r : records_) {
    std::uint32_t& number = renumbered[r.message];
    if (number == UINT32_MAX) {
      auto node = message_numbers_.extract(*messages_[r.message]);
      number = static_cast<std::uint32_t>(kept_messages.size());
      node.mapped() = number;
      kept_messages.push_back(&kept.insert(std::move(node)).position->first);
    }
    r.message = number;
  }
  message_numbers_ = std::move(kept);
  messages_ = std::move(kept_messages);
}

void LintReport::AtFile(std::string_view file, std::int64_t line, std::int64_t column, Check check,
                        std::string_view message) {
  if (Enabled(check) && Admit(file, line, column)) Keep(check, message);
}

bool LintReport::Admit(std::string_view file, std::int64_t line, std::int64_t column) {
  pending_ = Record{line, column, made_++, FileNumber(file), 0};
  if (sorted_) {
    // Printed before: the heap is made again.
    if (max_findings > 0) std::make_heap(records_.begin(), records_.end(), Before);
    sorted_ = false;
  }
  if (max_findings == 0 || records_.size() < max_findings) return true;
  // Full: one finding is left out, this one unless it is printed before the last one kept.
  ++left_out_;
  return Before(pending_, records_.front());
}

void LintReport::Keep(Check check, std::string_view message, bool error) {
  pending_.message = MessageNumber(check, message, error);
  if (max_findings == 0) {
    // Kept in print order; the few made out of it wait aside until then.
    if (records_.empty() || !Before(pending_, records_.back()))
      records_.push_back(pending_);
    else
      late_.push_back(pending_);
  } else if (records_.size() < max_findings) {
    records_.push_back(pending_);
    std::push_heap(records_.begin(), records_.end(), Before);
  } else {
    std::pop_heap(records_.begin(), records_.end(), Before);
    records_.back() = pending_;
    std::push_heap(records_.begin(), records_.end(), Before);
    if (messages_.size() > 2 * max_findings + 1024) DropUnusedMessages();
  }
}

void LintReport::BuildError(std::string_view text, std::int64_t line, std::string_view file) {
  std::int64_t column = 1;
  if (file.empty()) {
    std::tie(file, line) = source_map.Locate(std::max<std::int64_t>(1, line));
  } else {
    line = column = 0;
  }
  has_error_ = true;
  if (Admit(file, line, column)) Keep(Check::kBuild, text, true);
}

void LintReport::BuildWarning(const Diagnostic& warning, std::string_view text,
                              std::int64_t entry_line) {
  const Check check = Row(warning.id).check;
  if (entry_line > 0) {
    AtSourceLineWith(entry_line, 1, warning.id, [&] { return text; });
    return;
  }
  switch (warning.place) {
    case Place::kSourceLine:
      AtSourceLineWith(warning.number, 1, warning.id, [&] { return text; });
      return;
    case Place::kHeaderLine:
    case Place::kInclude:
      AtFile(header_file, warning.number, 1, check, text);
      return;
    case Place::kBuild:
      AtFile({}, 0, 0, check, text);
      return;
    case Place::kSection:
    case Place::kStoredTopic:
    case Place::kStoredRecord:
    case Place::kSource:
    case Place::kEntryPosition:
    case Place::kInputPosition:
    case Place::kKeyLine:
    case Place::kInputFile:
    case Place::kOutputFile:
    case Place::kNone:
      AtSourceLineWith(1, 1, warning.id, [&] { return text; });
      return;
  }
}

void LintReport::ForEach(const std::function<void(const Finding&)>& visit) const {
  if (max_findings > 0 && !sorted_) {
    std::sort_heap(records_.begin(), records_.end(), Before);
    sorted_ = true;
  } else if (!late_.empty()) {
    std::sort(late_.begin(), late_.end(), Before);
    const std::size_t in_order = records_.size();
    records_.insert(records_.end(), late_.begin(), late_.end());
    late_.clear();
    std::inplace_merge(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(in_order),
                       records_.end(), Before);
  }
  Finding finding;
  std::uint32_t file = UINT32_MAX;
  for (const Record& r : records_) {
    const std::string& message = *messages_[r.message];
    if (r.file != file) {
      file = r.file;
      finding.file = files_[file];
    }
    finding.line = r.line;
    finding.column = r.column;
    finding.check =
        CheckInfo(static_cast<Check>(static_cast<unsigned char>(message[0]) & 0x7F)).name;
    finding.severity = (static_cast<unsigned char>(message[0]) & 0x80) != 0 ? Severity::kError
                                                                            : Severity::kWarning;
    finding.message.assign(message, 1);
    visit(finding);
  }
}

std::vector<Finding> LintReport::Sorted() const {
  std::vector<Finding> sorted;
  sorted.reserve(records_.size() + late_.size());
  ForEach([&](const Finding& f) { sorted.push_back(f); });
  return sorted;
}

std::string FormatFinding(const Finding& f) {
  std::string out;
  AppendFinding(f, out);
  return out;
}

namespace {

std::string_view SeverityWord(Severity severity) {
  switch (severity) {
    case Severity::kWarning:
      return "warning";
    case Severity::kError:
      return "error";
    case Severity::kNote:
      return "note";
  }
  return "warning";
}

// One finding as a JSON object; a file, check or message that recurs is written from the
// string made for the finding before.
class JsonFindingWriter {
 public:
  void Append(const Finding& f, std::string& out) {
    Remember(f.file, file_, file_json_);
    Remember(f.check, check_, check_json_);
    out += "{\"file\": ";
    out += file_json_;
    out += ", \"line\": ";
    out += std::to_string(f.line);
    out += ", \"column\": ";
    out += std::to_string(f.column);
    out += ", \"severity\": \"";
    out += SeverityWord(f.severity);
    out += '"';
    out += ", \"check\": ";
    out += check_json_;
    out += ", \"message\": ";
    Remember(f.message, message_, message_json_);
    out += message_json_;
    out += "}";
  }

 private:
  static void Remember(const std::string& text, std::string& last, std::string& json) {
    if (text == last && !json.empty()) return;
    last = text;
    json = JsonString(text);
  }
  std::string file_, file_json_, check_, check_json_, message_, message_json_;
};

}  // namespace

void AppendFinding(const Finding& f, std::string& out) {
  out += f.file;
  if (f.line > 0) {
    out += ':';
    out += std::to_string(f.line);
    out += ':';
    out += std::to_string(f.column);
  }
  if (!f.file.empty()) out += ": ";
  out += SeverityWord(f.severity);
  out += ": ";
  out += f.message;
  out += " [";
  out += f.check;
  out += ']';
}

void WriteFindings(const LintReport& report, bool json, int code_page, std::ostream& out) {
  // Written a block at a time: there may be millions.
  std::string block;
  bool first = true;
  JsonFindingWriter json_writer;
  auto write = [&](const Finding& f) {
    if (json) {
      block += first ? "[\n  " : ",\n  ";
      json_writer.Append(f, block);
    } else {
      AppendFinding(f, block);
      block += '\n';
    }
    first = false;
    if (block.size() >= 1 << 16) {
      out << block;
      block.clear();
    }
  };
  Finding utf8;
  report.ForEach([&](const Finding& f) {
    // Every code page holds ASCII as ASCII: most messages need no conversion.
    if (std::all_of(f.message.begin(), f.message.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
      write(f);
      return;
    }
    utf8 = f;
    utf8.message = CodePageToUtf8(code_page, f.message);
    write(utf8);
  });
  if (const std::int64_t left_out = report.LeftOut(); left_out > 0) {
    const std::string note =
        MessageText(left_out == 1 ? Message::kFindingLeftOut : Message::kFindingsLeftOut,
                    {std::to_string(left_out), std::to_string(report.max_findings)});
    if (json)
      write(Finding{"", 0, 0, "max-findings", note, Severity::kNote});
    else
      block += "note: " + note + "\n";
  }
  if (json) block += first ? "[]\n" : "\n]\n";
  out << block;
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
  return RawColumns(raw, cleaned).Column(index);
}

std::int64_t RawColumns::Column(std::size_t index) {
  // Cleaning only takes bytes out (blanks, control bytes) and makes 0xA4 a blank, so the
  // cleaned line is the raw one with some bytes skipped: match them up greedily.
  if (index < j_) i_ = j_ = 0;
  for (; j_ < cleaned_.size() && i_ < raw_.size(); ++i_) {
    const bool same = raw_[i_] == cleaned_[j_] || (raw_[i_] == '\xA4' && cleaned_[j_] == ' ');
    if (!same) continue;
    if (j_ == index) return static_cast<std::int64_t>(i_) + 1;
    ++j_;
  }
  return static_cast<std::int64_t>(std::min(index, raw_.size())) + 1;
}

}  // namespace tavrin
