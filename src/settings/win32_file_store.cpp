#include "settings/win32_file_store.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "win32/wide_text.h"

namespace kelvado {
namespace {

// The longest piece one WriteFile call is given.
constexpr DWORD kWriteChunk = 1u << 30;

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  void close() {
    if (valid()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

// The full path in the form that lifts the length limit and takes no name for a device
// ("\\?\C:\...", "\\?\UNC\server\share\..."). The given path may be relative or use "/".
std::wstring systemPath(const std::string& path) {
  const std::wstring wide = win32::widen(path);
  if (wide.starts_with(L"\\\\?\\")) return wide;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return wide;
    const bool fits = n < full.size();
    full.resize(n);
    if (fits) break;
  }
  if (full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool isMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The system's own words for an error, in the user's language, without the line break it ends with.
std::string systemReason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = n != 0 && text != nullptr ? std::wstring(text, n) : L"";
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() && (reason.back() == L' ' || reason.back() == L'\r' || reason.back() == L'\n'))
    reason.pop_back();
  return reason.empty() ? "error " + std::to_string(error) : win32::narrow(reason);
}

// The path of the file an open handle reads, links followed, in the same long form; the given
// path when the system cannot tell.
std::wstring finalPath(HANDLE file, const std::wstring& given) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (n == 0) return given;
    const bool fits = n < path.size();
    path.resize(n);
    if (fits) return path;
  }
}

// Opens whatever is at the path, a folder too, for the given access.
HANDLE openExisting(const std::wstring& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The attributes of a plain file on a disk; nothing for a folder, a device or a pipe.
bool plainFileAttributes(HANDLE h, DWORD* attributes) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)) return false;
  *attributes = info.dwFileAttributes;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool markForDeletion(HANDLE h, bool marked) {
  FILE_DISPOSITION_INFO disposition{marked};
  return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
}

// A temporary file is named after its target and numbers: "kelvado.ini.tmp-1-2-3".
std::wstring temporaryPrefix(const std::wstring& target) { return target + L".tmp-"; }

// Unique among the saves running now, in this process and in others (another Wine server may
// hand out the same process ids), even beside a leftover of a save cut short.
std::wstring temporaryName(const std::wstring& target) {
  static unsigned saves = 0;
  return temporaryPrefix(target) + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++saves) + L"-" +
         std::to_wstring(GetTickCount64());
}

