#pragma once

// File names are UTF-8 texts everywhere in the program. These hand one to
// the operating system: unchanged on Linux, where a name is bytes; as UTF-16
// through the wide functions on Windows, so that any name Windows can hold
// is found, never a look-alike in the system code page.

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace ledgerlift {

std::filesystem::path SystemPath(const std::string& path);

// std::fopen for a UTF-8 name; null with errno set when it fails.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Whether anything (a file, a folder) is found at `path`.
inline bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(SystemPath(path), error);
}

}  // namespace ledgerlift
