#include "builders/start_build.h"

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
  host.ShowMessage("Cannot create file " + path, MessageIcon::kStop);
  return false;
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
  job.host.ShowMessage("Converting this kind of module is not available in this version.",
                       MessageIcon::kStop);
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
  job.host.ShowMessage("Building this kind of module is not available in this version.",
                       MessageIcon::kStop);
  return BuildOutcome::kNotStarted;
}

}  // namespace

BuildOutcome StartBuild(BuildRequest& request, BuildHost& host, Session& session) {
  TemporarySource temporary;
  const bool has_name = TabHasModuleName(request.tab);
  if (has_name) {
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

  const std::string extension = FileExtension(request.source_path);
  const ModuleKindInfo& kind = KindInfo(job.kind);
  if (const std::optional<ModuleKind> stored = StoredSourceKind(kind, extension)) {
    // A stored module to convert: it must open for writing too, and be of the expected kind.
    std::string header(kShortHeaderSize, '\0');
    try {
      InputFile in(request.source_path, true);
      header.resize(in.Read(header.data(), header.size()));
    } catch (const EFileError&) {
      host.ShowMessage(std::string(kFileOpeningMessage), MessageIcon::kStop);
      return BuildOutcome::kNotStarted;
    }
    const std::string_view expected = KindString(*stored);
    bool of_type = header.size() == static_cast<std::size_t>(kShortHeaderSize) &&
                   static_cast<unsigned char>(header[0]) == expected.size() &&
                   std::string_view(header).substr(1, expected.size()) == expected;
    if (!of_type) {
      host.ShowMessage("File '" + request.source_path + "' is not of expected type.",
                       MessageIcon::kStop);
      return BuildOutcome::kNotStarted;
    }
    // Offsets that would send the conversion outside its sections refuse the file at once.
    try {
      StoredModule layout(request.source_path, *stored);
      job.source_size = layout.Size();
    } catch (const Exception& e) {
      host.ShowMessage(e.what(), MessageIcon::kStop);
      return BuildOutcome::kNotStarted;
    }
    if (!request.check_only && OutputExists(request.output_path) &&
        !host.AskYesNo("File named '" + request.output_path +
                       "' already exists. Do you wish to overwrite it?"))
      return BuildOutcome::kNotStarted;
    if (!LogCreatable(job.log_path, host)) return BuildOutcome::kNotStarted;
    if (job.lint != nullptr) job.lint->source_map.Add(DisplayPath(request.source_path), 1);
    try {
      return RunConversion(job);
    } catch (const std::exception&) {
      host.ShowMessage(std::string(kUnknownErrorMessage), MessageIcon::kStop);
      return BuildOutcome::kFailed;
    }
  }

  // Sources in UTF-8 or UTF-16 are turned into the module's code page before reading.
  const int code_page = ModuleCodePage(request, session.Locale());
  // Where that is not the user's code page, the build compares and case-folds the text with the
  // user's collation reading the code page it is really in.
  std::optional<TextLocale> text_locale;
  if (code_page != session.Locale().CodePage()) {
    text_locale.emplace(session.Locale().Name(), code_page);
    job.text_locale = &*text_locale;
  }
  const SourceEncoding encoding = request.source_encoding;
  const auto decode = [&](std::string raw, std::int64_t first_line) {
    return DecodeSource(std::move(raw), encoding, code_page, first_line);
  };
  std::unique_ptr<std::istream> source;
  try {
    bool assembled_in_code_page = false;
    if (kind.takes_header_files && extension == kHeaderFileExtension) {
      const std::string raw_header = ReadWholeFile(request.source_path);
      DecodedSource header_text = decode(raw_header, 1);
      std::istringstream header(header_text.bytes);
      std::string name = request.module_name;
      ProcessHeaderFile(header, job.Locale(), session.Links(), session.Header(),
                        has_name ? &name : nullptr);
      if (const std::optional<std::string> spelled = DecodeToUtf8(raw_header, encoding))
        SpellIncludes(*spelled, session.Header(), header_text);
      if (has_name && name != request.module_name) {
        request.module_name = name;
        job.module_name = name;
        host.SetModuleName(name);
      }
      AssembledSource assembled = AssembleIncludes(session.Header(), decode);
      if (!assembled.failure.empty()) {
        host.ShowMessage(assembled.failure, MessageIcon::kStop);
        return BuildOutcome::kNotStarted;
      }
      if (job.lint != nullptr) {
        // Findings name the included files and their own lines, not the assembled source; by
        // their paths in UTF-8, also where an 8-bit header names them in the ANSI code page.
        LintReport& lint = *job.lint;
        lint.header_file = DisplayPath(request.source_path);
        lint.include_names = session.Header().include_list;
        lint.include_lines = session.Header().include_lines;
        for (std::size_t i = 0; i < assembled.first_lines.size(); ++i)
          lint.source_map.Add(DisplayPath(PathText(FilePath(session.Header().IncludePath(i)))),
                              assembled.first_lines[i]);
      }
      temporary.path = assembled.path;
      temporary.delete_after = assembled.delete_after_build;
      assembled_in_code_page = assembled.delete_after_build;
      job.source_path = assembled.path;
      if (!assembled.unreadable_include.empty())
        job.leading_warnings.push_back("Warning: cannot read included file '" +
                                       assembled.unreadable_include +
                                       "'; it and the files after it were left out");
      for (const std::string& line : header_text.warnings)
        job.leading_warnings.push_back("header file " + line);
      for (std::string& line : assembled.warnings) job.leading_warnings.push_back(std::move(line));
    }
    if (job.lint != nullptr && job.lint->source_map.Empty())
      job.lint->source_map.Add(DisplayPath(job.source_path), 1);
    std::error_code ec;
    if (job.source_path.empty() || fs::is_directory(FilePath(job.source_path), ec))
      throw std::runtime_error("no source");
    auto size = fs::file_size(FilePath(job.source_path), ec);
    if (ec) throw std::runtime_error("size");
    job.source_size = static_cast<std::int64_t>(size);
    std::unique_ptr<std::istream> file = OpenInputStream(job.source_path);
    // Only a byte order mark or an explicit encoding makes the whole source be read at once.
    std::string start(3, '\0');
    file->read(start.data(), 3);
    start.resize(static_cast<std::size_t>(file->gcount()));
    std::size_t mark = 0;
    if (!assembled_in_code_page &&
        DetectSourceEncoding(start, encoding, mark) != SourceEncoding::kAnsi) {
      file.reset();
      DecodedSource text = decode(ReadWholeFile(job.source_path), 1);
      for (std::string& line : text.warnings) job.leading_warnings.push_back(std::move(line));
      job.source_size = static_cast<std::int64_t>(text.bytes.size());
      source = std::make_unique<std::istringstream>(std::move(text.bytes));
    } else {
      file->clear();
      file->seekg(0);
      source = std::move(file);
    }
  } catch (const std::exception&) {
    host.ShowMessage(std::string(kFileOpeningMessage), MessageIcon::kStop);
    return BuildOutcome::kNotStarted;
  }

  if (!request.check_only && OutputExists(request.output_path) &&
      !host.AskYesNo("File named '" + request.output_path +
                     "' already exists. Do you wish to overwrite it?"))
    return BuildOutcome::kNotStarted;

  if (!LogCreatable(job.log_path, host)) return BuildOutcome::kNotStarted;
  job.source = source.get();
  try {
    return RunBuilder(job);
  } catch (const std::exception& e) {
    // Builders report their own failures; anything that still escapes ends the build here,
    // with the window back in its idle state (the builder's run saw to that).
    host.ShowMessage(std::string(kUnknownErrorMessage), MessageIcon::kStop);
    return BuildOutcome::kFailed;
  }
}

}  // namespace tavrin
