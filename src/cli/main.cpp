// tavrin-cli: batch builds and inspection of modules, through the same core as the window.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>

#include "builders/build_log.h"
#include "builders/start_build.h"
#include "cli/dump.h"
#include "cli/terminal_host.h"
#include "module/module_reader.h"
#include "platform/exceptions.h"
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

// The warnings and errors of the creation log, each with its line or section number.
void PrintProblems(const std::string& log_path) {
  std::ifstream in(log_path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find("Warning") != std::string::npos || line.rfind("Error", 0) == 0)
      std::cout << line << "\n";
  }
}

int RunBuild(const BuildArgs& args) {
  static const std::map<std::string, int> charsets = {{"western", 0}, {"ce", 1}, {"cyrillic", 2}};

  BuildRequest request;
  SetKind(request, *ModuleKindFromWord(args.kind));
  request.compatible = args.compatible;
  request.charset = charsets.at(args.charset);
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
  const TextLocale& locale = TextLocale::User();
  int code_page = ModuleCodePage(request, locale);
  request.module_name = Utf8ToCodePage(code_page, args.name);
  request.options.line_mark = Utf8ToCodePage(code_page, args.mark);

  if (!CreateEnabled(request)) {
    std::cerr << "error: a module name is needed (--name) unless the source is a header file\n";
    return kExitUsage;
  }

  Session session(locale);
  TerminalHost host(args.overwrite, args.show_log);
  BuildOutcome outcome = StartBuild(request, host, session);
  if (args.check && !args.show_log) PrintProblems(LogFilePath(session.ProgramFolder()));
  return ModuleWritten(outcome) ? kExitBuilt : kExitNotBuilt;
}

}  // namespace
}  // namespace tavrin

int main(int argc, char** argv) {
  using namespace tavrin;
  // A file size limit (a full quota) must fail the write, which is reported, not kill us.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{"tavrin-cli: builds Corvalinth modules from marked text and inspects modules."};
  app.require_subcommand(1);
  app.set_version_flag("--version", "tavrin-cli 2.0");

  BuildArgs b;
  CLI::App* build = app.add_subcommand(
      "build",
      "Create a module from a marked text file, a header file (.hdr) or, where the kind "
      "allows, an editable module, as the Create button of the main window does.");
  std::vector<std::string> kind_names;
  for (const ModuleKindInfo& kind : AllKinds()) kind_names.emplace_back(kind.word);
  std::sort(kind_names.begin(), kind_names.end());  // as the usage message has always listed them
  build
      ->add_option("KIND", b.kind,
                   "dictionary, topics (\"Create as editable topic book\"), commentary, notes "
                   "(\"Create as editable note set\"), writing or jumplist")
      ->required()
      ->check(CLI::IsMember(kind_names));
  build->add_option("SOURCE", b.source, "File to create the module from")->required();
  build->add_option("OUTPUT", b.output, "Output data file name")->required();
  build->add_option("--name", b.name,
                    "Dictionary, commentary or writing name (needed unless SOURCE is a header "
                    "file, which may supply it)");
  build->add_option("--mark", b.mark, "Control line mark: text that opens a control line")
      ->capture_default_str();
  build->add_flag("--join-lines", b.join_lines, "Check \"Join lines into paragraphs\"");
  build->add_flag("--no-preserve-empty", b.no_preserve_empty,
                  "Uncheck \"Preserve empty lines\" (blank lines are dropped)");
  build->add_flag("--keep-empty-lines", b.keep_empty_lines,
                  "Uncheck \"Remove extra empty lines\" (every empty line is kept)");
  build->add_flag("--keep-spaces", b.keep_spaces, "Uncheck \"Remove extra spaces in text\"");
  build->add_flag("--no-trim", b.no_trim, "Uncheck \"Trim leading spaces and tabs\"");
  build
      ->add_option("--reference-type", b.reference_type,
                   "Verse reference mark type (commentaries, note sets and jumplists)")
      ->check(CLI::Range(0, 1))
      ->capture_default_str();
  build->add_flag("--compatible", b.compatible,
                  "Check \"Corvalinth 2.6 compatible\" (.dat modules; tags stripped)");
  build
      ->add_option("--charset", b.charset,
                   "Default character set of a current-format module: western, ce or cyrillic")
      ->check(CLI::IsMember({"western", "ce", "cyrillic"}))
      ->capture_default_str();
  build->add_flag("--overwrite", b.overwrite, "Replace an existing output file without asking");
  build->add_flag("--show-log", b.show_log, "Print the creation log when finished");
  build
      ->add_option("--source-encoding", b.source_encoding,
                   "How the source, header and included files are read: auto (a UTF-8 or "
                   "UTF-16 byte order mark decides, else 8-bit text), utf-8, utf-16le, "
                   "utf-16be or ansi (8-bit text in the module's code page)")
      ->check(CLI::IsMember({"auto", "utf-8", "utf-16le", "utf-16be", "ansi"}))
      ->capture_default_str();
  // For tests of the refusal of modules too large for the format's offsets.
  build->add_option("--offset-limit", b.offset_limit)->group("");
  build->add_flag("--check", b.check,
                  "Run the whole build and its log but write no module; print the warnings");

  DumpArgs d;
  CLI::App* dump = app.add_subcommand("dump", "Print the header and entries of a module file.");
  dump->add_option("FILE", d.file, "Module file")->required();
  dump->add_flag("--raw", d.raw, "Print texts as stored bytes instead of UTF-8");
  dump->add_flag("--json", d.json, "Print the header and entries as one JSON document");
  dump->add_flag("--source", d.source,
                 "Print marked text that tavrin-cli build turns into the same entries");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return e.get_exit_code() == 0 ? code : kExitUsage;
  }
  if (*build) return RunBuild(b);
  return RunDump(d);
}
