#include "builders/topic_conversion.h"

#include <memory>

#include "builders/build_run.h"
#include "builders/dictionary_builder.h"
#include "module/module_header.h"
#include "platform/exceptions.h"
#include "source/session.h"
#include "source/text_util.h"

namespace tavrin {
namespace {

constexpr std::size_t kLongestName = 256;

// Shared by both conversions: read every text, then write the topics in stored order.
BuildOutcome ConvertStoredTopics(BuildJob& job, std::string_view unit) {
  std::unique_ptr<StoredModule> source;
  try {
    source = std::make_unique<StoredModule>(job.source_path, ModuleKind::kTopics);
  } catch (const Exception& e) {
    job.host.ShowMessage(e.what(), MessageIcon::kStop);
    return BuildOutcome::kFailed;
  }
  BuildRun run(job, "Reading text from file...");
  TmStrList topics(job.session.Locale());
  topics.SetSortType(soString);
  std::vector<std::unique_ptr<SRec>> records;
  // A stored module that cannot be read to its end is no source to convert.
  std::string failure;
  std::string failed_file;
  TopicIndex index;
  try {
    index = LoadTopicIndex(*source, topics, records);
  } catch (const EFileError& e) {
    failure = e.what();
  }
  for (const Diagnostic& warning : index.warnings) run.Warn(warning);
  job.host.SetProgressRange(static_cast<std::int64_t>(index.positions.size()));

  std::int64_t topics_read = 0;
  for (int k = 0; failure.empty() && k < topics.Count(); ++k) {
    try {
      std::optional<Diagnostic> warning;
      std::string text = ReadTopicText(*source, index, k, &warning);
      if (warning) run.Warn(*warning);
      const std::size_t length = text.size();
      static_cast<SRec*>(topics.GetObject(k))->text = std::move(text);
      ++topics_read;
      run.WarnIfTextEnds(static_cast<SRec*>(topics.GetObject(k))->text, topics_read,
                         Place::kSection);
      if (length > kLongSectionLimit) run.Warn(Message::kSectionTooLong, topics_read);
    } catch (const EFileError& e) {
      failure = e.what();
      failed_file = e.Path();
      break;
    } catch (const std::exception&) {
      run.ReportUnknownError();
    }
    if (!run.Poll(k)) break;
  }
  source.reset();
  if (!failure.empty()) {
    run.LogFailure(failure, 0, failed_file);
    return run.Finish();
  }

  if (!run.Cancelled() && topics_read > 0) WriteTopics(run, topics);

  run.LogClosing(topics_read > 0, Message::kNoTopicsInFile,
                 "Total of: " + std::to_string(topics_read) + " " + std::string(unit));
  return run.Finish();
}

}  // namespace

TopicIndex LoadTopicIndex(StoredModule& source, TmStrList& topics,
                          std::vector<std::unique_ptr<SRec>>& records) {
  TopicIndex index;
  const std::string names = source.ReadSection(1);
  std::size_t p = 0;
  while (p < names.size()) {
    std::size_t end = names.find('\0', p);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = names.size();
    // Only the first 256 bytes of a name count; the walk goes on behind its terminator.
    const std::size_t n = std::min(end - p, kLongestName);
    std::string name(TrimControl(CollapseBlanks(std::string_view(names).substr(p, n))));
    records.push_back(std::make_unique<SRec>(std::string()));
    topics.AddObject(name, records.back().get());
    if (!terminated)
      index.warnings.emplace_back(Message::kNameWithoutTerminator,
                                  static_cast<std::int64_t>(records.size()));
    p = end + 1;
  }

  const std::string offsets = source.ReadSection(2);
  const std::int64_t text_start = source.SectionStart(3);
  for (std::size_t i = 0; i + 4 <= offsets.size(); i += 4)
    index.positions.push_back(GetInt32(offsets, i) + text_start);
  if (offsets.size() % 4 != 0)
    index.warnings.emplace_back(
        Message::kStrayIndexBytes, 0,
        std::initializer_list<std::string_view>{std::to_string(offsets.size() % 4)});
  const std::size_t count = static_cast<std::size_t>(topics.Count());
  if (!index.positions.empty() && index.positions.size() < count)
    index.warnings.emplace_back(
        Message::kTopicsWithoutPosition, 0,
        std::initializer_list<std::string_view>{std::to_string(count - index.positions.size())});
  return index;
}

std::string ReadTopicText(StoredModule& source, const TopicIndex& index, int k,
                          std::optional<Diagnostic>* warning) {
  const auto& positions = index.positions;
  if (positions.empty()) return "";
  const std::size_t m = positions.size();
  std::size_t at = std::min(static_cast<std::size_t>(k), m - 1);
  const std::int64_t position = positions[at];
  const std::int64_t next = at + 1 < m ? positions[at + 1] : source.Size();
  if (position < source.SectionStart(3) || position >= source.Size()) {
    if (warning != nullptr) warning->emplace(Message::kTextOutsideSection, k + 1);
    return "";
  }
  const std::int64_t span = next - position;
  if (span >= 0 && span < 2) return "";
  if (span < 0 && warning != nullptr) warning->emplace(Message::kPositionsOutOfOrder, k + 1);
  // Out of order, the text is read up to its terminator, bounded by the file.
  return source.ReadTextAt(position, span < 0 ? source.Size() : next);
}

BuildOutcome ConvertTopicBook(BuildJob& job) { return ConvertStoredTopics(job, "topics"); }

BuildOutcome ConvertTopicsToWriting(BuildJob& job) { return ConvertStoredTopics(job, "sections"); }

}  // namespace tavrin
