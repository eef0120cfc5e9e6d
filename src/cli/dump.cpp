#include "cli/dump.h"

#include <cstdio>
#include <iostream>
#include <sstream>

#include "builders/verse_ref.h"
#include "messages/messages.h"
#include "module/character_set.h"
#include "module/module_reader.h"
#include "module/verse_map.h"
#include "platform/exceptions.h"
#include "platform/system.h"
#include "platform/text_locale.h"
#include "source/text_util.h"

namespace tavrin {
namespace {

class Printer {
 public:
  Printer(int code_page, bool raw) : code_page_(code_page), raw_(raw) {}
  std::string Text(const std::string& bytes) const {
    return raw_ ? bytes : CodePageToUtf8(code_page_, bytes);
  }
  // A JSON string; raw bytes above 0x7F are written as the characters of the same number.
  std::string Json(const std::string& bytes) const { return JsonString(Text(bytes), raw_); }

 private:
  int code_page_;
  bool raw_;
};

void PrintReadable(const ModuleFile& module, const Printer& p) {
  const ModuleFileHeader& h = module.header;
  std::cout << "kind: " << KindString(h.kind) << "\n";
  std::cout << "header: " << h.header_size << " bytes ("
            << (h.header_size == kLongHeaderSize ? "current format" : "2.6 compatible") << ")\n";
  if (HasModuleName(h.kind)) std::cout << "name: " << p.Text(h.module_name) << "\n";
  std::cout << "creator: " << p.Text(h.creator) << "\n";
  if (h.charset_id) std::cout << "charset: " << *h.charset_id << "\n";
  std::cout << "sections: " << h.section_offsets[0] << " " << h.section_offsets[1] << " "
            << h.section_offsets[2] << "\n";
  std::cout << "entries: " << module.entries.size() << "\n";
  for (const ModuleEntry& e : module.entries) {
    std::cout << "\n";
    if (IsVerseKind(h.kind))
      std::cout << "@ " << int(e.book) << " " << int(e.chapter) << ":" << int(e.verse) << "\n";
    else
      std::cout << "# " << p.Text(e.name) << "\n";
    std::string text = p.Text(e.text);
    for (char c : text)
      if (c != '\r') std::cout << c;
    std::cout << "\n";
  }
}

void PrintJson(const ModuleFile& module, const Printer& p) {
  const ModuleFileHeader& h = module.header;
  std::cout << "{\n  \"kind\": \"" << KindString(h.kind) << "\",\n";
  std::cout << "  \"header_size\": " << h.header_size << ",\n";
  std::cout << "  \"name\": " << p.Json(h.module_name) << ",\n";
  std::cout << "  \"creator\": " << p.Json(h.creator) << ",\n";
  std::cout << "  \"charset\": " << (h.charset_id ? std::to_string(*h.charset_id) : "null")
            << ",\n";
  std::cout << "  \"section_offsets\": [" << h.section_offsets[0] << ", " << h.section_offsets[1]
            << ", " << h.section_offsets[2] << "],\n";
  std::cout << "  \"entries\": [";
  const char* separator = "\n";
  for (const ModuleEntry& e : module.entries) {
    std::cout << separator << "    {";
    if (IsVerseKind(h.kind))
      std::cout << "\"book\": " << int(e.book) << ", \"chapter\": " << int(e.chapter)
                << ", \"verse\": " << int(e.verse);
    else
      std::cout << "\"name\": " << p.Json(e.name);
    std::cout << ", \"text\": " << p.Json(e.text) << "}";
    separator = ",\n";
  }
  std::cout << (module.entries.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

// The first mark that opens none of the texts' lines, so text never turns into a topic.
std::string ChooseMark(const ModuleFile& module) {
  for (std::string mark : {"#", "##", "#!#", "@@", "%%", "#~#~#"}) {
    bool clash = false;
    for (const ModuleEntry& e : module.entries) {
      std::size_t start = 0;
      while (!clash && start <= e.text.size()) {
        std::size_t end = e.text.find('\n', start);
        if (end == std::string::npos) end = e.text.size();
        std::string_view line = TrimControl(std::string_view(e.text).substr(start, end - start));
        clash = line.substr(0, mark.size()) == mark;
        start = end + 1;
      }
      if (clash) break;
    }
    if (!clash) return mark;
  }
  return "#~#~#~#";
}

// The reference line of a verse, checked by parsing it back as a build would.
bool ReferenceText(const ModuleEntry& e, const std::string& mark, const BookNameTable& books,
                   const VerseMap& map, std::string& line) {
  if (e.book == 0 || e.book > books.Count()) return false;
  line =
      mark + books.Name(e.book) + " " + std::to_string(e.chapter) + ":" + std::to_string(e.verse);
  ReferenceLine parsed = ReadReferenceLine(line, 0, 0, mark, books, map);
  return parsed.kind == ReferenceLine::Kind::kReference && parsed.ref.book == e.book &&
         parsed.ref.chapter == e.chapter && parsed.ref.verse == e.verse;
}

// Marked text in the module's own bytes: a control or reference line per entry, its text
// below it.
int PrintSource(const ModuleFile& module) {
  const ModuleFileHeader& h = module.header;
  const std::string mark = ChooseMark(module);
  std::string command = "tavrin-cli build " + std::string(KindInfo(h.kind).word) +
                        " THIS-FILE OUTPUT --mark '" + mark +
                        "' --no-trim --keep-spaces --keep-empty-lines";
  if (SupportsNewFormat(h.kind)) {
    command += " --name '" + h.module_name + "'";
    // Western is the command line's default.
    const CharacterSet& set = CharacterSetWithIdentifier(h.charset_id.value_or(0));
    if (h.header_size != kLongHeaderSize)
      command += " --compatible";
    else if (&set != &CharacterSetOf(0))
      command += " --charset " + std::string(set.word);
  }
  std::string out = "Marked text written by tavrin-cli dump --source. Build it again with:\r\n" +
                    command + "\r\n\r\n";
  if (IsVerseKind(h.kind)) {
    // References are written with the book names and verse map of this program folder.
    const TextLocale& locale = TextLocale::User();
    BookNameTable books(locale);
    VerseMap map;
    try {
      books.LoadFromFile(ApPath() + std::string(kBookNamesFileName));
      map = LoadVerseMap(ApPath());
    } catch (const Exception& e) {
      std::cerr << "error: " << e.what() << "\n";
      return 1;
    }
    for (const ModuleEntry& e : module.entries) {
      std::string line;
      if (!ReferenceText(e, mark, books, map, line)) {
        std::cerr << "error: "
                  << MessageText(
                         Message::kVerseWithoutReference,
                         {std::to_string(e.book), std::to_string(e.chapter),
                          std::to_string(e.verse), ApPath() + std::string(kBookNamesFileName)})
                  << "\n";
        return 1;
      }
      out += line + "\r\n";
      if (!e.text.empty()) out += e.text + "\r\n";
    }
  } else {
    for (const ModuleEntry& e : module.entries) {
      out += mark + e.name + "\r\n";
      if (!e.text.empty()) out += e.text + "\r\n";
    }
  }
  std::cout << out;
  return 0;
}

}  // namespace

int RunDump(const DumpArgs& args) {
  try {
    ModuleFile module = ReadModuleFile(args.file);
    if (args.source) return PrintSource(module);
    Printer printer(ModuleCodePage(module.header, TextLocale::User()), args.raw);
    if (args.json)
      PrintJson(module, printer);
    else
      PrintReadable(module, printer);
    return 0;
  } catch (const Exception& e) {
    std::cerr << "error: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace tavrin
