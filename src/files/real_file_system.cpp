#include "files/real_file_system.h"

#include <random>

namespace ledgerlift {

std::string TemporaryFileName() {
  static constexpr std::string_view kDigits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::random_device random;
  std::uniform_int_distribution<size_t> digit(0, kDigits.size() - 1);
  std::string name(kTemporaryPrefix);
  while (name.size() < kTemporaryNameSize - kTemporarySuffix.size()) {
    name += kDigits[digit(random)];
  }
  name += kTemporarySuffix;
  return name;
}

}  // namespace ledgerlift
