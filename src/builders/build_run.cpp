#include "builders/build_run.h"

#include <thread>

#include "builders/lint.h"
#include "module/module_writer.h"
#include "platform/exceptions.h"
#include "source/session.h"
#include "source/text_util.h"

namespace tavrin {

BuildRun::BuildRun(BuildJob& job, std::string_view status) : job_(job), log_(job.log_path) {
  BuildHost& host = job_.host;
  host.DisableControls();
  host.SetProgressRange(job_.source_size);
  host.SetProgress(0);
  host.SetProgressVisible(true);
  host.SetStatus(std::string(status));
  host.ClearCancelRequest();
  if (job_.source_size > 0) text_stream.Reserve(static_cast<std::size_t>(job_.source_size));
  if (job_.lint != nullptr && job_.lint->ChecksEntries())
    source_lint_ = std::make_unique<SourceLint>(job_, *job_.lint);
  for (const Diagnostic& warning : job_.build_warnings) Warn(warning);
  for (const Diagnostic& warning : job_.leading_warnings) Warn(warning);
}

BuildRun::~BuildRun() {
  if (finished_) return;
  BuildHost& host = job_.host;
  host.SetProgressVisible(false);
  host.RestoreStatus();
  host.EnableControls();
}

void BuildRun::Warn(const Diagnostic& warning, std::int64_t entry_line) {
  const std::string text = warning.Text();
  log_.Line(LogLine(warning));
  warnings_ = true;
  if (job_.lint != nullptr) job_.lint->BuildWarning(warning, text, entry_line);
}

void BuildRun::WarnIfTextEnds(std::string_view text, std::int64_t number, Place place) {
  if (!job_.new_format || text.find('\xFF') == std::string_view::npos) return;
  Diagnostic warning(Message::kByteEndsText, number,
                     {"\xFF", std::to_string(job_.Locale().CodePage())});
  warning.place = place;
  Warn(warning);
}

void BuildRun::LintEntry(std::int64_t first_line, std::string_view name, std::string_view text) {
  if (!source_lint_) return;
  bool empty = false;
  if (job_.lint->Enabled(Check::kEmptyEntry)) {
    // Empty as the module will hold it: only the terminator. A byte of text that stands outside
    // every tag always stays, so only a text that begins with a tag needs the conversion.
    const std::string_view text_start = TrimLeftControl(text);
    if (text_start.empty()) {
      empty = true;
    } else if (text_start.front() == '<') {
      thread_local ConversionBuffers buffers;
      std::string finished;
      FinishText(text, finished, buffers);
      empty = finished.size() <= 1;
    }
  }
  source_lint_->Entry(first_line, name, text, empty);
}

bool BuildRun::Poll(std::int64_t position) {
  BuildHost& host = job_.host;
  host.SetProgress(position);
  host.ProcessMessages();
  if (host.CancelRequested()) cancelled_ = true;
  return !cancelled_;
}

void BuildRun::ReportUnknownError() {
  job_.host.ShowMessage(MessageText(Message::kUnknownError), MessageIcon::kStop);
}

void BuildRun::FinishText(std::string_view text, std::string& out,
                          ConversionBuffers& buffers) const {
  AppendFinishedEntryText(text, job_.options, job_.new_format, job_.Markup(), out, buffers);
}

void BuildRun::WriteEntries(
    int count, const std::function<std::optional<std::string_view>(int)>& text,
    const std::function<void(int)>& write,
    const std::function<std::optional<EntryFinisher::Entry>(int)>& finished_before) {
  auto text_of = [&](int i) -> std::optional<std::string_view> {
    if (finished_before && finished_before(i)) return std::nullopt;
    return text(i);
  };
  EntryFinisher finisher(
      count, text_of,
      [this](std::string_view entry, std::string& out, ConversionBuffers& buffers) {
        FinishText(entry, out, buffers);
      },
      EntryFinisher::DefaultHelpers());
  WriteFinishedEntries(
      count,
      [&](int i) {
        EntryFinisher::Entry entry = finisher.Take(i, [&] { Poll(i); });
        if (finished_before) {
          if (const std::optional<EntryFinisher::Entry> before = finished_before(i)) return *before;
        }
        return entry;
      },
      write);
}

void BuildRun::WriteFinishedEntries(int count,
                                    const std::function<EntryFinisher::Entry(int)>& finished,
                                    const std::function<void(int)>& write) {
  BuildHost& host = job_.host;
  host.SetProgressRange(count - 1);
  host.SetProgress(0);
  host.SetStatus("Creating module...");
  for (int i = 0; i < count; ++i) {
    const EntryFinisher::Entry entry = finished(i);
    if (entry.state != EntryFinisher::State::kSkipped) {
      try {
        write(i);
        if (entry.state == EntryFinisher::State::kFailed) ReportUnknownError();
        if (entry.lasting)
          text_stream.AppendBorrowed(entry.bytes);
        else
          text_stream.Append(entry.bytes);
      } catch (const std::exception&) {
        ReportUnknownError();
      }
    }
    if (!Poll(i)) break;
  }
}

void BuildRun::LogClosing(bool found, Message error, std::string_view totals) {
  if (cancelled_)
    LogCancelled();
  else if (!found)
    LogError(Diagnostic(error, 0));
  else
    LogTotals(totals);
}

void BuildRun::LogTotals(std::string_view totals) { totals_ = std::string(totals); }

void BuildRun::WriteTotals(std::string_view created_line) {
  log_.Line("");
  log_.Line(*totals_);
  log_.Line("");
  log_.Line(created_line);
  totals_.reset();
}

void BuildRun::LogError(const Diagnostic& error, std::int64_t source_line, std::string_view file) {
  if (job_.lint != nullptr) job_.lint->BuildError(error.Text(), source_line, file);
  error_ = true;
  log_.Line("");
  log_.Line(LogLine(error));
  log_.Line("");
  log_.Line(MessageText(Message::kTerminated));
}

void BuildRun::LogNamedError(std::string_view reason) {
  error_ = true;
  log_.Line("");
  log_.Line(LogLine(Message::kFailure, 0, {reason}));
  log_.Line("");
  log_.Line(MessageText(Message::kTerminated));
}

void BuildRun::LogCancelled() {
  log_.Line("");
  log_.Line(MessageText(Message::kCancelled));
}

void BuildRun::StartReleasing(std::jthread& releasing) {
  if (!release_) return;
  try {
    releasing = std::jthread(std::move(release_));
  } catch (const std::exception&) {
    // No thread to be had: the builder frees its texts when it ends, as it would without one.
    // The module itself is fine, so this is no failure of the write.
  }
}

std::string BuildRun::WriteModuleFile() {
  BuildHost& host = job_.host;
  std::int64_t range = 0;
  auto progress = [&](std::int64_t done, std::int64_t total) {
    if (range != total) {
      range = total;
      host.SetProgressRange(total);
    }
    return Poll(done);
  };
  std::string failure;
  std::jthread releasing;
  try {
    WriteModule(WriteRequest{job_.kind, job_.new_format, job_.output_path, job_.module_name,
                             job_.charset, job_.user_name, name_stream, index_stream, text_stream,
                             job_.offset_limit, [&] { StartReleasing(releasing); }, progress});
  } catch (const Exception& e) {
    failure = e.what();
  } catch (const std::exception& e) {
    failure = MessageText(Message::kCannotCreateFile, {job_.output_path});
  }
  if (releasing.joinable()) releasing.join();
  return failure;
}

BuildOutcome BuildRun::Finish() {
  finished_ = true;
  BuildHost& host = job_.host;
  text_stream.CutToWritten();
  if (source_lint_ && !cancelled_) source_lint_->Finish();
  std::string write_failure;
  if (!cancelled_ && !error_ && !job_.check_only) write_failure = WriteModuleFile();
  host.SetProgressVisible(false);
  host.RestoreStatus();
  if (cancelled_) {
    // Cancelled while the module went to the disk: it was not put in place.
    if (totals_) LogCancelled();
  } else if (!write_failure.empty()) {
    error_ = true;
    if (totals_) {
      log_.Line("");
      log_.Line(*totals_);
    }
    LogNamedError(write_failure);
  } else if (totals_) {
    WriteTotals(MessageText(warnings_ ? Message::kCreatedWithWarningsLine : Message::kCreated,
                            {job_.output_path}));
  }
  log_.Close();
  name_stream = ByteStream();
  index_stream = ByteStream();
  text_stream = ByteStream();
  host.EnableControls();

  BuildOutcome outcome;
  if (cancelled_) {
    host.ShowMessage(MessageText(Message::kCancelled), MessageIcon::kInformation);
    outcome = BuildOutcome::kCancelled;
  } else if (!write_failure.empty()) {
    host.ShowMessage(MessageText(Message::kTerminatedBecause, {write_failure}), MessageIcon::kStop);
    outcome = BuildOutcome::kFailed;
  } else if (error_) {
    // Without a log (a lint, Check source) the error went to the findings, which say it all.
    if (!job_.log_path.empty())
      host.ShowMessage(MessageText(Message::kTerminatedSeeLog), MessageIcon::kStop);
    else if (job_.lint == nullptr || !job_.lint->HasError())
      host.ShowMessage(MessageText(Message::kTerminated), MessageIcon::kStop);
    outcome = BuildOutcome::kFailed;
  } else if (job_.check_only) {
    host.ShowMessage(
        MessageText(warnings_ ? Message::kWouldBeCreatedWithWarnings : Message::kWouldBeCreated,
                    {job_.output_path}),
        MessageIcon::kInformation);
    outcome = warnings_ ? BuildOutcome::kCreatedWithWarnings : BuildOutcome::kCreated;
  } else if (warnings_) {
    host.ShowMessage(MessageText(Message::kCreatedWithWarnings, {job_.output_path}),
                     MessageIcon::kInformation);
    outcome = BuildOutcome::kCreatedWithWarnings;
  } else {
    host.ShowMessage(MessageText(Message::kCreated, {job_.output_path}), MessageIcon::kInformation);
    outcome = BuildOutcome::kCreated;
  }
  if (job_.show_log_when_finished) host.ShowLog(log_.Path());
  return outcome;
}

}  // namespace tavrin
