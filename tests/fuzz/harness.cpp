#include "harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/system.h"

namespace tavrin::fuzz {
namespace {

namespace fs = std::filesystem;

// The scratch folder once made, so that a failing check can remove it before the abort.
std::string* made_scratch = nullptr;

struct ScratchFolder {
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "tavrin-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot make the scratch folder", pattern);
    path = pattern;
    made_scratch = &path;
    // The data files the verse-based builders read from the program folder.
    for (const char* name : {"tavrin.bok", "master.map"}) {
      std::error_code ec;
      fs::copy_file(fs::path(ApPath()) / name, fs::path(path) / name, ec);
      if (ec) Fail("data file missing beside the fuzz target", name);
    }
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string path;
};

}  // namespace

const TextLocale& Locale() {
  static const TextLocale locale("en_US", 1252);
  return locale;
}

const std::string& Scratch() {
  static const ScratchFolder folder;
  return folder.path;
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write", path);
}

int CompareKeys(TMSortType type, std::string_view a, std::string_view b) {
  switch (type) {
    case soString:
      return Locale().CompareText(a, b);
    case soStringCaseSensitive:
      return a.compare(b);
    case soNumeric: {
      const double x = KeyNumber(a), y = KeyNumber(b);
      if (x != y) return x < y ? -1 : 1;
      return x == 0 ? Locale().CompareText(a, b) : 0;
    }
    case soDate: {
      const double x = Locale().ParseDateTime(a), y = Locale().ParseDateTime(b);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
  }
  return 0;
}

std::string_view KeyOf(std::string_view text, int key_pos, int key_len) {
  const auto pos = static_cast<std::size_t>(key_pos < 1 ? 0 : key_pos - 1);
  if (pos >= text.size()) return {};
  return text.substr(pos, static_cast<std::size_t>(key_len < 1 ? 1 : key_len));
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

bool Tracing() {
  static const bool enabled = std::getenv("TAVRIN_FUZZ_TRACE") != nullptr;
  return enabled;
}

void Trace(std::string_view line) {
  if (Tracing()) std::fprintf(stderr, "%s\n", Escaped(line).c_str());
}

void Fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "fuzz check failed: %.*s %s\n", static_cast<int>(what.size()), what.data(),
               Escaped(detail).c_str());
  if (made_scratch != nullptr) {
    std::error_code ec;
    fs::remove_all(*made_scratch, ec);
  }
  std::abort();
}

}  // namespace tavrin::fuzz
