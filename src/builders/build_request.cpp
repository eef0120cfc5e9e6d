#include "builders/build_request.h"

#include "source/session.h"
#include "source/text_util.h"

namespace tavrin {

ModuleKind KindOf(BuildTab tab, bool editable_topics, bool editable_notes) {
  switch (tab) {
    case BuildTab::kDictionary:
      return editable_topics ? ModuleKind::kTopics : ModuleKind::kDictionary;
    case BuildTab::kCommentary:
      return editable_notes ? ModuleKind::kNotes : ModuleKind::kCommentary;
    case BuildTab::kWriting:
      return ModuleKind::kWriting;
    case BuildTab::kJumplist:
      break;
  }
  return ModuleKind::kJumplist;
}

bool NewFormatOf(BuildTab tab, bool editable_topics, bool editable_notes, bool compatible) {
  switch (tab) {
    case BuildTab::kDictionary:
      return !editable_topics && !compatible;
    case BuildTab::kCommentary:
      return !editable_notes && !compatible;
    case BuildTab::kWriting:
      return !compatible;
    case BuildTab::kJumplist:
      break;
  }
  return false;
}

ModuleKind KindOf(const BuildRequest& r) {
  return KindOf(r.tab, r.editable_topics, r.editable_notes);
}

bool NewFormatOf(const BuildRequest& r) {
  return NewFormatOf(r.tab, r.editable_topics, r.editable_notes, r.compatible);
}

int ModuleCodePage(const BuildRequest& request, const TextLocale& locale) {
  return NewFormatOf(request) ? CharsetCodePage(request.charset) : locale.CodePage();
}

bool TabHasModuleName(BuildTab tab) { return tab != BuildTab::kJumplist; }

bool CreateEnabled(const BuildRequest& r) {
  std::string_view source = TrimControl(r.source_path);
  std::string_view output = TrimControl(r.output_path);
  if (r.tab == BuildTab::kJumplist) return !source.empty() && !output.empty();
  if (FileExtension(source) == ".hdr") return true;
  std::string_view name =
      (r.tab == BuildTab::kDictionary && r.editable_topics)  ? std::string_view("Topic Book")
      : (r.tab == BuildTab::kCommentary && r.editable_notes) ? std::string_view("Note Set")
                                                             : TrimControl(r.module_name);
  return !source.empty() && !output.empty() && !name.empty();
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
