// The import of OSIS documents on arbitrary bytes.
#include "import_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tavrin::fuzz::FuzzImport(tavrin::ImportFormat::kOsis, data, size);
  return 0;
}
