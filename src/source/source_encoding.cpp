#include "source/source_encoding.h"

#include "platform/text_locale.h"

namespace tavrin {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

// The code units of UTF-16 bytes; an odd last byte is left out.
std::u16string Utf16Units(std::string_view body, bool big_endian) {
  std::u16string units(body.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto hi = static_cast<unsigned char>(body[2 * i + (big_endian ? 0 : 1)]);
    const auto lo = static_cast<unsigned char>(body[2 * i + (big_endian ? 1 : 0)]);
    units[i] = static_cast<char16_t>((hi << 8) | lo);
  }
  return units;
}

}  // namespace

bool ParseSourceEncoding(std::string_view text, SourceEncoding& encoding) {
  if (text == "auto")
    encoding = SourceEncoding::kAuto;
  else if (text == "utf-8")
    encoding = SourceEncoding::kUtf8;
  else if (text == "utf-16le")
    encoding = SourceEncoding::kUtf16LE;
  else if (text == "utf-16be")
    encoding = SourceEncoding::kUtf16BE;
  else if (text == "ansi")
    encoding = SourceEncoding::kAnsi;
  else
    return false;
  return true;
}

bool LooksLikeUtf16(std::string_view start, SourceEncoding& which) {
  const std::size_t pairs = start.size() / 2;
  if (pairs < 4) return false;
  std::size_t nul_first = 0, nul_second = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    nul_first += start[2 * i] == '\0';
    nul_second += start[2 * i + 1] == '\0';
  }
  // Latin text in UTF-16 has a NUL in nearly every pair; a few other letters may stand there.
  auto most = [&](std::size_t n) { return n * 10 >= pairs * 9; };
  auto few = [&](std::size_t n) { return n * 10 <= pairs; };
  if (most(nul_second) && few(nul_first)) {
    which = SourceEncoding::kUtf16LE;
    return true;
  }
  if (most(nul_first) && few(nul_second)) {
    which = SourceEncoding::kUtf16BE;
    return true;
  }
  return false;
}

SourceEncoding DetectSourceEncoding(std::string_view bytes, SourceEncoding requested,
                                    std::size_t& mark_length) {
  mark_length = 0;
  SourceEncoding marked = SourceEncoding::kAnsi;
  if (StartsWith(bytes, kUtf8Mark)) {
    marked = SourceEncoding::kUtf8;
    mark_length = kUtf8Mark.size();
  } else if (StartsWith(bytes, kUtf16LEMark)) {
    marked = SourceEncoding::kUtf16LE;
    mark_length = kUtf16LEMark.size();
  } else if (StartsWith(bytes, kUtf16BEMark)) {
    marked = SourceEncoding::kUtf16BE;
    mark_length = kUtf16BEMark.size();
  }
  switch (requested) {
    case SourceEncoding::kAuto:
      return marked;
    case SourceEncoding::kAnsi:
      mark_length = 0;
      return SourceEncoding::kAnsi;
    default:
      // A mark of the requested encoding is skipped; any other is left as text.
      if (marked != requested) mark_length = 0;
      return requested;
  }
}

DecodedSource DecodeSource(std::string raw, SourceEncoding requested, int code_page,
                           std::int64_t first_line) {
  DecodedSource result;
  std::size_t mark = 0;
  const SourceEncoding encoding = DetectSourceEncoding(raw, requested, mark);
  if (encoding == SourceEncoding::kAnsi) {
    result.bytes = std::move(raw);
    for (char c : result.bytes)
      if (c == '\n') ++result.lines;
    return result;
  }
  result.converted = true;
  const std::string_view body = std::string_view(raw).substr(mark);

  // The whole text as UTF-16; for UTF-8, invalid sequences are counted per line below.
  std::u16string units;
  if (encoding == SourceEncoding::kUtf8) {
    // Lines are split in the UTF-8 bytes (LF never occurs inside a sequence).
  } else {
    units = Utf16Units(body, encoding == SourceEncoding::kUtf16BE);
  }

  CodePageEncoder encoder(code_page);
  result.bytes.reserve(body.size());
  std::u16string line;
  std::int64_t line_index = 0;
  const std::string cp = std::to_string(code_page);
  auto finish_line = [&](bool invalid, std::string_view encoding_name) {
    const bool lossy = encoder.Append(line, result.bytes);
    const std::int64_t number = first_line + line_index;
    if (invalid)
      result.warnings.emplace_back(Message::kInvalidEncoding, number,
                                   std::initializer_list<std::string_view>{encoding_name});
    if (lossy)
      result.warnings.emplace_back(Message::kNotInCodePage, number,
                                   std::initializer_list<std::string_view>{cp});
  };

  if (encoding == SourceEncoding::kUtf8) {
    std::size_t start = 0;
    while (start < body.size()) {
      std::size_t end = body.find('\n', start);
      const bool has_end = end != std::string_view::npos;
      if (!has_end) end = body.size();
      const std::string_view piece = body.substr(start, end - start + (has_end ? 1 : 0));
      int substitutions = 0;
      line = Utf8ToUtf16(piece, u'?', &substitutions);
      finish_line(substitutions > 0, "UTF-8");
      ++line_index;
      start = end + 1;
    }
  } else {
    bool odd_byte = body.size() % 2 != 0;
    std::size_t start = 0;
    while (start < units.size()) {
      std::size_t end = units.find(u'\n', start);
      const bool has_end = end != std::u16string::npos;
      if (!has_end) end = units.size();
      line.assign(units, start, end - start + (has_end ? 1 : 0));
      // Unpaired surrogates are invalid UTF-16.
      bool invalid = odd_byte && !has_end;
      for (std::size_t i = 0; i < line.size(); ++i) {
        const char16_t u = line[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < line.size() && line[i + 1] >= 0xDC00 &&
            line[i + 1] <= 0xDFFF) {
          ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
          line[i] = u'?';
          invalid = true;
        }
      }
      finish_line(invalid, "UTF-16");
      ++line_index;
      start = end + 1;
    }
  }
  for (char c : result.bytes)
    if (c == '\n') ++result.lines;
  return result;
}

std::optional<std::string> DecodeToUtf8(std::string_view raw, SourceEncoding requested) {
  std::size_t mark = 0;
  const SourceEncoding encoding = DetectSourceEncoding(raw, requested, mark);
  const std::string_view body = raw.substr(mark);
  switch (encoding) {
    case SourceEncoding::kAnsi:
      return std::nullopt;
    case SourceEncoding::kUtf8:
      return std::string(body);
    default:
      return Utf16ToUtf8(Utf16Units(body, encoding == SourceEncoding::kUtf16BE));
  }
}

}  // namespace tavrin
