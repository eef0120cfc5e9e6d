#pragma once

#include <filesystem>
#include <string>

namespace tavrin {

// The folder of the running executable, with a trailing separator.
std::string ApPath();
// The operating system's login name of the user; empty when it cannot be found.
std::string UserName();

// A new, unique, empty file in the system's temporary folder; returns its path.
// Raises EFCreateError when none can be made.
std::filesystem::path CreateTempFile(const std::string& prefix = "tavrin");

// Reads a whole file; raises EFOpenError when it cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

}  // namespace tavrin
