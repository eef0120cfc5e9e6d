#include "builders/start_build.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "builders/build_log.h"
#include "builders/build_run.h"
#include "builders/commentary_builder.h"
#include "builders/dictionary_builder.h"
#include "builders/jumplist_builder.h"
#include "builders/lint.h"
#include "builders/note_conversion.h"
#include "builders/stored_module.h"
#include "builders/topic_conversion.h"
#include "builders/writing_builder.h"
#include "module/module_header.h"
#include "platform/exceptions.h"
#include "platform/system.h"
#include "source/header_file.h"
#include "source/source_encoding.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

// The kind of stored module that a source with this extension is taken for by a build of
// `kind`; nullopt when the source is not one.
std::optional<ModuleKind> StoredSourceKind(const ModuleKindInfo& kind, std::string_view extension) {
  if (!kind.converts_from) return std::nullopt;
  for (std::string_view stored : KindInfo(*kind.converts_from).stored_extensions)
    if (extension == stored) return kind.converts_from;
  return std::nullopt;
}

// The creation log must be creatable before a build starts: a build whose warnings could not
// be read afterwards is refused with the file's name.
bool LogCreatable(const std::string& path, BuildHost& host) {
  if (path.empty()) return true;  // no log asked for
  std::ofstream probe(FilePath(path), std::ios::binary | std::ios::app);
  if (probe) return true;
  host.ShowMessage(MessageText(Message::kCannotCreateFile, {path}), MessageIcon::kStop);
  return false;
}

// A build refused before its builder ran: the message (with the path and the system's reason
// as its details), and a creation log that says why, so the log of an earlier build never
// stands as this one's.
BuildOutcome Refuse(BuildJob& job, const std::string& text, const std::string& detail = {}) {
  job.host.ShowMessage(text, MessageIcon::kStop, detail);
  if (job.log_path.empty()) return BuildOutcome::kNotStarted;
  BuildLog log(job.log_path);
  const bool written = log.Opened();
  log.Line(LogLine(Message::kFailure, 0, {text}));
  if (!detail.empty()) log.Line(detail);
  log.Line("");
  log.Line(MessageText(Message::kTerminated));
  log.Close();
  if (job.show_log_when_finished && written) job.host.ShowLog(log.Path());
  return BuildOutcome::kNotStarted;
}

// An output that is no file to replace, or that would replace the build's own input.
std::string OutputRefusal(const std::string& output, const std::vector<std::string>& inputs) {
  std::error_code ec;
  const fs::path out = FilePath(output);
  if (fs::is_directory(out, ec)) return MessageText(Message::kOutputIsFolder, {output});
  for (const std::string& input : inputs) {
    if (input.empty() || !fs::exists(out, ec)) break;
    if (fs::equivalent(out, FilePath(input), ec))
      return MessageText(Message::kOutputIsSource, {output, input});
  }
  return {};
}

// Warnings about the module name as it will be stored: letters the code page could not hold,
// and a name longer than its header field.
void NameWarnings(const BuildRequest& request, BuildJob& job, int code_page) {
  if (!TabHasModuleName(request.tab)) return;
  if (request.module_name_lossy)
    job.build_warnings.emplace_back(
        Message::kNameNotInCodePage, 0,
        std::initializer_list<std::string_view>{std::to_string(code_page)});
  if (!KindInfo(job.kind).finished) return;  // editable modules store no name
  const auto field =
      static_cast<std::size_t>(HeaderLayoutFor(HeaderSize(job.kind, job.new_format)).name_width);
  if (job.module_name.size() > field)
    job.build_warnings.emplace_back(Message::kNameCut, 0,
                                    std::initializer_list<std::string_view>{std::to_string(field)});
}

bool OutputExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(FilePath(path), ec);
}

// Removes the temporary source of a header file whatever way the build ends.
struct TemporarySource {
  std::string path;
  bool delete_after = false;
  ~TemporarySource() {
    if (delete_after && !path.empty()) {
      std::error_code ec;
      fs::remove(FilePath(path), ec);
    }
  }
};

// A build that goes on (nullopt) or has ended with this outcome.
using Step = std::optional<BuildOutcome>;

