// Writes the sources that bench/run builds: realistic marked text of every kind, the same bytes
// on every run (fixed seed).
//
//   tavrin_bench_gen VERSE_COUNTS OUT_DIR [DICTIONARY_MB]

#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Book {
  std::string name;
  std::vector<int> verses;  // per chapter
};

std::vector<Book> ReadVerseCounts(const std::string& path) {
  std::ifstream in(path);
  std::vector<Book> books;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    Book book{line.substr(0, tab), {}};
    std::istringstream counts(line.substr(tab + 1));
    for (int n; counts >> n;) book.verses.push_back(n);
    books.push_back(book);
  }
  return books;
}

class Text {
 public:
  explicit Text(unsigned seed) : rng_(seed) {
    const char* syllables[] = {"ba", "ra", "kel", "mon", "thi", "sa",  "lo", "ven", "dor", "mi",
                               "ha", "ne", "gal", "or",  "te",  "vis", "ar", "qu",  "el",  "um"};
    for (int i = 0; i < 3000; ++i) {
      std::string w;
      for (int k = Range(1, 4); k > 0; --k) w += syllables[Range(0, 19)];
      words_.push_back(w);
    }
  }
  int Range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  const std::string& Word() { return words_[static_cast<std::size_t>(Range(0, 2999))]; }
  std::string Reference(const std::vector<Book>& books) {
    const Book& b = books[static_cast<std::size_t>(Range(0, static_cast<int>(books.size()) - 1))];
    int chapter = Range(1, static_cast<int>(b.verses.size()));
    int verse = Range(1, b.verses[static_cast<std::size_t>(chapter - 1)]);
    return b.name + " " + std::to_string(chapter) + ":" + std::to_string(verse);
  }
  // One line of prose with some markup in it.
  std::string Line(const std::vector<Book>& books, int words) {
    std::string s;
    for (int i = 0; i < words; ++i) {
      if (i > 0) s += ' ';
      int r = Range(0, 99);
      if (r < 4)
        s += "<b>" + Word() + "</b>";
      else if (r < 7)
        s += "<i>" + Word() + " " + Word() + "</i>";
      else if (r < 8)
        s += "<link bible=" + Reference(books) + ">" + Word() + "</link>";
      else if (r < 9)
        s += "<color=red>" + Word() + "</color>";
      else if (r < 10)
        s += Word() + "<br>";
      else
        s += Word();
    }
    return s + ".";
  }

 private:
  std::mt19937 rng_;
  std::vector<std::string> words_;
};

void Dictionary(const std::string& path, const std::vector<Book>& books, long long bytes) {
  std::ofstream out(path, std::ios::binary);
  Text t(1);
  long long written = 0;
  for (int topic = 0; written < bytes; ++topic) {
    std::string s = "#" + t.Word() + " " + t.Word() + " " + std::to_string(topic) + "\r\n";
    for (int lines = t.Range(3, 30); lines > 0; --lines) {
      if (t.Range(0, 9) == 0) s += "\r\n";
      s += t.Line(books, t.Range(6, 18)) + "\r\n";
    }
    out << s;
    written += static_cast<long long>(s.size());
  }
}

void Commentary(const std::string& path, const std::vector<Book>& books) {
  std::ofstream out(path, std::ios::binary);
  Text t(2);
  for (const Book& b : books) {
    for (std::size_t c = 0; c < b.verses.size(); ++c) {
      for (int v = 1; v <= b.verses[c]; ++v) {
        out << "#" << b.name << " " << c + 1 << ":" << v << "\r\n";
        for (int lines = t.Range(1, 4); lines > 0; --lines)
          out << t.Line(books, t.Range(5, 16)) << "\r\n";
      }
    }
  }
}

void Jumplist(const std::string& path, const std::vector<Book>& books, int jumps) {
  std::ofstream out(path, std::ios::binary);
  Text t(3);
  for (int written = 0; written < jumps;) {
    out << "#" << t.Reference(books) << "\r\n";
    int n = t.Range(1, 4);
    for (int k = 0; k < n; ++k) out << (k ? "; " : "") << t.Reference(books);
    out << "\r\n";
    written += n;
  }
}

// One section of `bytes` bytes, dense with tags, some on lines of their own.
void Writing(const std::string& path, const std::vector<Book>& books, long long bytes) {
  std::ofstream out(path, std::ios::binary);
  Text t(4);
  out << "#Section one\r\n";
  long long written = 0;
  while (written < bytes) {
    std::string s;
    switch (t.Range(0, 5)) {
      case 0:
        s = "<h2>" + t.Word() + " " + t.Word() + "</h>\r\n";
        break;
      case 1:
        s = "<b>\r\n" + t.Line(books, t.Range(4, 10)) + "\r\n</b>\r\n";
        break;
      case 2:
        s = "\r\n";
        break;
      default:
        s = t.Line(books, t.Range(8, 20)) + "\r\n";
    }
    out << s;
    written += static_cast<long long>(s.size());
  }
  out << "#Section two\r\nThe end.\r\n";
}

// One topic whose text holds 200,000 findings of the lint, ten a line among plain words: closing
// tags never opened, unknown tags, tags never closed, tags that fail their rule.
void LintFindings(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  Text t(5);
  const char* broken[] = {"</i>", "<zz>", "<b>", "<color=300>", "</mono>"};
  out << "#Findings\r\n";
  for (int line = 0; line < 20000; ++line) {
    std::string s;
    for (int k = 0; k < 10; ++k) {
      s += t.Word() + " " + t.Word() + broken[t.Range(0, 4)];
      s += k < 9 ? " " : ".\r\n";
    }
    out << s;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: tavrin_bench_gen VERSE_COUNTS OUT_DIR [DICTIONARY_MB]\n";
    return 2;
  }
  std::vector<Book> books = ReadVerseCounts(argv[1]);
  if (books.empty()) {
    std::cerr << "no books in " << argv[1] << "\n";
    return 1;
  }
  std::string dir = argv[2];
  long long dictionary_mb = argc > 3 ? std::stoll(argv[3]) : 100;
  Dictionary(dir + "/dictionary.txt", books, dictionary_mb << 20);
  Commentary(dir + "/commentary.txt", books);
  Jumplist(dir + "/jumplist.txt", books, 350000);
  for (int mb : {1, 4, 16})
    Writing(dir + "/writing-" + std::to_string(mb) + ".txt", books, mb << 20);
  LintFindings(dir + "/lint-200k.txt");
  return 0;
}
