// How the built program replaces an existing register: as a careful editor
// saves, through a temporary file in the register's own folder that keeps
// the register's permissions and owner, follows a symbolic link to the
// register it names, and works for any name the system takes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "program_run.h"

namespace ledgerlift::testing_support {
namespace {

constexpr const char* kPrecious = "an earlier register, kept as it is";

class Replacement : public ProgramRun {
 protected:
  // The names in `folder`, links and hidden files included.
  std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(Replacement, KeepsPermissionsAndOwner) {
  const struct {
    const char* name;
    mode_t mode;
    uid_t owner;
    gid_t group;
    Start start;
    uid_t new_owner;  // where the program may not set the owner
    gid_t new_group;
  } cases[] = {
      {"private register", 0600, 0, 0, {}, 0, 0},
      {"shared with the group, beyond the umask", 0664, 0, 0, {}, 0, 0},
      {"readable by others only", 0604, 0, 0, {}, 0, 0},
      {"owned by another user, replaced by root",
       0640,
       kNobody,
       kNobody,
       {},
       kNobody,
       kNobody},
      {"owned by root, replaced by another user",
       0666,
       0,
       0,
       {.unprivileged = true},
       kNobody,
       kNobody},
  };
  const mode_t umask_before = umask(022);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    // A folder the other user may write in.
    fs::create_directory(dir_ / "books");
    chmod((dir_ / "books").c_str(), 0777);
    Write(dir_ / "books" / "stmt.qfx", kShopLine);
    Write(dir_ / "books" / "stmt.qif", kPrecious);
    ASSERT_EQ(chown((dir_ / "books" / "stmt.qif").c_str(), c.owner, c.group), 0);
    ASSERT_EQ(chmod((dir_ / "books" / "stmt.qif").c_str(), c.mode), 0);
    const Outcome outcome = Run(dir_ / "books" / "stmt.qfx", c.start);
    if (outcome.status == kCannotStart) continue;  // needs root
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Read(dir_ / "books" / "stmt.qif"), kShopRegister);
    const struct stat status = Status(dir_ / "books" / "stmt.qif");
    EXPECT_EQ(status.st_mode & 07777, c.mode);
    EXPECT_EQ(status.st_uid, c.new_owner);
    EXPECT_EQ(status.st_gid, c.new_group);
    EXPECT_EQ(Names(dir_ / "books"), (std::vector<std::string>{"stmt.qfx", "stmt.qif"}));
  }
  umask(umask_before);
}

// The link stays; the register it names gets the new content, and the
// temporary file lay beside that register, not beside the link.
TEST_F(Replacement, LinkedOutputReplacesTheFileItNames) {
  const struct {
    const char* name;
    std::function<void(const fs::path& dir)> link;
    const char* link_target;
    const char* replaced;  // relative to the test folder
  } cases[] = {
      {"relative link into another folder",
       [](const fs::path& dir) {
         fs::create_symlink("books/stmt.qif", dir / "stmt.qif");
       },
       "books/stmt.qif", "books/stmt.qif"},
      {"absolute link",
       [](const fs::path& dir) {
         fs::create_symlink(dir / "books/stmt.qif", dir / "stmt.qif");
       },
       nullptr, "books/stmt.qif"},
      {"a link to a link",
       [](const fs::path& dir) {
         fs::create_symlink("../stmt.qif", dir / "books/sub/hop.qif");
         fs::create_symlink("books/sub/hop.qif", dir / "stmt.qif");
       },
       "books/sub/hop.qif", "books/stmt.qif"},
      {"a link to a register not there yet",
       [](const fs::path& dir) { fs::create_symlink("books/new.qif", dir / "stmt.qif"); },
       "books/new.qif", "books/new.qif"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    fs::create_directories(dir_ / "books" / "sub");
    Write(dir_ / "books" / "stmt.qif", kPrecious);
    chmod((dir_ / "books" / "stmt.qif").c_str(), 0600);
    Write(dir_ / "stmt.qfx", kShopLine);
    c.link(dir_);
    const fs::path link_target = fs::read_symlink(dir_ / "stmt.qif");
    const Outcome outcome = Run(dir_ / "stmt.qfx");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    ASSERT_TRUE(fs::is_symlink(dir_ / "stmt.qif"));
    EXPECT_EQ(fs::read_symlink(dir_ / "stmt.qif"), link_target);
    EXPECT_EQ(Read(dir_ / c.replaced), kShopRegister);
    EXPECT_TRUE(TemporaryFiles(dir_).empty());
    EXPECT_TRUE(TemporaryFiles(dir_ / "books").empty());
  }
  EXPECT_EQ(Status(dir_ / "books" / "stmt.qif").st_mode & 07777, 0600u);
}

// The temporary name has a fixed length, so any output name or path the
// system takes leaves room for it.
TEST_F(Replacement, LongestNamesAndPaths) {
  const std::string longest_name(255 - 4, 'n');
  Write(dir_ / (longest_name + ".qfx"), kShopLine);
  Write(dir_ / (longest_name + ".qif"), kPrecious);
  Outcome outcome = Run(dir_ / (longest_name + ".qfx"));
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Read(dir_ / (longest_name + ".qif")), kShopRegister);

  // A folder whose "a.qfx" makes the longest path; the temporary file's
  // path would be longer than that.
  fs::path folder = dir_;
  const size_t longest_path = PATH_MAX - 1 - std::string("/a.qfx").size();
  while (folder.string().size() < longest_path) {
    const size_t room = longest_path - folder.string().size() - 1;
    folder /= std::string(std::min<size_t>(room, 200), 'd');
    ASSERT_TRUE(fs::create_directory(folder));
  }
  ASSERT_EQ((folder / "a.qfx").string().size(), size_t{PATH_MAX - 1});
  Write(folder / "a.qfx", kShopLine);
  Write(folder / "a.qif", kPrecious);
  outcome = Run(folder / "a.qfx");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Read(folder / "a.qif"), kShopRegister);
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"a.qfx", "a.qif"}));
}

