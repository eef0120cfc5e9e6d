// The markup conversion and the finishing of entry text on arbitrary bytes and options, with
// the line tests of the reading loop on the same bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include "builders/body_line.h"
#include "harness.h"
#include "module/byte_stream.h"
#include "source/markup.h"
#include "source/text_util.h"

using namespace tavrin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TagTable tags = BuildTagTable();
  FuzzedDataProvider in(data, size);

  BuildOptions options;
  options.join_lines = in.ConsumeBool();
  options.preserve_empty_lines = in.ConsumeBool();
  options.remove_extra_empty_lines = in.ConsumeBool();
  options.remove_extra_spaces = in.ConsumeBool();
  options.trim_leading_spaces = in.ConsumeBool();
  const bool new_format = in.ConsumeBool();
  const bool in_block = in.ConsumeBool();

  // Link settings as a header file could leave them.
  LinkSettings links;
  const int aliases = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < aliases; ++i) {
    std::string alias = in.ConsumeRandomLengthString(12);
    std::string target = in.ConsumeRandomLengthString(12);
    if (!alias.empty() && !target.empty()) links.link_aliases.emplace_back(alias, target);
  }
  if (in.ConsumeBool()) links.pictures_dir = in.ConsumeRandomLengthString(8) + "\\";
  if (in.ConsumeBool()) links.sounds_dir = in.ConsumeRandomLengthString(8) + "\\";
  if (in.ConsumeBool()) links.files_dir = in.ConsumeRandomLengthString(8) + "\\";
  const std::string text = in.ConsumeRemainingBytesAsString();
  const MarkupContext context{tags, links, fuzz::Locale()};

  // The conversion sets literal breaks aside as 0xA4 and deletes every one left at its end.
  for (bool keep : {false, true}) {
    const std::string converted = ConvertEntryText(text, keep, context);
    fuzz::Check(converted.find('\xA4') == std::string::npos, "0xA4 left by ConvertEntryText", text);
  }
  RewriteLinks(text, context);

  ByteStream stream;
  stream.Append("before");
  bool lines_block = true;
  FinishEntryText(text, options, new_format, context, stream, lines_block);
  fuzz::Check(!lines_block, "FinishEntryText left the <lines> block open");
  const std::string finished = stream.Bytes();
  fuzz::Check(finished.size() >= 7 && finished.substr(0, 6) == "before",
              "FinishEntryText did not append", text);
  fuzz::Check(finished.back() == '\0', "entry text without terminator", text);
  // The stored text is trimmed on the right before it is complemented.
  const std::string_view body = std::string_view(finished).substr(6, finished.size() - 7);
  if (!body.empty()) {
    const char last = new_format ? static_cast<char>(~body.back()) : body.back();
    fuzz::Check(!IsControlOrBlank(last), "entry text not trimmed", text);
  }
  fuzz::Check(InvertText(InvertText(text)) == text, "InvertText is not its own inverse");

  // Line-level steps of the reading loop, on the bytes taken as one line.
  bool block = in_block;
  UpdateLinesBlock(text, block, fuzz::Locale());
  IsOpeningTagLine(text, context);
  IsClosingTagLine(text, context);
  const std::string_view trimmed = TrimControl(text);
  if (!trimmed.empty()) {
    const std::string cleaned = CleanLine(text, options, block);
    fuzz::Check(cleaned.find('\xA4') == std::string::npos, "0xA4 left by CleanLine", text);
    std::string entry = "x\r\n";
    GatherLine(entry, cleaned, trimmed, options, block, context);
  }
  const std::string_view head = std::string_view(text).substr(0, text.find('>') + 1);
  if (head.size() >= 2 && head.front() == '<') {
    const std::string lowered = fuzz::Locale().Lower(head);
    MarkupTagName(lowered);
    // Every rule on any tag text, not only on the tag its name picks.
    for (const TagDefinition& kind : kTagDefinitions) MarkupTagIsValid(kind, lowered);
  }
  return 0;
}
