#pragma once

#include <array>
#include <cstddef>

namespace ledgerlift {

// The program's icon as PNG files, compiled in from packaging/linux/icons so
// that the window has it also when run from the build tree.
struct IconImage {
  const unsigned char* data;
  std::size_t size;
};

extern const std::array<IconImage, 3> kIconImages;  // 16, 32 and 48 pixels

}  // namespace ledgerlift
