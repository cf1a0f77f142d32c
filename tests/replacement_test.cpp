// How the built program replaces an existing register: as a careful editor
// saves, through a temporary file in the register's own folder that keeps
// the register's permissions and owner, follows a symbolic link to the
// register it names, and works for any name the system takes.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
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

// A register is carried over only from a file of the user's own, or for
// root from any file in a folder no other user may write to; the group's
// bits never reach a group they were not meant for.
TEST_F(Replacement, KeepsPermissionsAndOwner) {
  const struct {
    const char* name;
    mode_t folder_mode;
    uid_t folder_owner;
    mode_t mode;
    uid_t owner;
    gid_t group;
    Start start;
    mode_t new_mode;
    uid_t new_owner;  // where the program may not set the owner
    gid_t new_group;
  } cases[] = {
      {"private register, in a shared folder", 01777, 0, 0600, 0, 0, {}, 0600, 0, 0},
      {"shared with the group, beyond the umask", 0755, 0, 0664, 0, 0, {}, 0664, 0, 0},
      {"readable by others only", 0755, 0, 0604, 0, 0, {}, 0604, 0, 0},
      {"owned by another user, replaced by root",
       0755,
       0,
       0640,
       kNobody,
       kNobody,
       {},
       0640,
       kNobody,
       kNobody},
      {"the user's own, its group not the user's: the group's bits go",
       0755,
       kNobody,
       0640,
       kNobody,
       0,
       {.unprivileged = true},
       0600,
       kNobody,
       kNobody},
      // Taken as a new register: the statement's 0644 (root's group), in the
      // user's group.
      {"owned by root, in the user's own folder: nothing of it is kept",
       0755,
       kNobody,
       0666,
       0,
       0,
       {.unprivileged = true},
       0604,
       kNobody,
       kNobody},
  };
  const mode_t umask_before = umask(022);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    const fs::path books = dir_ / "books";
    fs::create_directory(books);
    Write(books / "stmt.qfx", kShopLine);
    Write(books / "stmt.qif", kPrecious);
    ASSERT_EQ(chown((books / "stmt.qif").c_str(), c.owner, c.group), 0);
    ASSERT_EQ(chmod((books / "stmt.qif").c_str(), c.mode), 0);
    ASSERT_EQ(chown(books.c_str(), c.folder_owner, c.folder_owner), 0);
    ASSERT_EQ(chmod(books.c_str(), c.folder_mode), 0);
    const Outcome outcome = Run(books / "stmt.qfx", c.start);
    if (outcome.status == kCannotStart) continue;  // needs root
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Read(books / "stmt.qif"), kShopRegister);
    const struct stat status = Status(books / "stmt.qif");
    EXPECT_EQ(status.st_mode & 07777, c.new_mode);
    EXPECT_EQ(status.st_uid, c.new_owner);
    EXPECT_EQ(status.st_gid, c.new_group);
    EXPECT_EQ(Names(books), (std::vector<std::string>{"stmt.qfx", "stmt.qif"}));
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
// pipe: one temporary file, of the documented name, beside the register it
// will replace, the user's alone until it is complete.
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
    EXPECT_EQ(Status(folder / during[0]).st_mode & 07777, 0600u);
    if (c.linked) {
      EXPECT_TRUE(TemporaryFiles(dir_).empty());
    }
    close(pipe);
    const Outcome outcome = Wait(pid);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Read(replaced), kShopRegister);
    EXPECT_EQ(Status(replaced).st_mode & 07777, 0640u);
    EXPECT_EQ(Read(folder / ".ledgerlift-Ab12Cd.tmp"), "left behind");
    EXPECT_EQ(TemporaryFiles(folder), std::vector<std::string>{".ledgerlift-Ab12Cd.tmp"});
  }
}

// In a shared folder another user may plant `stmt.qif -> ~victim/.profile`
// beside a statement: the link is followed only when it is the user's own,
// or the owner's of a folder nobody else may write to; otherwise nothing
// is read or written.
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
      {"the owner's link, in a folder everyone may write to", 0777, kPlanter, kPlanter,
       kVictim, false},
      {"the owner's link, in a folder only its owner may write to", 0755, kPlanter,
       kPlanter, kVictim, true},
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

