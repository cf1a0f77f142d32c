#pragma once

#include <cstdio>
#include <string>

#include "window/platform.h"

namespace ledgerlift {

// Messages as lines on standard error: for a terminal, a script, or a desktop
// session without a display.
class ConsolePlatform : public Platform {
 public:
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }
};

}  // namespace ledgerlift
