#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "module/byte_stream.h"
#include "module/module_kind.h"
#include "module/module_writer.h"
#include "platform/system.h"

namespace tavrin::testing {

// A fresh folder under the temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::filesystem::path file = CreateTempFile("tavrin-module-test");
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    path_ = file;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      names.push_back(e.path().filename().string());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::int32_t Int32At(const std::string& bytes, std::size_t offset) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i)
    u |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(offset + i))) << (8 * i);
  return static_cast<std::int32_t>(u);
}

inline std::string Complemented(std::string text) {
  for (char& c : text) c = static_cast<char>(255 - static_cast<unsigned char>(c));
  return text;
}

struct NamedEntry {
  std::string name;
  std::string text;
};
struct VerseEntryData {
  int book, chapter, verse;
  std::string text;
};

// The three build buffers of one module, filled the way the builders fill them.
struct Buffers {
  ByteStream names, index, texts;

  void AddNamed(const std::string& name, const std::string& text, bool complement) {
    names.Append(name);
    names.AppendByte(0);
    index.AppendInt32(static_cast<std::int32_t>(texts.Size()));
    AddText(text, complement);
  }
  void AddVerse(int book, int chapter, int verse, const std::string& text, bool complement) {
    index.AppendByte(static_cast<unsigned char>(book));
    index.AppendByte(static_cast<unsigned char>(chapter));
    index.AppendByte(static_cast<unsigned char>(verse));
    index.AppendByte(0);
    index.AppendInt32(static_cast<std::int32_t>(texts.Size()));
    AddText(text, complement);
  }
  void AddText(const std::string& text, bool complement) {
    texts.Append(complement ? Complemented(text) : text);
    texts.AppendByte(0);
  }

  WriteRequest Request(ModuleKind kind, bool new_format, const std::string& path,
                       const std::string& module_name = "Test module", int charset = 0,
                       const std::string& user = "tester") const {
    return WriteRequest{kind, new_format, path, module_name, charset, user, names, index, texts};
  }
};

}  // namespace tavrin::testing
