// The lint, every check on, over a source of any kind: marked text, a header file with its
// includes, a stored module to convert, or one text repeated into a long entry (so that work
// that grows faster than the source runs past libFuzzer's -timeout). Each finding must name a
// file the build read, at a line and column inside that file; a capped report must keep the
// first findings of the uncapped one and count the rest.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "builders/lint.h"
#include "builders/start_build.h"
#include "harness.h"
#include "module/module_kind.h"
#include "source/line_reader.h"
#include "source/session.h"
#include "source/source_encoding.h"
#include "support/recording_host.h"

using namespace tavrin;

namespace {

namespace fs = std::filesystem;

constexpr const char* kMarks[] = {"#", "#", "#", "@", "##", " "};
constexpr SourceEncoding kEncodings[] = {SourceEncoding::kAuto,    SourceEncoding::kAuto,
                                         SourceEncoding::kUtf8,    SourceEncoding::kUtf16LE,
                                         SourceEncoding::kUtf16BE, SourceEncoding::kAnsi};

enum class Shape { kText, kHeader, kStored, kRepeated };

// The byte length of each line of a file as the build reads it (decoded, split as the reading
// loop splits it). Lines behind a 0x1A byte, where reading stops, count too: a warning of the
// decoding may name them.
std::vector<std::size_t> LineLengths(const std::string& raw, SourceEncoding encoding,
                                     int code_page) {
  std::string text = DecodeSource(raw, encoding, code_page, 1).bytes;
  std::replace(text.begin(), text.end(), '\x1A', 'x');
  std::istringstream in(std::move(text));
  LineReader reader(in);
  std::vector<std::size_t> lengths;
  for (std::string_view line; reader.ReadLine(line);) lengths.push_back(line.size());
  return lengths;
}

struct Input {
  ModuleKind kind;
  BuildRequest request;
  // Each file the build may read: its path as findings name it, and its lines.
  std::map<std::string, std::vector<std::size_t>, std::less<>> files;
  bool checks_places = true;  // false for a stored module: it has no lines
};

std::string Describe(const Finding& f) {
  return f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) + " " + f.check +
         " " + f.message;
}

