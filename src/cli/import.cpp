#include "cli/import.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "import/importer.h"
#include "messages/messages.h"
#include "module/character_set.h"
#include "module/module_kind.h"

namespace tavrin {

CLI::App* AddImportCommand(CLI::App& app, ImportArgs& args) {
  CLI::App* command = app.add_subcommand(
      "import",
      "Write Tavrin marked text from a SWORD import file (mod2imp), an OSIS document or HTML "
      "and XHTML files; its first lines give the tavrin-cli build command for it. Problems of "
      "the input are printed as FILE:LINE:COLUMN: warning: MESSAGE [import].");
  command->add_option("FORMAT", args.format, "imp, osis or html")
      ->required()
      ->check(CLI::IsMember({"imp", "osis", "html"}));
  command->add_option("INPUT", args.inputs, "Input files, in their order")->required();
  command->add_option("-o,--output", args.output, "The marked text file to write")->required();
  std::vector<std::string> kinds;
  for (const ModuleKindInfo& kind : AllKinds())
    if (ImportableKind(kind.kind)) kinds.emplace_back(kind.word);
  command
      ->add_option("--kind", args.kind,
                   "The module kind to build (dictionary, topics, commentary, notes, writing); "
                   "else verse keys make a commentary, book paths and HTML a writing, other "
                   "keys a dictionary")
      ->check(CLI::IsMember(kinds));
  command
      ->add_option("--markup", args.markup,
                   "The markup inside the entries of an import file: auto (found per entry), "
                   "osis, thml, tei, gbf or plain")
      ->check(CLI::IsMember({"auto", "osis", "thml", "tei", "gbf", "plain"}))
      ->capture_default_str();
  command
      ->add_option("--split-at", args.split_at,
                   "HTML: the headings that open a section or topic (h1, h2 or h3; the levels "
                   "above open one too), or file for one per input file. Default: file for "
                   "several inputs, h2 for one")
      ->check(CLI::IsMember({"file", "h1", "h2", "h3"}));
  std::vector<std::string> charset_words;
  charset_words.reserve(std::size(kCharacterSets));
  for (const CharacterSet& set : kCharacterSets) charset_words.emplace_back(set.word);
  command
      ->add_option("--charset", args.charset,
                   "The --charset the module will be built with (Greek and Hebrew are written "
                   "for it)")
      ->check(CLI::IsMember(charset_words))
      ->capture_default_str();
  command->add_option("--name", args.name,
                      "The module name of the build command (else the input's title or file "
                      "name)");
  return command;
}

int RunImportCommand(const ImportArgs& args) {
  ImportRequest request;
  request.format = *ImportFormatFromWord(args.format);
  request.inputs = args.inputs;
  request.output = args.output;
  if (!args.kind.empty()) request.kind = ModuleKindFromWord(args.kind);
  request.markup = *EntryMarkupFromWord(args.markup);
  if (args.split_at == "file")
    request.split_level = 0;
  else if (!args.split_at.empty())
    request.split_level = args.split_at[1] - '0';
  request.charset = args.charset;
  request.name = args.name;

  ImportResult result = RunImport(request);
  for (const Finding& f : result.findings.Warnings()) std::cerr << FormatFinding(f) << "\n";
  for (const Finding& f : result.findings.Errors()) std::cerr << FormatError(f) << "\n";
  if (!result.written) return 1;
  std::cout << MessageText(Message::kImportWritten, {args.output, std::to_string(result.entries)})
            << "\n"
            << result.build_command << "\n";
  return 0;
}

}  // namespace tavrin
