#include "settings/posix_file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

namespace kelvado {
namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

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

bool writable(const std::string& path, const struct stat& st) {
  return hasWriteBit(st) && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
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

}  // namespace

FileStore::Contents PosixFileStore::read(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const bool missing = errno == ENOENT || errno == ENOTDIR;
    return {missing ? Contents::Status::Missing : Contents::Status::Unreadable, {}};
  }
  Contents contents{Contents::Status::Read, {}};
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      contents = {Contents::Status::Unreadable, {}};
      break;
    }
    contents.bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return contents;
}

bool PosixFileStore::replace(const std::string& path, std::string_view bytes) {
  const std::string target = followLinks(path);
  const std::string folder = folderOf(target);
  struct stat folderStat {};
  if (::stat(folder.c_str(), &folderStat) != 0 || !hasWriteBit(folderStat)) return false;
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists ? !writable(target, old) : errno != ENOENT) return false;

  // One temporary name per process: a leftover of that name comes from an earlier process that
  // died while saving, never from a save still running.
  const std::string temp = target + ".tmp-" + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST && ::unlink(temp.c_str()) == 0)
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;

  bool ok = !exists || keepOwnerAndMode(fd, old);
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = writeSome(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && flush(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && renameFile(temp, target) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  flushFolder(folder);
  return true;
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