// The access control list of a file, as Linux keeps it; "none" without one.
std::string AclOf(const fs::path& path) {
  char value[256];
  const ssize_t size =
      getxattr(path.c_str(), "system.posix_acl_access", value, sizeof value);
  return size < 0 ? std::string("none") : std::string(value, static_cast<size_t>(size));
}

// Sets `acl` (setfacl's text) on `path`; false without setfacl or ACLs.
bool SetAcl(const fs::path& path, const std::string& acl) {
  return std::system(("setfacl --set '" + acl + "' '" + path.string() + "' 2>/dev/null")
                         .c_str()) == 0;
}

// Another program gives the register's name to another file while a run
// lasts (held by a statement that arrives through a named pipe): the run
// ends with Error 6, that file stays as it is, and nothing is left; also
// when the statement holds several accounts, whose second temporary file
// comes from the same look-up as the first.
TEST_F(Replacement, NameTakenDuringTheRunIsNotReplaced) {
  const std::string several = std::string("<STMTRS><ACCTID>1\n") + kShopLine +
                              "\n<CCSTMTRS><ACCTID>2\n" + kShopLine + "\n";
  const struct {
    const char* name;
    bool replacing;  // the user's register, which the other program moves away
    std::string statement;
    const char* reason;
  } cases[] = {
      {"a new register", false, kShopLine, "another program created it during the run"},
      {"a new register, several accounts", false, several,
       "another program created it during the run"},
      {"a replaced register, several accounts", true, several,
       "another program replaced it during the run"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    const fs::path shared = dir_ / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, static_cast<fs::perms>(01777));
    if (c.replacing) Write(shared / "stmt.qif", kPrecious);
    ASSERT_EQ(mkfifo((shared / "stmt.qfx").c_str(), 0644), 0);
    const pid_t pid = Launch(shared / "stmt.qfx");
    const int pipe = open((shared / "stmt.qfx").c_str(), O_WRONLY);
    ASSERT_GE(pipe, 0);
    ASSERT_EQ(write(pipe, c.statement.data(), c.statement.size()),
              static_cast<ssize_t>(c.statement.size()));
    EXPECT_TRUE(TemporaryFileAppears(shared));
    if (c.replacing) fs::rename(shared / "stmt.qif", shared / "moved.qif");
    Write(shared / "stmt.qif", "planted");
    close(pipe);
    const Outcome outcome = Wait(pid);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "Error 6: cannot replace output file " +
                               (shared / "stmt.qif").string() + ": " + c.reason + "\n");
    EXPECT_EQ(Read(shared / "stmt.qif"), "planted");
    if (c.replacing) {
      EXPECT_EQ(Read(shared / "moved.qif"), kPrecious);
    }
    EXPECT_TRUE(TemporaryFiles(shared).empty());
  }
}

// Watches a folder as another user, from a process of its own, and opens
// every temporary file the moment it is created or written to, as someone
// who wants to read a register would: a temporary file that can be opened
// before it is whole gives away the register.
class Watcher {
 public:
  Watcher(const fs::path& folder, const ThrowawayUser& user) {
    int ready[2], stop[2], report[2];
    if (pipe(ready) != 0 || pipe(stop) != 0 || pipe(report) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(stop[1]);
      close(report[0]);
      Watch(folder, user, ready[1], stop[0], report[1]);
    }
    close(ready[1]);
    close(stop[0]);
    close(report[1]);
    stop_ = stop[1];
    report_ = report[0];
    char byte;
    watching_ = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
  }
  bool watching() const { return watching_; }

  // How many times a temporary file was created or written to, and the
  // size each had when the watcher could open it.
  struct Seen {
    int events = 0;
    std::vector<off_t> opened_at;
  };
  Seen Stop() {
    close(stop_);
    FILE* report = fdopen(report_, "r");
    Seen seen;
    long long size;
    if (std::fscanf(report, "%d", &seen.events) == 1) {
      while (std::fscanf(report, "%lld", &size) == 1) seen.opened_at.push_back(size);
    }
    std::fclose(report);
    waitpid(pid_, nullptr, 0);
    return seen;
  }

 private:
  [[noreturn]] static void Watch(const fs::path& folder, const ThrowawayUser& user,
                                 int ready, int stop, int report) {
    const int events = inotify_init1(IN_CLOEXEC);
    const int at = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (setgroups(0, nullptr) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0 ||
        events < 0 || at < 0 ||
        inotify_add_watch(events, folder.c_str(), IN_CREATE | IN_MODIFY) < 0) {
      _exit(1);
    }
    std::string seen;
    int count = 0;
    alignas(inotify_event) char buffer[64 * 1024];
    pollfd polled[] = {{events, POLLIN, 0}, {stop, POLLIN, 0}};
    if (write(ready, "r", 1) != 1) _exit(1);
    for (bool stopping = false; !stopping;) {
      poll(polled, 2, -1);
      stopping = polled[1].revents != 0;
      if ((polled[0].revents & POLLIN) == 0) continue;
      const ssize_t got = read(events, buffer, sizeof buffer);
      for (ssize_t offset = 0; offset < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
        offset += static_cast<ssize_t>(sizeof *event + event->len);
        if (event->len == 0 ||
            !std::string_view(event->name).starts_with(".ledgerlift-")) {
          continue;
        }
        ++count;
        const int file = openat(at, event->name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        struct stat status;
        if (file >= 0 && fstat(file, &status) == 0) {
          seen += " " + std::to_string(status.st_size);
        }
        if (file >= 0) close(file);
      }
    }
    const std::string text = std::to_string(count) + seen + "\n";
    _exit(write(report, text.data(), text.size()) == static_cast<ssize_t>(text.size())
              ? 0
              : 1);
  }

  pid_t pid_ = -1;
  int stop_ = -1, report_ = -1;
  bool watching_ = false;
};

// Another user who watches a shared folder sees the temporary file come and
// grow, and may open it at once, but never can until it is whole: only
// then does it get the register's access, which it keeps.
TEST_F(Replacement, TemporaryFileIsNeverOpenToOthersWhileItFills) {
  const ThrowawayUser victim("victim"), watcher("watcher");
  if (!victim.made() || !watcher.made()) {
    GTEST_SKIP() << "needs root to make two throwaway users with useradd";
  }
  const std::string line = std::string(kShopLine) + "\r\n";
  const std::string half =
      Repeat(line, 20000);  // 5 MB in all: read ahead, written behind
  const struct {
    const char* name;
    uid_t user;
    gid_t group;
    std::string statement;
  } cases[] = {
      {"a user's register", victim.uid, victim.gid, half + half},
      {"root's register, several accounts", 0, 0,
       "<STMTRS><ACCTID>1\n" + half + "<CCSTMTRS><ACCTID>2\n" + half},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    const fs::path shared = dir_ / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, static_cast<fs::perms>(01777));
    Write(shared / "stmt.qfx", c.statement);
    Write(shared / "stmt.qif", kPrecious);
    for (const char* name : {"stmt.qfx", "stmt.qif"}) {
      ASSERT_EQ(chown((shared / name).c_str(), c.user, c.group), 0);
      ASSERT_EQ(chmod((shared / name).c_str(), 0600), 0);
    }
    // The register's own list lets the watcher read it.
    if (!SetAcl(shared / "stmt.qif", "u::rw,u:" + watcher.name + ":r,g::-,m::r,o::-")) {
      GTEST_SKIP() << "setfacl (package acl) or ACLs missing on " << dir_;
    }
    const std::string acl = AclOf(shared / "stmt.qif");
    Watcher watching(shared, watcher);
    ASSERT_TRUE(watching.watching());
    const Outcome outcome = Run(shared / "stmt.qfx", {.user = c.user, .group = c.group});
    const Watcher::Seen seen = watching.Stop();
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    const struct stat status = Status(shared / "stmt.qif");
    EXPECT_GT(seen.events, 0);
    const auto opened_early =
        std::count_if(seen.opened_at.begin(), seen.opened_at.end(),
                      [&](off_t size) { return size != status.st_size; });
    EXPECT_EQ(opened_early, 0) << "of " << seen.opened_at.size() << " opens, first at "
                               << seen.opened_at.front() << " bytes";
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(status.st_uid, c.user);
    EXPECT_EQ(status.st_gid, c.group);
    EXPECT_EQ(AclOf(shared / "stmt.qif"), acl);
  }
}

// What guards a register beyond its permission bits comes along when it is
// replaced: an ACL that denies or grants a user, an attribute of the
// user's. When the register's group cannot be kept, the list's entry for
// the owning group loses its permissions; named entries stay.
TEST_F(Replacement, AccessControlListsAndAttributesAreKept) {
  const struct {
    const char* name;
    uid_t owner;  // of the register and the folder, and the user who converts
    const char* acl;
    const char* kept_acl;
  } cases[] = {
      {"root's register", 0, "u::rw,u:nobody:-,g::r,m::r,o::-",
       "u::rw,u:nobody:-,g::r,m::r,o::-"},
      {"a user's register, of root's group", kNobody, "u::rw,u:root:r,g::r,m::r,o::-",
       "u::rw,u:root:r,g::-,m::r,o::-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    const fs::path books = dir_ / "books";
    fs::create_directory(books);
    ASSERT_EQ(chown(books.c_str(), c.owner, c.owner), 0);
    Write(books / "stmt.qfx", kShopLine);
    Write(books / "stmt.qif", kPrecious);
    Write(books / "expected", "");
    ASSERT_EQ(chown((books / "stmt.qif").c_str(), c.owner, 0), 0);
    if (!SetAcl(books / "stmt.qif", c.acl) || !SetAcl(books / "expected", c.kept_acl)) {
      GTEST_SKIP() << "setfacl (package acl) or ACLs missing on " << dir_;
    }
    const char kAttribute[] = "user.source";
    const bool attributes =
        setxattr((books / "stmt.qif").c_str(), kAttribute, "bank", 4, 0) == 0;
    const Outcome outcome = Run(books / "stmt.qfx", {.user = c.owner, .group = c.owner});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Read(books / "stmt.qif"), kShopRegister);
    EXPECT_EQ(AclOf(books / "stmt.qif"), AclOf(books / "expected"));
    if (attributes) {
      char value[8] = {};
      EXPECT_EQ(getxattr((books / "stmt.qif").c_str(), kAttribute, value, sizeof value),
                4);
      EXPECT_STREQ(value, "bank");
    }
  }
}

// A new register takes its statement's bits as a file created in its folder
// gets them: through the umask, or the folder's default access control
// list; the group's bits only where the register's group is the
// statement's.
TEST_F(Replacement, NewRegisterIsAsPrivateAsItsStatement) {
  const struct {
    mode_t statement, umask, register_mode;
    gid_t folder_group = 0;             // the folder is set-group-ID with another
    const char* default_acl = nullptr;  // setfacl -d
  } cases[] = {
      {0600, 022, 0600},          {0640, 022, 0640},
      {0644, 077, 0600},          {0666, 022, 0644},
      {0755, 022, 0644},  // never executable
      {0640, 022, 0600, kNobody}, {0666, 0, 0640, 0, "u::rw,g::r,o::-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.statement << " umask " << c.umask
                                    << (c.folder_group ? ", another group" : "")
                                    << (c.default_acl ? ", default ACL" : ""));
    Clear();
    const fs::path books = dir_ / "books";
    fs::create_directory(books);
    if (c.folder_group != 0) {
      ASSERT_EQ(chown(books.c_str(), 0, c.folder_group), 0);
      ASSERT_EQ(chmod(books.c_str(), 02755), 0);
    }
    if (c.default_acl && std::system(("setfacl -d -m " + std::string(c.default_acl) +
                                      " '" + books.string() + "' 2>/dev/null")
                                         .c_str()) != 0) {
      std::cout << "[  SKIPPED ] default ACL: setfacl missing or no ACLs here\n";
      continue;
    }
    Write(books / "stmt.qfx", kShopLine);
    ASSERT_EQ(chown((books / "stmt.qfx").c_str(), 0, 0), 0);  // not the folder's
    chmod((books / "stmt.qfx").c_str(), c.statement);
    const mode_t umask_before = umask(c.umask);
    const Outcome outcome = Run(books / "stmt.qfx");
    umask(umask_before);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Status(books / "stmt.qif").st_mode & 07777, c.register_mode);
  }
}

}  // namespace
}  // namespace ledgerlift::testing_support
