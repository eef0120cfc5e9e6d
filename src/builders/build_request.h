#pragma once

#include <cstdint>
#include <istream>
#include <limits>
#include <string>
#include <vector>

#include "builders/build_host.h"
#include "messages/messages.h"
#include "module/module_kind.h"
#include "platform/text_locale.h"
#include "source/build_options.h"
#include "source/markup.h"
#include "source/source_encoding.h"

namespace tavrin {

class LintReport;
class Session;

// What the main window holds when Create is pressed, for the active tab.
struct BuildRequest {
  BuildTab tab = BuildTab::kDictionary;
  std::string module_name;       // ModuleName1..3 (unused on the Jumplist tab)
  std::string source_path;       // FromFile1..4, as typed
  std::string output_path;       // ToFile1..4, as typed
  bool editable_topics = false;  // DOption1 "Create as editable topic book"
  bool editable_notes = false;   // COption1 "Create as editable note set"
  bool compatible = false;       // CompCB1..3 "Corvalinth 2.6 compatible"
  int charset = 0;               // CharRG1..3: 0 Western, 1 CE, 2 Cyrillic
  BuildOptions options;
  bool show_log_when_finished = false;  // ShowLogM
  // Run the whole build, log included, but write no module (a lint before a release).
  bool check_only = false;
  // How the source, header and included files are read (byte order marks by default).
  SourceEncoding source_encoding = SourceEncoding::kAuto;
  // The largest offset a module may need (the format's 32 bits); lowered only by tests.
  std::int64_t offset_limit = std::numeric_limits<std::int32_t>::max();
  // Where the build's warnings (and, for a lint, its other findings) are placed by file and
  // line; null: nowhere but the log.
  LintReport* lint = nullptr;
  // A lint writes no creation log (and, with check_only, no module).
  bool write_log = true;
  // The front end met letters of the typed module name that its code page cannot hold and put
  // '?' for them; the build says so.
  bool module_name_lossy = false;
};

// The kind of module the request makes.
ModuleKind KindOf(const BuildRequest& request);
// Whether the module is made in the current reader format.
bool NewFormatOf(const BuildRequest& request);
// The same rules from the window's controls, for the window's handlers.
ModuleKind KindOf(BuildTab tab, bool editable_topics, bool editable_notes);
bool NewFormatOf(BuildTab tab, bool editable_topics, bool editable_notes, bool compatible);
// The reverse of KindOf: the tab and the editable boxes that make `kind`.
void SetKind(BuildRequest& request, ModuleKind kind);
// The code page of the module's text: the character set's in the current format, the user's
// ANSI code page otherwise.
int ModuleCodePage(const BuildRequest& request, const TextLocale& locale);
// Whether the tab has a module name box.
bool TabHasModuleName(BuildTab tab);

// Whether the window's Create button is enabled for these fields: source, output and module
// name (the fixed "Topic Book" or "Note Set" for the editable kinds) all non-blank, or a ".hdr"
// source on the tabs that take header files. The Jumplist tab needs source and output only.
// A source read as marked text (or a header file) also needs a control line mark.
bool CreateEnabled(const BuildRequest& request);
// Whether the request's source is a stored module that the build converts (no marks read).
bool ConvertsStoredModule(const BuildRequest& request);

// Runs of blanks reduced to one, the ends trimmed (bytes 0x00 to 0x20); tabs inside are kept.
std::string NormalizeModuleName(std::string_view text);

// The extension of a file name: from its last "." to the end, empty when there is none.
std::string FileExtension(std::string_view path);

// Everything one builder needs, fixed by the orchestration before it runs.
struct BuildJob {
  BuildHost& host;
  Session& session;
  ModuleKind kind;
  bool new_format;
  BuildOptions options;
  std::string module_name;  // normalised, as it stands in the box
  int charset;
  std::string source_path;
  std::string output_path;
  std::int64_t source_size = 0;
  std::istream* source = nullptr;  // marked text, opened by the orchestration
  std::string log_path;
  std::string user_name;
  bool show_log_when_finished = false;
  bool check_only = false;
  std::int64_t offset_limit = std::numeric_limits<std::int32_t>::max();
  // Lines that open the creation log before the builder's own (problems found while the
  // source was assembled); each sets the warnings flag.
  std::vector<Diagnostic> leading_warnings;
  // Warnings about the build as a whole (its module name), before those.
  std::vector<Diagnostic> build_warnings;
  // The user's locale reading the code page the module's text is in, where that is not the
  // user's own; null: the user's locale.
  const TextLocale* text_locale = nullptr;
  // A lint (tavrin-cli lint, "Check source") or a build that reports its warnings at their
  // files and lines; null: none.
  LintReport* lint = nullptr;

  // How the build compares and case-folds the module's text: the collation of the user's
  // language over the bytes decoded in the text's own code page.
  const TextLocale& Locale() const;
  // The markup conversion's tag table, link settings and that locale.
  MarkupContext Markup() const;
};

// How a build ended, for front ends that need more than the message box (exit status).
enum class BuildOutcome {
  kNotStarted,  // refused before a builder ran (no source, declined overwrite, wrong type)
  kCreated,     // module written
  kCreatedWithWarnings,
  kCancelled,
  kFailed,  // error in the source or the module could not be written
};

inline bool ModuleWritten(BuildOutcome outcome) {
  return outcome == BuildOutcome::kCreated || outcome == BuildOutcome::kCreatedWithWarnings;
}

}  // namespace tavrin