// What StartBuild fixes before the builder runs: the job, the source it reads and what must
// live as long as the build.
struct PreparedBuild {
  BuildJob job;
  BuildRequest& request;
  // The files an output must not replace: the source, a header file's includes.
  std::vector<std::string> inputs;
  TemporarySource temporary;
  // The user's collation over the module's code page, where that is not the user's own.
  std::optional<TextLocale> text_locale;
  std::unique_ptr<std::istream> source;
};

// The job of the request: the module name normalised (and shown), the kind, format, paths and
// options fixed.
BuildJob PrepareJob(BuildRequest& request, BuildHost& host, Session& session) {
  if (TabHasModuleName(request.tab)) {
    request.module_name = NormalizeModuleName(request.module_name);
    host.SetModuleName(request.module_name);
  }
  BuildJob job{.host = host,
               .session = session,
               .kind = KindOf(request),
               .new_format = NewFormatOf(request),
               .options = request.options,
               .module_name = request.module_name,
               .charset = request.charset,
               .source_path = request.source_path,
               .output_path = request.output_path,
               .log_path = request.write_log ? LogFilePath(session.ProgramFolder()) : "",
               .user_name = session.User(),
               .leading_warnings = {}};
  job.show_log_when_finished = request.show_log_when_finished;
  job.check_only = request.check_only;
  job.offset_limit = request.offset_limit;
  job.lint = request.lint;
  if (job.lint != nullptr)
    job.lint->source_folder = fs::path(request.source_path).parent_path().string();
  return job;
}

// A stored module to convert: it must open for writing too, be of the expected kind and have
// sections a conversion can read.
Step OpenStoredModule(PreparedBuild& build, ModuleKind stored) {
  BuildJob& job = build.job;
  std::string header(kShortHeaderSize, '\0');
  try {
    InputFile in(job.source_path, true);
    header.resize(in.Read(header.data(), header.size()));
  } catch (const EFileError& e) {
    return Refuse(job, MessageText(Message::kFileOpening), e.Detail());
  }
  const std::string_view expected = KindString(stored);
  const bool of_type = header.size() == static_cast<std::size_t>(kShortHeaderSize) &&
                       static_cast<unsigned char>(header[0]) == expected.size() &&
                       std::string_view(header).substr(1, expected.size()) == expected;
  if (!of_type) return Refuse(job, MessageText(Message::kNotOfExpectedType, {job.source_path}));
  try {
    StoredModule layout(job.source_path, stored);
    job.source_size = layout.Size();
  } catch (const Exception& e) {
    return Refuse(job, e.what());
  }
  if (job.lint != nullptr) job.lint->source_map.Add(DisplayPath(job.source_path), 1);
  return std::nullopt;
}

