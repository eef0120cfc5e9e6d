#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "module/byte_stream.h"
#include "module/module_header.h"
#include "module/module_kind.h"

namespace tavrin {

// Everything one build hands to the writer. The buffers stay the builder's; they are only read.
struct WriteRequest {
  ModuleKind kind;
  bool new_format;
  std::string output_path;
  std::string module_name;  // used by the finished kinds only
  int charset_choice;       // 0 Western, 1 CE, 2 Cyrillic; used by the 508-byte form only
  std::string user_name;
  const ByteStream& name_stream;  // not written for the verse kinds
  const ByteStream& index_stream;
  const ByteStream& text_stream;
  // The largest offset the file may need; lowered only by tests of the refusal.
  std::int64_t offset_limit = std::numeric_limits<std::int32_t>::max();
  // Called once every byte has been handed to the system, before the wait until they are on the
  // disk; from then on the buffers are not read again. It must not throw: the file is still to
  // be synced and put in place.
  std::function<void()> written = {};
  // Asked on the calling thread after every megabyte handed to the system (bytes so far, bytes
  // in all) and every few milliseconds while the file waits for the disk; false abandons the
  // module before it is put in place.
  std::function<bool(std::int64_t done, std::int64_t total)> progress = {};
};

// The header of the file a request makes, section offsets included. Raises EInOutError when the
// file would be too large for the format's 32-bit offsets.
ModuleHeader MakeModuleHeader(const WriteRequest& request);

// Writes the module file: header, then the kind's sections back to back.
//
// The file is written as a ReplacingFile: in the output's folder, put in place of the output
// only once every byte is on disk, so a failure, a Cancel or a killed process never leaves a
// damaged module and never destroys the module that was there. An existing output keeps its
// permission bits; a new one gets the usual 0666 less the umask. A symbolic link is written
// through to its target. Returns false when `progress` stopped it (nothing is left behind, the
// output is as it was). Raises EFCreateError when the file cannot be created (bad folder,
// read-only folder, the path is a folder) and EInOutError when writing fails (disk full, I/O
// error).
bool WriteModule(const WriteRequest& request);

}  // namespace tavrin
