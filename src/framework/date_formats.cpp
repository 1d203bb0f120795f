#include "framework/date_formats.h"

namespace kelvado {

std::string withoutWeekday(std::string_view format) {
  const auto separator = [](char c) { return c == ',' || c == ' '; };
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < format.size();) {
    std::size_t run = 0;
    while (!quoted && i + run < format.size() && format[i + run] == 'd') ++run;
    if (run >= 3) {
      for (i += run; i < format.size() && separator(format[i]);) ++i;
      continue;
    }
    if (run == 0) {
      if (format[i] == '\'') quoted = !quoted;
      run = 1;
    }
    out.append(format.substr(i, run));
    i += run;
  }
  while (!out.empty() && separator(out.back())) out.pop_back();
  return out;
}

}  // namespace kelvado
