#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tavrin {

// Bytes 0x00 to 0x20 count as blank for trimming, as in every text rule of the program.
inline bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

inline std::string_view TrimRightControl(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsControlOrBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

inline std::string_view TrimLeftControl(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsControlOrBlank(text[begin])) ++begin;
  return text.substr(begin);
}

inline std::string_view TrimControl(std::string_view text) {
  return TrimLeftControl(TrimRightControl(text));
}

// Every run of two or more blanks (0x20) becomes one blank.
inline std::string CollapseBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out.push_back(c);
  }
  return out;
}

// `text` as a JSON string, quotes included. With `escape_high`, bytes above 0x7F are written as
// the characters of the same number (raw bytes of a code page, not UTF-8).
inline std::string JsonString(std::string_view text, bool escape_high = false) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || (escape_high && c >= 0x80)) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace tavrin
