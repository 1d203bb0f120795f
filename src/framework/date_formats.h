// Date formats as the desktops write them ("yyyy'年'M'月'd'日' dddd"), for the date picker.
#pragma once

#include <string>
#include <string_view>

namespace kelvado {

// The format without its weekday ("ddd" or "dddd", the day's letters repeated) and the
// separators (blanks and commas) that joined it to the rest; quoted text stays as it is. Any
// UTF-8 text: only ASCII letters and marks are looked at.
std::string withoutWeekday(std::string_view format);

}  // namespace kelvado
