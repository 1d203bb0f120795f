// The Win32 backend's tests. Under Wine without a window manager, hiding a window that Wine
// leaves to a window manager waits two seconds for one to answer; every test hides its windows
// as it ends. Wine is told to manage this program's windows itself, in its own settings for
// this executable only, before the first window is made.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll && GetProcAddress(ntdll, "wine_get_version")) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring exe = path;
    const std::wstring name = exe.substr(exe.find_last_of(L"\\/") + 1);
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + name + L"\\X11 Driver";
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", REG_SZ, L"N", sizeof(L"N"));
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
