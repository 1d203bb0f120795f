// Where the settings file's bytes come from and go to: the one seam between the settings and
// the disk, so tests can stand in for the disk or make it fail.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvado {

class FileStore {
 public:
  struct Contents {
    // Missing: nothing there, or something that is not a regular file (a folder, a device).
    // Unreadable: a file that is there but cannot be read, or is bigger than kMaxFileBytes.
    enum class Status { Read, Missing, Unreadable };
    Status status = Status::Missing;
    std::string bytes;
    std::string reason{};  // why the file is Unreadable, in the system's words
  };

  // Real settings files hold a few hundred bytes; a bigger file is not read, nor overwritten.
  static constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

  virtual ~FileStore() = default;
  virtual Contents read(const std::string& path) = 0;
  // Replaces the whole file with bytes, or leaves it as it was and returns false: never a mix.
  virtual bool replace(const std::string& path, std::string_view bytes) = 0;
  // The line ending of this system's text files, for a file that has none of its own yet.
  virtual std::string_view newline() const { return "\n"; }
  // Why the last replace that returned false failed, in the system's words; empty when the
  // store cannot tell.
  virtual std::string failureReason() const { return {}; }
};

// The store over this system's file system.
FileStore& systemFileStore();

}  // namespace kelvado
