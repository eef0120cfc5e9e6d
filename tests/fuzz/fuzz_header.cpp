// Header file processing on arbitrary bytes in any source encoding, then the link rewriting that
// the directives feed, on a text that uses every kind of link.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <optional>
#include <sstream>

#include "harness.h"
#include "module/byte_stream.h"
#include "source/header_file.h"
#include "source/markup.h"
#include "source/source_encoding.h"
#include "source/text_util.h"

using namespace tavrin;

namespace {

constexpr SourceEncoding kEncodings[] = {SourceEncoding::kAuto,    SourceEncoding::kAuto,
                                         SourceEncoding::kUtf8,    SourceEncoding::kUtf16LE,
                                         SourceEncoding::kUtf16BE, SourceEncoding::kAnsi};

void CheckDirectory(const std::string& dir, const std::string& header) {
  if (dir.empty()) return;
  fuzz::Check(dir.back() == '\\', "media folder without a trailing backslash", header);
  fuzz::Check(fuzz::Locale().Lower(dir) == dir, "media folder not lower case", header);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TagTable tags = BuildTagTable();
  FuzzedDataProvider in(data, size);
  const SourceEncoding encoding = in.PickValueInArray(kEncodings);
  const bool has_name_box = in.ConsumeBool();
  const bool name_typed = in.ConsumeBool();
  const bool new_format = in.ConsumeBool();
  const std::string raw = in.ConsumeRemainingBytesAsString();

  const DecodedSource header = DecodeSource(raw, encoding, 1252, 1);
  std::istringstream stream(header.bytes);
  LinkSettings links;
  links.pictures_dir = "stale\\";  // processing starts from empty settings
  HeaderFileState state;
  state.include_list.push_back("stale.txt");
  std::string name = name_typed ? "Typed" : "";
  ProcessHeaderFile(stream, fuzz::Locale(), links, state, has_name_box ? &name : nullptr);

  if (has_name_box) {
    if (name_typed)
      fuzz::Check(name == "Typed", "a typed module name was replaced", raw);
    else if (!header.bytes.empty() && header.bytes.find('\x1A') == std::string::npos)
      fuzz::Check(!TrimControl(name).empty() || !state.document_title.empty(),
                  "blank module name after a header line", raw);
  }
  for (const auto& [alias, target] : links.link_aliases) {
    fuzz::Check(!alias.empty() && !target.empty(), "empty link alias or target", raw);
    fuzz::Check(target.find(' ') == std::string::npos, "blank in a link target", raw);
  }
  CheckDirectory(links.pictures_dir, raw);
  CheckDirectory(links.sounds_dir, raw);
  CheckDirectory(links.files_dir, raw);
  for (const std::string& include : state.include_list) {
    fuzz::Check(include != "stale.txt" || raw.find("stale.txt") != std::string::npos,
                "include list not emptied", raw);
    fuzz::Check(TrimControl(include) == include, "include name not trimmed", raw);
  }
  if (const std::optional<std::string> utf8 = DecodeToUtf8(raw, encoding)) {
    // The names as spelled stand on the same lines: one in ASCII is the name as listed.
    DecodedSource spelled = header;
    SpellIncludes(*utf8, state, spelled);
    fuzz::Check(state.include_paths.size() == state.include_list.size(), "includes not spelled",
                raw);
    for (std::size_t i = 0; i < state.include_paths.size(); ++i) {
      const std::string& path = state.include_paths[i];
      const bool ascii = std::all_of(path.begin(), path.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
      fuzz::Check(!ascii || path == state.include_list[i], "include spelled from another line",
                  raw);
    }
    fuzz::Check(spelled.warnings.size() <= header.warnings.size(), "conversion warnings added",
                raw);
  }

  // What a later build makes of links under these settings.
  std::string text =
      "<link picture=a.gif>p</link> <link sound=b.wav>s</link> <link file=c.doc>f</link>\r\n";
  for (const auto& pair : links.link_aliases) text += "<LINK " + pair.first + "=x>a</link>\r\n";
  const MarkupContext context{tags, links, fuzz::Locale()};
  RewriteLinks(text, context);
  ByteStream stream_out;
  bool in_lines_block = false;
  FinishEntryText(text, BuildOptions(), new_format, context, stream_out, in_lines_block);
  const std::string finished = stream_out.Bytes();
  fuzz::Check(!finished.empty() && finished.back() == '\0', "entry text without terminator", raw);
  return 0;
}
