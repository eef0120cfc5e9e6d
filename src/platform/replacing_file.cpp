#include "platform/replacing_file.h"

namespace tavrin {

void ReplaceFileContents(const std::string& path, std::string_view bytes) {
  ReplacingFile file(path, path);
  file.Write(bytes);
  file.Sync();
  file.Commit();
}

}  // namespace tavrin
