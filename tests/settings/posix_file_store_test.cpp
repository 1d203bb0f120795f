// The settings file on a POSIX disk: links, modes, owners and other users, and saves that a
// failing disk or a killed process cuts short. These tests also run as an unprivileged user
// (see CMakeLists.txt), where the system itself refuses the writes that root could make.
#include <fcntl.h>
#include <sys/stat.h>
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

TEST(DiskStore, ReadOnlyFoldersAreLeftAlone) {
  PosixFileStore store;
  TempFolder dir;
  put(dir / "kelvado.ini", "old");
  ::chmod(dir.path.c_str(), 0555);
  EXPECT_FALSE(store.replace(dir / "kelvado.ini", "new"));
  EXPECT_FALSE(store.replace(dir / "other.ini", "new"));
  EXPECT_EQ(contents(dir / "kelvado.ini"), "old");
  EXPECT_EQ(dir.names(), std::set<std::string>{"kelvado.ini"});
}

// Set up by as_nobody.sh: root's file in a folder anyone may write, and root's folder.
TEST(DiskStore, FilesAndFoldersOfOtherUsersAreLeftAlone) {
  const char* file = std::getenv("KELVADO_FOREIGN_FILE");
  const char* folder = std::getenv("KELVADO_FOREIGN_FOLDER");
  if (!file || !folder) GTEST_SKIP() << "runs as another user only";
  PosixFileStore store;
  EXPECT_FALSE(store.replace(file, "new"));
  EXPECT_EQ(contents(file), "old");
  EXPECT_FALSE(store.replace(std::string(folder) + "/kelvado.ini", "new"));
  EXPECT_TRUE(fs::is_empty(folder));
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
    EXPECT_EQ(contents(dir / "kelvado.ini"), "old");
    EXPECT_EQ(dir.names(), std::set<std::string>{"kelvado.ini"});
  }
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
    // The next save succeeds whatever the killed one left behind.
    EXPECT_TRUE(PosixFileStore().replace(dir / "kelvado.ini", "next"));
    EXPECT_EQ(contents(dir / "kelvado.ini"), "next");
  }
}

TEST(DiskStore, AnUnreadableSettingsFileIsNeitherLoadedNorOverwritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  TempFolder dir;
  const std::string ini = dir / "kelvado.ini";
  put(ini, "[pmoj]\npmoj1=mine\n", 0200);
  DiskRig rig(dir);
  EXPECT_EQ(rig.state.pmoj[0], "141310");
  rig.form1().userClose();
  EXPECT_FALSE(rig.program.app.terminated());
  ::chmod(ini.c_str(), 0600);
  EXPECT_EQ(contents(ini), "[pmoj]\npmoj1=mine\n");
}

}  // namespace
}  // namespace kelvado::testing
