#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "import/import_context.h"

struct _xmlSAXHandler;  // NOLINT(bugprone-reserved-identifier): libxml2's own name

// XML and HTML read as a stream of events through libxml2's push parsers: no tree, memory
// bounded by the parser's window. Inputs come from strangers, so the parser reads no other file
// and no network (no external entities, no DTD), expands entities only within libxml2's bounds,
// and refuses documents nested deeper than kMaxDepth.

namespace tavrin {

struct MarkupAttribute {
  std::string name;  // local name, lower case
  std::string value;
};
using MarkupAttributes = std::vector<MarkupAttribute>;

// The value of an attribute, empty when it is missing.
std::string_view AttributeValue(const MarkupAttributes& attributes, std::string_view name);

// What a reader of markup receives. Names are local names in lower case.
class MarkupEvents {
 public:
  virtual ~MarkupEvents() = default;
  virtual void StartElement(std::string_view name, const MarkupAttributes& attributes,
                            InputPosition at) = 0;
  virtual void EndElement(std::string_view name) = 0;
  virtual void Text(std::string_view utf8, InputPosition at) = 0;
};

class MarkupStream {
 public:
  static constexpr int kMaxDepth = 256;
  enum class Syntax { kXml, kHtml };

  // `file` names the input in findings; input line `first_line` is the stream's line 1.
  MarkupStream(Syntax syntax, MarkupEvents& events, ImportFindings& findings, std::string file,
               std::int64_t first_line = 1);
  ~MarkupStream();
  MarkupStream(const MarkupStream&) = delete;
  MarkupStream& operator=(const MarkupStream&) = delete;

  // Up to `size` bytes into `data`; 0 at the end. May raise the file errors.
  using Source = std::function<std::size_t(char* data, std::size_t size)>;
  // Reads the whole document from `source`; false when it was refused. A file error of the
  // source passes through.
  bool Parse(const Source& source);
  bool Refused() const { return refused_; }
  // The problems found beyond the listed ones.
  std::int64_t Unlisted() const { return unlisted_; }

  // Parts of the callbacks; public for the C functions that libxml2 calls.
  struct Callbacks;

 private:
  InputPosition Position() const;
  void Problem(int code, int level, int line, int column, const char* message);
  void Refuse(Message id, std::string_view detail, InputPosition at);

  Syntax syntax_;
  MarkupEvents& events_;
  ImportFindings& findings_;
  std::string file_;
  std::int64_t line_offset_;
  void* context_ = nullptr;  // the libxml2 parser context while it parses
  const Source* source_ = nullptr;
  std::exception_ptr source_error_;
  std::unique_ptr<::_xmlSAXHandler> sax_;
  int depth_ = 0;
  bool refused_ = false;
  int listed_ = 0;
  std::int64_t unlisted_ = 0;
  std::string text_;  // scratch for attribute values
};

}  // namespace tavrin

namespace tavrin {

// An entry of an import file made ready for the XML parser: HTML's named entities become
// character references, and an "&" or "<" that opens nothing is escaped, so that its text is
// kept instead of being lost to the parser's recovery.
std::string XmlFragment(std::string_view text);

}  // namespace tavrin
