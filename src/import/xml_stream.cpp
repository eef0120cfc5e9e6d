#include "import/xml_stream.h"

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstring>
#include <new>
#include <utility>

namespace tavrin {
namespace {

// Problems of one input listed one by one; the rest are counted.
constexpr int kListedProblems = 200;

std::string LowerName(const xmlChar* name) {
  std::string out(reinterpret_cast<const char*>(name));
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The parser's message, on one line without its line end.
std::string OneLine(const char* message) {
  std::string out = message ? message : "malformed markup";
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  for (char& c : out)
    if (c == '\n') c = ' ';
  return out;
}

// Entities are never fetched from anywhere: no file, no network.
xmlParserInputPtr NoEntity(void*, const xmlChar*, const xmlChar*) { return nullptr; }

}  // namespace

std::string_view AttributeValue(const MarkupAttributes& attributes, std::string_view name) {
  for (const MarkupAttribute& a : attributes)
    if (a.name == name) return a.value;
  return {};
}

struct MarkupStream::Callbacks {
  static MarkupStream& Self(void* user) { return *static_cast<MarkupStream*>(user); }

  static bool Enter(MarkupStream& self) {
    if (self.refused_) return false;
    if (++self.depth_ > kMaxDepth) {
      self.Refuse(Message::kImportTooDeep, std::to_string(kMaxDepth), self.Position());
      return false;
    }
    return true;
  }

  static void StartNs(void* user, const xmlChar* localname, const xmlChar*, const xmlChar*, int,
                      const xmlChar**, int nb_attributes, int, const xmlChar** attributes) {
    MarkupStream& self = Self(user);
    if (!Enter(self)) return;
    MarkupAttributes list;
    for (int i = 0; i < nb_attributes; ++i) {
      const xmlChar** a = attributes + 5 * i;  // localname, prefix, URI, value, end
      list.push_back({LowerName(a[0]), std::string(reinterpret_cast<const char*>(a[3]),
                                                   reinterpret_cast<const char*>(a[4]))});
    }
    self.events_.StartElement(LowerName(localname), list, self.Position());
  }

  static void EndNs(void* user, const xmlChar* localname, const xmlChar*, const xmlChar*) {
    MarkupStream& self = Self(user);
    if (self.refused_) return;
    --self.depth_;
    self.events_.EndElement(LowerName(localname));
  }

  static void StartHtml(void* user, const xmlChar* name, const xmlChar** attributes) {
    MarkupStream& self = Self(user);
    if (!Enter(self)) return;
    MarkupAttributes list;
    for (const xmlChar** a = attributes; a && a[0]; a += 2)
      list.push_back({LowerName(a[0]), a[1] ? reinterpret_cast<const char*>(a[1]) : ""});
    self.events_.StartElement(LowerName(name), list, self.Position());
  }

  static void EndHtml(void* user, const xmlChar* name) {
    MarkupStream& self = Self(user);
    if (self.refused_) return;
    --self.depth_;
    self.events_.EndElement(LowerName(name));
  }

  static void Characters(void* user, const xmlChar* text, int length) {
    MarkupStream& self = Self(user);
    if (self.refused_) return;
    self.events_.Text(
        std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)),
        self.Position());
  }

  // libxml2's own handlers of the document type, which take its parser context.
  static void* Context(void* user) { return Self(user).context_; }
  static void StartDocument(void* user) { xmlSAX2StartDocument(Context(user)); }
  static void InternalSubset(void* user, const xmlChar* name, const xmlChar* external_id,
                             const xmlChar* system_id) {
    xmlSAX2InternalSubset(Context(user), name, external_id, system_id);
  }
  static void EntityDecl(void* user, const xmlChar* name, int type, const xmlChar* public_id,
                         const xmlChar* system_id, xmlChar* content) {
    xmlSAX2EntityDecl(Context(user), name, type, public_id, system_id, content);
  }
  static xmlEntityPtr GetEntity(void* user, const xmlChar* name) {
    return xmlSAX2GetEntity(Context(user), name);
  }
  static xmlEntityPtr GetParameterEntity(void* user, const xmlChar* name) {
    return xmlSAX2GetParameterEntity(Context(user), name);
  }

