// The settings file on a Windows disk: files other programs hold, the size limit, line endings
// for Notepad, and saves that a failing disk or a killed process cuts short.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "disk.h"
#include "settings/profile.h"
#include "settings/win32_file_store.h"
#include "win32/wide_text.h"

namespace kelvado::testing {
namespace {

namespace fs = std::filesystem;
using Status = FileStore::Contents::Status;

// The names in a folder, which may lie beyond the length the C runtime's calls allow.
std::set<std::wstring> namesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.insert(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  names.erase(L".");
  names.erase(L"..");
  return names;
}

TEST(DiskStore, APathLongerThanWindowsOnceAllowed) {
  TempFolder dir;
  Win32FileStore store;
  const std::wstring top = L"\\\\?\\" + win32::widen(dir.path);
  const std::wstring name(120, L'l');
  const std::wstring folder = top + L"\\" + name + L"\\" + name;
  ASSERT_TRUE(CreateDirectoryW((top + L"\\" + name).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::string ini = dir.path + "\\" + win32::narrow(name + L"\\" + name) + "\\kelvado.ini";
  ASSERT_GT(ini.size(), 260u);
  EXPECT_TRUE(store.replace(ini, "first"));
  EXPECT_TRUE(store.replace(ini, "second"));
  EXPECT_EQ(store.read(ini).bytes, "second");
  EXPECT_EQ(namesIn(folder), std::set<std::wstring>{L"kelvado.ini"});
  // Out of the C runtime's reach: cleared here.
  DeleteFileW((folder + L"\\kelvado.ini").c_str());
  RemoveDirectoryW(folder.c_str());
  RemoveDirectoryW((top + L"\\" + name).c_str());
}

TEST(DiskStore, AFileAnotherProgramHoldsIsNeitherReadNorReplacedUnlessItLetsGoSoon) {
  TempFolder dir;
  Win32FileStore store;
  const std::string ini = dir / "kelvado.ini";
  put(ini, "old");
  const auto hold = [&] {
    return CreateFileW(win32::widen(ini).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  HANDLE held = hold();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(store.read(ini).status, Status::Unreadable);
  EXPECT_FALSE(store.replace(ini, "new"));
  CloseHandle(held);
  EXPECT_EQ(contents(ini), "old");
  EXPECT_EQ(dir.names(), std::set<std::string>{"kelvado.ini"});

  // Held for a moment, as a virus scanner does, while the program starts.
  held = hold();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(200);
    CloseHandle(held);
  });
  EXPECT_EQ(store.read(ini).bytes, "old");
  release.join();
}

// Notepad's "Unicode" file, written back so that the system's own profile reader still reads it.
TEST(DiskStore, AUtf16FileIsWrittenBackAsTheProfileServiceReadsIt) {
  for (const std::string bom : {"\xFF\xFE", "\xFE\xFF"}) {
    TempFolder dir;
    const std::string ini = dir / "kelvado.ini";
    const std::wstring text = L"[pmoj]\r\npmoj1=令和\r\n";
    std::string file = bom;
    for (const wchar_t unit : text) {
      const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
      file += bom == "\xFF\xFE" ? std::string{low, high} : std::string{high, low};
    }
    put(ini, file);
    DiskRig rig(dir);
    EXPECT_EQ(rig.state.pmoj[0], "令和");
    rig.form1().setLeft(123);
    rig.form1().userClose();
    ASSERT_TRUE(rig.program.app.terminated());
    const std::wstring wide = win32::widen(ini);
    wchar_t value[16]{};
    GetPrivateProfileStringW(L"pmoj", L"pmoj1", L"", value, 16, wide.c_str());
    EXPECT_EQ(std::wstring(value), L"令和");
    EXPECT_EQ(GetPrivateProfileIntW(L"form", L"left", 0, wide.c_str()), 123);
    EXPECT_EQ(GetPrivateProfileIntW(L"patan", L"yobichek", 0, wide.c_str()), 1);
  }
}

TEST(DiskStore, ANewSettingsFileHasWindowsLineEndingsAndAHiddenOneStaysHidden) {
  TempFolder dir;
  const std::string ini = dir / "kelvado.ini";
  DiskRig(dir).form1().userClose();
  const std::string first = contents(ini);
  // Twenty lines (four sections, sixteen keys), every one ended by CR LF.
  std::string lines = first;
  std::erase(lines, '\r');
  std::string crlf;
  for (const char c : lines) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  EXPECT_EQ(first, crlf);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 20);
  EXPECT_EQ(Profile(first).value("pmoj", "pmoj5"), "240300");

  const std::wstring wide = win32::widen(ini);
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN));
  DiskRig again(dir);
  again.form1().setLeft(12);
  again.form1().userClose();
  EXPECT_TRUE(again.program.app.terminated());
  EXPECT_NE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(contents(ini).substr(0, 24), "[form]\r\nleft=12\r\ntop=0\r\n");
}

// A disk that fails at one step of a save: full while writing, failing to flush or to move.
class FailingStore : public Win32FileStore {
 public:
  enum class Step { Write, Flush, Move } failAt;
  explicit FailingStore(Step step) : failAt(step) {}

