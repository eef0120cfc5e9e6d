#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "module/module_kind.h"
#include "platform/system.h"

namespace tavrin {

// An editable topic book or note set opened as the source of a conversion. Every read is
// bounded by the file, so a damaged or hostile file can neither crash nor hang a build.
class StoredModule {
 public:
  // Opens the file for reading and checks the section offsets of its 364-byte header: each
  // section must start behind the header, in order, and inside the file (the text section of a
  // note set runs to the end of the file). Raises EFOpenError when it cannot be opened and
  // EModuleError naming the file and the problem when the offsets are unusable. Every read
  // raises EInOutError when the file cannot be read.
  StoredModule(const std::string& path, ModuleKind kind);

  const std::string& Path() const { return path_; }
  std::int64_t Size() const { return size_; }
  // Start of section 1, 2, 3 (1-based), as the header records it.
  std::int64_t SectionStart(int k) const { return starts_[k - 1]; }
  // The bytes of section k (1 or 2), from its start to the start of section k + 1.
  std::string ReadSection(int k);
  // The text at `position`: the bytes up to the first 0x00, but at most up to `limit` (an
  // absolute position) and never past the end of the file. A `limit` at or before `position`
  // means no limit but the file. An empty text for a position outside the file.
  std::string ReadTextAt(std::int64_t position, std::int64_t limit);

 private:
  std::string path_;
  InputFile in_;
  std::int64_t size_ = 0;
  std::array<std::int64_t, 3> starts_{};
};

}  // namespace tavrin
