#include "files/signal_cleanup-posix.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "files/real_file_system.h"

namespace ledgerlift {
namespace {

// The signals whose default action ends a program, besides the real-time
// ones (SIGRTMIN to SIGRTMAX).
constexpr int kEndingSignals[] = {
    SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
    SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT,
    SIGXCPU, SIGVTALRM, SIGPROF, SIGPOLL, SIGPWR,  SIGSYS,
};

bool EndsTheProgram(int signal_number) {
  return std::find(std::begin(kEndingSignals), std::end(kEndingSignals), signal_number) !=
             std::end(kEndingSignals) ||
         (signal_number >= SIGRTMIN && signal_number <= SIGRTMAX);
}

bool FailsTheCall(int signal_number) {
  return signal_number == SIGXFSZ || signal_number == SIGPIPE;
}

// The handler may only use what is set up beforehand: the folder's
// descriptor and the file's name, of fixed length, in static storage.
volatile sig_atomic_t g_temporary_folder = -1;
char g_temporary_name[kTemporaryNameSize + 1];
struct sigaction g_previous_actions[NSIG];
bool g_installed[NSIG];

extern "C" void RemoveTemporaryAndEnd(int signal_number) {
  const int saved_errno = errno;
  const int folder = g_temporary_folder;
  if (folder >= 0) unlinkat(folder, g_temporary_name, 0);
  sigaction(signal_number, &g_previous_actions[signal_number], nullptr);
  raise(signal_number);  // delivered once the handler returns
  errno = saved_errno;
}

// Caught rather than ignored, so that a program started later does not
// inherit the signal ignored.
extern "C" void LetTheCallFail(int) {}

// The mapped statement (GuardMappedInput).
const char* volatile g_map_begin = nullptr;
volatile std::size_t g_map_size = 0;
volatile std::size_t g_page_size = 4096;
volatile sig_atomic_t g_map_cut = 0;

// A read of a mapped page the file no longer has: that page and the rest of
// the mapping become zeros, and the read goes on. Any other SIGBUS (a fault
// elsewhere, or one sent) ends the program like the other signals.
extern "C" void OnBusError(int signal_number, siginfo_t* info, void*) {
  const char* const begin = g_map_begin;
  const char* const address = static_cast<const char*>(info->si_addr);
  if (info->si_code > 0 && begin != nullptr && address >= begin &&
      address < begin + g_map_size) {
    const int saved_errno = errno;
    const std::size_t cut =
        static_cast<std::size_t>(address - begin) / g_page_size * g_page_size;
    void* const zeros = mmap(const_cast<char*>(begin) + cut, g_map_size - cut, PROT_READ,
                             MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    errno = saved_errno;
    if (zeros != MAP_FAILED) {
      g_map_cut = 1;
      return;
    }
  }
  RemoveTemporaryAndEnd(signal_number);
}

}  // namespace

SignalsHeld::SignalsHeld() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    // SIGXFSZ and SIGPIPE too: until their handler is set they would end
    // the program and leave the file just created behind.
    if (EndsTheProgram(signal_number) || FailsTheCall(signal_number)) {
      sigaddset(&set, signal_number);
    }
  }
  pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeld::~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

void ArmSignalCleanup(int folder, const std::string& name) {
  std::memcpy(g_temporary_name, name.c_str(), kTemporaryNameSize + 1);
  g_temporary_folder = folder;
  struct sigaction cleanup {};
  cleanup.sa_handler = RemoveTemporaryAndEnd;
  sigemptyset(&cleanup.sa_mask);
  struct sigaction fail = cleanup;
  fail.sa_handler = LetTheCallFail;
  fail.sa_flags = SA_RESTART;
  struct sigaction bus_error = cleanup;
  bus_error.sa_sigaction = OnBusError;
  bus_error.sa_flags = SA_SIGINFO;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    const struct sigaction* action = signal_number == SIGBUS         ? &bus_error
                                     : EndsTheProgram(signal_number) ? &cleanup
                                     : FailsTheCall(signal_number)   ? &fail
                                                                     : nullptr;
    if (action == nullptr) continue;
    sigaction(signal_number, nullptr, &g_previous_actions[signal_number]);
    g_installed[signal_number] = g_previous_actions[signal_number].sa_handler != SIG_IGN;
    if (g_installed[signal_number]) sigaction(signal_number, action, nullptr);
  }
}

void DisarmSignalCleanup() {
  g_temporary_folder = -1;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (g_installed[signal_number]) {
      sigaction(signal_number, &g_previous_actions[signal_number], nullptr);
    }
    g_installed[signal_number] = false;
  }
}

void GuardMappedInput(const char* begin, std::size_t size) {
  g_page_size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  g_map_cut = 0;
  g_map_size = size;
  g_map_begin = begin;
}

void UnguardMappedInput() {
  g_map_begin = nullptr;
  g_map_size = 0;
}

bool MappedInputCut() { return g_map_cut != 0; }

}  // namespace ledgerlift