 protected:
  bool writeSome(HANDLE file, const char* data, DWORD size, DWORD* written) override {
    if (failAt != Step::Write) return Win32FileStore::writeSome(file, data, size, written);
    // Room for one byte, then the disk is full.
    if (writes_++ == 0) return Win32FileStore::writeSome(file, data, 1, written);
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
  bool flush(HANDLE file) override { return failAt != Step::Flush && Win32FileStore::flush(file); }
  bool moveOver(const wchar_t* from, const wchar_t* to) override {
    return failAt != Step::Move && Win32FileStore::moveOver(from, to);
  }

 private:
  int writes_ = 0;
};

TEST(DiskStore, AFailingDiskLeavesTheOldFileAndNoLeftovers) {
  for (auto step : {FailingStore::Step::Write, FailingStore::Step::Flush, FailingStore::Step::Move}) {
    TempFolder dir;
    put(dir / "kelvado.ini", "old");
    EXPECT_FALSE(FailingStore(step).replace(dir / "kelvado.ini", "new contents"));
    EXPECT_FALSE(FailingStore(step).replace(dir / "other.ini", "new contents"));
    EXPECT_EQ(contents(dir / "kelvado.ini"), "old");
    EXPECT_EQ(dir.names(), std::set<std::string>{"kelvado.ini"});
  }
}

// A folder that takes no new file (a program in a shared folder), and in it a file the user may
// write: the file is rewritten in place, and a disk that fills up on the way leaves it as it was.
class ClosedFolderStore : public Win32FileStore {
 public:
  bool diskFull = false;

 protected:
  HANDLE createTemporary(const std::wstring&) override {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  bool writeSome(HANDLE file, const char* data, DWORD size, DWORD* written) override {
    if (!diskFull) return Win32FileStore::writeSome(file, data, size, written);
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
};

TEST(DiskStore, AFileInAFolderThatTakesNoNewFileIsRewrittenInPlaceAndSaysWhyWhenItCannotBe) {
  TempFolder dir;
  const std::string ini = dir / "kelvado.ini";
  ClosedFolderStore store;
  put(ini, "[form]\r\nleft=1\r\n");
  EXPECT_TRUE(store.replace(ini, "short"));
  EXPECT_EQ(contents(ini), "short");
  EXPECT_TRUE(store.replace(ini, "a longer text than before"));
  EXPECT_EQ(contents(ini), "a longer text than before");
  store.diskFull = true;
  EXPECT_FALSE(store.replace(ini, "a longer text than before, and longer still"));
  EXPECT_EQ(contents(ini), "a longer text than before");
  EXPECT_FALSE(store.failureReason().empty());
  EXPECT_EQ(dir.names(), std::set<std::string>{"kelvado.ini"});
  // No file to rewrite: nothing is made, and the reason is the system's.
  EXPECT_FALSE(store.replace(dir / "other.ini", "new"));
  EXPECT_FALSE(store.failureReason().empty());

  makeReadOnly(ini);
  EXPECT_FALSE(Win32FileStore().replace(ini, "new"));
  Win32FileStore plain;
  plain.replace(ini, "new");
  EXPECT_EQ(plain.failureReason(), "the file is read-only");
}

// Two copies of the program closing at once: a second real save runs while the first is writing.
// Both succeed, the one that ends last decides the file, and neither leaves anything behind.
class InterleavedStore : public Win32FileStore {
 public:
  explicit InterleavedStore(std::string path) : path_(std::move(path)) {}
  bool secondSaved = false;

 protected:
  bool writeSome(HANDLE file, const char* data, DWORD size, DWORD* written) override {
    if (!secondSaved) secondSaved = Win32FileStore().replace(path_, "second copy");
    return Win32FileStore::writeSome(file, data, size, written);
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

// A save killed at one step: the process ends on the spot, cleaning nothing up.
class KilledStore : public Win32FileStore {
 public:
  enum class Step { MidWrite, Flush, Move, AfterMove } killAt;
  explicit KilledStore(Step step) : killAt(step) {}

 protected:
  bool writeSome(HANDLE file, const char* data, DWORD size, DWORD* written) override {
    if (killAt == Step::MidWrite) {
      Win32FileStore::writeSome(file, data, size / 2, written);
      std::_Exit(0);
    }
    return Win32FileStore::writeSome(file, data, size, written);
  }
  bool flush(HANDLE file) override {
    if (killAt == Step::Flush) std::_Exit(0);
    return Win32FileStore::flush(file);
  }
  bool moveOver(const wchar_t* from, const wchar_t* to) override {
    if (killAt == Step::Move) std::_Exit(0);
    const bool moved = Win32FileStore::moveOver(from, to);
    if (killAt == Step::AfterMove) std::_Exit(0);
    return moved;
  }
};

TEST(DiskStore, AKilledSaveLeavesTheOldFileOrTheNewOneAndTheNextSaveNothingElse) {
  const struct {
    KilledStore::Step step;
    const char* left;
    bool leftover;  // killed in the instant between the end of its deletion mark and the move
  } cases[] = {{KilledStore::Step::MidWrite, "old", false},
               {KilledStore::Step::Flush, "old", false},
               {KilledStore::Step::Move, "old", true},
               {KilledStore::Step::AfterMove, "new contents", false}};
  // The save runs in a new process that repeats this test up to the save: one folder for both.
  const fs::path folder = fs::temp_directory_path() / "kelvado-killed-save";
  const auto count = [&] { return std::distance(fs::directory_iterator(folder), fs::directory_iterator()); };
  for (const auto& c : cases) {
    fs::remove_all(folder);
    fs::create_directory(folder);
    const std::string ini = utf8Path(folder / "kelvado.ini");
    put(ini, "old");
    put(ini + ".tmp-notes", "a file of the user's");
    EXPECT_EXIT(KilledStore(c.step).replace(ini, "new contents"), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(contents(ini), c.left);
    EXPECT_EQ(count(), c.leftover ? 3 : 2);
    EXPECT_TRUE(Win32FileStore().replace(ini, "next"));
    EXPECT_EQ(contents(ini), "next");
    EXPECT_EQ(count(), 2);
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace kelvado::testing
