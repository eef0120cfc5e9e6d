// The import of SWORD import files on arbitrary bytes.
#include "import_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tavrin::fuzz::FuzzImport(tavrin::ImportFormat::kImp, data, size);
  return 0;
}
