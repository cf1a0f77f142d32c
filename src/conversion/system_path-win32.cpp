#include <cstdio>
#include <string>

#include "conversion/system_path.h"

namespace ledgerlift {

std::filesystem::path SystemPath(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  const std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(SystemPath(path).c_str(), wide_mode.c_str());
}

}  // namespace ledgerlift
