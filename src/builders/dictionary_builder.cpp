#include "builders/dictionary_builder.h"

#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "builders/reading_loop.h"
#include "platform/run_beside.h"
#include "source/session.h"

namespace tavrin {

void WriteTopics(BuildRun& run, const TmStrList& topics, const BackgroundFinisher* finished) {
  auto record = [&](int i) { return static_cast<const SRec*>(topics.GetObject(i)); };
  if (finished == nullptr) {
    auto write = [&](int i) {
      run.name_stream.Append(topics.View(i));
      run.name_stream.AppendByte(0);
      run.index_stream.AppendInt32(static_cast<std::int32_t>(run.text_stream.Size()));
    };
    run.WriteEntries(
        topics.Count(),
        [&](int i) -> std::optional<std::string_view> {
          const SRec* r = record(i);
          return r != nullptr ? std::string_view(r->text) : std::string_view();
        },
        write);
    return;
  }
  // Texts finished before are never skipped, so every topic's name is written (a cancelled
  // build writes no module at all): the names go into their stream on another thread meanwhile.
  bool names_failed = false;
  std::jthread names([&] {
    try {
      for (int i = 0; i < topics.Count(); ++i) {
        run.name_stream.Append(topics.View(i));
        run.name_stream.AppendByte(0);
      }
    } catch (const std::exception&) {
      names_failed = true;
    }
  });
  run.WriteFinishedEntries(
      topics.Count(),
      [&](int i) {
        const SRec* r = record(i);
        if (r != nullptr && r->finished >= 0) return finished->Get(r->finished);
        // A topic without text: the terminator alone, as for an empty text.
        // NOLINTNEXTLINE(bugprone-string-constructor): the terminator is the text
        return EntryFinisher::Entry{EntryFinisher::State::kFinished, std::string_view("", 1), true};
      },
      [&](int) {
        run.index_stream.AppendInt32(static_cast<std::int32_t>(run.text_stream.Size()));
      });
  names.join();
  if (names_failed) run.ReportUnknownError();
}

BuildOutcome BuildDictionary(BuildJob& job) {
  BuildRun run(job, "Reading text from file...");
  TmStrList topics(job.Locale());
  topics.SetSortType(soString);
  std::vector<std::unique_ptr<SRec>> records;
  ReadingState state;
  std::int64_t topic_count = 0;
  std::string topic_name;
  std::int64_t topic_line = 0;  // the open topic's control line
  // The texts are finished on the other cores while the source is still being read: they do
  // not depend on the order of the topics.
  std::optional<BackgroundFinisher> finisher;
  finisher.emplace([&run](std::string_view text, std::string& out,
                          ConversionBuffers& buffers) { run.FinishText(text, out, buffers); },
                   EntryFinisher::DefaultHelpers());

  // Each topic's lines are gathered straight into the finisher's open batch, so its text is
  // never copied before it is finished.
  auto close_topic = [&] {
    run.LintEntry(topic_line, topic_name, state.Gathered());
    const std::size_t length = state.Gathered().size();
    records.push_back(std::make_unique<SRec>(std::string()));
    records.back()->finished = finisher->CloseText();
    topics.AddObject(topic_name, records.back().get());
    if (length > kLongSectionLimit) run.Warn(Message::kSectionTooLong, topic_count, {}, topic_line);
    state.GatherInto(*finisher);
    // A "<lines>" block never reaches past the entry in which it began.
    state.in_lines_block = false;
  };
  state.GatherInto(*finisher);

  ReadMarkedText(run, state, [&](std::string_view, std::string_view trimmed) {
    if (!IsControlLine(trimmed, job.options.line_mark)) return false;
    if (topic_count > 0) close_topic();
    ++topic_count;
    topic_line = state.lines_read;
    state.entry_open = true;
    topic_name = ControlLineName(trimmed, job.options.line_mark);
    if (topic_name.empty()) {
      run.Warn(Message::kTopicHasNoName, state.lines_read);
      topic_name = "untitled";
    }
    return true;
  });

  if (!run.Cancelled() && state.read_failure.empty() && topic_count > 0) {
    try {
      close_topic();
      // Sorting a million names takes a second or more: the window stays responsive meanwhile,
      // its bar busy, and a Cancel pressed then is honoured once the sort is done. A short
      // list is sorted before the window could notice.
      if (topics.Count() >= TmStrList::kSortOnTwoThreads) {
        job.host.SetProgressRange(0);
        RunBeside([&] { topics.Sort(); }, [&] { run.Poll(0); });
        job.host.SetProgressRange(job.source_size);
      } else {
        topics.Sort();
      }
    } catch (const std::exception&) {
      run.ReportUnknownError();
    }
    finisher->Wait([&] { run.Poll(job.source_size); });
    WriteTopics(run, topics, &*finisher);
  }
  // Names, records and finished texts, tens of thousands of blocks, are freed while the module
  // goes to the disk.
  run.FreeWhileSyncing([&] {
    topics.Clear();
    records.clear();
    finisher.reset();
  });

  LogReadingClosing(run, state, topic_count > 0, Message::kNoTopicsMarked,
                    "Total of: " + std::to_string(state.lines_read) + " lines, " +
                        std::to_string(topic_count) + " topics");
  return run.Finish();
}

}  // namespace tavrin
