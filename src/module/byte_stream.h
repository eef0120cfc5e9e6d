#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

// A growable in-memory byte buffer: one of a build's NameStream, IndexStream and TextStream.
class ByteStream {
 public:
  void Reserve(std::size_t bytes) { data_.reserve(bytes); }
  void Append(std::string_view bytes) { data_.append(bytes); }
  void AppendByte(unsigned char b) { data_.push_back(static_cast<char>(b)); }
  // A 32-bit signed integer, little-endian.
  void AppendInt32(std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
  }
  // Bytes written so far.
  std::size_t Size() const { return data_.size(); }
  // The buffer's content is exactly the bytes written; the reserve behind them is left in place
  // (giving it back would copy the whole buffer once more just before it is written out).
  void CutToWritten() {}
  void Clear() { data_.clear(); }
  std::string_view View() const { return data_; }
  const std::string& Bytes() const { return data_; }

 private:
  std::string data_;
};

}  // namespace tavrin
