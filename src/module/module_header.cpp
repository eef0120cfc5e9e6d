#include "module/module_header.h"

#include <algorithm>

#include "module/character_set.h"

namespace tavrin {

const HeaderLayout& HeaderLayoutFor(int header_size) {
  return header_size == kLongHeaderSize ? kLongHeaderLayout : kShortHeaderLayout;
}

void PutInt32(std::string& bytes, std::size_t offset, std::int32_t value) {
  auto u = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

std::int32_t GetInt32(std::string_view bytes, std::size_t offset) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i)
    u |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return static_cast<std::int32_t>(u);
}

void PutShortString(std::string& bytes, std::size_t offset, int width, std::string_view text) {
  std::size_t length = std::min<std::size_t>(text.size(), static_cast<std::size_t>(width));
  bytes[offset] = static_cast<char>(length);
  std::copy_n(text.begin(), length, bytes.begin() + static_cast<std::ptrdiff_t>(offset) + 1);
}

std::string ModuleHeader::Bytes() const {
  const HeaderLayout& layout = HeaderLayoutFor(Size());
  std::string bytes(static_cast<std::size_t>(layout.size), '\0');

  PutShortString(bytes, kKindStringOffset, kKindStringWidth, KindString(kind));
  PutShortString(bytes, kSignatureOffset, kSignatureWidth, kModuleSignature);
  if (HasModuleName(kind)) PutShortString(bytes, kModuleNameOffset, layout.name_width, module_name);
  for (std::size_t i = 0; i < section_offsets.size(); ++i)
    PutInt32(bytes, layout.section_offsets + 4 * i, section_offsets[i]);
  PutInt32(bytes, layout.per_kind_value, PerKindValue(kind));
  bytes[layout.name_flag] = static_cast<char>(NameFlag(kind));
  std::string creator(kCreatorPrefix);
  creator += user_name;
  PutShortString(bytes, layout.creator, kCreatorWidth, creator);

  if (layout.size == kLongHeaderSize) {
    PutInt32(bytes, kLongMinusOneOffset, -1);
    PutInt32(bytes, kLongVersionOffset, kLongHeaderVersion);
    PutShortString(bytes, kLongLanguageOffset, kLongLanguageWidth, kHeaderLanguage);
    PutInt32(bytes, kLongCharsetOffset, CharacterSetOf(charset_choice).identifier);
  }
  return bytes;
}

}  // namespace tavrin