  static int Read(void* user, char* buffer, int size);

  // An entity libxml2 did not expand: an external one, which is never read.
  static void Reference(void* user, const xmlChar* name) {
    MarkupStream& self = Self(user);
    if (self.refused_) return;
    // libxml2 names the internal ones here too, after their text.
    xmlEntityPtr entity = xmlSAX2GetEntity(self.context_, name);
    if (entity && entity->etype != XML_EXTERNAL_GENERAL_PARSED_ENTITY &&
        entity->etype != XML_EXTERNAL_GENERAL_UNPARSED_ENTITY)
      return;
    self.findings_.Warn(self.file_, self.Position(), Message::kImportEntityNotRead,
                        {reinterpret_cast<const char*>(name)});
  }

  static void Error(void* user, xmlErrorPtr error) {
    if (!error) return;
    Self(user).Problem(error->code, error->level, error->line, error->int2, error->message);
  }
};

MarkupStream::MarkupStream(Syntax syntax, MarkupEvents& events, ImportFindings& findings,
                           std::string file, std::int64_t first_line)
    : syntax_(syntax),
      events_(events),
      findings_(findings),
      file_(std::move(file)),
      line_offset_(first_line - 1),
      sax_(std::make_unique<xmlSAXHandler>()) {
  xmlSAXHandler& sax = *sax_;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.serror = &Callbacks::Error;
  sax.characters = &Callbacks::Characters;
  sax.resolveEntity = &NoEntity;
  if (syntax == Syntax::kXml) {
    sax.startElementNs = &Callbacks::StartNs;
    sax.endElementNs = &Callbacks::EndNs;
    sax.cdataBlock = &Callbacks::Characters;
    // The document's own entity declarations are kept, so that libxml2 expands (and bounds)
    // internal entities; external ones are never loaded.
    sax.startDocument = &Callbacks::StartDocument;
    sax.internalSubset = &Callbacks::InternalSubset;
    sax.entityDecl = &Callbacks::EntityDecl;
    sax.getEntity = &Callbacks::GetEntity;
    sax.getParameterEntity = &Callbacks::GetParameterEntity;
    sax.reference = &Callbacks::Reference;
  } else {
    sax.startElement = &Callbacks::StartHtml;
    sax.endElement = &Callbacks::EndHtml;
  }
}

MarkupStream::~MarkupStream() = default;

int MarkupStream::Callbacks::Read(void* user, char* buffer, int size) {
  MarkupStream& self = Self(user);
  try {
    return static_cast<int>((*self.source_)(buffer, static_cast<std::size_t>(size)));
  } catch (...) {
    self.source_error_ = std::current_exception();
    return -1;
  }
}

bool MarkupStream::Parse(const Source& source) {
  source_ = &source;
  if (syntax_ == Syntax::kXml) {
    // The pulling parser: its recovery reads on past a broken start tag, where the pushing one
    // gives up. It reads through the callback, a window at a time.
    xmlParserCtxtPtr ctxt = xmlCreateIOParserCtxt(sax_.get(), this, &Callbacks::Read, nullptr, this,
                                                  XML_CHAR_ENCODING_NONE);
    if (!ctxt) throw std::bad_alloc();
    context_ = ctxt;
    xmlCtxtUseOptions(ctxt, XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOWARNING);
    if (ctxt->input && ctxt->input->filename == nullptr)
      ctxt->input->filename = reinterpret_cast<char*>(xmlStrdup(BAD_CAST file_.c_str()));
    xmlParseDocument(ctxt);
    if (ctxt->myDoc) xmlFreeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    xmlFreeParserCtxt(ctxt);
  } else {
    htmlParserCtxtPtr ctxt = htmlCreatePushParserCtxt(sax_.get(), this, nullptr, 0, file_.c_str(),
                                                      XML_CHAR_ENCODING_NONE);
    if (!ctxt) throw std::bad_alloc();
    context_ = ctxt;
    htmlCtxtUseOptions(
        ctxt, HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOWARNING | HTML_PARSE_NOIMPLIED);
    std::string block(std::size_t{1} << 16, '\0');
    try {
      while (!refused_) {
        std::size_t n = source(block.data(), block.size());
        if (n == 0) break;
        htmlParseChunk(ctxt, block.data(), static_cast<int>(n), 0);
      }
    } catch (...) {
      source_error_ = std::current_exception();
    }
    if (!refused_ && !source_error_) htmlParseChunk(ctxt, nullptr, 0, 1);
    if (ctxt->myDoc) xmlFreeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    htmlFreeParserCtxt(ctxt);
  }
  context_ = nullptr;
  source_ = nullptr;
  if (source_error_) std::rethrow_exception(std::exchange(source_error_, nullptr));
  if (unlisted_ > 0 && !refused_)
    findings_.Warn(file_, {}, Message::kImportXmlProblemsLeft, {std::to_string(unlisted_)});
  return !refused_;
}

