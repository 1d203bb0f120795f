// The settings file on a real disk: what the system's file store does on every system. On
// POSIX these tests also run as an unprivileged user (see CMakeLists.txt), where the system
// itself refuses the writes that root could make.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include "disk.h"

namespace kelvado::testing {
namespace {

namespace fs = std::filesystem;
using Status = FileStore::Contents::Status;

// A file is read whole, byte for byte, up to the limit; a folder at the path is no file.
TEST(DiskStore, ReadsAFileAsItIsUpToTheLimitAndAnythingElseAsNoFile) {
  TempFolder dir;
  // Line endings, Shift-JIS, a NUL and the old end-of-file mark come back untouched.
  const std::string bytes = std::string("[pmoj]\r\npmoj1=\x95\x5c\nx=\0\x1a\r", 20);
  put(dir / "file", bytes);
  fs::create_directory(diskPath(dir / "folder"));
  put(dir / "largest", std::string(FileStore::kMaxFileBytes, 'x'));
  put(dir / "too-large", std::string(FileStore::kMaxFileBytes + 1, 'x'));
  const struct {
    const char* name;
    Status status;
    std::string bytes;
  } cases[] = {
      {"none", Status::Missing, ""},
      {"file/below", Status::Missing, ""},
      {"folder", Status::Missing, ""},
      {"file", Status::Read, bytes},
      {"largest", Status::Read, std::string(FileStore::kMaxFileBytes, 'x')},
      {"too-large", Status::Unreadable, ""},
  };
  for (const auto& c : cases) {
    const FileStore::Contents read = systemFileStore().read(dir / c.name);
    EXPECT_EQ(read.status, c.status) << c.name;
    EXPECT_TRUE(read.bytes == c.bytes) << c.name;  // not printed: a megabyte
  }
}

TEST(DiskStore, ReplacesTheWholeFileAndLeavesNothingElseBehind) {
  FileStore& store = systemFileStore();
  for (const std::string folder : {"", "ユーザー/デスクトップ/ケルバド"}) {
    SCOPED_TRACE(folder);
    TempFolder dir;
    const std::string here = folder.empty() ? dir.path : dir / folder;
    fs::create_directories(diskPath(here));
    const std::string ini = utf8Path(diskPath(here) / "kelvado.ini");
    ASSERT_TRUE(store.replace(ini, "first\r\n"));
    EXPECT_EQ(store.read(ini).bytes, "first\r\n");
    ASSERT_TRUE(store.replace(ini, "second"));
    EXPECT_EQ(contents(ini), "second");
    ASSERT_TRUE(store.replace(ini, ""));
    EXPECT_EQ(contents(ini), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(diskPath(here)), fs::directory_iterator()), 1);
  }
}

TEST(DiskStore, ReadOnlyFilesMissingFoldersAndFoldersInTheWayAreLeftAlone) {
  TempFolder dir;
  FileStore& store = systemFileStore();
  put(dir / "kelvado.ini", "old");
  makeReadOnly(dir / "kelvado.ini");
  fs::create_directory(diskPath(dir / "folder.ini"));
  EXPECT_FALSE(store.replace(dir / "kelvado.ini", "new"));
  EXPECT_FALSE(store.replace(dir / "gone/kelvado.ini", "new"));
  EXPECT_FALSE(store.replace(dir / "folder.ini", "new"));
  EXPECT_EQ(contents(dir / "kelvado.ini"), "old");
  EXPECT_TRUE(fs::is_empty(diskPath(dir / "folder.ini")));
  EXPECT_EQ(dir.names(), (std::set<std::string>{"folder.ini", "kelvado.ini"}));
}

TEST(DiskStore, AReadOnlySettingsFileKeepsTheMainWindowOpenUntilItIsWritable) {
  TempFolder dir;
  const std::string ini = dir / "kelvado.ini";
  put(ini, "[form]\nleft=10\n");
  makeReadOnly(ini);
  DiskRig rig(dir);
  EXPECT_EQ(rig.form1().left(), 10);
  rig.form1().userClose();
  EXPECT_FALSE(rig.program.app.terminated());
  ASSERT_EQ(rig.backend.messageBoxes.size(), 1u);
  EXPECT_EQ(rig.backend.messageBoxes[0].text, ini + " に書き込めません.");
  EXPECT_EQ(contents(ini), "[form]\nleft=10\n");
  makeWritable(ini);
  rig.form1().userClose();
  EXPECT_TRUE(rig.program.app.terminated());
  // The file's own line endings are kept for what is added.
  EXPECT_EQ(contents(ini).substr(0, 22), "[form]\nleft=10\ntop=0\n[");
}

}  // namespace
}  // namespace kelvado::testing
