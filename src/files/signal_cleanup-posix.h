// Removing the temporary file when a signal ends the program (POSIX).
#pragma once

#include <signal.h>

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

}  // namespace ledgerlift
