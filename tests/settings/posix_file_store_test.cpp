// The settings file on a POSIX disk: only regular files, links, modes, owners and other users,
// folders that refuse new files, leftovers of killed saves, and saves that a failing disk or a
// killed process cuts short. These tests also run as an unprivileged user (see CMakeLists.txt),
// where the system itself refuses the writes that root could make.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "disk.h"
#include "settings/posix_file_store.h"

namespace kelvado::testing {
namespace {

namespace fs = std::filesystem;

void put(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  testing::put(path, bytes);
  ::chmod(path.c_str(), mode);
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// Links are followed to a regular file; anything else is no file, at once.
TEST(DiskStore, ReadFollowsLinksToARegularFileAndTakesAnythingElseAsNoFile) {
  TempFolder dir;
  PosixFileStore store;
  put(dir / "file", "x");
  ::symlink("file", (dir / "link").c_str());
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  ::symlink("/dev/zero", (dir / "endless").c_str());
  put(dir / "too-large", std::string(PosixFileStore::kMaxFileBytes + 1, 'x'));
  using S = FileStore::Contents::Status;
  const struct {
    const char* name;
    S status;
    std::size_t size;
  } cases[] = {
      {"link", S::Read, 1},
      {"fifo", S::Missing, 0},
      {"endless", S::Missing, 0},
  };
  // A read that waited for a writer of the FIFO would stop here for good.
  ::alarm(10);
  for (const auto& c : cases) {
    const FileStore::Contents read = store.read(dir / c.name);
    EXPECT_EQ(read.status, c.status) << c.name;
    EXPECT_EQ(read.bytes.size(), c.size) << c.name;
  }
  ::alarm(0);
  EXPECT_EQ(store.read(dir / "too-large").reason, "larger than 1048576 bytes");
}

TEST(DiskStore, WritesNothingButARegularFile) {
  TempFolder dir;
  PosixFileStore store;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  ::symlink("fifo", (dir / "kelvado.ini").c_str());
  ::mkdir((dir / "folder").c_str(), 0755);
  // Root may make a device node here; a save through a link to it once made it a plain file.
  const bool device = ::mknod((dir / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
  for (const char* name : {"fifo", "kelvado.ini", "folder", "null"}) {
    if (std::string_view(name) == "null" && !device) continue;
    EXPECT_FALSE(store.replace(dir / name, "new")) << name;
    EXPECT_EQ(store.failureReason(), "not a regular file") << name;
  }
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  if (device) {
    ASSERT_EQ(::lstat((dir / "null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
  EXPECT_EQ(dir.names().size(), device ? 4u : 3u);
}

TEST(DiskStore, ReplacesTheRealFileBehindALinkAndKeepsItsMode) {
  TempFolder dir;
  PosixFileStore store;
  put(dir / "real.ini", "old", 0640);
  ::symlink("real.ini", (dir / "kelvado.ini").c_str());
  ASSERT_TRUE(store.replace(dir / "kelvado.ini", "new"));
  EXPECT_TRUE(fs::is_symlink(dir / "kelvado.ini"));
  EXPECT_EQ(contents(dir / "real.ini"), "new");
  EXPECT_EQ(modeOf(dir / "real.ini"), 0640u);
  EXPECT_EQ(dir.names(), (std::set<std::string>{"kelvado.ini", "real.ini"}));
}

TEST(DiskStore, ANewFileGetsTheUsualModeForTheUser) {
  TempFolder dir;
  PosixFileStore store;
  const mode_t previous = ::umask(022);
  EXPECT_TRUE(store.replace(dir / "kelvado.ini", "new"));
  ::umask(previous);
  EXPECT_EQ(modeOf(dir / "kelvado.ini"), 0644u);
}

TEST(DiskStore, KeepsTheOwnerOfAFileWhenRunningAsRoot) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file away";
  TempFolder dir;
  PosixFileStore store;
  put(dir / "kelvado.ini", "old", 0666);
  ASSERT_EQ(::chown((dir / "kelvado.ini").c_str(), 65534, 65534), 0);
  ASSERT_TRUE(store.replace(dir / "kelvado.ini", "new"));
  struct stat st {};
  ::stat((dir / "kelvado.ini").c_str(), &st);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
}

// A read-only file is left alone; a writable one in a read-only folder, where no temporary file
// can be made, is rewritten in place, growing or shrinking; a read-only folder gets no new file.
TEST(DiskStore, ReadOnlyFilesAreLeftAloneWritableOnesInReadOnlyFoldersAreRewrittenInPlace) {
  const struct {
    const char* what;
    mode_t file;  // 0: none
    mode_t folder;
    const char* next;
    bool saved;
  } cases[] = {
      {"read-only file", 0444, 0755, "new", false},
      {"read-only file, read-only folder", 0444, 0555, "new", false},
      {"longer text, read-only folder", 0640, 0555, "new contents, longer than the old", true},
      {"shorter text, read-only folder", 0640, 0555, "new", true},
      {"no file, read-only folder", 0, 0555, "new", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder dir;
    PosixFileStore store;
    const std::string ini = dir / "kelvado.ini";
    struct stat before {
    }, after{};
    if (c.file) {
      put(ini, "old contents", c.file);
      ::stat(ini.c_str(), &before);
    }
    ::chmod(dir.path.c_str(), c.folder);
    EXPECT_EQ(store.replace(ini, c.next), c.saved);
    EXPECT_EQ(dir.names(), c.file ? std::set<std::string>{"kelvado.ini"} : std::set<std::string>{});
    if (!c.file) continue;
    EXPECT_EQ(contents(ini), c.saved ? c.next : "old contents");
    ::stat(ini.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(modeOf(ini), c.file);
  }
}

// Set up by as_nobody.sh: root's file in a folder anyone may write, root's empty folder, and a
// file anyone may write in root's folder.
TEST(DiskStore, WhatOtherUsersOwnIsWrittenOnlyWhereTheyAllowIt) {
  const char* file = std::getenv("KELVADO_FOREIGN_FILE");
  const char* folder = std::getenv("KELVADO_FOREIGN_FOLDER");
  const char* openFile = std::getenv("KELVADO_OPEN_FILE_IN_FOREIGN_FOLDER");
  if (!file || !folder || !openFile) GTEST_SKIP() << "runs as another user only";
  PosixFileStore store;
  EXPECT_FALSE(store.replace(file, "new"));
  EXPECT_EQ(contents(file), "old");
  EXPECT_FALSE(store.replace(std::string(folder) + "/kelvado.ini", "new"));
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_TRUE(store.replace(openFile, "new, in place"));
  EXPECT_EQ(contents(openFile), "new, in place");
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(openFile).parent_path()), fs::directory_iterator()), 1);
}

// A disk that fails at one step of a save: full while writing, failing to flush or to rename.
class FailingStore : public PosixFileStore {
 public:
  enum class Step { None, Write, Flush, Rename } failAt = Step::None;

 protected:
  ssize_t writeSome(int fd, const char* data, std::size_t size) override {
    if (failAt != Step::Write) return PosixFileStore::writeSome(fd, data, size);
    // Room for one byte, then the disk is full.
    if (written_++ == 0) return PosixFileStore::writeSome(fd, data, 1);
    errno = ENOSPC;
    return -1;
  }
  int flush(int fd) override { return failAt == Step::Flush ? (errno = EIO, -1) : PosixFileStore::flush(fd); }
  int renameFile(const std::string& from, const std::string& to) override {
    return failAt == Step::Rename ? (errno = EXDEV, -1) : PosixFileStore::renameFile(from, to);
  }

 private:
  int written_ = 0;
};

TEST(DiskStore, AFailingDiskLeavesTheOldFileAndNoLeftovers) {
  for (auto step : {FailingStore::Step::Write, FailingStore::Step::Flush, FailingStore::Step::Rename}) {
    TempFolder dir;
    put(dir / "kelvado.ini", "old");
    FailingStore store;
    store.failAt = step;
    EXPECT_FALSE(store.replace(dir / "kelvado.ini", "new contents"));
    EXPECT_FALSE(store.failureReason().empty());
    EXPECT_EQ(contents(dir / "kelvado.ini"), "old");
    EXPECT_EQ(dir.names(), std::set<std::string>{"kelvado.ini"});
  }
  // In place, the disk fills while the file grows, before any old byte is overwritten.
  TempFolder dir;
  put(dir / "kelvado.ini", "old");
  ::chmod(dir.path.c_str(), 0555);
  FailingStore full;
  full.failAt = FailingStore::Step::Write;
  EXPECT_FALSE(full.replace(dir / "kelvado.ini", "new contents"));
  EXPECT_EQ(full.failureReason(), "No space left on device");
  EXPECT_EQ(contents(dir / "kelvado.ini"), "old");
}

// A save killed at one step: the process ends on the spot, cleaning nothing up.
class KilledStore : public PosixFileStore {
 public:
  enum class Step { MidWrite, Flush, Rename, AfterRename } killAt;
  explicit KilledStore(Step step) : killAt(step) {}

 protected:
  ssize_t writeSome(int fd, const char* data, std::size_t size) override {
    if (killAt == Step::MidWrite) {
      PosixFileStore::writeSome(fd, data, size / 2);
      ::_exit(0);
    }
    return PosixFileStore::writeSome(fd, data, size);
  }
  int flush(int fd) override {
    if (killAt == Step::Flush) ::_exit(0);
    return PosixFileStore::flush(fd);
  }
  int renameFile(const std::string& from, const std::string& to) override {
    if (killAt == Step::Rename) ::_exit(0);
    const int result = PosixFileStore::renameFile(from, to);
    if (killAt == Step::AfterRename) ::_exit(0);
    return result;
  }
};

TEST(DiskStore, AnInterruptedSaveLeavesTheOldFileOrTheNewOne) {
  const struct {
    KilledStore::Step step;
    const char* left;
  } cases[] = {{KilledStore::Step::MidWrite, "old"},
               {KilledStore::Step::Flush, "old"},
               {KilledStore::Step::Rename, "old"},
               {KilledStore::Step::AfterRename, "new contents"}};
  for (const auto& c : cases) {
    TempFolder dir;
    put(dir / "kelvado.ini", "old");
    const pid_t child = ::fork();
    if (child == 0) {
      KilledStore(c.step).replace(dir / "kelvado.ini", "new contents");
      ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(contents(dir / "kelvado.ini"), c.left);
    // The next save succeeds whatever the killed one left behind, and clears it away.
    EXPECT_TRUE(PosixFileStore().replace(dir / "kelvado.ini", "next"));
    EXPECT_EQ(contents(dir / "kelvado.ini"), "next");
    EXPECT_EQ(dir.names(), std::set<std::string>{"kelvado.ini"});
  }
}

// Temporary files of crashed saves, from this version or an earlier one that named them after
// its process, go with the next save; one another save holds (locked) stays, even when it bears
// this process's number, as it does from a second copy of the program in a PID namespace of its
// own. Files of other names stay too.
TEST(DiskStore, ASaveClearsAwayCrashedSavesFilesButNotAnotherSavesFile) {
  TempFolder dir;
  const std::string held = "kelvado.ini.tmp-" + std::to_string(::getpid());
  for (const std::string name : {"kelvado.ini", "kelvado.ini.tmp-12345", "kelvado.ini.tmp-k3x9q0zb", held.c_str(),
                                 "kelvado.ini.tmp-", "kelvado.ini.bak", "other.ini.tmp-1"})
    put(dir / name, "old");
  const int lock = ::open((dir / held).c_str(), O_RDONLY);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  EXPECT_TRUE(PosixFileStore().replace(dir / "kelvado.ini", "new"));
  ::close(lock);
  EXPECT_EQ(contents(dir / "kelvado.ini"), "new");
  EXPECT_EQ(contents(dir / held), "old");
  EXPECT_EQ(dir.names(),
            (std::set<std::string>{"kelvado.ini", held, "kelvado.ini.tmp-", "kelvado.ini.bak", "other.ini.tmp-1"}));
}

// Two copies of the program closing at once: a second real save runs while the first is writing.
// Both succeed, the one that ends last decides the file, and neither leaves anything behind.
class InterleavedStore : public PosixFileStore {
 public:
  explicit InterleavedStore(std::string path) : path_(std::move(path)) {}
  bool secondSaved = false;

 protected:
  ssize_t writeSome(int fd, const char* data, std::size_t size) override {
    if (!secondSaved) secondSaved = PosixFileStore().replace(path_, "second copy");
    return PosixFileStore::writeSome(fd, data, size);
  }

 private:
  std::string path_;
};

TEST(DiskStore, TwoCopiesSavingAtOnceBothSucceed) {
  TempFolder dir;
  const std::string ini = dir / "kelvado.ini";
  put(ini, "old");
  InterleavedStore first(ini);
  EXPECT_TRUE(first.replace(ini, "first copy"));
  EXPECT_TRUE(first.secondSaved);
  EXPECT_EQ(contents(ini), "first copy");
  EXPECT_EQ(dir.names(), std::set<std::string>{"kelvado.ini"});
}

// A whole program started beside its settings file in a real folder.
struct DiskRig : Rig {
  explicit DiskRig(const TempFolder& dir) {
    platform.exePath = dir / "kelvado";
    program.settingsFiles = &systemFileStore();
    start();
  }
};

TEST(DiskStore, AnUnreadableSettingsFileIsNeitherLoadedNorOverwritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  TempFolder dir;
  const std::string ini = dir / "kelvado.ini";
  put(ini, "[pmoj]\npmoj1=mine\n", 0200);
  DiskRig rig(dir);
  EXPECT_EQ(rig.state.pmoj[0], "141310");
  rig.form1().userClose();
  EXPECT_FALSE(rig.program.app.terminated());
  // Readable again by the close, it still holds settings this run never saw.
  ::chmod(ini.c_str(), 0600);
  rig.form1().userClose();
  EXPECT_TRUE(rig.program.app.terminated());
  EXPECT_EQ(contents(ini), "[pmoj]\npmoj1=mine\n");
}

}  // namespace
}  // namespace kelvado::testing