// Reads a header file's directives and assembles its includes into the source the build reads
// (job.source_path); `included_by` names the header for a message about its one include.
Step OpenHeaderFile(PreparedBuild& build, const IncludeDecoder& decode,
                    bool& assembled_in_code_page, std::string& included_by) {
  BuildJob& job = build.job;
  BuildRequest& request = build.request;
  Session& session = job.session;
  std::string raw_header;
  try {
    raw_header = ReadWholeFile(request.source_path);
  } catch (const EFileError& e) {
    return Refuse(job, MessageText(Message::kFileOpening), e.Detail());
  }
  DecodedSource header_text = decode(raw_header, 1);
  std::istringstream header(header_text.bytes);
  const bool has_name = TabHasModuleName(request.tab);
  std::string name = request.module_name;
  ProcessHeaderFile(header, job.Locale(), session.Links(), session.Header(),
                    has_name ? &name : nullptr);
  // Includes open the files by the names the header spells, not by their code page bytes.
  if (const std::optional<std::string> spelled =
          DecodeToUtf8(raw_header, build.request.source_encoding))
    SpellIncludes(*spelled, session.Header(), header_text);
  if (has_name && name != request.module_name) {
    request.module_name = name;
    job.module_name = name;
    job.host.SetModuleName(name);
  }
  const HeaderFileState& state = session.Header();
  if (state.include_list.empty())
    return Refuse(job, MessageText(Message::kHeaderWithoutInclude, {request.source_path}));
  for (std::size_t i = 0; i < state.include_list.size(); ++i)
    build.inputs.push_back(state.IncludePath(i));
  AssembledSource assembled = AssembleIncludes(state, decode);
  if (!assembled.failure.empty()) return Refuse(job, assembled.failure);
  if (job.lint != nullptr) {
    // Findings name the included files and their own lines, not the assembled source; by
    // their paths in UTF-8, also where an 8-bit header names them in the ANSI code page.
    LintReport& lint = *job.lint;
    lint.header_file = DisplayPath(request.source_path);
    for (std::size_t i = 0; i < assembled.first_lines.size(); ++i)
      lint.source_map.Add(DisplayPath(PathText(FilePath(state.IncludePath(i)))),
                          assembled.first_lines[i]);
    // No include was read: what is said of the (empty) source stands at the header file.
    if (assembled.first_lines.empty()) lint.source_map.Add(lint.header_file, 1);
  }
  if (!assembled.delete_after_build)
    included_by = " (included by " + request.source_path + ", line " +
                  std::to_string(state.include_lines.front()) + ")";
  build.temporary.path = assembled.path;
  build.temporary.delete_after = assembled.delete_after_build;
  assembled_in_code_page = assembled.delete_after_build;
  job.source_path = assembled.path;
  if (!assembled.unreadable_include.empty()) {
    // Placed, for the lint, at the include's own line of the header file.
    const auto& names = state.include_list;
    const auto at = std::find(names.begin(), names.end(), assembled.unreadable_include);
    const std::size_t index = static_cast<std::size_t>(at - names.begin());
    job.leading_warnings.emplace_back(
        Message::kIncludeUnreadable,
        index < state.include_lines.size() ? state.include_lines[index] : 1,
        std::initializer_list<std::string_view>{assembled.unreadable_include});
  }
  for (Diagnostic& warning : header_text.warnings) {
    warning.place = Place::kHeaderLine;
    job.leading_warnings.push_back(std::move(warning));
  }
  for (Diagnostic& warning : assembled.warnings) job.leading_warnings.push_back(std::move(warning));
  return std::nullopt;
}

// Opens the marked text the build reads (the source, or what a header file assembled): read as
// it is in blocks, or, with a byte order mark or an explicit encoding, converted whole to the
// module's code page.
Step OpenMarkedText(PreparedBuild& build, const IncludeDecoder& decode, SourceEncoding encoding,
                    bool assembled_in_code_page, const std::string& included_by) {
  BuildJob& job = build.job;
  if (job.lint != nullptr && job.lint->source_map.Empty())
    job.lint->source_map.Add(DisplayPath(job.source_path), 1);
  std::unique_ptr<std::istream> file;
  std::string start(512, '\0');
  try {
    file = OpenInputStream(job.source_path);
    file->read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(file->gcount()));
  } catch (const EFileError& e) {
    return Refuse(job, MessageText(Message::kFileOpening), e.Detail() + included_by);
  }
  std::error_code ec;
  const auto size = fs::file_size(FilePath(job.source_path), ec);
  if (ec)
    return Refuse(job, MessageText(Message::kFileOpening),
                  job.source_path + ": " + ec.message() + included_by);
  job.source_size = static_cast<std::int64_t>(size);
  std::size_t mark = 0;
  if (!assembled_in_code_page &&
      DetectSourceEncoding(start, encoding, mark) != SourceEncoding::kAnsi) {
    file.reset();
    DecodedSource text;
    try {
      text = decode(ReadWholeFile(job.source_path), 1);
    } catch (const EFileError& e) {
      return Refuse(job, MessageText(Message::kFileOpening), e.Detail() + included_by);
    }
    for (Diagnostic& warning : text.warnings) job.leading_warnings.push_back(std::move(warning));
    job.source_size = static_cast<std::int64_t>(text.bytes.size());
    build.source = std::make_unique<std::istringstream>(std::move(text.bytes));
    return std::nullopt;
  }
  SourceEncoding utf16 = SourceEncoding::kAuto;
  if (LooksLikeUtf16(start, utf16))
    job.leading_warnings.emplace_back(
        Message::kLooksLikeUtf16, 1,
        std::initializer_list<std::string_view>{utf16 == SourceEncoding::kUtf16LE ? "utf-16le"
                                                                                  : "utf-16be"});
  file->clear();
  file->seekg(0);
  build.source = std::move(file);
  return std::nullopt;
}

