// The program keeps its text as UTF-8; Windows takes and gives UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace kelvado::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace kelvado::win32
