#include "conversion/system_path.h"

namespace ledgerlift {

std::filesystem::path SystemPath(const std::string& path) { return path; }

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

}  // namespace ledgerlift
