#include "import/marked_text_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/replacing_file.h"

namespace tavrin {
namespace {

constexpr std::size_t kFlushBytes = std::size_t{1} << 20;

bool IsAscii(std::string_view text) {
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t block;
    std::memcpy(&block, text.data() + i, 8);
    if (block & 0x8080808080808080ULL) return false;
  }
  for (; i < text.size(); ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

}  // namespace

std::string LiteralText(std::string_view text) {
  if (text.find('<') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    char next = i + 1 < text.size() ? text[i + 1] : '\0';
    bool opens_tag = c == '<' && ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
                                  next == '/' || next == '!' || next == '?');
    if (opens_tag)
      out += "<lit><</lit>";
    else
      out += c;
  }
  return out;
}

bool IsWellFormedUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + 8 <= text.size()) {
      std::uint64_t block;
      std::memcpy(&block, text.data() + i, 8);
      if ((block & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    // A character beyond ASCII: let the full check decide from here, within its length.
    std::size_t end = std::min(text.size(), i + 4);
    bool replaced = false;
    std::string piece = ValidUtf8(text.substr(i, end - i), &replaced);
    if (piece.empty() || piece[0] == '?') return false;
    unsigned char c = static_cast<unsigned char>(text[i]);
    i += (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
  }
  return true;
}

std::string ValidUtf8(std::string_view text, bool* replaced) {
  if (IsAscii(text)) {
    if (replaced) *replaced = false;
    return std::string(text);
  }
  std::string out;
  out.reserve(text.size());
  if (replaced) *replaced = false;
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
    bool good = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; good && k < length; ++k)
      good = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (good && length > 1) {
      // Overlong forms, surrogates and values past U+10FFFF are no characters.
      unsigned char d = static_cast<unsigned char>(text[i + 1]);
      good = !(c == 0xC0 || c == 0xC1) && !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0) &&
             !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90) && c <= 0xF4;
    }
    if (!good) {
      out += '?';
      if (replaced) *replaced = true;
      ++i;
      continue;
    }
    out.append(text, i, length);
    i += length;
  }
  return out;
}

std::string ShellQuoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

MarkedTextWriter::MarkedTextWriter(std::string path, std::string written_by)
    : path_(std::move(path)), written_by_(std::move(written_by)) {}

MarkedTextWriter::~MarkedTextWriter() = default;

void MarkedTextWriter::SetBuild(ModuleKind kind, std::string options) {
  kind_ = kind;
  options_ = std::move(options);
}

std::string MarkedTextWriter::BuildCommand() const {
  return "tavrin-cli build " + std::string(KindInfo(kind_).word) + " THIS-FILE OUTPUT" + options_;
}

void MarkedTextWriter::AddEntry(std::string_view heading, const std::vector<std::string>& lines) {
  if (!file_) {
    file_ = std::make_unique<ReplacingFile>(path_, path_);
    buffer_ = "\xEF\xBB\xBF" + written_by_ + " Build it with:\r\n" + ValidUtf8(BuildCommand()) +
              "\r\n\r\n";
  }
  // The readers hand over UTF-8; this keeps a stray byte from making the file something else.
  // A line break inside a name or line would make two lines of one.
  auto one_line = [](std::string_view text) {
    std::string out = IsWellFormedUtf8(text) ? std::string(text) : ValidUtf8(text);
    for (char& c : out)
      if (c == '\r' || c == '\n') c = ' ';
    return out;
  };
  buffer_ += kControlMark;
  buffer_ += one_line(heading);
  buffer_ += "\r\n";
  for (const std::string& raw : lines) {
    const std::string line = one_line(raw);
    std::size_t start = line.find_first_not_of(" \t");
    if (start != std::string::npos && line.compare(start, kControlMark.size(), kControlMark) == 0)
      buffer_ += line.substr(0, start) + "<lit>" + std::string(kControlMark) + "</lit>" +
                 line.substr(start + kControlMark.size());
    else
      buffer_ += line;
    buffer_ += "\r\n";
  }
  ++entries_;
  if (buffer_.size() >= kFlushBytes) Flush();
}

void MarkedTextWriter::Flush() {
  if (file_ && !buffer_.empty()) file_->Write(buffer_);
  buffer_.clear();
}

void MarkedTextWriter::Finish() {
  if (!file_) return;
  Flush();
  file_->Sync();
  file_->Commit();
}

}  // namespace tavrin
