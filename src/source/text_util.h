#pragma once

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

}  // namespace tavrin
