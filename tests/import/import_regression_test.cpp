// Inputs the fuzz targets found, each a case of what it broke.
#include <gtest/gtest.h>
#include <unistd.h>  // getpid, which MinGW-w64 has too

#include <filesystem>
#include <fstream>

#include "import/importer.h"
#include "platform/system.h"
#include "platform/text_locale.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

// Bytes that are no UTF-8 in a key, a text or a title: the marked text stays UTF-8, with a
// warning where the input had them.
TEST(ImportRegression, BytesThatAreNoUtf8) {
  struct Case {
    ImportFormat format;
    std::string input, warning;
  } cases[] = {
      {ImportFormat::kImp, "$$$00001\x8A\n<orth>A</orth>\n",
       "the entry is not UTF-8; read as Windows-1252"},
      {ImportFormat::kOsis, "<osis><verse osisID=\"Gen.1.1\">bless\x92\x98\xDFhe</verse></osis>",
       ""},
      {ImportFormat::kHtml, "<html><head><title>P\xA6salms</title></head><body><p>x</p></html>",
       ""},
  };
  const fs::path dir = fs::temp_directory_path() / ("tavrin-import-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (const Case& c : cases) {
    std::ofstream(dir / "in", std::ios::binary) << c.input;
    ImportRequest request;
    request.format = c.format;
    request.inputs = {(dir / "in").string()};
    request.output = (dir / "out.txt").string();
    request.program_folder = TAVRIN_DATA_BIN_DIR;
    ImportResult result = RunImport(request);
    ASSERT_TRUE(result.written) << c.input;
    int substitutions = 0;
    Utf8ToUtf16(ReadWholeFile(request.output), u'?', &substitutions);
    EXPECT_EQ(substitutions, 0) << c.input;
    if (!c.warning.empty()) {
      ASSERT_FALSE(result.findings.Warnings().empty());
      EXPECT_EQ(result.findings.Warnings().front().message, c.warning);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrin
