// A file store in memory for in-process tests: files are a map, and a test can make a file
// unreadable or every write fail the way a full disk or a read-only file would.
#pragma once

#include <map>
#include <set>
#include <string>

#include "settings/file_store.h"

namespace kelvado::fake {

class MemoryFileStore : public FileStore {
 public:
  Contents read(const std::string& path) override {
    const auto it = files.find(path);
    if (it == files.end()) return {Contents::Status::Missing, {}};
    if (unreadable.contains(path)) return {Contents::Status::Unreadable, {}, "held by the test"};
    return {Contents::Status::Read, it->second};
  }
  bool replace(const std::string& path, std::string_view bytes) override {
    ++writes;
    if (failWrites) return false;
    files[path] = std::string(bytes);
    return true;
  }
  std::string_view newline() const override { return lineEnding; }
  std::string failureReason() const override { return failWrites ? "refused by the test" : ""; }

  std::map<std::string, std::string> files;
  // Files that are there but cannot be read, as when another program holds them.
  std::set<std::string> unreadable;
  std::string lineEnding = "\n";
  bool failWrites = false;
  int writes = 0;
};

}  // namespace kelvado::fake
