#pragma once

// The import on arbitrary bytes of one format, with any kind and markup: it never crashes or
// hangs, and marked text it writes is UTF-8 with a byte order mark, CR LF lines, the build
// command on its second line and one control line per entry.

#include <fuzzer/FuzzedDataProvider.h>

#include <filesystem>

#include "harness.h"
#include "import/importer.h"
#include "platform/system.h"
#include "platform/text_locale.h"

namespace tavrin::fuzz {

inline void FuzzImport(ImportFormat format, const std::uint8_t* data, std::size_t size) {
  static constexpr ModuleKind kKinds[] = {ModuleKind::kDictionary, ModuleKind::kCommentary,
                                          ModuleKind::kWriting, ModuleKind::kNotes};
  FuzzedDataProvider in(data, size);
  ImportRequest request;
  request.format = format;
  if (in.ConsumeBool()) request.kind = in.PickValueInArray(kKinds);
  request.markup = static_cast<EntryMarkup>(in.ConsumeIntegralInRange(0, 5));
  request.split_level = in.ConsumeIntegralInRange(-1, 3);
  request.charset = in.ConsumeBool() ? "western" : "cyrillic";
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  const std::string input = Scratch() + "/input";
  WriteFile(input, bytes);
  request.inputs = {input};
  request.output = Scratch() + "/output.txt";
  request.program_folder = Scratch() + "/";
  std::filesystem::remove(request.output);

  ImportResult result = RunImport(request);
  Check(result.written == std::filesystem::exists(request.output),
        "the output exists exactly when the import says it was written", bytes);
  Check(result.written == result.findings.Errors().empty(), "an error without a refusal", bytes);
  if (!result.written) return;
  const std::string text = ReadWholeFile(request.output);
  Check(text.starts_with("\xEF\xBB\xBF"), "no byte order mark", bytes);
  int substitutions = 0;
  Utf8ToUtf16(text, u'?', &substitutions);
  Check(substitutions == 0, "marked text that is not UTF-8", bytes);
  std::size_t second = text.find("\r\n") + 2;
  Check(text.compare(second, 17, "tavrin-cli build ") == 0, "no build command", bytes);
  std::int64_t controls = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find("\r\n", pos);
    Check(end != std::string::npos, "a line without CR LF", bytes);
    Check(text.substr(pos, end - pos).find_first_of("\r\n") == std::string::npos,
          "a line break inside a line", bytes);
    if (text.compare(pos, 1, "#") == 0) ++controls;
    pos = end + 2;
  }
  Check(controls == result.entries, "entries and control lines differ", bytes);
}

}  // namespace tavrin::fuzz
