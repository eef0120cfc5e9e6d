#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// A growable in-memory byte buffer: one of a build's NameStream, IndexStream and TextStream.
// Besides its own bytes it can hold borrowed ones (bytes kept elsewhere until the module has
// been written), so that megabytes of finished texts need not be copied once more.
class ByteStream {
 public:
  void Reserve(std::size_t bytes) { data_.reserve(bytes); }
  void Append(std::string_view bytes) {
    data_.append(bytes);
    size_ += bytes.size();
  }
  void AppendByte(unsigned char b) {
    data_.push_back(static_cast<char>(b));
    ++size_;
  }
  // A 32-bit signed integer, little-endian.
  void AppendInt32(std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value);
    char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    Append(std::string_view(bytes, 4));
  }
  // Appends `bytes` without copying them: they must stay in place, unchanged, as long as the
  // stream is read.
  void AppendBorrowed(std::string_view bytes);
  // Bytes written so far.
  std::size_t Size() const { return size_; }
  // The buffer's content is exactly the bytes written; the reserve behind them is left in place
  // (giving it back would copy the whole buffer once more just before it is written out).
  void CutToWritten() {}
  void Clear() { *this = ByteStream(); }
  // The bytes in order, as few pieces as possible: PieceCount of them, each by PieceAt.
  std::size_t PieceCount() const {
    if (pieces_.empty()) return data_.empty() ? 0 : 1;
    return pieces_.size() + (data_.size() > own_from_ ? 1 : 0);
  }
  std::string_view PieceAt(std::size_t k) const;
  std::vector<std::string_view> Pieces() const;
  // All bytes in one piece (a copy when some are borrowed).
  std::string Bytes() const;

 private:
  // A stretch of the stream: own bytes data_[begin, begin + size) or borrowed ones.
  struct Piece {
    const char* borrowed = nullptr;
    std::size_t begin = 0;
    std::size_t size = 0;
  };

  std::string data_;
  std::size_t size_ = 0;
  // Empty while nothing is borrowed: then the stream is data_ alone. Else every piece up to
  // the own bytes from `own_from_` on, which are not yet in a piece.
  std::vector<Piece> pieces_;
  std::size_t own_from_ = 0;
};

}  // namespace tavrin
