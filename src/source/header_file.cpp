#include "source/header_file.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/system.h"
#include "source/line_reader.h"
#include "source/text_util.h"

namespace tavrin {
namespace {

// Runs of blanks become one, blanks around "=" go, the ends are trimmed.
std::string NormaliseDirective(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    if (c == ' ' && !out.empty() && (out.back() == ' ' || out.back() == '=')) continue;
    if (c == '=' && !out.empty() && out.back() == ' ') out.pop_back();
    // A blank dropped before "=" may uncover another blank: runs are single already.
    out.push_back(c);
  }
  return std::string(TrimControl(out));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string WithBackslash(std::string dir) {
  if (!dir.empty() && dir.back() != '\\') dir.push_back('\\');
  return dir;
}

void ApplyDirective(const std::string& line, std::int64_t line_number, const TextLocale& locale,
                    LinkSettings& links, HeaderFileState& state) {
  std::string lower = locale.Lower(line);
  if (StartsWith(lower, "deflink ")) {
    auto eq = line.find('=');
    if (eq == std::string::npos) return;
    std::string alias = line.substr(8, eq - 8);
    std::string target = line.substr(eq + 1);
    for (char& c : target)
      if (c == ' ') c = '_';
    if (!alias.empty() && !target.empty())
      links.link_aliases.emplace_back(std::move(alias), std::move(target));
  } else if (StartsWith(lower, "defdir ") && (lower.find("pictures=") != std::string::npos ||
                                              lower.find("sounds=") != std::string::npos ||
                                              lower.find("files=") != std::string::npos)) {
    // Keys are looked for in the lower-cased rest, in this order; each later key only when the
    // earlier one did not take the rest of the line.
    std::string rest = lower.substr(7);
    auto take = [&](std::string_view key, std::string& dir) {
      if (!StartsWith(rest, key)) return;
      rest.erase(0, key.size());
      dir = WithBackslash(std::string(TrimControl(rest)));
    };
    take("pictures=", links.pictures_dir);
    take("sounds=", links.sounds_dir);
    take("files=", links.files_dir);
  } else if (StartsWith(lower, "title ")) {
    state.document_title = std::string(TrimControl(std::string_view(line).substr(6)));
  } else if (StartsWith(lower, "include ")) {
    state.include_list.emplace_back(TrimControl(std::string_view(line).substr(8)));
    state.include_lines.push_back(line_number);
  }
}

}  // namespace

void ProcessHeaderFile(std::istream& in, const TextLocale& locale, LinkSettings& links,
                       HeaderFileState& state, std::string* module_name) {
  links.Clear();
  state = HeaderFileState();
  LineReader reader(in);
  std::string raw;
  std::int64_t line_number = 0;
  auto fill_name = [&] {
    if (module_name != nullptr && TrimControl(*module_name).empty())
      *module_name = state.document_title.empty() ? "Untitled document" : state.document_title;
  };
  for (;;) {
    bool got;
    try {
      got = reader.ReadLine(raw);
    } catch (...) {
      fill_name();
      throw;
    }
    if (!got) break;
    ++line_number;
    std::string line = NormaliseDirective(raw);
    if (!line.empty()) ApplyDirective(line, line_number, locale, links, state);
    fill_name();
  }
}

void SpellIncludes(std::string_view utf8, HeaderFileState& state, DecodedSource& header) {
  state.include_paths = state.include_list;
  // Line ends and blanks are ASCII in both texts, so their lines and directives are the same.
  std::istringstream in{std::string(utf8)};
  LineReader reader(in);
  std::string raw;
  std::int64_t line_number = 0;
  std::size_t next = 0;
  while (next < state.include_lines.size() && reader.ReadLine(raw)) {
    if (++line_number != state.include_lines[next]) continue;
    const std::string line = NormaliseDirective(raw);
    if (line.size() > 8) state.include_paths[next] = std::string(TrimControl(line.substr(8)));
    ++next;
  }
  std::erase_if(header.warnings, [&](const Diagnostic& warning) {
    return std::binary_search(state.include_lines.begin(), state.include_lines.end(),
                              warning.number);
  });
}

AssembledSource AssembleIncludes(const HeaderFileState& state, const IncludeDecoder& decode) {
  AssembledSource result;
  const auto& includes = state.include_list;
  if (includes.empty()) return result;
  if (includes.size() == 1) {
    result.path = state.IncludePath(0);
    result.first_lines.push_back(1);
    return result;
  }
  try {
    result.path = PathText(CreateTempFile("tavrin-src-"));
    result.delete_after_build = true;
  } catch (const std::exception& e) {
    result.failure = e.what();
    return result;
  }
  std::ofstream out(FilePath(result.path), std::ios::binary | std::ios::trunc);
  if (!out) {
    result.unreadable_include = includes.front();
    return result;
  }
  std::int64_t lines_written = 0;
  for (std::size_t i = 0; i < includes.size(); ++i) {
    const std::string& name = includes[i];
    std::string raw;
    try {
      raw = ReadWholeFile(state.IncludePath(i));
    } catch (...) {
      result.unreadable_include = name;
      break;
    }
    const std::int64_t first_line = lines_written + 1;
    result.first_lines.push_back(first_line);
    std::vector<Diagnostic> warnings;
    if (decode) {
      DecodedSource decoded = decode(std::move(raw), first_line);
      raw = std::move(decoded.bytes);
      warnings = std::move(decoded.warnings);
    }
    // Each include is read as it would be read on its own, not as part of the one before: its
    // text ends at a 0x1A byte (the rest of the build goes on), and where its lines end in CR
    // alone each CR ends a line.
    const bool cr_line_ends = LineReader::EndsLinesWithCr(raw);
    if (const std::size_t end = raw.find('\x1A'); end != std::string::npos) raw.resize(end);
    if (cr_line_ends) {
      std::string lines;
      lines.reserve(raw.size() + raw.size() / 16);
      for (std::size_t k = 0; k < raw.size(); ++k) {
        lines += raw[k];
        if (raw[k] == '\r' && (k + 1 == raw.size() || raw[k + 1] != '\n')) lines += '\n';
      }
      raw = std::move(lines);
      result.warnings.emplace_back(Message::kCrLineEnds, first_line);
    }
    for (char c : raw)
      if (c == '\n') ++lines_written;
    // Warnings about lines behind a 0x1A byte are about text never read.
    for (Diagnostic& w : warnings)
      if (w.number <= lines_written + 1) result.warnings.push_back(std::move(w));
    lines_written += 2;  // the two line ends behind every include
    out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
    out.write("\r\n\r\n", 4);
    if (!out) {
      result.unreadable_include = name;
      break;
    }
  }
  return result;
}

}  // namespace tavrin
