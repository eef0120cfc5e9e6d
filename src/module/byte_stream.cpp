#include "module/byte_stream.h"

namespace tavrin {

void ByteStream::AppendBorrowed(std::string_view bytes) {
  if (bytes.empty()) return;
  // Own bytes written since the last borrowed piece become a piece of their own first.
  if (data_.size() > own_from_) {
    pieces_.push_back(Piece{nullptr, own_from_, data_.size() - own_from_});
    own_from_ = data_.size();
  }
  // Texts finished one behind the other in memory make one piece.
  if (!pieces_.empty() && pieces_.back().borrowed != nullptr &&
      pieces_.back().borrowed + pieces_.back().size == bytes.data())
    pieces_.back().size += bytes.size();
  else
    pieces_.push_back(Piece{bytes.data(), 0, bytes.size()});
  size_ += bytes.size();
}

std::string_view ByteStream::PieceAt(std::size_t k) const {
  if (k < pieces_.size()) {
    const Piece& piece = pieces_[k];
    if (piece.borrowed != nullptr) return std::string_view(piece.borrowed, piece.size);
    return std::string_view(data_).substr(piece.begin, piece.size);
  }
  return std::string_view(data_).substr(own_from_);
}

std::vector<std::string_view> ByteStream::Pieces() const {
  std::vector<std::string_view> pieces;
  const std::size_t count = PieceCount();
  pieces.reserve(count);
  for (std::size_t k = 0; k < count; ++k) pieces.push_back(PieceAt(k));
  return pieces;
}

std::string ByteStream::Bytes() const {
  if (pieces_.empty()) return data_;
  std::string bytes;
  bytes.reserve(size_);
  for (std::string_view piece : Pieces()) bytes += piece;
  return bytes;
}

}  // namespace tavrin
