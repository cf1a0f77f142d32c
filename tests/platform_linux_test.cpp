#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "files/real_file_system.h"
#include "linux/platform-linux.h"
#include "program/program.h"

namespace ledgerlift {
namespace {

TEST(GtkModule, FoundBesideTheProgramThenUnderTheInstallPrefix) {
  const struct {
    const char* executable;
    std::vector<std::string> candidates;
  } cases[] = {
      {"/usr/bin/ledgerlift",
       {"/usr/bin/ledgerlift-gtk.so", "/usr/lib/ledgerlift/ledgerlift-gtk.so"}},
      {"/home/ann/ledgerlift/build/default/src/ledgerlift",
       {"/home/ann/ledgerlift/build/default/src/ledgerlift-gtk.so",
        "/home/ann/ledgerlift/build/default/lib/ledgerlift/ledgerlift-gtk.so"}},
      {"/opt/my tools/bin/ledgerlift",
       {"/opt/my tools/bin/ledgerlift-gtk.so",
        "/opt/my tools/lib/ledgerlift/ledgerlift-gtk.so"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GtkModuleCandidates(c.executable), c.candidates) << c.executable;
  }
}

// Without a display GTK is never loaded: messages stay on standard error even
// for a start that looks like the desktop's, and the window becomes the help.
class NoDisplay : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
  }
};

TEST_F(NoDisplay, MessagesGoToStandardError) {
  for (bool desktop_start : {false, true}) {
    LinuxPlatform platform(desktop_start);
    testing::internal::CaptureStderr();
    platform.ShowMessage("Failed to read 2 lines of data from QFX file.");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Failed to read 2 lines of data from QFX file.\n");
    EXPECT_EQ(platform.ChooseFolder(), std::nullopt);
  }
}

TEST_F(NoDisplay, WindowModePrintsTheHelpAndSucceeds) {
  LinuxPlatform platform(false);
  RealFileSystem files;
  Program program(platform, files, '/', "/home/ann");
  testing::internal::CaptureStdout();
  EXPECT_EQ(platform.RunWindow(program), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), kTerminalHelp);
}

}  // namespace
}  // namespace ledgerlift
