// read_write_floor: the least any converter must do on a statement: read the
// whole input and write an output of a given size, in blocks of the size the
// converter uses, with no work in between. bench/compare.sh times it beside
// ledgerlift. Usage: read_write_floor INPUT OUTPUT BYTES

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "statement/converter.h"

int main(int argc, char** argv) {
  unsigned long long bytes = 0;
  if (argc != 4 ||
      std::from_chars(argv[3], argv[3] + std::strlen(argv[3]), bytes).ec != std::errc()) {
    std::fputs("usage: read_write_floor INPUT OUTPUT BYTES\n", stderr);
    return 2;
  }
  std::FILE* input = std::fopen(argv[1], "rb");
  std::FILE* output = std::fopen(argv[2], "wb");
  if (!input || !output) {
    std::fprintf(stderr, "read_write_floor: %s\n", std::strerror(errno));
    return 1;
  }
  // At a page boundary, as the program's own buffers are: the system copies
  // into a heap block a few bytes past one at half speed, which would make
  // the floor look slower than it is.
  const ledgerlift::PageBuffer block =
      ledgerlift::NewPageBuffer(ledgerlift::kReadBlockSize);
  std::memset(block.get(), 0, ledgerlift::kReadBlockSize);
  while (std::fread(block.get(), 1, ledgerlift::kReadBlockSize, input) ==
         ledgerlift::kReadBlockSize) {
  }
  for (; bytes > 0;
       bytes -= std::min<unsigned long long>(bytes, ledgerlift::kReadBlockSize)) {
    const size_t size = std::min<unsigned long long>(bytes, ledgerlift::kReadBlockSize);
    if (std::fwrite(block.get(), 1, size, output) != size) return 1;
  }
  return std::fclose(output) == 0 && std::fclose(input) == 0 ? 0 : 1;
}