InputPosition MarkupStream::Position() const {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(context_);
  InputPosition at;
  if (ctxt && ctxt->input) {
    at.line = ctxt->input->line + line_offset_;
    at.column = ctxt->input->col;
  }
  return at;
}

void MarkupStream::Refuse(Message id, std::string_view detail, InputPosition at) {
  if (refused_) return;
  refused_ = true;
  findings_.Error(file_, at, id, {detail});
  if (context_) xmlStopParser(static_cast<xmlParserCtxtPtr>(context_));
}

void MarkupStream::Problem(int code, int level, int line, int column, const char* message) {
  if (refused_) return;
  InputPosition at{line + line_offset_, column > 0 ? column : 1};
  std::string text = OneLine(message);
  // Entity expansion past libxml2's bounds and nesting past its depth end the document.
  if (code == XML_ERR_ENTITY_LOOP || text.find("amplification") != std::string::npos) {
    Refuse(Message::kImportEntityExpansion, text, Position());
    return;
  }
  if (text.find("Excessive depth") != std::string::npos) {
    Refuse(Message::kImportTooDeep, std::to_string(kMaxDepth), at);
    return;
  }
  // Elements HTML does not know are read all the same (ThML's, CCEL's).
  if (level < XML_ERR_ERROR || code == XML_ERR_USER_STOP || code == XML_HTML_UNKNOWN_TAG) return;
  if (listed_ < kListedProblems) {
    ++listed_;
    findings_.Warn(file_, at, Message::kImportXmlProblem, {text});
  } else {
    ++unlisted_;
  }
}

}  // namespace tavrin

namespace tavrin {

std::string XmlFragment(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  auto is_name_char = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t special = i;
    while (special < text.size() && text[special] != '<' && text[special] != '&') ++special;
    out.append(text, i, special - i);
    if ((i = special) == text.size()) break;
    char c = text[i];
    if (c == '<') {
      char next = i + 1 < text.size() ? text[i + 1] : '\0';
      bool opens = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || next == '/' ||
                   next == '!' || next == '?' || next == '_';
      out += opens ? "<" : "&lt;";
      continue;
    }
    if (c != '&') {
      out += c;
      continue;
    }
    std::size_t end = i + 1;
    if (end < text.size() && text[end] == '#') ++end;
    while (end < text.size() && end - i < 40 && is_name_char(text[end])) ++end;
    if (end >= text.size() || text[end] != ';' || end == i + 1) {
      out += "&amp;";
      continue;
    }
    std::string name(text.substr(i + 1, end - i - 1));
    if (name[0] == '#' || name == "amp" || name == "lt" || name == "gt" || name == "quot" ||
        name == "apos") {
      out += text.substr(i, end - i + 1);
    } else if (const htmlEntityDesc* entity =
                   htmlEntityLookup(reinterpret_cast<const xmlChar*>(name.c_str()))) {
      out += "&#" + std::to_string(entity->value) + ";";
    } else {
      out += "&amp;";
      continue;
    }
    i = end;
  }
  return out;
}

}  // namespace tavrin
