#include "builders/stored_module.h"

#include <algorithm>

#include "module/module_header.h"
#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {

StoredModule::StoredModule(const std::string& path, ModuleKind kind)
    : path_(path), in_(path), size_(in_.Size()) {
  std::string header(kShortHeaderSize, '\0');
  if (in_.Read(header.data(), header.size()) != header.size())
    throw EModuleError(path, "the header is incomplete");
  const std::size_t at = static_cast<std::size_t>(kShortHeaderLayout.section_offsets);
  for (int k = 0; k < 3; ++k) starts_[k] = GetInt32(header, at + 4 * k);

  const int sections = static_cast<int>(Sections(kind).size());
  // The text section of a note set runs to the end of the file; its third slot is not used.
  if (sections == 2) starts_[2] = size_;
  std::int64_t previous = kShortHeaderSize;
  for (int k = 0; k < sections; ++k) {
    const std::string which = "section " + std::to_string(k + 1);
    if (starts_[k] < kShortHeaderSize)
      throw EModuleError(path,
                         which + " starts inside the header (" + std::to_string(starts_[k]) + ")");
    if (starts_[k] > size_)
      throw EModuleError(
          path, which + " starts beyond the end of the file (" + std::to_string(starts_[k]) + ")");
    if (starts_[k] < previous)
      throw EModuleError(path, which + " starts before the section in front of it");
    previous = starts_[k];
  }
}

std::string StoredModule::ReadSection(int k) {
  const std::int64_t begin = starts_[k - 1];
  const std::int64_t end = starts_[k];
  std::string bytes(static_cast<std::size_t>(end - begin), '\0');
  in_.Seek(begin);
  bytes.resize(in_.Read(bytes.data(), bytes.size()));
  return bytes;
}

std::string StoredModule::ReadTextAt(std::int64_t position, std::int64_t limit) {
  std::string text;
  if (position < 0 || position >= size_) return text;
  if (limit <= position || limit > size_) limit = size_;
  constexpr std::int64_t kChunk = 1 << 16;
  in_.Seek(position);
  std::string chunk;
  while (position < limit) {
    const std::int64_t want = std::min(kChunk, limit - position);
    chunk.resize(static_cast<std::size_t>(want));
    const std::size_t got = in_.Read(chunk.data(), chunk.size());
    if (got == 0) break;
    const auto zero = chunk.find('\0');
    if (zero != std::string::npos && zero < got) {
      text.append(chunk, 0, zero);
      break;
    }
    text.append(chunk, 0, got);
    position += static_cast<std::int64_t>(got);
  }
  return text;
}

}  // namespace tavrin
