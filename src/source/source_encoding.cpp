#include "source/source_encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <memory>
#include <stdexcept>

namespace tavrin {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

// Encodes UTF-16 into one code page, reporting whether anything had to become '?'.
class CodePageEncoder {
 public:
  explicit CodePageEncoder(int code_page) {
    UErrorCode status = U_ZERO_ERROR;
    std::string name = "windows-" + std::to_string(code_page);
    converter_ = ucnv_open(name.c_str(), &status);
    if (U_FAILURE(status)) {
      status = U_ZERO_ERROR;
      converter_ = ucnv_open("windows-1252", &status);
    }
    if (U_FAILURE(status)) throw std::runtime_error("no converter for code page");
    status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter_, &CodePageEncoder::Substitute, &lossy_, nullptr, nullptr,
                          &status);
  }
  ~CodePageEncoder() { ucnv_close(converter_); }
  CodePageEncoder(const CodePageEncoder&) = delete;
  CodePageEncoder& operator=(const CodePageEncoder&) = delete;

  // Appends the encoded text to `out`; true when a character was replaced.
  bool Encode(const UChar* text, int32_t length, std::string& out) {
    lossy_ = false;
    ucnv_resetFromUnicode(converter_);
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length) * 2 + 8);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(converter_, out.data() + start,
                                static_cast<int32_t>(out.size() - start), text, length, &status);
    if (U_FAILURE(status)) n = 0;
    out.resize(start + static_cast<std::size_t>(n));
    return lossy_;
  }

 private:
  static void Substitute(const void* context, UConverterFromUnicodeArgs* args, const UChar*,
                         int32_t, UChar32, UConverterCallbackReason reason, UErrorCode* err) {
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
    *static_cast<bool*>(const_cast<void*>(context)) = true;
    *err = U_ZERO_ERROR;
    ucnv_cbFromUWriteBytes(args, "?", 1, 0, err);
  }

  UConverter* converter_ = nullptr;
  bool lossy_ = false;
};

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
    const bool big_endian = encoding == SourceEncoding::kUtf16BE;
    units.resize(body.size() / 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
      const auto hi = static_cast<unsigned char>(body[2 * i + (big_endian ? 0 : 1)]);
      const auto lo = static_cast<unsigned char>(body[2 * i + (big_endian ? 1 : 0)]);
      units[i] = static_cast<char16_t>((hi << 8) | lo);
    }
  }

  CodePageEncoder encoder(code_page);
  result.bytes.reserve(body.size());
  std::u16string line;
  std::int64_t line_index = 0;
  const std::string cp = std::to_string(code_page);
  auto finish_line = [&](bool invalid, const char* invalid_what) {
    const bool lossy = encoder.Encode(reinterpret_cast<const UChar*>(line.data()),
                                      static_cast<int32_t>(line.size()), result.bytes);
    const std::string number = std::to_string(first_line + line_index);
    if (invalid)
      result.warnings.push_back("line #" + number + " - Warning: " + invalid_what +
                                " replaced by '?'");
    if (lossy)
      result.warnings.push_back("line #" + number + " - Warning: characters not in code page " +
                                cp + " replaced by '?'");
  };

  if (encoding == SourceEncoding::kUtf8) {
    std::size_t start = 0;
    while (start < body.size()) {
      std::size_t end = body.find('\n', start);
      const bool has_end = end != std::string_view::npos;
      if (!has_end) end = body.size();
      const std::string_view piece = body.substr(start, end - start + (has_end ? 1 : 0));
      line.resize(piece.size() + 1);
      int32_t length = 0;
      int32_t substitutions = 0;
      UErrorCode status = U_ZERO_ERROR;
      u_strFromUTF8WithSub(reinterpret_cast<UChar*>(line.data()), static_cast<int32_t>(line.size()),
                           &length, piece.data(), static_cast<int32_t>(piece.size()), '?',
                           &substitutions, &status);
      line.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
      finish_line(substitutions > 0, "invalid UTF-8");
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
      finish_line(invalid, "invalid UTF-16");
      ++line_index;
      start = end + 1;
    }
  }
  for (char c : result.bytes)
    if (c == '\n') ++result.lines;
  return result;
}

}  // namespace tavrin
