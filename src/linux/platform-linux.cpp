#include "linux/platform-linux.h"

#include <dlfcn.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef LEDGERLIFT_MODULE_DIR
#define LEDGERLIFT_MODULE_DIR "lib/ledgerlift"
#endif

namespace ledgerlift {
namespace {

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

// While it lives, a write to a pipe whose reader went away (`ledgerlift
// x.qfx 2>&1 | true`) fails with EPIPE instead of ending the program, which
// then ends with its own status: the register was written all the same.
class BrokenPipesFail {
 public:
  BrokenPipesFail() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous_);
  }
  ~BrokenPipesFail() { sigaction(SIGPIPE, &previous_, nullptr); }
  BrokenPipesFail(const BrokenPipesFail&) = delete;
  BrokenPipesFail& operator=(const BrokenPipesFail&) = delete;

 private:
  struct sigaction previous_ {};
};

// Loads the module and starts GTK; null when the module is missing or GTK
// cannot open the display. The module stays loaded until the process ends:
// GTK cannot be unloaded.
GtkDesktop* LoadGtkDesktop() {
  std::error_code error;
  const std::filesystem::path executable =
      std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return nullptr;
  for (const std::string& candidate : GtkModuleCandidates(executable.string())) {
    void* module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) continue;
    auto start = reinterpret_cast<GtkStartFunction>(dlsym(module, kGtkStartSymbol));
    return start != nullptr ? start() : nullptr;
  }
  return nullptr;
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return IsSet(home) ? home : "/";
}

int PrintToStandardOutput(std::string_view text) {
  const BrokenPipesFail broken_pipes_fail;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
      std::fflush(stdout) == 0) {
    return kExitSuccess;
  }
  std::fprintf(stderr, "cannot write to standard output: %s\n", std::strerror(errno));
  return kExitFailed;
}

int PrintOptionMessage(std::string_view text) {
  const BrokenPipesFail broken_pipes_fail;
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  return kExitFailed;
}

bool TakeDesktopStart() {
  const char* value = std::getenv(kFromDesktopVariable);
  const bool desktop = value != nullptr && std::string_view(value) == "1";
  unsetenv(kFromDesktopVariable);
  return desktop;
}

std::vector<std::string> GtkModuleCandidates(const std::string& executable) {
  const std::filesystem::path folder = std::filesystem::path(executable).parent_path();
  return {(folder / kGtkModuleName).string(),
          (folder.parent_path() / LEDGERLIFT_MODULE_DIR / kGtkModuleName).string()};
}

void LinuxPlatform::ShowMessage(const std::string& text) {
  if (!MessagesGoToStandardError()) return Desktop()->ShowMessage(text);
  const BrokenPipesFail broken_pipes_fail;
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

bool LinuxPlatform::MessagesGoToStandardError() {
  return !((desktop_start_ || window_shown_) && Desktop() != nullptr);
}

std::optional<std::string> LinuxPlatform::ChooseFolder() {
  GtkDesktop* desktop = Desktop();
  return desktop ? desktop->ChooseFolder() : std::nullopt;
}

std::optional<std::string> LinuxPlatform::ChooseInputFile() {
  GtkDesktop* desktop = Desktop();
  return desktop ? desktop->ChooseInputFile() : std::nullopt;
}

void LinuxPlatform::OpenAddress(const std::string& address) {
  if (GtkDesktop* desktop = Desktop()) desktop->OpenAddress(address);
}

int LinuxPlatform::RunWindow(Program& program) {
  GtkDesktop* desktop = Desktop();
  if (desktop == nullptr) return PrintToStandardOutput(kTerminalHelp);
  window_shown_ = true;
  desktop->RunWindow(program);
  return kExitSuccess;
}

GtkDesktop* LinuxPlatform::Desktop() {
  if (!desktop_tried_) {
    desktop_tried_ = true;
    // Without a display GTK cannot start; do not pay for loading it.
    if (IsSet(std::getenv("DISPLAY")) || IsSet(std::getenv("WAYLAND_DISPLAY"))) {
      desktop_ = LoadGtkDesktop();
    }
  }
  return desktop_;
}

}  // namespace ledgerlift
