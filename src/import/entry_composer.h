#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/bible_books.h"
#include "import/import_context.h"
#include "import/xml_stream.h"

// Turns the markup of other formats (OSIS, ThML, TEI, HTML and XHTML, all read as elements and
// text) into the lines of Tavrin marked text: one vocabulary table for all of them, since their
// names seldom clash and mean the same where they do.

namespace tavrin {

// What the composer needs of the import as a whole.
struct ComposerSettings {
  // The code page the module's text will be in: Greek and Hebrew are written in the bytes of
  // code pages 1253 and 1255 as this code page's characters, inside <cp=...>.
  int module_code_page = 1252;
  // The book names of tavrin.bok (book k at k-1), UTF-8.
  std::vector<std::string> book_names;
  // The exact key of this module that a reference to another entry ("StrongsGreek:427") leads
  // to; nullopt when it leads outside the module. Empty: no local links.
  std::function<std::optional<std::string>(std::string_view work, std::string_view key)> local_key;
  // Whether a verse lies in the verse map; links outside it stay text. Empty: every verse does.
  std::function<bool(const BibleRef&)> in_map;
};

// "Gen 1:1" with the names of tavrin.bok.
std::string BibleLinkTarget(const BibleRef& ref, const std::vector<std::string>& book_names);

class EntryComposer : public MarkupEvents {
 public:
  EntryComposer(const ComposerSettings& settings, ImportFindings& findings);

  // The input findings are placed in.
  void SetFile(std::string file) { file_ = std::move(file); }
  // HTML's <head> is the document's head, TEI's a heading.
  void SetHtml(bool html) { html_ = html; }

  void StartElement(std::string_view name, const MarkupAttributes& attributes,
                    InputPosition at) override;
  void EndElement(std::string_view name) override;
  void Text(std::string_view utf8, InputPosition at) override;

  // Plain text: each line of it a line.
  void PlainText(std::string_view utf8, InputPosition at);
  // A line break.
  void BreakLine();
  // A heading line of a level 1..5.
  void HeadingLine(int level, std::string_view text, InputPosition at);

  // Text from here on is the name of something (a section, a topic) rather than entry text.
  void BeginName();
  // The name gathered since BeginName, blanks collapsed and trimmed.
  std::string EndName();
  bool InName() const { return naming_; }

  // Whether the entry gathered so far holds any text.
  bool HasText() const;
  // The entry's lines; tags still open are closed, and the next entry starts afresh.
  std::vector<std::string> TakeLines();
  // Forgets the elements still open (the end of a fragment whose markup did not close them).
  void ResetElements();
  // The depth of elements now open.
  std::size_t Depth() const { return frames_.size(); }

 private:
  enum class Action;
  struct Frame {
    Action action;
    std::string closing;     // Tavrin tags that close what the element opened
    std::size_t line_count;  // lines_.size() when it opened
    std::size_t position;    // where its text begins in line_
    std::size_t after_open;  // line_.size() behind its opening tags
    std::string target;      // a reference's link, resolved at its end
    std::string ref_text;    // a reference's attribute text, for messages
    InputPosition at;
    int counter = 0;  // the number of a list's next item
    bool ordered = false;
  };

  Action ActionOf(std::string_view name, const MarkupAttributes& attributes) const;
  void OpenInline(Frame& frame, std::string_view tags, std::string_view closing);
  void FlushSpace();
  void AppendText(std::string_view collapsed, InputPosition at);
  void AppendScript(std::string_view run, bool greek, InputPosition at);
  void StartReference(Frame& frame, std::string_view name, const MarkupAttributes& attributes);
  void EndReference(Frame& frame);
  bool Hidden() const { return hidden_ > 0; }

  const ComposerSettings& settings_;
  ImportFindings& findings_;
  std::string file_;
  std::vector<Frame> frames_;
  std::vector<std::string> lines_;
  std::string line_;
  bool line_has_text_ = false;
  bool entry_has_text_ = false;
  bool pending_space_ = false;
  bool text_ends_in_lt_ = false;  // the last text appended ended in a '<'
  int hidden_ = 0;                // open elements whose text is not shown
  int preformatted_ = 0;          // open elements whose line ends are kept
  bool naming_ = false;
  bool html_ = false;
  std::string name_;
  std::string last_byte_char_;  // the character of the byte 0xFF in the module's code page
  std::string last_byte_stand_in_;
  bool warned_greek_ = false;
  bool warned_hebrew_ = false;
};

}  // namespace tavrin
