#include "platform/system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/exceptions.h"

namespace tavrin {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

TEST(InputFileTest, FailingReadsAreFileErrorsNamingThePath) {
  // The memory of the reading process at address 0: every read of it fails.
  const std::string failing = "/proc/self/mem";
  const auto read_error = ThrowsMessage<EInOutError>(StrEq("Cannot read file " + failing));
  EXPECT_THAT([&] { ReadWholeFile(failing); }, read_error);
  auto stream = OpenInputStream(failing);
  char byte = 0;
  EXPECT_THAT([&] { stream->read(&byte, 1); }, read_error);

  const std::string folder = std::filesystem::temp_directory_path().string();
  EXPECT_THAT([&] { OpenInputStream(folder); },
              ThrowsMessage<EFOpenError>(StrEq("Cannot open file " + folder)));
  // A file whose size is not known ahead is read to its end.
  EXPECT_TRUE(ReadWholeFile("/proc/self/status").starts_with("Name:"));
}

}  // namespace
}  // namespace tavrin