void RunLint(const Input& input, LintReport& report) {
  Session session(fuzz::Locale());
  session.SetProgramFolder(fuzz::Scratch());
  session.SetUser("fuzz");
  BuildRequest request = input.request;
  request.lint = &report;
  RecordingHost host;
  StartBuild(request, host, session);
  fuzz::Check(!host.busy && host.disabled == host.enabled, "the window is not back idle");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Choices come from the end of the input, so a plain source file is a usable seed.
  FuzzedDataProvider in(data, size);
  Input input;
  const ModuleKindInfo& kind =
      AllKinds()[in.ConsumeIntegralInRange<std::size_t>(0, AllKinds().size() - 1)];
  BuildRequest& request = input.request;
  SetKind(request, kind.kind);
  request.module_name = "Fuzz";
  request.compatible = in.ConsumeBool();
  request.charset = in.ConsumeIntegralInRange(0, 2);
  request.options.line_mark = in.PickValueInArray(kMarks);
  request.options.join_lines = in.ConsumeBool();
  request.options.preserve_empty_lines = in.ConsumeBool();
  request.options.remove_extra_empty_lines = in.ConsumeBool();
  request.options.remove_extra_spaces = in.ConsumeBool();
  request.options.trim_leading_spaces = in.ConsumeBool();
  request.options.mark_type = in.ConsumeBool() ? 1 : 0;
  request.source_encoding = in.PickValueInArray(kEncodings);
  request.output_path = fuzz::Scratch() + "/never-written";
  request.check_only = true;
  request.write_log = false;
  Shape shape = in.PickValueInArray(
      {Shape::kText, Shape::kText, Shape::kHeader, Shape::kStored, Shape::kRepeated});
  const int repeats = in.ConsumeIntegralInRange(2, 64);
  const std::size_t cap = in.ConsumeIntegralInRange<std::size_t>(1, 16);
  if (shape == Shape::kHeader && !kind.takes_header_files) shape = Shape::kText;
  if (shape == Shape::kStored && !kind.converts_from) shape = Shape::kText;
  const int code_page = ModuleCodePage(request, fuzz::Locale());

  const std::string& dir = fuzz::Scratch();
  auto add_file = [&](const std::string& path, const std::string& bytes, SourceEncoding encoding) {
    fuzz::WriteFile(path, bytes);
    input.files[DisplayPath(path)] = LineLengths(bytes, encoding, code_page);
  };
  switch (shape) {
    case Shape::kText:
    case Shape::kRepeated: {
      std::string text = in.ConsumeRemainingBytesAsString();
      if (shape == Shape::kRepeated) {
        // The text's first line (a control line, say) once, the rest again and again.
        const std::size_t body = std::min(text.find('\n') + 1, text.size());
        std::string repeated = text.substr(0, body);
        for (int i = 0; i < repeats; ++i) repeated.append(text, body);
        text = std::move(repeated);
      }
      request.source_path = dir + "/source.txt";
      add_file(request.source_path, text, request.source_encoding);
      break;
    }
    case Shape::kHeader: {
      // The header file's directives are plain text in any encoding; the includes are the input,
      // split in two, each read on its own (one may hold a byte order mark and the other not).
      const std::string first = in.ConsumeRandomLengthString(4096);
      const std::string second = in.ConsumeRemainingBytesAsString();
      fs::create_directories(dir + "/sub");
      request.source_encoding = SourceEncoding::kAuto;
      request.source_path = dir + "/source.hdr";
      std::string header = "title Fuzz\r\ndeflink kjv=bible\r\ndefdir pictures=Images\r\n";
      header += "include " + dir + "/a.txt\r\n";
      if (!second.empty()) header += "include " + dir + "/sub/b.txt\r\n";
      if (repeats % 4 == 0) header += "include " + dir + "/missing.txt\r\n";
      add_file(request.source_path, header, SourceEncoding::kAuto);
      add_file(dir + "/a.txt", first, SourceEncoding::kAuto);
      if (!second.empty()) add_file(dir + "/sub/b.txt", second, SourceEncoding::kAuto);
      break;
    }
    case Shape::kStored: {
      const ModuleKindInfo& stored = KindInfo(*kind.converts_from);
      request.source_path = dir + "/source" + std::string(stored.stored_extensions.front());
      fuzz::WriteFile(request.source_path, in.ConsumeRemainingBytesAsString());
      input.files[DisplayPath(request.source_path)] = {};
      input.checks_places = false;
      break;
    }
  }

  if (fuzz::Tracing()) {
    fuzz::Trace("kind " + std::string(kind.word) + ", shape " +
                std::to_string(static_cast<int>(shape)) + ", encoding " +
                std::to_string(static_cast<int>(request.source_encoding)) + ", mark '" +
                request.options.line_mark + "'");
    for (const auto& [path, lines] : input.files)
      fuzz::Trace(path + ": " + std::to_string(lines.size()) + " lines");
  }
  LintReport all;
  RunLint(input, all);
  std::vector<Finding> findings = all.Sorted();
  fuzz::Check(all.LeftOut() == 0 && all.Count() == static_cast<std::int64_t>(findings.size()),
              "an uncapped report left findings out");
  for (const Finding& f : findings) {
    const auto file = input.files.find(f.file);
    fuzz::Check(file != input.files.end(), "finding in a file the build did not read", Describe(f));
    fuzz::Check(f.line >= 1 && f.column >= 1, "finding before the start of its file", Describe(f));
    if (!input.checks_places) continue;
    const std::vector<std::size_t>& lines = file->second;
    // A finding about a whole file that has no line stands at 1:1.
    if (lines.empty()) {
      fuzz::Check(f.line == 1 && f.column == 1, "finding in an empty file", Describe(f));
      continue;
    }
    fuzz::Check(static_cast<std::size_t>(f.line) <= lines.size(), "finding below the last line",
                Describe(f));
    fuzz::Check(static_cast<std::size_t>(f.column) <= lines[f.line - 1] + 1,
                "finding right of its line's end", Describe(f));
  }

  // The same lint capped: the first findings of the uncapped one, the rest counted. (Not on the
  // long repeated sources: each run there is the expensive part.)
  if (shape == Shape::kRepeated) return 0;
  LintReport capped;
  capped.max_findings = cap;
  RunLint(input, capped);
  const std::vector<Finding> kept = capped.Sorted();
  fuzz::Check(kept.size() == std::min(cap, findings.size()), "capped report kept a wrong number");
  fuzz::Check(capped.Count() == all.Count(), "capped report counted a wrong number");
  for (std::size_t i = 0; i < kept.size(); ++i)
    fuzz::Check(Describe(kept[i]) == Describe(findings[i]),
                "capped report kept another finding than the uncapped one's", Describe(kept[i]));
  return 0;
}