// Held in the middle of a run by a statement that arrives through a named
// pipe: one temporary file, of the documented name, with the permissions of
// the register it will replace, beside that register.
TEST_F(Replacement, TemporaryFileWhileTheRunLasts) {
  const struct {
    const char* name;
    bool linked;
  } cases[] = {{"plain register", false}, {"register behind a link", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    fs::create_directory(dir_ / "books");
    const fs::path replaced = dir_ / (c.linked ? "books" : "") / "stmt.qif";
    Write(replaced, kPrecious);
    chmod(replaced.c_str(), 0640);
    if (c.linked) fs::create_symlink("books/stmt.qif", dir_ / "stmt.qif");
    // Left by an earlier run that a power cut ended: not ours to touch.
    const fs::path folder = replaced.parent_path();
    Write(folder / ".ledgerlift-Ab12Cd.tmp", "left behind");
    ASSERT_EQ(mkfifo((dir_ / "stmt.qfx").c_str(), 0644), 0);
    const pid_t pid = Launch(dir_ / "stmt.qfx");
    const int pipe = open((dir_ / "stmt.qfx").c_str(), O_WRONLY);
    ASSERT_GE(pipe, 0);
    ASSERT_EQ(write(pipe, kShopLine, std::strlen(kShopLine)),
              static_cast<ssize_t>(std::strlen(kShopLine)));
    EXPECT_TRUE(TemporaryFileAppears(folder, 1));
    std::vector<std::string> during = TemporaryFiles(folder);
    std::erase(during, ".ledgerlift-Ab12Cd.tmp");
    ASSERT_EQ(during.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(during[0], std::regex(R"(\.ledgerlift-[A-Za-z0-9]{6}\.tmp)")))
        << during[0];
    EXPECT_EQ(Status(folder / during[0]).st_mode & 07777, 0640u);
    if (c.linked) {
      EXPECT_TRUE(TemporaryFiles(dir_).empty());
    }
    close(pipe);
    const Outcome outcome = Wait(pid);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Read(replaced), kShopRegister);
    EXPECT_EQ(Read(folder / ".ledgerlift-Ab12Cd.tmp"), "left behind");
    EXPECT_EQ(TemporaryFiles(folder), std::vector<std::string>{".ledgerlift-Ab12Cd.tmp"});
  }
}

