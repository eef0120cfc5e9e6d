#include "builders/build_request.h"

#include "module/character_set.h"
#include "source/header_file.h"
#include "source/session.h"
#include "source/text_util.h"

namespace tavrin {

namespace {

// The tab's "Create as editable ..." box: DOption1 on the Dictionary/Topics tab, COption1 on the
// Commentary/Notes tab; the other tabs have none.
bool EditableChecked(BuildTab tab, bool editable_topics, bool editable_notes) {
  if (tab == BuildTab::kDictionary) return editable_topics;
  return tab == BuildTab::kCommentary && editable_notes;
}

}  // namespace

ModuleKind KindOf(BuildTab tab, bool editable_topics, bool editable_notes) {
  const bool editable = EditableChecked(tab, editable_topics, editable_notes);
  for (const ModuleKindInfo& kind : AllKinds())
    if (kind.tab == tab && kind.editable == editable) return kind.kind;
  // Every tab makes a kind with its box unchecked.
  return ModuleKind::kJumplist;
}

bool NewFormatOf(BuildTab tab, bool editable_topics, bool editable_notes, bool compatible) {
  return !compatible && SupportsNewFormat(KindOf(tab, editable_topics, editable_notes));
}

void SetKind(BuildRequest& request, ModuleKind kind) {
  const ModuleKindInfo& info = KindInfo(kind);
  request.tab = info.tab;
  request.editable_topics = info.editable && info.tab == BuildTab::kDictionary;
  request.editable_notes = info.editable && info.tab == BuildTab::kCommentary;
}

ModuleKind KindOf(const BuildRequest& r) {
  return KindOf(r.tab, r.editable_topics, r.editable_notes);
}

bool NewFormatOf(const BuildRequest& r) {
  return NewFormatOf(r.tab, r.editable_topics, r.editable_notes, r.compatible);
}

int ModuleCodePage(const BuildRequest& request, const TextLocale& locale) {
  return ModuleCodePage(NewFormatOf(request), CharacterSetOf(request.charset), locale);
}

bool TabHasModuleName(BuildTab tab) { return HasModuleName(KindOf(tab, false, false)); }

bool ConvertsStoredModule(const BuildRequest& r) {
  const ModuleKindInfo& kind = KindInfo(KindOf(r));
  if (!kind.converts_from) return false;
  const std::string extension = FileExtension(TrimControl(r.source_path));
  for (std::string_view stored : KindInfo(*kind.converts_from).stored_extensions)
    if (extension == stored) return true;
  return false;
}

bool CreateEnabled(const BuildRequest& r) {
  std::string_view source = TrimControl(r.source_path);
  std::string_view output = TrimControl(r.output_path);
  const ModuleKindInfo& kind = KindInfo(KindOf(r));
  // Without a mark no line of a marked source could open an entry.
  if (r.options.line_mark.empty() && !ConvertsStoredModule(r)) return false;
  // A header file supplies the rest.
  if (kind.takes_header_files && FileExtension(source) == kHeaderFileExtension) return true;
  if (source.empty() || output.empty()) return false;
  if (!TabHasModuleName(r.tab)) return true;
  std::string_view name = kind.finished ? TrimControl(r.module_name) : kind.standin_name;
  return !name.empty();
}

std::string NormalizeModuleName(std::string_view text) {
  return std::string(TrimControl(CollapseBlanks(text)));
}

std::string FileExtension(std::string_view path) {
  auto dot = path.rfind('.');
  if (dot == std::string_view::npos) return "";
  // A dot in a folder name is not an extension.
  auto slash = path.find_last_of("/\\");
  if (slash != std::string_view::npos && slash > dot) return "";
  return std::string(path.substr(dot));
}

const TextLocale& BuildJob::Locale() const {
  return text_locale != nullptr ? *text_locale : session.Locale();
}

MarkupContext BuildJob::Markup() const {
  return MarkupContext{session.Tags(), session.Links(), Locale()};
}

}  // namespace tavrin
