// The file store on a POSIX file system. A save is all or nothing: the new bytes go to a
// temporary file beside the real one, are flushed to the disk, and the temporary file is then
// renamed over the real one, so a crash or a full disk leaves either the old file or the new.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "settings/file_store.h"

namespace kelvado {

class PosixFileStore : public FileStore {
 public:
  Contents read(const std::string& path) override;
  // Follows symbolic links and replaces the file they lead to, keeping its mode and, where
  // allowed, its owner. A file or folder without any write permission bit counts as
  // read-only for every user, root included, as the read-only attribute would.
  bool replace(const std::string& path, std::string_view bytes) override;

 protected:
  // The steps of a save that a full or failing disk makes fail; tests override them.
  virtual ssize_t writeSome(int fd, const char* data, std::size_t size);
  virtual int flush(int fd);
  virtual int renameFile(const std::string& from, const std::string& to);
};

}  // namespace kelvado
