// Turns the readable verse-count table into master.map: one 3-byte record (book, chapter,
// verse) per verse, in canonical order. Used by the build; refuses a table the map cannot hold.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& table, int line_number, const std::string& problem) {
  std::cerr << table << ":" << line_number << ": " << problem << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_verse_map TABLE MAP\n";
    return 2;
  }
  const std::string table = argv[1];
  std::ifstream in(table);
  if (!in) {
    std::cerr << "cannot open " << table << "\n";
    return 1;
  }
  std::string records;
  std::string line;
  int line_number = 0;
  int book = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto tab = line.find('\t');
    if (tab == std::string::npos || tab == 0)
      return Fail(table, line_number, "expected a book name, a tab and verse counts");
    if (++book > 255) return Fail(table, line_number, "more than 255 books");
    std::istringstream counts(line.substr(tab + 1));
    int chapter = 0;
    std::string count_text;
    while (counts >> count_text) {
      if (++chapter > 255) return Fail(table, line_number, "more than 255 chapters");
      int verses = 0;
      for (char c : count_text) {
        if (c < '0' || c > '9' || verses > 255)
          return Fail(table, line_number, "bad verse count '" + count_text + "'");
        verses = verses * 10 + (c - '0');
      }
      if (verses < 1 || verses > 255)
        return Fail(table, line_number, "verse count out of range: " + count_text);
      for (int verse = 1; verse <= verses; ++verse) {
        records.push_back(static_cast<char>(book));
        records.push_back(static_cast<char>(chapter));
        records.push_back(static_cast<char>(verse));
      }
    }
    if (chapter == 0) return Fail(table, line_number, "a book without chapters");
  }
  if (book == 0) return Fail(table, line_number, "no books");
  if (records.size() / 3 > 65536) return Fail(table, line_number, "more than 65536 verses");

  // Written beside and renamed, so an interrupted build never leaves half a map.
  const std::string map = argv[2];
  const std::string partial = map + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(records.data(), static_cast<std::streamsize>(records.size()));
    if (!out.flush()) {
      std::cerr << "cannot write " << partial << "\n";
      return 1;
    }
  }
  // std::rename keeps an existing map on Windows; the filesystem's rename replaces it there too.
  std::error_code renamed;
  std::filesystem::rename(partial, map, renamed);
  if (renamed) {
    std::cerr << "cannot write " << map << "\n";
    return 1;
  }
  return 0;
}
