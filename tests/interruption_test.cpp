// A run ended by a signal, on the built program: held in the middle of a
// run by a statement that arrives through a named pipe, it gets the signal
// with its temporary file in place. Every signal that ends a program must
// end it so, leaving the old register byte for byte and no temporary file;
// only SIGKILL, which no program can answer, leaves one behind. SIGPIPE and
// SIGXFSZ do not end a run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "program_run.h"

namespace ledgerlift::testing_support {
namespace {

constexpr const char* kPrecious = "an earlier register, kept as it is";

class Interruption : public ProgramRun {
 protected:
  // Starts the program on a named pipe beside the register and feeds it a
  // line; returns once its temporary file exists. `pipe_` stays open.
  pid_t StartHeld(const Start& start = {}) {
    Write(dir_ / "stmt.qif", kPrecious);
    EXPECT_EQ(mkfifo((dir_ / "stmt.qfx").c_str(), 0644), 0);
    const pid_t pid = Launch(dir_ / "stmt.qfx", start);
    pipe_ = open((dir_ / "stmt.qfx").c_str(), O_WRONLY);
    EXPECT_GE(pipe_, 0);
    const std::string line = std::string(kShopLine) + "\r\n";
    EXPECT_EQ(write(pipe_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    EXPECT_TRUE(TemporaryFileAppears(dir_));
    return pid;
  }
  void TearDown() override {
    if (pipe_ >= 0) close(pipe_);
    ProgramRun::TearDown();
  }

  int pipe_ = -1;
};

TEST_F(Interruption, SignalRemovesTheTemporaryFileAndEndsTheRun) {
  const struct {
    const char* name;
    int signal;
  } cases[] = {
      {"Ctrl-C (SIGINT)", SIGINT},
      {"kill (SIGTERM)", SIGTERM},
      {"terminal closed (SIGHUP)", SIGHUP},
      {"Ctrl-\\ (SIGQUIT)", SIGQUIT},
      {"SIGUSR1", SIGUSR1},
      {"SIGUSR2", SIGUSR2},
      {"alarm (SIGALRM)", SIGALRM},
      {"CPU time limit (SIGXCPU)", SIGXCPU},
      {"SIGVTALRM", SIGVTALRM},
      {"profiling timer (SIGPROF)", SIGPROF},
      {"abort (SIGABRT)", SIGABRT},
      {"a real-time signal", SIGRTMIN + 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    const pid_t pid = StartHeld();
    ASSERT_EQ(kill(pid, c.signal), 0);
    const Outcome outcome = Wait(pid);
    close(std::exchange(pipe_, -1));
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(outcome.signal, c.signal);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(Read(dir_ / "stmt.qif"), kPrecious);
    EXPECT_EQ(TemporaryFiles(dir_), std::vector<std::string>{});
  }
}

// What the README tells a user to look for after a power cut.
TEST_F(Interruption, OnlySigkillLeavesTheTemporaryFile) {
  const pid_t pid = StartHeld();
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  EXPECT_EQ(Wait(pid).signal, SIGKILL);
  EXPECT_EQ(Read(dir_ / "stmt.qif"), kPrecious);
  const std::vector<std::string> left = TemporaryFiles(dir_);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(
      std::regex_match(left[0], std::regex(R"(\.ledgerlift-[A-Za-z0-9]{6}\.tmp)")));
}

// Signals that leave the run going: one ignored from the start (under
// nohup, the terminal closed), and those whose only harm is to a write.
TEST_F(Interruption, SignalsThatDoNotEndTheRun) {
  const struct {
    const char* name;
    int signal;
    Start start;
  } cases[] = {
      {"terminal closed under nohup", SIGHUP, {.ignored_signal = SIGHUP}},
      {"SIGPIPE", SIGPIPE, {}},
      {"file size limit signal (SIGXFSZ)", SIGXFSZ, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    const pid_t pid = StartHeld(c.start);
    ASSERT_EQ(kill(pid, c.signal), 0);
    const std::string rest = std::string(kShopLine) + "\r\n";
    ASSERT_EQ(write(pipe_, rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
    close(std::exchange(pipe_, -1));
    const Outcome outcome = Wait(pid);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Read(dir_ / "stmt.qif"), kHeader + Repeat(kShopRecord, 2));
    EXPECT_EQ(TemporaryFiles(dir_), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace ledgerlift::testing_support
