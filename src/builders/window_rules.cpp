#include "builders/window_rules.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "platform/text_locale.h"
#include "source/header_file.h"

namespace tavrin {

std::string ReplaceExtension(std::string_view file_name, std::string_view extension) {
  std::string out(file_name);
  out.resize(out.size() - FileExtension(file_name).size());
  out += extension;
  return out;
}

std::string ProposedOutputName(std::string_view chosen_path, std::string_view extension) {
  auto slash = chosen_path.find_last_of("/\\");
  std::string_view bare =
      slash == std::string_view::npos ? chosen_path : chosen_path.substr(slash + 1);
  return ReplaceExtension(bare, extension);
}

std::string TabOutputExtension(BuildTab tab, bool editable_topics, bool editable_notes,
                               bool compatible) {
  return ProposedExtension(KindOf(tab, editable_topics, editable_notes),
                           NewFormatOf(tab, editable_topics, editable_notes, compatible));
}

std::string SourceFilter(BuildTab tab) {
  // Marked text, the stored modules that the tab's kinds convert, and header files where the
  // tab takes them.
  std::vector<std::string_view> extensions = {".txt"};
  bool header_files = false;
  for (const ModuleKindInfo& kind : AllKinds()) {
    if (kind.tab != tab) continue;
    header_files = header_files || kind.takes_header_files;
    if (!kind.converts_from) continue;
    for (std::string_view extension : KindInfo(*kind.converts_from).stored_extensions)
      if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
        extensions.push_back(extension);
  }
  if (header_files) extensions.push_back(kHeaderFileExtension);
  std::string patterns;
  for (std::string_view extension : extensions) {
    if (!patterns.empty()) patterns += "; ";
    patterns += "*";
    patterns += extension;
  }
  return "Source files [" + patterns + "]|" + patterns;
}

bool MarkTypeEnabled(BuildTab tab) { return IsVerseKind(KindOf(tab, false, false)); }

namespace {

// The digits of an optionally signed decimal number; empty when the text is not one.
std::string_view DecimalDigits(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  if (text.empty()) return {};
  for (char c : text)
    if (c < '0' || c > '9') return {};
  return text;
}

}  // namespace

int SettingNumber(std::string_view text, int default_value) {
  if (DecimalDigits(text).empty()) return default_value;
  if (text.front() == '+') text.remove_prefix(1);
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  // Too large for a number: the default, as for any other text that is not one.
  if (error != std::errc() || end != text.data() + text.size()) return default_value;
  return value;
}

bool SettingFlag(std::string_view text, bool default_value) {
  std::string_view digits = DecimalDigits(text);
  if (digits.empty()) return default_value;
  return digits.find_first_not_of('0') != std::string_view::npos;
}

int SettingChoice(std::string_view text, int default_value, int count) {
  int value = SettingNumber(text, default_value);
  return value >= 0 && value < count ? value : default_value;
}

}  // namespace tavrin
