// The file store on Windows. Paths are UTF-8 here and wide (of any length) towards the system.
// A save is all or nothing: the new bytes go to a temporary file beside the real one, are
// flushed to the disk, and the temporary file then replaces the real one. The temporary file
// is marked for deletion until just before that moment, so a save that fails or a process
// that dies midway leaves nothing behind; what a death in that last instant leaves, the next
// save removes.
#pragma once

#include <windows.h>

#include <string>

#include "settings/file_store.h"

namespace kelvado {

class Win32FileStore : public FileStore {
 public:
  // A file another program holds without sharing is tried again for about a second.
  Contents read(const std::string& path) override;
  // A file with the read-only attribute is left alone, as is anything but a plain file. A file
  // in a folder that takes no new file is rewritten in place; a link is followed.
  bool replace(const std::string& path, std::string_view bytes) override;
  std::string failureReason() const override { return failure_; }
  // Notepad and its kind show a file with bare line feeds as one line.
  std::string_view newline() const override { return "\r\n"; }

 protected:
  // error: the system's error code where opening or reading failed, else 0.
  Contents readOnce(const std::string& path, DWORD* error);
  // The steps of a save that a full or failing disk or a closed folder make fail; tests
  // override them.
  virtual HANDLE createTemporary(const std::wstring& name);
  virtual bool writeSome(HANDLE file, const char* data, DWORD size, DWORD* written);
  virtual bool flush(HANDLE file);
  virtual bool moveOver(const wchar_t* from, const wchar_t* to);

 private:
  bool replaceInPlace(const std::wstring& target, std::string_view bytes);
  bool writeAll(HANDLE file, std::string_view bytes);
  // Keep the reason and return false.
  bool fail(DWORD error);
  bool fail(std::string reason);

  std::string failure_;
};

}  // namespace kelvado
