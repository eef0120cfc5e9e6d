// Module bytes from anywhere: the module reader, and the three conversions of stored topic
// books and note sets run from the file as the Create button runs them. A damaged module may be
// refused with a message, never crash, hang or read outside the file, and whatever a
// conversion writes must read back.
#include <filesystem>

#include "builders/start_build.h"
#include "harness.h"
#include "module/module_reader.h"
#include "platform/exceptions.h"
#include "source/session.h"
#include "support/recording_host.h"

using namespace tavrin;

namespace {

void Convert(const std::string& source, BuildTab tab, bool editable, bool compatible) {
  static Session session(fuzz::Locale());
  session.SetProgramFolder(fuzz::Scratch());
  session.SetUser("fuzz");
  const std::string output = fuzz::Scratch() + "/converted.mod";
  std::error_code ec;
  std::filesystem::remove(output, ec);

  BuildRequest request;
  request.tab = tab;
  request.module_name = "Fuzz";
  request.source_path = source;
  request.output_path = output;
  request.editable_topics = editable && tab == BuildTab::kDictionary;
  request.editable_notes = editable && tab == BuildTab::kCommentary;
  request.compatible = compatible;
  RecordingHost host;
  const BuildOutcome outcome = StartBuild(request, host, session);

  fuzz::Check(!host.busy && host.disabled == host.enabled && host.disabled <= 1,
              "the window is not back in its idle state");
  fuzz::Check(host.messages.size() == 1, "not exactly one closing message");
  const bool exists = std::filesystem::exists(output, ec);
  if (!ModuleWritten(outcome)) {
    fuzz::Check(!exists, "a module was written by a conversion that failed");
    return;
  }
  fuzz::Check(exists, "a conversion that succeeded wrote no module");
  try {
    const ModuleFile module = ReadModuleFile(output);
    fuzz::Check(module.header.kind == KindOf(request), "module of the wrong kind");
  } catch (const std::exception& e) {
    fuzz::Fail("the converted module does not read back:", e.what());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const ModuleFile module = ReadModuleBytes(bytes, "fuzz.mod");
    fuzz::Check(module.header.header_size == kShortHeaderSize ||
                    module.header.header_size == kLongHeaderSize,
                "odd header size");
  } catch (const Exception&) {
    // A damaged module is refused with a message: fine.
  } catch (const std::exception& e) {
    fuzz::Fail("module reader raised a foreign exception:", e.what());
  }

  // Conversion options vary with the input so that each input tries one combination.
  const bool editable = size % 2 == 1;
  const bool compatible = size % 4 >= 2;
  if (bytes.starts_with("\x05notes")) {
    const std::string source = fuzz::Scratch() + "/source.nts";
    fuzz::WriteFile(source, bytes);
    Convert(source, BuildTab::kCommentary, editable, compatible);
  } else {
    const std::string source = fuzz::Scratch() + "/source.tpb";
    fuzz::WriteFile(source, bytes);
    Convert(source, BuildTab::kDictionary, editable, compatible);
    if (bytes.starts_with("\x06topics")) Convert(source, BuildTab::kWriting, false, compatible);
  }
  return 0;
}
