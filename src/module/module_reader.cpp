#include "module/module_reader.h"

#include <algorithm>
#include <cstring>

#include "module/character_set.h"
#include "module/module_header.h"
#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {

namespace {

// A length-prefixed header field; a length byte beyond the field's width means a damaged file.
std::string ReadShortString(std::string_view bytes, std::size_t offset, int width,
                            const std::string& origin, const char* field) {
  auto length = static_cast<unsigned char>(bytes[offset]);
  if (length > width)
    throw EModuleError(origin, std::string("the ") + field + " field is longer than its width");
  return std::string(bytes.substr(offset + 1, length));
}

// The header form: the section 1 offset holds the header size. The 508-byte form is tried first
// and confirmed by its version word, because its section 1 slot lies in the creator text of the
// 364-byte form while the 364-byte slot lies in the 508-byte form's module name.
int DetectHeaderSize(std::string_view bytes, ModuleKind kind) {
  if (SupportsNewFormat(kind) && bytes.size() >= static_cast<std::size_t>(kLongHeaderSize) &&
      GetInt32(bytes, kLongHeaderLayout.section_offsets) == kLongHeaderSize &&
      GetInt32(bytes, kLongVersionOffset) == kLongHeaderVersion)
    return kLongHeaderSize;
  if (GetInt32(bytes, kShortHeaderLayout.section_offsets) == kShortHeaderSize)
    return kShortHeaderSize;
  return 0;
}

// The NUL-terminated string at `offset` of `section`, or nullopt without a terminator.
std::optional<std::string_view> Terminated(std::string_view section, std::size_t offset) {
  const void* end = std::memchr(section.data() + offset, '\0', section.size() - offset);
  if (end == nullptr) return std::nullopt;
  return section.substr(offset, static_cast<const char*>(end) - (section.data() + offset));
}

}  // namespace

int ModuleCodePage(const ModuleFileHeader& header, const TextLocale& locale) {
  // Only the 508-byte form stores a character set, and only the current format has that form.
  return ModuleCodePage(header.charset_id.has_value(),
                        CharacterSetWithIdentifier(header.charset_id.value_or(0)), locale);
}

ModuleFileHeader ReadModuleHeader(std::string_view bytes, const std::string& origin) {
  // Every module begins with its kind string and has its signature at a fixed place: a file
  // with neither is no module at all, rather than a damaged one.
  const std::size_t kind_length = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
  const bool has_kind = kind_length <= kKindStringWidth && bytes.size() >= 1 + kind_length &&
                        ModuleKindFromString(bytes.substr(1, kind_length));
  const std::string signature =
      static_cast<char>(kModuleSignature.size()) + std::string(kModuleSignature);
  const bool has_signature =
      bytes.substr(std::min<std::size_t>(bytes.size(), kSignatureOffset)).starts_with(signature);
  if (!has_kind && !has_signature) throw ENotAModuleError(origin);
  if (bytes.size() < static_cast<std::size_t>(kShortHeaderSize))
    throw EModuleError(origin, "the header is incomplete (" + std::to_string(bytes.size()) +
                                   " bytes in the file)");
  if (ReadShortString(bytes, kSignatureOffset, kSignatureWidth, origin, "signature") !=
      kModuleSignature)
    throw EModuleError(origin, "the signature is not " + std::string(kModuleSignature));
  std::string kind_string =
      ReadShortString(bytes, kKindStringOffset, kKindStringWidth, origin, "kind");
  std::optional<ModuleKind> kind = ModuleKindFromString(kind_string);
  if (!kind) throw EModuleError(origin, "unknown module kind '" + kind_string + "'");

  ModuleFileHeader header;
  header.kind = *kind;
  header.header_size = DetectHeaderSize(bytes, *kind);
  if (header.header_size == 0 && SupportsNewFormat(*kind) &&
      bytes.size() < static_cast<std::size_t>(kLongHeaderSize) &&
      GetInt32(bytes, kLongHeaderLayout.section_offsets) == kLongHeaderSize)
    throw EModuleError(origin, "the header is incomplete (" + std::to_string(bytes.size()) +
                                   " bytes in the file)");
  if (header.header_size == 0)
    throw EModuleError(origin, "the first section does not start behind the header");
  const HeaderLayout& layout = HeaderLayoutFor(header.header_size);

  if (HasModuleName(*kind))
    header.module_name =
        ReadShortString(bytes, kModuleNameOffset, layout.name_width, origin, "module name");
  header.creator = ReadShortString(bytes, layout.creator, kCreatorWidth, origin, "creator");
  if (header.header_size == kLongHeaderSize)
    header.charset_id = GetInt32(bytes, kLongCharsetOffset);

  std::size_t sections = Sections(*kind).size();
  std::int64_t previous = header.header_size;
  for (std::size_t i = 0; i < sections; ++i) {
    std::int32_t offset = GetInt32(bytes, layout.section_offsets + 4 * i);
    std::string which = "section " + std::to_string(i + 1);
    if (offset < previous)
      throw EModuleError(origin, which + " starts at " + std::to_string(offset) +
                                     ", before the end of the " +
                                     (i == 0 ? "header" : "section before it"));
    if (static_cast<std::uint64_t>(offset) > bytes.size())
      throw EModuleError(origin, which + " starts at " + std::to_string(offset) +
                                     ", beyond the end of the file (" +
                                     std::to_string(bytes.size()) + " bytes)");
    header.section_offsets[i] = offset;
    previous = offset;
  }
  return header;
}

