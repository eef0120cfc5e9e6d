#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "module/module_kind.h"

namespace tavrin {

// Where the fields of the two header forms lie. Both forms start with the kind string, a zero
// word and the signature; the module name field and everything behind it differ.
struct HeaderLayout {
  int size;
  int name_width;       // characters of the module name field (length byte not counted)
  int section_offsets;  // three integers: start of sections 1, 2 and 3
  int per_kind_value;
  int name_flag;
  int creator;  // 255-character creator text
};

inline constexpr HeaderLayout kShortHeaderLayout{kShortHeaderSize, 50, 76, 96, 104, 105};
inline constexpr HeaderLayout kLongHeaderLayout{kLongHeaderSize, 100, 124, 144, 156, 157};
const HeaderLayout& HeaderLayoutFor(int header_size);

// Fields common to both forms.
inline constexpr int kKindStringOffset = 0;
inline constexpr int kKindStringWidth = 11;
inline constexpr int kSignatureOffset = 16;
inline constexpr int kSignatureWidth = 5;
inline constexpr int kModuleNameOffset = 22;
inline constexpr int kCreatorWidth = 255;
// Fields of the 508-byte form only.
inline constexpr int kLongMinusOneOffset = 152;
inline constexpr int kLongVersionOffset = 416;  // holds 300
inline constexpr int kLongLanguageOffset = 420;
inline constexpr int kLongLanguageWidth = 10;
inline constexpr int kLongCharsetOffset = 432;

inline constexpr std::string_view kModuleSignature = "KV201";
inline constexpr std::string_view kCreatorPrefix = "Module created by ";
inline constexpr std::string_view kHeaderLanguage = "English";
inline constexpr std::int32_t kLongHeaderVersion = 300;

// The fixed header of a module file, built as the exact bytes of its form.
struct ModuleHeader {
  ModuleKind kind = ModuleKind::kDictionary;
  bool new_format = false;
  std::string module_name;  // stored for the finished kinds only, cut to the field
  int charset_choice = 0;   // 0 Western, 1 CE, 2 Cyrillic; stored in the 508-byte form only
  std::string user_name;    // goes into the creator text
  // Start of each section in file order; 0 for a slot the kind does not use.
  std::array<std::int32_t, 3> section_offsets{};

  int Size() const { return HeaderSize(kind, new_format); }
  // Exactly Size() bytes; every byte no field sets is zero.
  std::string Bytes() const;
};

// Byte helpers shared by the writer and the reader.
void PutInt32(std::string& bytes, std::size_t offset, std::int32_t value);
std::int32_t GetInt32(std::string_view bytes, std::size_t offset);
// A length-prefixed field of `width` characters: the text is cut to `width`.
void PutShortString(std::string& bytes, std::size_t offset, int width, std::string_view text);

}  // namespace tavrin
