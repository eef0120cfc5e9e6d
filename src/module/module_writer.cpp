#include "module/module_writer.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/exceptions.h"
#include "platform/replacing_file.h"
#include "platform/run_beside.h"

namespace tavrin {

namespace {

const ByteStream& StreamFor(const WriteRequest& request, ModuleSection section) {
  switch (section) {
    case ModuleSection::kName:
      return request.name_stream;
    case ModuleSection::kIndex:
      return request.index_stream;
    case ModuleSection::kText:
      break;
  }
  return request.text_stream;
}

// The streams' bytes in order, copied out in runs of at most `size` bytes. The pieces are walked
// in place: a module of many texts has tens of thousands of them.
class PieceCursor {
 public:
  explicit PieceCursor(const std::vector<const ByteStream*>& streams) : streams_(streams) {}
  // Copies the next bytes into `out` (up to `size`); returns how many, 0 at the end.
  std::size_t CopyNext(char* out, std::size_t size) {
    std::size_t copied = 0;
    while (copied < size && stream_ < streams_.size()) {
      const ByteStream& stream = *streams_[stream_];
      if (piece_ == stream.PieceCount()) {
        ++stream_;
        piece_ = 0;
        continue;
      }
      const std::string_view piece = stream.PieceAt(piece_);
      const std::size_t n = std::min(piece.size() - offset_, size - copied);
      std::memcpy(out + copied, piece.data() + offset_, n);
      copied += n;
      offset_ += n;
      if (offset_ == piece.size()) {
        ++piece_;
        offset_ = 0;
      }
    }
    return copied;
  }

 private:
  const std::vector<const ByteStream*>& streams_;
  std::size_t stream_ = 0;
  std::size_t piece_ = 0;
  std::size_t offset_ = 0;
};

// Writes the streams' bytes in order. They are gathered into runs of a megabyte first: the kernel
// copies one long run from memory that is still in the cache much faster than thousands of short
// entry texts scattered over the heap. For a module of many megabytes a helper thread gathers
// the next runs while this thread writes the ones before, so the two copies overlap.
// `keep_going`(bytes written) is asked on this thread after each run; false stops the writing
// and the function returns false.
bool WriteAll(ReplacingFile& out, const std::vector<const ByteStream*>& streams,
              const std::function<bool(std::int64_t)>& keep_going) {
  constexpr std::size_t kRun = std::size_t{1} << 20;
  constexpr std::size_t kRuns = 4;
  // Below this the thread costs more than the overlap gives (measured on modules of 7 and 16 MB).
  constexpr std::size_t kPipelined = std::size_t{32} << 20;
  PieceCursor cursor(streams);
  std::size_t total = 0;
  for (const ByteStream* stream : streams) total += stream->Size();
  std::array<std::string, kRuns> runs;
  if (total < kPipelined) {
    runs[0].resize(std::min(total, kRun));
    for (;;) {
      const std::size_t n = cursor.CopyNext(runs[0].data(), runs[0].size());
      if (n == 0) return true;
      out.Write(std::string_view(runs[0]).substr(0, n));
      if (!keep_going(out.BytesWritten())) return false;
    }
  }
  for (std::string& run : runs) run.resize(kRun);
  std::array<std::size_t, kRuns> filled{};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t produced = 0;  // runs gathered; run k lies in runs[k % kRuns]
  std::size_t consumed = 0;  // runs written
  bool gathered_all = false;
  bool stop = false;
  std::jthread gatherer([&] {
    for (;;) {
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || produced - consumed < kRuns; });
        if (stop) return;
      }
      // The slot is this thread's until it is counted as produced.
      const std::size_t slot = produced % kRuns;
      const std::size_t n = cursor.CopyNext(runs[slot].data(), kRun);
      {
        std::lock_guard lock(mutex);
        if (n == 0) {
          gathered_all = true;
        } else {
          filled[slot] = n;
          ++produced;
        }
      }
      changed.notify_all();
      if (n == 0) return;
    }
  });
  // However this loop is left (done, stopped, a failed write), the gatherer is told to stop
  // before the jthread joins it.
  auto stop_gatherer = [&] {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
  };
  struct OnExit {
    const decltype(stop_gatherer)& run;
    ~OnExit() { run(); }
  } on_exit{stop_gatherer};
  for (;;) {
    std::size_t slot = 0;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return produced > consumed || gathered_all; });
      if (produced == consumed) return true;
      slot = consumed % kRuns;
    }
    out.Write(std::string_view(runs[slot]).substr(0, filled[slot]));
    {
      std::lock_guard lock(mutex);
      ++consumed;
    }
    changed.notify_all();
    if (!keep_going(out.BytesWritten())) return false;
  }
}

// Waits until the file is on the disk. With `keep_going` the wait runs beside this thread and
// `keep_going` is asked every few milliseconds meanwhile, since the sync of a large module may
// take seconds. Returns false when it said stop; the sync is waited for all the same.
bool SyncFile(ReplacingFile& out, const std::function<bool()>& keep_going) {
  if (!keep_going) {
    out.Sync();
    return true;
  }
  bool go_on = true;
  RunBeside([&] { out.Sync(); }, [&] { go_on = go_on && keep_going(); });
  return go_on && keep_going();
}

}  // namespace

ModuleHeader MakeModuleHeader(const WriteRequest& request) {
  ModuleHeader header;
  header.kind = request.kind;
  header.new_format = request.new_format;
  header.module_name = request.module_name;
  header.charset_choice = request.charset_choice;
  header.user_name = request.user_name;

  // Offsets are 32-bit in the file; a larger module cannot be described, so refuse it rather
  // than write wrapped offsets.
  std::uint64_t position = static_cast<std::uint64_t>(header.Size());
  std::size_t slot = 0;
  for (ModuleSection section : Sections(request.kind)) {
    header.section_offsets[slot++] = static_cast<std::int32_t>(position);
    position += StreamFor(request, section).Size();
    if (position > static_cast<std::uint64_t>(request.offset_limit))
      throw EInOutError(Message::kModuleTooLarge, request.output_path);
  }
  return header;
}

bool WriteModule(const WriteRequest& request) {
  if (!ModuleKindFromInt(static_cast<int>(request.kind)))
    throw Exception("Unknown module kind " + std::to_string(static_cast<int>(request.kind)));
  const std::string& output = request.output_path;
  if (output.empty()) throw EFCreateError(output);
  const std::string header = MakeModuleHeader(request).Bytes();

  ReplacingFile file(output, output);
  ByteStream header_stream;
  header_stream.Append(header);
  std::vector<const ByteStream*> streams{&header_stream};
  for (ModuleSection section : Sections(request.kind))
    streams.push_back(&StreamFor(request, section));
  std::int64_t total = 0;
  for (const ByteStream* stream : streams) total += static_cast<std::int64_t>(stream->Size());

  auto keep_going = [&](std::int64_t done) {
    return !request.progress || request.progress(done, total);
  };
  if (!WriteAll(file, streams, keep_going)) return false;
  // The bytes are the system's now: what the caller frees here overlaps the wait for the disk.
  if (request.written) request.written();
  std::function<bool()> while_syncing;
  if (request.progress) while_syncing = [&] { return keep_going(total); };
  if (!SyncFile(file, while_syncing)) return false;
  file.Commit();
  return true;
}

}  // namespace tavrin