// In a shared folder another user may plant `stmt.qif -> ~victim/.profile`
// beside a statement: the link is followed only when it is the user's own
// or the folder owner's; otherwise nothing is read or written.
TEST_F(Replacement, LinksOfOtherUsersAreNotFollowed) {
  const ThrowawayUser victim("victim"), planter("planter");
  if (!victim.made() || !planter.made()) {
    GTEST_SKIP() << "needs root to make two throwaway users with useradd";
  }
  enum Who { kVictim, kPlanter, kRoot };
  const auto uid = [&](Who who) {
    return who == kVictim ? victim.uid : who == kPlanter ? planter.uid : 0;
  };
  const auto gid = [&](Who who) {
    return who == kVictim ? victim.gid : who == kPlanter ? planter.gid : 0;
  };
  const struct {
    const char* name;
    mode_t folder_mode;  // of the folder holding the statement and the link
    Who folder_owner, link_owner, runner;
    bool followed;
  } cases[] = {
      {"another user's link in a sticky shared folder", 01777, kRoot, kPlanter, kVictim,
       false},
      {"another user's link, converted by root", 01777, kRoot, kPlanter, kRoot, false},
      {"the user's own link in a shared folder", 01777, kRoot, kVictim, kVictim, true},
      {"the folder owner's link", 0777, kPlanter, kPlanter, kVictim, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    const fs::path home = dir_ / "home", shared = dir_ / "shared";
    fs::create_directories(home);
    fs::create_directories(shared);
    Write(home / ".profile", kPrecious);
    ASSERT_EQ(chown(home.c_str(), victim.uid, victim.gid), 0);
    ASSERT_EQ(chown((home / ".profile").c_str(), victim.uid, victim.gid), 0);
    ASSERT_EQ(chown(shared.c_str(), uid(c.folder_owner), gid(c.folder_owner)), 0);
    ASSERT_EQ(chmod(shared.c_str(), c.folder_mode), 0);
    Write(shared / "stmt.qfx", kShopLine);
    ASSERT_EQ(chown((shared / "stmt.qfx").c_str(), planter.uid, planter.gid), 0);
    fs::create_symlink(home / ".profile", shared / "stmt.qif");
    ASSERT_EQ(lchown((shared / "stmt.qif").c_str(), uid(c.link_owner), gid(c.link_owner)),
              0);
    const std::vector<std::string> before = Snapshot();
    const Outcome outcome =
        Run(shared / "stmt.qfx", {.user = uid(c.runner), .group = gid(c.runner)});
    if (c.followed) {
      EXPECT_EQ(outcome.status, 0) << outcome.err;
      EXPECT_EQ(Read(home / ".profile"), kShopRegister);
      EXPECT_TRUE(fs::is_symlink(shared / "stmt.qif"));
    } else {
      EXPECT_EQ(outcome.status, 2);
      EXPECT_EQ(outcome.err, "Error 6: cannot replace output file " +
                                 (shared / "stmt.qif").string() +
                                 ": the link belongs to another user\n");
      EXPECT_EQ(Snapshot(), before);
    }
    EXPECT_TRUE(TemporaryFiles(home).empty());
  }
}

// What guards a register beyond its permission bits comes along when it is
// replaced: an ACL that denies a user, an attribute of the user's. A new
// register is as private as its statement.
TEST_F(Replacement, AccessControlListsAndAttributesAreKept) {
  Write(dir_ / "stmt.qfx", kShopLine);
  Write(dir_ / "stmt.qif", kPrecious);
  if (std::system(
          ("setfacl -m u:nobody:--- '" + (dir_ / "stmt.qif").string() + "' 2>/dev/null")
              .c_str()) != 0) {
    GTEST_SKIP() << "setfacl (package acl) or ACLs missing on " << dir_;
  }
  const char kAttribute[] = "user.source";
  const bool attributes =
      setxattr((dir_ / "stmt.qif").c_str(), kAttribute, "bank", 4, 0) == 0;
  const auto acl_of = [](const fs::path& path) {
    char value[256];
    const ssize_t size =
        getxattr(path.c_str(), "system.posix_acl_access", value, sizeof value);
    return size < 0 ? std::string("none") : std::string(value, static_cast<size_t>(size));
  };
  const std::string acl = acl_of(dir_ / "stmt.qif");
  const Outcome outcome = Run(dir_ / "stmt.qfx");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Read(dir_ / "stmt.qif"), kShopRegister);
  EXPECT_EQ(acl_of(dir_ / "stmt.qif"), acl);
  if (attributes) {
    char value[8] = {};
    EXPECT_EQ(getxattr((dir_ / "stmt.qif").c_str(), kAttribute, value, sizeof value), 4);
    EXPECT_STREQ(value, "bank");
  }
}

TEST_F(Replacement, NewRegisterIsAsPrivateAsItsStatement) {
  const struct {
    mode_t statement, umask, register_mode;
  } cases[] = {
      {0600, 022, 0600}, {0640, 022, 0640}, {0644, 077, 0600},
      {0666, 022, 0644}, {0755, 022, 0644},  // never executable
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    Clear();
    Write(dir_ / "stmt.qfx", kShopLine);
    chmod((dir_ / "stmt.qfx").c_str(), c.statement);
    const mode_t umask_before = umask(c.umask);
    const Outcome outcome = Run(dir_ / "stmt.qfx");
    umask(umask_before);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Status(dir_ / "stmt.qif").st_mode & 07777, c.register_mode);
  }
}

}  // namespace
}  // namespace ledgerlift::testing_support
