#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "builders/build_log.h"
#include "builders/build_request.h"
#include "builders/entry_finisher.h"
#include "builders/source_lint.h"
#include "module/byte_stream.h"

namespace tavrin {

inline constexpr std::size_t kLongSectionLimit = 50000;

// The part every builder shares: the busy state, progress, Cancel, the creation log, the three
// buffers, and the end of the build (module written, idle state, closing message, log shown).
class BuildRun {
 public:
  // Busy state, progress 0..source size, the status text, Cancel cleared, the buffers made
  // (TextStream reserves the source size), the log started afresh with any leading warnings.
  BuildRun(BuildJob& job, std::string_view status);
  // A build left by an unexpected failure still brings the window back to its idle state.
  ~BuildRun();
  BuildRun(const BuildRun&) = delete;
  BuildRun& operator=(const BuildRun&) = delete;

  BuildJob& Job() { return job_; }
  BuildLog& Log() { return log_; }
  // A warning line of the log; `entry_line` is the control or reference line of the entry it
  // is about, for a lint that places it there.
  void Warn(const Diagnostic& warning, std::int64_t entry_line = 0);
  // Warning `id` about the place numbered `number` (a line, a section) with its values.
  void Warn(Message id, std::int64_t number, std::initializer_list<std::string_view> values = {},
            std::int64_t entry_line = 0) {
    Warn(Diagnostic(id, number, values), entry_line);
  }
  // A module of the current format stores its texts complemented, so a byte 0xFF of `text`
  // becomes the text's terminator and the reader shows nothing behind it: the warning that says
  // so, about the line (or, with `place`, the entry) numbered `number`.
  void WarnIfTextEnds(std::string_view text, std::int64_t number, Place place = Place::kSourceLine);
  void SetError() { error_ = true; }
  bool Warnings() const { return warnings_; }
  bool Cancelled() const { return cancelled_; }

  // After every line or entry: progress, pending messages, Cancel. False once cancelled.
  bool Poll(std::int64_t position);
  // The per-line and per-entry guard's message.
  void ReportUnknownError();

  // The writing loop every builder of entries shares: progress 0..count-1 and "Creating
  // module...", each entry under the per-entry guard, polling after each; stops on Cancel. The
  // texts are finished on every core: `text`(i)
  // gives entry i's text, or nothing to skip the entry (it is called on several threads at
  // once, so it must only read); `write`(i) then writes the entry's other records on this
  // thread, in entry order, right before its finished text goes into the text stream.
  // `finished_before`(i), when given, may give entry i finished already; `text` is then not
  // asked for it.
  void WriteEntries(
      int count, const std::function<std::optional<std::string_view>(int)>& text,
      const std::function<void(int)>& write,
      const std::function<std::optional<EntryFinisher::Entry>(int)>& finished_before = {});
  // The same loop for texts finished before: `finished`(i) gives entry i's finished bytes.
  // Lasting ones are not copied: they must stay in place until Finish has returned.
  void WriteFinishedEntries(int count, const std::function<EntryFinisher::Entry(int)>& finished,
                            const std::function<void(int)>& write);
  // The lint that looks inside this build's entries, or null.
  SourceLint* Lint() { return source_lint_.get(); }
  // The entry gathered as `text` closes (`first_line`: its control or reference line): the lint
  // looks at it, when there is one.
  void LintEntry(std::int64_t first_line, std::string_view name, std::string_view text);

  // Finishes one entry's text with this build's options and format onto `out`.
  void FinishText(std::string_view text, std::string& out, ConversionBuffers& buffers) const;

  // The closing lines: cancelled, nothing found (`error`), or the totals.
  void LogClosing(bool found, Message error, std::string_view totals);
  // The closing lines of a finished build: an empty line, `totals`, an empty line, and the
  // line saying the file was created. They are written by Finish once the module is in place,
  // so a log never claims a module that a failed or cancelled write did not make.
  void LogTotals(std::string_view totals);
  // The closing lines of a build in error: an empty line, `error`, an empty line, and
  // "Module creation terminated due to error.". The lint places the error at line
  // `source_line` of the read source, or at `file` as a whole when one is named.
  void LogError(const Diagnostic& error, std::int64_t source_line = 1, std::string_view file = {});
  // A failure whose reason another part gave (a file that could not be read): "Error: REASON".
  void LogFailure(std::string_view reason, std::int64_t source_line = 1,
                  std::string_view file = {}) {
    LogError(Diagnostic(Message::kFailure, 0, {reason}), source_line, file);
  }
  // The same lines for an error that the build's closing message names itself (a data file or
  // the output that failed), so it is not told twice.
  void LogNamedError(std::string_view reason);
  // The closing lines of a cancelled build.
  void LogCancelled();

  // Ends the build: the module written unless cancelled or in error (Cancel is honoured until
  // it is put in place), the closing lines, progress hidden, status restored, the idle state,
  // the one closing message, the log shown when asked for.
  BuildOutcome Finish();
  // What the builder has left to free once the module's bytes are written (its texts and
  // names): Finish runs it on another thread while the system puts the file on the disk, and
  // waits for it before it returns. Not run when no module is written.
  void FreeWhileSyncing(std::function<void()> release) { release_ = std::move(release); }

  ByteStream name_stream;
  ByteStream index_stream;
  ByteStream text_stream;

 private:
  // Runs release_ on `releasing`, or leaves it to the builder when no thread can be started.
  void StartReleasing(std::jthread& releasing);
  // Writes the module, the progress bar following the bytes written and Cancel polled until
  // the file is put in place. Returns the failure's message, empty when written or cancelled.
  std::string WriteModuleFile();
  void WriteTotals(std::string_view created_line);

  BuildJob& job_;
  BuildLog log_;
  bool warnings_ = false;
  bool error_ = false;
  bool cancelled_ = false;
  bool finished_ = false;
  std::function<void()> release_;
  std::optional<std::string> totals_;
  std::unique_ptr<SourceLint>
      source_lint_;  // closing lines of a finished build, still to be written
};

}  // namespace tavrin
