// Each builder of marked text on an arbitrary source: the reading loop, the reference-line
// step, the entry collection and the writer, end to end in memory but for the module file.
// Whatever the source, the window must end idle with one message, and a module that was
// written must read back as a module of the kind asked for.
#include <fuzzer/FuzzedDataProvider.h>

#include <filesystem>
#include <sstream>

#include "builders/commentary_builder.h"
#include "builders/dictionary_builder.h"
#include "builders/jumplist_builder.h"
#include "builders/writing_builder.h"
#include "harness.h"
#include "module/character_set.h"
#include "module/module_reader.h"
#include "source/session.h"
#include "source/source_encoding.h"
#include "support/recording_host.h"

using namespace tavrin;

namespace {

constexpr const char* kMarks[] = {"#", "#", "#", "#", "@", "##", "", " "};
constexpr SourceEncoding kEncodings[] = {SourceEncoding::kAuto,    SourceEncoding::kAuto,
                                         SourceEncoding::kUtf8,    SourceEncoding::kUtf16LE,
                                         SourceEncoding::kUtf16BE, SourceEncoding::kAnsi};

Session& FuzzSession() {
  static Session session(fuzz::Locale());
  return session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Integers come from the end of the input, so a plain source file is a usable seed.
  FuzzedDataProvider in(data, size);
  // Every kind of the table, picked as from an array of them.
  const ModuleKind kind =
      AllKinds()[in.ConsumeIntegralInRange<std::size_t>(0, AllKinds().size() - 1)].kind;
  BuildOptions options;
  options.line_mark = in.PickValueInArray(kMarks);
  options.join_lines = in.ConsumeBool();
  options.preserve_empty_lines = in.ConsumeBool();
  options.remove_extra_empty_lines = in.ConsumeBool();
  options.remove_extra_spaces = in.ConsumeBool();
  options.trim_leading_spaces = in.ConsumeBool();
  options.mark_type = in.ConsumeBool() ? 1 : 0;
  const bool compatible = in.ConsumeBool();
  const int charset = in.ConsumeIntegralInRange(0, 2);
  const SourceEncoding encoding = in.PickValueInArray(kEncodings);
  const std::uint8_t cancel = in.ConsumeIntegral<std::uint8_t>();
  std::string raw = in.ConsumeRemainingBytesAsString();

  Session& session = FuzzSession();
  session.SetProgramFolder(fuzz::Scratch());
  session.SetUser("fuzz");
  const bool new_format = !compatible && SupportsNewFormat(kind);
  const int code_page = new_format ? CharacterSetOf(charset).code_page : 1252;
  DecodedSource source = DecodeSource(std::move(raw), encoding, code_page, 1);
  std::istringstream stream(source.bytes);

  const std::string output = fuzz::Scratch() + "/out.mod";
  std::error_code ec;
  std::filesystem::remove(output, ec);

  RecordingHost host;
  if (cancel < 8) host.cancel_after_polls = cancel;  // now and then Cancel early
  BuildJob job{.host = host,
               .session = session,
               .kind = kind,
               .new_format = new_format,
               .options = options,
               .module_name = "Fuzz",
               .charset = charset,
               .source_path = "fuzz.txt",
               .output_path = output,
               .source_size = static_cast<std::int64_t>(source.bytes.size()),
               .source = &stream,
               .log_path = fuzz::Scratch() + "/tavrin.log",
               .user_name = "fuzz",
               .leading_warnings = source.warnings};

  BuildOutcome outcome = BuildOutcome::kNotStarted;
  switch (KindInfo(kind).builder) {
    case MarkedTextBuilder::kDictionary:
      outcome = BuildDictionary(job);
      break;
    case MarkedTextBuilder::kCommentary:
      outcome = BuildCommentary(job);
      break;
    case MarkedTextBuilder::kWriting:
      outcome = BuildWriting(job);
      break;
    case MarkedTextBuilder::kJumplist:
      outcome = BuildJumplist(job);
      break;
  }

  fuzz::Check(!host.busy && host.disabled == 1 && host.enabled == 1,
              "the window is not back in its idle state");
  fuzz::Check(!host.progress_visible, "progress left visible");
  fuzz::Check(host.messages.size() == 1, "not exactly one closing message");
  const bool exists = std::filesystem::exists(output, ec);
  if (!ModuleWritten(outcome)) {
    fuzz::Check(!exists, "a module was written by a build that failed");
    return 0;
  }
  fuzz::Check(exists, "a build that succeeded wrote no module");
  try {
    const ModuleFile module = ReadModuleFile(output);
    fuzz::Check(module.header.kind == kind, "module of the wrong kind");
  } catch (const std::exception& e) {
    fuzz::Fail("the module written does not read back:", e.what());
  }
  return 0;
}
