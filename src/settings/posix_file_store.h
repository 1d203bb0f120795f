// The file store on a POSIX file system.
//
// Only a regular file is read or written, reached through any symbolic links. Anything else at
// the path (a folder, a FIFO, a device) reads as no file, without waiting, and is never written.
// A file larger than kMaxFileBytes reads as unreadable, which also keeps a save from rewriting
// what was never read.
//
// A save is all or nothing: the new bytes go to a temporary file beside the real one, are
// flushed to the disk, and the temporary file is then renamed over the real one, so a crash or a
// full disk leaves either the old file or the new. Each save's temporary file has a name of its
// own and stays locked while the save runs; one found unlocked is what a crashed save left, and
// the next save removes it. When the folder cannot be written but the file can, the file is
// rewritten in place instead, so that nobody is kept from saving a file they may write.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "settings/file_store.h"

namespace kelvado {

class PosixFileStore : public FileStore {
 public:
  Contents read(const std::string& path) override;
  // Follows symbolic links and replaces the file they lead to, keeping its mode and, where
  // allowed, its owner. A file or folder without any write permission bit counts as
  // read-only for every user, root included, as the read-only attribute would.
  bool replace(const std::string& path, std::string_view bytes) override;
  std::string failureReason() const override { return failure_; }

 protected:
  // The steps of a save that a full or failing disk makes fail; tests override them.
  virtual ssize_t writeSome(int fd, const char* data, std::size_t size);
  virtual int flush(int fd);
  virtual int renameFile(const std::string& from, const std::string& to);

 private:
  bool writeAll(int fd, std::string_view bytes);
  bool replaceInPlace(const std::string& target, std::string_view bytes);
  bool fail(std::string reason);

  std::string failure_;
};

}  // namespace kelvado
