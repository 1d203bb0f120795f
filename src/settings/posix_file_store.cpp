#include "settings/posix_file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

namespace kelvado {
namespace {

// What follows the settings file's name in the names of its temporary files.
constexpr std::string_view kTempMark = ".tmp-";

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string systemReason(int error) { return std::error_code(error, std::generic_category()).message(); }

// The file a chain of symbolic links leads to, existing or not, so that a save replaces the
// real file and leaves the link in place.
std::string followLinks(std::string path) {
  constexpr int kMaxHops = 40;  // as the kernel's own limit for a path lookup
  for (int hop = 0; hop < kMaxHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof target) return path;
    const std::string link(target, static_cast<std::size_t>(n));
    path = link.front() == '/' ? link : folderOf(path) + "/" + link;
  }
  return path;
}

bool hasWriteBit(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Opens a path only when it is a regular file, and never waits: opening a FIFO waits for a
// writer, and opening a device can make it do something. -1 with errno ENOENT when there is
// something else at the path.
int openRegular(const std::string& path, int access, struct stat& st) {
  if (::stat(path.c_str(), &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = ENOENT;
    return -1;
  }
  // Checked again once open, in case something else has taken the name in between.
  const int fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = ENOENT;
    return -1;
  }
  return fd;
}

// The new file takes over the old one's mode and, where the system lets us, its owner.
bool keepOwnerAndMode(int fd, const struct stat& old) {
  if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
    // Giving a file away needs privileges an ordinary user lacks; the file is then ours.
    [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Flushes the folder so the rename itself survives a power cut. The new file is in place by
// then, so a failure here leaves nothing to undo.
void flushFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string randomSuffix() {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kDigits - 2);
  std::string suffix(8, '0');
  for (char& c : suffix) c = kDigits[pick(random)];
  return suffix;
}

// A temporary file with a name of its own, locked for as long as the save holds it open: an
// unlocked one can only be left over from a save that died. Sets `name`; -1 on failure.
int createTemp(const std::string& target, std::string& name) {
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    name = target + std::string(kTempMark) + randomSuffix();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    // Another save's clean-up may have found the file between its creation and the lock, and
    // removed it: the name must still be this file's.
    struct stat held {
    }, named{};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 &&
        sameFile(held, named))
      return fd;
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

// Removes the temporary files of crashed saves beside the target: those nobody holds locked.
// Earlier versions named them after the saving process, and they are removed too.
void removeLeftovers(const std::string& target) {
  const std::string folder = folderOf(target);
  const std::string prefix = nameOf(target) + std::string(kTempMark);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() <= prefix.size() || !name.starts_with(prefix) ||
        !std::ranges::all_of(name.substr(prefix.size()),
                             [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
      continue;
    const std::string path = folder + "/" + std::string(name);
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &named) == 0 && sameFile(held, named))
      ::unlink(path.c_str());
    ::close(fd);
  }
  ::closedir(dir);
}

}  // namespace

FileStore::Contents PosixFileStore::read(const std::string& path) {
  struct stat st {};
  const int fd = openRegular(path, O_RDONLY, st);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {Contents::Status::Missing, {}, {}};
    return {Contents::Status::Unreadable, {}, systemReason(errno)};
  }
  Contents contents{Contents::Status::Read, {}, {}};
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      contents = {Contents::Status::Unreadable, {}, systemReason(errno)};
      break;
    }
    contents.bytes.append(buffer, static_cast<std::size_t>(n));
    // A file this large is no settings file this program wrote; it is neither taken in nor,
    // since it was not read whole, written over.
    if (contents.bytes.size() > kMaxFileBytes) {
      contents = {Contents::Status::Unreadable, {}, "larger than " + std::to_string(kMaxFileBytes) + " bytes"};
      break;
    }
  }
  ::close(fd);
  return contents;
}

bool PosixFileStore::replace(const std::string& path, std::string_view bytes) {
  failure_.clear();
  const std::string target = followLinks(path);
  const std::string folder = folderOf(target);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return fail(systemReason(errno));
  if (exists && !S_ISREG(old.st_mode)) return fail("not a regular file");
  if (exists && !hasWriteBit(old)) return fail("the file is read-only");
  if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return fail(systemReason(errno));

  struct stat folderStat {};
  const bool folderOpen = ::stat(folder.c_str(), &folderStat) == 0 && hasWriteBit(folderStat) &&
                          ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
  if (!folderOpen) {
    if (exists) return replaceInPlace(target, bytes);
    return fail("the folder is read-only");
  }

  removeLeftovers(target);
  std::string temp;
  const int fd = createTemp(target, temp);
  if (fd < 0) {
    const int error = errno;
    // A folder that refuses new files after all, for a file that may be written.
    if (exists && (error == EACCES || error == EPERM)) return replaceInPlace(target, bytes);
    return fail(systemReason(error));
  }
  bool ok = !exists || keepOwnerAndMode(fd, old) || fail(systemReason(errno));
  ok = ok && writeAll(fd, bytes);
  if (ok && flush(fd) != 0) ok = fail(systemReason(errno));
  if (ok && renameFile(temp, target) != 0) ok = fail(systemReason(errno));
  if (!ok) ::unlink(temp.c_str());
  // Closing gives up the lock, after the name is gone.
  ::close(fd);
  if (ok) flushFolder(folder);
  return ok;
}

// The folder is closed to us but the file is not. Rewriting in place cannot be all or nothing
// against a crash in the middle, so it goes carefully: what the new text adds goes beyond the
// old end first, where a full disk fails it before any old byte has changed; only then is the
// old part overwritten (which takes no more room), the rest cut off and the whole flushed.
bool PosixFileStore::replaceInPlace(const std::string& target, std::string_view bytes) {
  struct stat st {};
  const int fd = openRegular(target, O_WRONLY, st);
  if (fd < 0) return fail(errno == ENOENT ? "not a regular file" : systemReason(errno));
  const auto oldSize = static_cast<std::size_t>(st.st_size);
  const auto writeAt = [&](std::size_t offset, std::string_view part) {
    if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) return fail(systemReason(errno));
    return writeAll(fd, part);
  };
  if (bytes.size() > oldSize && !writeAt(oldSize, bytes.substr(oldSize))) {
    [[maybe_unused]] const int ignored = ::ftruncate(fd, static_cast<off_t>(oldSize));
    ::close(fd);
    return false;
  }
  bool ok = writeAt(0, bytes.substr(0, std::min(oldSize, bytes.size())));
  if (ok && bytes.size() < oldSize && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
    ok = fail(systemReason(errno));
  if (ok && flush(fd) != 0) ok = fail(systemReason(errno));
  ::close(fd);
  return ok;
}

bool PosixFileStore::writeAll(int fd, std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = writeSome(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(n < 0 ? systemReason(errno) : "nothing could be written");
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool PosixFileStore::fail(std::string reason) {
  failure_ = std::move(reason);
  return false;
}

ssize_t PosixFileStore::writeSome(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }

int PosixFileStore::flush(int fd) { return ::fsync(fd); }

int PosixFileStore::renameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str());
}

FileStore& systemFileStore() {
  static PosixFileStore store;
  return store;
}

}  // namespace kelvado
