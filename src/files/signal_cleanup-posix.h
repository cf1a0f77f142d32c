// Removing the temporary file when a signal ends the program (POSIX).
#pragma once

#include <signal.h>

#include <cstddef>
#include <string>

namespace ledgerlift {

// Holds the handled signals back while the temporary file comes or goes,
// so that the handler never sees a name that is not ours.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();

 private:
  sigset_t previous_;
};

// Every signal whose default action ends a program (Ctrl-C, kill, the
// terminal closed, a CPU time limit, a timer, a crash) removes the temporary
// file `name` in `folder` from now on, then ends the program as it would
// end any program. SIGXFSZ (the file size limit) and SIGPIPE then do not end
// it: the write fails instead and the run ends with its message. A signal
// the program was told to ignore (a run under nohup) stays ignored. Call
// with the signals held; one run writes at a time.
void ArmSignalCleanup(int folder, const std::string& name);
// Back to the signals' actions from before.
void DisarmSignalCleanup();

// A statement mapped into memory, `size` bytes at `begin` (page-aligned),
// read in place. Another program may cut the file short meanwhile; reading
// the pages cut off would end the program with SIGBUS. While the cleanup is
// armed they read as zeros instead, and `MappedInputCut` tells. One mapping
// at a time.
void GuardMappedInput(const char* begin, std::size_t size);
void UnguardMappedInput();
bool MappedInputCut();

}  // namespace ledgerlift