// The source a build of marked text reads: a header file's includes or the source itself, in
// the module's code page.
Step OpenSource(PreparedBuild& build) {
  BuildJob& job = build.job;
  const BuildRequest& request = build.request;
  const Session& session = job.session;
  // Sources in UTF-8 or UTF-16 are turned into the module's code page before reading.
  const int code_page = ModuleCodePage(request, session.Locale());
  // Where that is not the user's code page, the build compares and case-folds the text with the
  // user's collation reading the code page it is really in.
  if (code_page != session.Locale().CodePage()) {
    build.text_locale.emplace(session.Locale().Name(), code_page);
    job.text_locale = &*build.text_locale;
  }
  const SourceEncoding encoding = request.source_encoding;
  const IncludeDecoder decode = [encoding, code_page](std::string raw, std::int64_t first_line) {
    return DecodeSource(std::move(raw), encoding, code_page, first_line);
  };
  bool assembled_in_code_page = false;
  std::string included_by;
  if (KindInfo(job.kind).takes_header_files &&
      FileExtension(request.source_path) == kHeaderFileExtension) {
    if (Step ended = OpenHeaderFile(build, decode, assembled_in_code_page, included_by))
      return ended;
  }
  return OpenMarkedText(build, decode, encoding, assembled_in_code_page, included_by);
}

// The output is checked once the source is known: no folder, none of the inputs, replaced only
// after a Yes; and the log must be creatable. A check writes nothing, so it asks nothing.
Step ConfirmOutput(PreparedBuild& build) {
  BuildJob& job = build.job;
  if (!job.check_only) {
    if (std::string refusal = OutputRefusal(job.output_path, build.inputs); !refusal.empty())
      return Refuse(job, refusal);
    if (OutputExists(job.output_path) &&
        !job.host.AskYesNo(MessageText(Message::kAskOverwrite, {job.output_path})))
      return BuildOutcome::kNotStarted;
  }
  if (!LogCreatable(job.log_path, job.host)) return BuildOutcome::kNotStarted;
  NameWarnings(build.request, job, ModuleCodePage(build.request, job.session.Locale()));
  return std::nullopt;
}

BuildOutcome RunConversion(BuildJob& job) {
  switch (KindInfo(job.kind).conversion) {
    case ModuleConversion::kTopicBook:
      return ConvertTopicBook(job);
    case ModuleConversion::kTopicsToWriting:
      return ConvertTopicsToWriting(job);
    case ModuleConversion::kNoteSet:
      return ConvertNoteSet(job);
    case ModuleConversion::kNone:
      break;
  }
  job.host.ShowMessage(MessageText(Message::kConversionNotAvailable), MessageIcon::kStop);
  return BuildOutcome::kNotStarted;
}

BuildOutcome RunBuilder(BuildJob& job) {
  switch (KindInfo(job.kind).builder) {
    case MarkedTextBuilder::kDictionary:
      return BuildDictionary(job);
    case MarkedTextBuilder::kCommentary:
      return BuildCommentary(job);
    case MarkedTextBuilder::kWriting:
      return BuildWriting(job);
    case MarkedTextBuilder::kJumplist:
      return BuildJumplist(job);
  }
  job.host.ShowMessage(MessageText(Message::kBuildNotAvailable), MessageIcon::kStop);
  return BuildOutcome::kNotStarted;
}

// The builder or conversion of the job; whatever escapes it ends the build with the per-build
// guard's message, the window back in its idle state (the builder's run saw to that).
BuildOutcome Run(BuildJob& job, bool conversion) {
  try {
    return conversion ? RunConversion(job) : RunBuilder(job);
  } catch (const std::exception&) {
    job.host.ShowMessage(MessageText(Message::kUnknownError), MessageIcon::kStop);
    return BuildOutcome::kFailed;
  }
}

}  // namespace

BuildOutcome StartBuild(BuildRequest& request, BuildHost& host, Session& session) {
  PreparedBuild build{.job = PrepareJob(request, host, session),
                      .request = request,
                      .inputs = {request.source_path}};
  BuildJob& job = build.job;
  const std::optional<ModuleKind> stored =
      StoredSourceKind(KindInfo(job.kind), FileExtension(request.source_path));
  if (Step ended = stored ? OpenStoredModule(build, *stored) : OpenSource(build)) return *ended;
  if (Step ended = ConfirmOutput(build)) return *ended;
  job.source = build.source.get();
  return Run(job, stored.has_value());
}

}  // namespace tavrin
