// Folders and files on the real disk for the file store tests. Paths are UTF-8 strings, as
// the program holds them, whatever the system's own form.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "rig.h"
#include "settings/file_store.h"

namespace kelvado::testing {

inline std::filesystem::path diskPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

// A new folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    namespace fs = std::filesystem;
    std::random_device random;
    fs::path folder;
    do folder = fs::temp_directory_path() / ("kelvado-settings-" + std::to_string(random()));
    while (!fs::create_directory(folder));
    path = utf8Path(folder);
  }
  ~TempFolder() {
    namespace fs = std::filesystem;
    // Read-only files and folders would stay behind.
    std::error_code ignored;
    const fs::path top = diskPath(path);
    fs::permissions(top, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (fs::recursive_directory_iterator it(top, ignored), end; it != end; it.increment(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(top, ignored);
  }
  std::string operator/(const std::string& name) const { return utf8Path(diskPath(path) / diskPath(name)); }
  std::set<std::string> names() const {
    std::set<std::string> result;
    for (const auto& e : std::filesystem::directory_iterator(diskPath(path)))
      result.insert(utf8Path(e.path().filename()));
    return result;
  }

  std::string path;
};

inline void put(const std::string& path, const std::string& bytes) {
  std::ofstream(diskPath(path), std::ios::binary) << bytes;
}

inline std::string contents(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(diskPath(path), std::ios::binary).rdbuf();
  return s.str();
}

// Takes every write permission away: the read-only attribute on Windows.
inline void makeReadOnly(const std::string& path) {
  namespace fs = std::filesystem;
  fs::permissions(diskPath(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

inline void makeWritable(const std::string& path) {
  namespace fs = std::filesystem;
  fs::permissions(diskPath(path), fs::perms::owner_write, fs::perm_options::add);
}

// A whole program started beside its settings file in a real folder.
struct DiskRig : Rig {
  explicit DiskRig(const TempFolder& dir) {
    platform.exePath = dir / "kelvado";
    program.settingsFiles = &systemFileStore();
    start();
  }
};

}  // namespace kelvado::testing
