#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_context.h"
#include "module/module_kind.h"

// Import of texts in other formats (SWORD import files, OSIS documents, HTML and XHTML books)
// into Tavrin marked text that `tavrin-cli build` turns into a module.

namespace tavrin {

enum class ImportFormat { kImp, kOsis, kHtml };
// The markup inside the entries of an import file.
enum class EntryMarkup { kAuto, kOsis, kThml, kTei, kGbf, kPlain };

struct ImportRequest {
  ImportFormat format = ImportFormat::kImp;
  std::vector<std::string> inputs;  // in their order
  std::string output;
  std::optional<ModuleKind> kind;  // else told by the input
  EntryMarkup markup = EntryMarkup::kAuto;
  // HTML: headings of levels 1..split_level open entries; 0: one entry per input file;
  // -1: one per file for several inputs, h2 for one.
  int split_level = -1;
  std::string charset = "western";  // the --charset of the build
  std::string name;                 // the module name; else told by the input or its file name
  std::string program_folder;       // where tavrin.bok and master.map lie; empty: ApPath()
};

struct ImportResult {
  bool written = false;
  ModuleKind kind = ModuleKind::kDictionary;
  std::int64_t entries = 0;
  std::string build_command;
  std::string module_name;  // the --name of the build command, UTF-8
  ImportFindings findings;
};

// Reads the inputs and writes the marked text; every problem of the inputs is a finding.
// Nothing is written when the result says so (a refusal among the findings' errors).
ImportResult RunImport(const ImportRequest& request);

std::optional<ImportFormat> ImportFormatFromWord(std::string_view word);
std::optional<EntryMarkup> EntryMarkupFromWord(std::string_view word);
// The format a file's name and first bytes suggest; nullopt when they do not tell.
std::optional<ImportFormat> GuessImportFormat(const std::string& path);
// The kinds an import can make: dictionary, topics, commentary, notes, writing.
bool ImportableKind(ModuleKind kind);

}  // namespace tavrin