ModuleFile ReadModuleBytes(std::string_view bytes, const std::string& origin) {
  ModuleFile file;
  file.header = ReadModuleHeader(bytes, origin);
  const ModuleFileHeader& header = file.header;
  const bool verse_kind = IsVerseKind(header.kind);
  const auto& offsets = header.section_offsets;

  std::string_view names, index, texts;
  if (verse_kind) {
    index = bytes.substr(offsets[0], offsets[1] - offsets[0]);
    texts = bytes.substr(offsets[1]);
  } else {
    names = bytes.substr(offsets[0], offsets[1] - offsets[0]);
    index = bytes.substr(offsets[1], offsets[2] - offsets[1]);
    texts = bytes.substr(offsets[2]);
  }

  const std::size_t record_size = static_cast<std::size_t>(IndexRecordSize(header.kind));
  if (index.size() % record_size != 0)
    throw EModuleError(origin, "the index section (" + std::to_string(index.size()) +
                                   " bytes) is not a whole number of " +
                                   std::to_string(record_size) + "-byte records");
  const std::size_t count = index.size() / record_size;
  file.entries.resize(count);

  if (!verse_kind) {
    std::size_t position = 0;
    std::size_t n = 0;
    while (position < names.size()) {
      std::optional<std::string_view> name = Terminated(names, position);
      if (!name) throw EModuleError(origin, "the last name has no terminator");
      if (n == count)
        throw EModuleError(
            origin, "there are more names than index records (" + std::to_string(count) + ")");
      file.entries[n++].name = std::string(*name);
      position += name->size() + 1;
    }
    if (n != count)
      throw EModuleError(origin, "there are " + std::to_string(n) + " names for " +
                                     std::to_string(count) + " index records");
  }

  const bool complemented = header.TextsComplemented();
  for (std::size_t i = 0; i < count; ++i) {
    ModuleEntry& entry = file.entries[i];
    std::size_t record = i * record_size;
    std::int32_t text_offset;
    if (verse_kind) {
      entry.book = static_cast<std::uint8_t>(index[record]);
      entry.chapter = static_cast<std::uint8_t>(index[record + 1]);
      entry.verse = static_cast<std::uint8_t>(index[record + 2]);
      text_offset = GetInt32(index, record + 4);
    } else {
      text_offset = GetInt32(index, record);
    }
    if (text_offset < 0 || static_cast<std::size_t>(text_offset) >= texts.size())
      throw EModuleError(origin, "entry " + std::to_string(i + 1) + " has its text at " +
                                     std::to_string(text_offset) + ", outside the text section (" +
                                     std::to_string(texts.size()) + " bytes)");
    std::optional<std::string_view> text = Terminated(texts, static_cast<std::size_t>(text_offset));
    if (!text)
      throw EModuleError(origin,
                         "the text of entry " + std::to_string(i + 1) + " has no terminator");
    entry.text = std::string(*text);
    if (complemented)
      for (char& c : entry.text) c = static_cast<char>(255 - static_cast<unsigned char>(c));
  }
  return file;
}

ModuleFile ReadModuleFile(const std::string& path) {
  return ReadModuleBytes(ReadWholeFile(path), path);
}

}  // namespace tavrin
