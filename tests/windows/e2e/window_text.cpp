// Reads what a window shows, from outside, the way a screen reader would: the end-to-end tests
// run it under Wine beside the program and Notepad, so neither the clipboard nor the focus moves.
//
//   window_text --class CLASS|--title TITLE [CHILD_CLASS]
//
// Finds the first visible top-level window of that class or with that exact title and prints
// its title, or with CHILD_CLASS the texts of all its descendants of that class, one after the
// other, each ended by a line break. Windows line ends become "\n". Exit 1: no such window.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "win32/wide_text.h"

namespace {

std::wstring textOf(HWND window) {
  const auto length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto copied = static_cast<int>(
      SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data())));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

std::wstring classOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

struct Search {
  std::wstring by;
  std::wstring value;
  HWND found = nullptr;
};

BOOL CALLBACK visitTopLevel(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  const std::wstring actual = search.by == L"--class" ? classOf(window) : textOf(window);
  if (actual != search.value) return TRUE;
  search.found = window;
  return FALSE;
}

struct Children {
  std::wstring cls;
  std::wstring texts;
};

BOOL CALLBACK visitChild(HWND window, LPARAM param) {
  auto& children = *reinterpret_cast<Children*>(param);
  if (_wcsicmp(classOf(window).c_str(), children.cls.c_str()) == 0) children.texts += textOf(window) + L"\n";
  return TRUE;
}

void print(std::wstring text) {
  for (std::size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.erase(at, 1);
  const std::string utf8 = kelvado::win32::narrow(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Bytes as they are: the C runtime would make every "\n" a "\r\n" on the way out.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 3 || (std::wstring(argv[1]) != L"--class" && std::wstring(argv[1]) != L"--title")) {
    std::fputs("usage: window_text --class CLASS|--title TITLE [CHILD_CLASS]\n", stderr);
    return 2;
  }
  Search search{argv[1], argv[2]};
  EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return 1;
  if (argc < 4) {
    print(textOf(search.found) + L"\n");
    return 0;
  }
  Children children{argv[3], {}};
  EnumChildWindows(search.found, visitChild, reinterpret_cast<LPARAM>(&children));
  print(children.texts);
  return 0;
}