// Removes what saves that were cut short left beside the target. The file is gone in almost
// every case already (see replace); a temporary file that is not open is a leftover, since a
// save in progress keeps its own open until it has been moved into place.
void removeLeftovers(const std::wstring& target) {
  const std::wstring folder = target.substr(0, target.rfind(L'\\') + 1);
  const std::wstring prefix = temporaryPrefix(target);
  WIN32_FIND_DATAW found;
  const HANDLE search =
      FindFirstFileExW((prefix + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // Only the names temporaryName gives: a "kelvado.ini.tmp-notes" is the user's.
    const std::wstring_view name = found.cFileName;
    const std::wstring_view start = std::wstring_view(prefix).substr(folder.size());
    if (!name.starts_with(start) || name.size() == start.size() ||
        name.find_first_not_of(L"0123456789-", start.size()) != std::wstring_view::npos)
      continue;
    Handle leftover(CreateFileW((folder + found.cFileName).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (leftover.valid()) markForDeletion(leftover.get(), true);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

FileStore::Contents Win32FileStore::read(const std::string& path) {
  // Backup, sync and antivirus programs hold a file they look at for a moment without sharing
  // it; a settings file read while they do would start the program with its defaults.
  constexpr int kTries = 20;
  constexpr DWORD kPauseMs = 50;
  DWORD error = 0;
  Contents contents = readOnce(path, &error);
  for (int tried = 1; tried < kTries && (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION); ++tried) {
    Sleep(kPauseMs);
    contents = readOnce(path, &error);
  }
  return contents;
}

FileStore::Contents Win32FileStore::readOnce(const std::string& path, DWORD* error) {
  using Status = Contents::Status;
  *error = 0;
  Handle file(openExisting(systemPath(path), GENERIC_READ));
  if (!file.valid()) {
    *error = GetLastError();
    if (isMissing(*error)) return {Status::Missing, {}};
    return {Status::Unreadable, {}, systemReason(*error)};
  }
  DWORD attributes = 0;
  if (!plainFileAttributes(file.get(), &attributes)) return {Status::Missing, {}};
  LARGE_INTEGER size;
  const std::string tooLarge = "larger than " + std::to_string(kMaxFileBytes) + " bytes";
  if (!GetFileSizeEx(file.get(), &size)) return {Status::Unreadable, {}, systemReason(GetLastError())};
  if (static_cast<unsigned long long>(size.QuadPart) > kMaxFileBytes) return {Status::Unreadable, {}, tooLarge};
  Contents contents{Status::Read, std::string(static_cast<std::size_t>(size.QuadPart), '\0')};
  std::size_t done = 0;
  // Read to the end even if the file grew meanwhile, up to the cap.
  for (;;) {
    if (done == contents.bytes.size()) contents.bytes.resize(std::min(done * 2 + 4096, kMaxFileBytes + 1));
    DWORD n = 0;
    if (!ReadFile(file.get(), contents.bytes.data() + done, static_cast<DWORD>(contents.bytes.size() - done), &n,
                  nullptr)) {
      *error = GetLastError();
      return {Status::Unreadable, {}, systemReason(*error)};
    }
    if (n == 0) break;
    done += n;
    if (done > kMaxFileBytes) return {Status::Unreadable, {}, tooLarge};
  }
  contents.bytes.resize(done);
  return contents;
}

bool Win32FileStore::replace(const std::string& path, std::string_view bytes) {
  failure_.clear();
  std::wstring target = systemPath(path);
  DWORD oldAttributes = 0;
  bool exists = false;
  {
    Handle old(openExisting(target, FILE_READ_ATTRIBUTES));
    if (old.valid()) {
      if (!plainFileAttributes(old.get(), &oldAttributes)) return fail("not a regular file");
      if ((oldAttributes & FILE_ATTRIBUTE_READONLY) != 0) return fail("the file is read-only");
      exists = true;
      // A link is followed: the file it names is the one saved, and the link stays a link.
      target = finalPath(old.get(), target);
    } else if (const DWORD error = GetLastError(); !isMissing(error)) {
      return fail(error);
    }
  }

  removeLeftovers(target);
  // Open until it has been moved into place (which leftover removal relies on), and shared
  // with whatever access the move opens it with.
  const std::wstring temp = temporaryName(target);
  Handle file(createTemporary(temp));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    // A folder that takes no new files, for a file that may be written: a program kept in a
    // shared folder, with a settings file of its user's.
    if (exists && error == ERROR_ACCESS_DENIED) return replaceInPlace(target, bytes);
    return fail(error);
  }
  // Until the move the system removes the file when the handle closes, whatever becomes of us.
  if (!markForDeletion(file.get(), true)) {
    const DWORD error = GetLastError();
    file.close();
    DeleteFileW(temp.c_str());
    return fail(error);
  }
  // A file the user hid stays hidden. Not worth failing the save over.
  if (const DWORD kept = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM); kept != 0) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = kept;
    SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
  }

  bool ok = writeAll(file.get(), bytes);
  if (ok && !(flush(file.get()) && markForDeletion(file.get(), false))) ok = fail(GetLastError());
  if (ok && !moveOver(temp.c_str(), target.c_str())) {
    ok = fail(GetLastError());
    if (!markForDeletion(file.get(), true)) {
      file.close();
      DeleteFileW(temp.c_str());
    }
  }
  return ok;
}

// The folder takes no new file but the file may be written. Rewriting in place cannot be all or
// nothing against a crash in the middle, so it goes carefully: what the new text adds goes
// beyond the old end first, where a full disk fails it before any old byte has changed; only
// then is the old part overwritten (which takes no more room), the rest cut off and the whole
// flushed.
bool Win32FileStore::replaceInPlace(const std::wstring& target, std::string_view bytes) {
  Handle file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
  LARGE_INTEGER size;
  if (!file.valid() || !GetFileSizeEx(file.get(), &size)) return fail(GetLastError());
  const auto oldSize = static_cast<std::size_t>(size.QuadPart);
  const auto endAt = [&](std::size_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
  };
  const auto writeAt = [&](std::size_t offset, std::string_view part) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return fail(GetLastError());
    return writeAll(file.get(), part);
  };
  if (bytes.size() > oldSize && !writeAt(oldSize, bytes.substr(oldSize))) {
    endAt(oldSize);
    return false;
  }
  bool ok = writeAt(0, bytes.substr(0, std::min(oldSize, bytes.size())));
  if (ok && bytes.size() < oldSize && !endAt(bytes.size())) ok = fail(GetLastError());
  if (ok && !flush(file.get())) ok = fail(GetLastError());
  return ok;
}

bool Win32FileStore::writeAll(HANDLE file, std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kWriteChunk));
    if (!writeSome(file, bytes.data() + done, chunk, &written)) return fail(GetLastError());
    if (written == 0) return fail("nothing could be written");
    done += written;
  }
  return true;
}

bool Win32FileStore::fail(DWORD error) { return fail(systemReason(error)); }

bool Win32FileStore::fail(std::string reason) {
  failure_ = std::move(reason);
  return false;
}

HANDLE Win32FileStore::createTemporary(const std::wstring& name) {
  return CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Win32FileStore::writeSome(HANDLE file, const char* data, DWORD size, DWORD* written) {
  return WriteFile(file, data, size, written, nullptr);
}

bool Win32FileStore::flush(HANDLE file) { return FlushFileBuffers(file); }

bool Win32FileStore::moveOver(const wchar_t* from, const wchar_t* to) {
  return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

FileStore& systemFileStore() {
  static Win32FileStore store;
  return store;
}

}  // namespace kelvado
