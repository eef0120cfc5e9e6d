// tavrin-cli: batch builds and inspection of modules, through the same core as the window.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <limits>
#include <sstream>

#include "builders/build_log.h"
#include "builders/lint.h"
#include "builders/start_build.h"
#include "cli/dump.h"
#include "cli/import.h"
#include "cli/terminal_host.h"
#include "messages/messages.h"
#include "module/character_set.h"
#include "module/module_reader.h"
#include "platform/console.h"
#include "platform/exceptions.h"
#include "platform/system.h"
#include "platform/text_locale.h"
#include "source/session.h"

namespace tavrin {
namespace {

constexpr int kExitBuilt = 0;
constexpr int kExitNotBuilt = 1;
constexpr int kExitUsage = 2;

struct BuildArgs {
  std::string kind;
  std::string source;
  std::string output;
  std::string name;
  std::string mark = "#";
  bool join_lines = false;
  bool no_preserve_empty = false;
  bool keep_empty_lines = false;
  bool keep_spaces = false;
  bool no_trim = false;
  int reference_type = 0;
  bool compatible = false;
  std::string charset = "western";
  bool overwrite = false;
  bool show_log = false;
  bool check = false;
  std::string source_encoding = "auto";
  std::int64_t offset_limit = std::numeric_limits<std::int32_t>::max();
};

// Why the window's Create button would be disabled for these arguments; empty when it is not.
enum class Refusal { kNone, kNoName, kNoMark };

// The request the window would make for these arguments, and whether the window's Create
// button would be disabled for it.
Refusal MakeRequest(const BuildArgs& args, BuildRequest& request, int& code_page) {
  SetKind(request, *ModuleKindFromWord(args.kind));
  request.compatible = args.compatible;
  request.charset = *CharsetChoiceFromWord(args.charset);
  request.source_path = args.source;
  request.output_path = args.output;
  request.show_log_when_finished = args.show_log;
  request.check_only = args.check;
  request.offset_limit = args.offset_limit;
  ParseSourceEncoding(args.source_encoding, request.source_encoding);
  request.options.join_lines = args.join_lines;
  request.options.preserve_empty_lines = !args.no_preserve_empty;
  request.options.remove_extra_empty_lines = !args.keep_empty_lines;
  request.options.remove_extra_spaces = !args.keep_spaces;
  request.options.trim_leading_spaces = !args.no_trim;
  request.options.mark_type = args.reference_type;

  // Names typed on the command line are UTF-8; modules hold the code page of their text.
  code_page = ModuleCodePage(request, TextLocale::User());
  request.module_name = Utf8ToCodePage(code_page, args.name, &request.module_name_lossy);
  request.options.line_mark = Utf8ToCodePage(code_page, args.mark);

  if (CreateEnabled(request)) return Refusal::kNone;
  return request.options.line_mark.empty() && !ConvertsStoredModule(request) ? Refusal::kNoMark
                                                                             : Refusal::kNoName;
}

// The message of a request the window would not take, on the standard error; the exit status.
int Refused(Refusal refusal) {
  if (refusal == Refusal::kNoMark) {
    // A value the build cannot use, not a missing argument: like a source with no entry.
    std::cerr << "error: " << MessageText(Message::kEmptyMark) << "\n";
    return kExitNotBuilt;
  }
  std::cerr << "error: " << MessageText(Message::kNoModuleName) << "\n";
  return kExitUsage;
}

int RunBuild(const BuildArgs& args) {
  BuildRequest request;
  int code_page = 0;
  if (Refusal refusal = MakeRequest(args, request, code_page); refusal != Refusal::kNone)
    return Refused(refusal);
  // The build's warnings go to the standard error too, at their files and lines.
  LintReport report;
  for (const CheckRow& check : AllChecks())
    if (check.id != Check::kBuild) report.disabled.insert(check.id);
  request.lint = &report;

  Session session(TextLocale::User());
  TerminalHost host(args.overwrite, args.show_log);
  BuildOutcome outcome = StartBuild(request, host, session);
  std::cout.flush();
  WriteFindings(report, false, code_page, std::cerr);
  std::cerr.flush();
  host.PrintMessages(outcome == BuildOutcome::kCreatedWithWarnings);
  // A failed build's message sends the user to the log: say where it is. (The warnings of a
  // finished one were all printed above.)
  if (outcome == BuildOutcome::kFailed && !args.show_log)
    std::cerr << "note: " << MessageText(Message::kLogIsAt, {LogFilePath(session.ProgramFolder())})
              << "\n";
  return ModuleWritten(outcome) ? kExitBuilt : kExitNotBuilt;
}

struct LintArgs {
  std::string format = "text";
  std::vector<std::string> disable;
  std::size_t max_findings = 1000;
};

int RunLint(BuildArgs args, const LintArgs& lint) {
  args.check = true;
  args.show_log = false;
  args.output = "lint";  // never written
  BuildRequest request;
  int code_page = 0;
  const Refusal refusal = MakeRequest(args, request, code_page);
  if (refusal == Refusal::kNoName) return Refused(refusal);
  LintReport report;
  for (const std::string& name : lint.disable)
    if (const std::optional<Check> check = FindCheck(name)) report.disabled.insert(*check);
  report.max_findings = lint.max_findings;
  request.lint = &report;
  request.write_log = false;

  Session session(TextLocale::User());
  LintHost host;
  BuildOutcome outcome = BuildOutcome::kNotStarted;
  if (refusal == Refusal::kNoMark)
    report.BuildError(MessageText(Message::kEmptyMark), 0, DisplayPath(args.source));
  else
    outcome = StartBuild(request, host, session);
  // What kept the build from running has no line of its own: it stands at the source.
  for (const std::string& error : host.Errors())
    report.BuildError(error, 0, DisplayPath(args.source));
  WriteFindings(report, lint.format == "json", code_page, std::cout);
  if (report.HasError() || outcome == BuildOutcome::kNotStarted) return kExitNotBuilt;
  return report.Count() == 0 ? kExitBuilt : kExitNotBuilt;
}

// "a, b or c".
std::string WordList(const std::vector<std::string>& words) {
  std::string list;
  for (std::size_t i = 0; i < words.size(); ++i)
    list += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  return list;
}

void AddBuildOptions(CLI::App* command, BuildArgs& b, bool builds) {
  std::vector<std::string> kind_names;
  std::vector<std::string> kind_help;  // each word, with its window box where it has one
  for (const ModuleKindInfo& kind : AllKinds()) {
    kind_names.emplace_back(kind.word);
    kind_help.emplace_back(kind.word);
    if (!kind.editable_caption.empty())
      kind_help.back() += " (\"" + std::string(kind.editable_caption) + "\")";
  }
  std::sort(kind_names.begin(), kind_names.end());  // as the usage message has always listed them
  command->add_option("KIND", b.kind, WordList(kind_help))
      ->required()
      ->check(CLI::IsMember(kind_names));
  command->add_option("SOURCE", b.source, "File to create the module from")->required();
  if (builds) command->add_option("OUTPUT", b.output, "Output data file name")->required();
  command->add_option("--name", b.name,
                      "Dictionary, commentary or writing name (needed unless SOURCE is a header "
                      "file, which may supply it)");
  command->add_option("--mark", b.mark, "Control line mark: text that opens a control line")
      ->capture_default_str();
  command->add_flag("--join-lines", b.join_lines, "Check \"Join lines into paragraphs\"");
  command->add_flag("--no-preserve-empty", b.no_preserve_empty,
                    "Uncheck \"Preserve empty lines\" (blank lines are dropped)");
  command->add_flag("--keep-empty-lines", b.keep_empty_lines,
                    "Uncheck \"Remove extra empty lines\" (every empty line is kept)");
  command->add_flag("--keep-spaces", b.keep_spaces, "Uncheck \"Remove extra spaces in text\"");
  command->add_flag("--no-trim", b.no_trim, "Uncheck \"Trim leading spaces and tabs\"");
  command
      ->add_option("--reference-type", b.reference_type,
                   "Verse reference mark type (commentaries, note sets and jumplists)")
      ->check(CLI::Range(0, 1))
      ->capture_default_str();
  std::vector<std::string> charset_words;
  charset_words.reserve(std::size(kCharacterSets));
  for (const CharacterSet& set : kCharacterSets) charset_words.emplace_back(set.word);
  const std::string charset_help =
      "Default character set of a current-format module: " + WordList(charset_words);
  command->add_flag("--compatible", b.compatible,
                    "Check \"Corvalinth 2.6 compatible\" (.dat modules; tags stripped)");
  command->add_option("--charset", b.charset, charset_help)
      ->check(CLI::IsMember(charset_words))
      ->capture_default_str();
  command
      ->add_option("--source-encoding", b.source_encoding,
                   "How the source, header and included files are read: auto (a UTF-8 or "
                   "UTF-16 byte order mark decides, else 8-bit text), utf-8, utf-16le, "
                   "utf-16be or ansi (8-bit text in the module's code page)")
      ->check(CLI::IsMember({"auto", "utf-8", "utf-16le", "utf-16be", "ansi"}))
      ->capture_default_str();
  if (!builds) return;
  command->add_flag("--overwrite", b.overwrite, "Replace an existing output file without asking");
  command->add_flag("--show-log", b.show_log, "Print the creation log when finished");
  // For tests of the refusal of modules too large for the format's offsets.
  command->add_option("--offset-limit", b.offset_limit)->group("");
  command->add_flag("--check", b.check,
                    "Run the whole build and its log but write no module; print the warnings");
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

int Main(int argc, char** argv) {
  PrepareConsole();
  CLI::App app{"tavrin-cli: builds Corvalinth modules from marked text and inspects modules."};
  app.require_subcommand(1);
  // A path such as /modules/a.k30 is a path on every system, never an option (CLI11 would take
  // "/name" for "--name" on Windows).
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "tavrin-cli 2.0");

  BuildArgs b;
  CLI::App* build = app.add_subcommand(
      "build",
      "Create a module from a marked text file, a header file (.hdr) or, where the kind "
      "allows, an editable module, as the Create button of the main window does.");
  AddBuildOptions(build, b, true);

  BuildArgs l;
  LintArgs lint_args;
  CLI::App* lint = app.add_subcommand(
      "lint",
      "Read a source as build would and print every suspicious place as FILE:LINE:COLUMN: "
      "warning: MESSAGE [CHECK]; write no module and no log. Exit status 1 with findings.");
  AddBuildOptions(lint, l, false);
  lint->add_option("--format", lint_args.format, "text (one finding a line) or json")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  std::vector<std::string> checks;
  for (const CheckRow& check : AllChecks()) checks.emplace_back(check.name);
  std::string checks_help = "Checks to turn off: ";
  for (std::size_t i = 0; i < checks.size(); ++i) checks_help += (i ? ", " : "") + checks[i];
  lint->add_option("--disable", lint_args.disable, checks_help)
      ->delimiter(',')
      ->check(CLI::IsMember(checks));
  lint->add_option("--max-findings", lint_args.max_findings,
                   "Print at most this many findings (the first file by file and by line), then "
                   "a line saying how many were left out; 0 prints all")
      ->check(CLI::Validator(
          [](std::string& text) { return text.starts_with('-') ? "must be 0 or more" : ""; }, "",
          "count"))
      ->capture_default_str();

  DumpArgs d;
  CLI::App* dump = app.add_subcommand("dump", "Print the header and entries of a module file.");
  dump->add_option("FILE", d.file, "Module file")->required();
  dump->add_flag("--raw", d.raw, "Print texts as stored bytes instead of UTF-8");
  dump->add_flag("--json", d.json, "Print the header and entries as one JSON document");
  dump->add_flag("--source", d.source,
                 "Print marked text that tavrin-cli build turns into the same entries");

  ImportArgs import_args;
  CLI::App* import = AddImportCommand(app, import_args);

  // The arguments as UTF-8 whatever the system gives: paths and names are converted from it.
  std::vector<std::string> arguments = CommandLineArguments(argc, argv);
  // The toolkit would only say that a subcommand is required: name the word it did not know.
  if (arguments.size() > 1 && !arguments[1].starts_with("-")) {
    std::string names;
    bool known = false;
    for (const CLI::App* command : app.get_subcommands({})) {
      known = known || command->get_name() == arguments[1];
      names += (names.empty() ? "" : ", ") + command->get_name();
    }
    if (!known) {
      std::cerr << "error: " << MessageText(Message::kUnknownCommand, {arguments[1], names})
                << "\n";
      return kExitUsage;
    }
  }
  std::vector<char*> utf8_argv;
  utf8_argv.reserve(arguments.size());
  for (std::string& argument : arguments) utf8_argv.push_back(argument.data());
  try {
    app.parse(static_cast<int>(utf8_argv.size()), utf8_argv.data());
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return e.get_exit_code() == 0 ? code : kExitUsage;
  }
  if (*build) return RunBuild(b);
  if (*lint) return RunLint(l, lint_args);
  if (*import) return RunImportCommand(import_args);
  return RunDump(d);
}

}  // namespace
}  // namespace tavrin

int main(int argc, char** argv) {
  try {
    return tavrin::Main(argc, argv);
  } catch (const std::exception& e) {
    // Nothing the core raises should come this far; should it, it is said, not a crash.
    std::cerr << "error: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "error: " << tavrin::MessageText(tavrin::Message::kUnexpectedFailure) << "\n";
  }
  return 1;
}
