#include "settings/profile.h"

#include <algorithm>
#include <string>

namespace kelvado {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool isQuote(char c) { return c == '"' || c == '\''; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

// A section header: "[" first and the last "]" of the line closing the name.
std::optional<std::string_view> sectionName(std::string_view content) {
  if (content.empty() || content.front() != '[') return std::nullopt;
  const std::size_t close = content.rfind(']');
  if (close == 0 || close == std::string_view::npos) return std::nullopt;
  return trim(content.substr(1, close - 1));
}

std::string_view unquoted(std::string_view raw) {
  if (raw.size() >= 2 && isQuote(raw.front()) && raw.back() == raw.front()) return raw.substr(1, raw.size() - 2);
  return raw;
}

// A value as a line holds it, so that reading it back gives the value again.
std::string encoded(std::string_view value) {
  const bool quote = !value.empty() && (isBlank(value.front()) || isBlank(value.back()) ||
                                        (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front()));
  // Appended, not `"x" + std::string`: GCC 12 at -O3 warns falsely on that (-Wrestrict).
  return quote ? std::string("\"").append(value).append("\"") : std::string(value);
}

// A line ends at CR LF, at LF, or at a lone CR as in files from old Macs; the last one may end
// with the text instead.
struct Line {
  std::size_t end;   // where its content ends
  std::size_t next;  // where the next line begins; npos when the line has no ending
};

Line lineFrom(std::string_view text, std::size_t begin) {
  const std::size_t end = text.find_first_of("\r\n", begin);
  if (end == std::string_view::npos) return {text.size(), std::string_view::npos};
  return {end, end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1)};
}

// Where a key stands in a text, or where it would go.
struct Location {
  bool sectionFound = false;
  // Where the line after the section's last non-blank line begins; npos when that line ends
  // the text without a line ending.
  std::size_t sectionNext = 0;
  bool keyFound = false;
  // The raw value, blanks trimmed, quotes included.
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
};

// Some editors put a UTF-8 byte-order mark before the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

Location locate(std::string_view text, std::string_view section, std::string_view key) {
  section = trim(section);
  key = trim(key);
  Location at;
  bool inSection = false;
  std::size_t begin = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  while (begin < text.size()) {
    const Line line = lineFrom(text, begin);
    const std::string_view content = trim(text.substr(begin, line.end - begin));
    if (const auto name = sectionName(content)) {
      // Only the first section of a name counts.
      if (inSection) break;
      inSection = sameName(*name, section);
      if (inSection) {
        at.sectionFound = true;
        at.sectionNext = line.next;
      }
    } else if (inSection && !content.empty()) {
      at.sectionNext = line.next;
      const std::size_t equals = content.find('=');
      if (equals != std::string_view::npos && sameName(trim(content.substr(0, equals)), key)) {
        const std::string_view raw = trim(content.substr(equals + 1));
        at.keyFound = true;
        // An empty value sits right after the "=".
        at.valueBegin = raw.empty() ? static_cast<std::size_t>(content.data() - text.data()) + equals + 1
                                    : static_cast<std::size_t>(raw.data() - text.data());
        at.valueEnd = at.valueBegin + raw.size();
        return at;
      }
    }
    if (line.next == std::string_view::npos) break;
    begin = line.next;
  }
  return at;
}

// The line ending the text already uses, so added lines match it.
std::string lineEndingOf(std::string_view text, std::string_view fallback) {
  const Line first = lineFrom(text, 0);
  if (first.next == std::string_view::npos) return std::string(fallback);
  return std::string(text.substr(first.end, first.next - first.end));
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return asciiLower(c) - 'a' + 10;
}

std::optional<std::int32_t> parseHex(std::string_view digits) {
  if (digits.empty() || !std::ranges::all_of(digits, isHexDigit)) return std::nullopt;
  const std::size_t significant = digits.find_first_not_of('0');
  if (significant != std::string_view::npos && digits.size() - significant > 8) return std::nullopt;
  std::uint32_t v = 0;
  for (char c : digits) v = (v << 4) | static_cast<std::uint32_t>(hexValue(c));
  return static_cast<std::int32_t>(v);
}

std::optional<std::int32_t> parseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr std::int64_t kLimit = 2147483648;  // the magnitude of the most negative value
  std::int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > kLimit) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > kLimit - 1) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

}  // namespace

Profile::Profile(std::string text, std::string_view newline)
    : text_(std::move(text)), newline_(lineEndingOf(text_, newline)) {}

std::optional<std::string> Profile::value(std::string_view section, std::string_view key) const {
  const Location at = locate(text_, section, key);
  if (!at.keyFound) return std::nullopt;
  const std::string_view raw = std::string_view(text_).substr(at.valueBegin, at.valueEnd - at.valueBegin);
  return std::string(unquoted(raw).substr(0, kMaxValueBytes));
}

std::string Profile::readText(std::string_view section, std::string_view key, std::string_view fallback) const {
  return value(section, key).value_or(std::string(fallback));
}

std::int32_t Profile::readInteger(std::string_view section, std::string_view key, std::int32_t fallback) const {
  return parseProfileInteger(readText(section, key, "")).value_or(fallback);
}

void Profile::writeText(std::string_view section, std::string_view key, std::string_view value) {
  value = value.substr(0, value.find_first_of("\r\n"));
  // Leaves a value the program did not change exactly as the user wrote it, quotes, spacing
  // and any bytes past the read limit included.
  if (this->value(section, key) == value) return;
  const Location at = locate(text_, section, key);
  if (at.keyFound) {
    text_.replace(at.valueBegin, at.valueEnd - at.valueBegin, encoded(value));
    return;
  }
  const std::string line = std::string(trim(key)) + "=" + encoded(value);
  if (at.sectionFound) {
    if (at.sectionNext != std::string::npos)
      text_.insert(at.sectionNext, line + newline_);
    else
      text_ += newline_ + line;
    return;
  }
  // A text without a final line ending keeps going without one.
  const bool ended = text_.empty() || text_.back() == '\n' || text_.back() == '\r';
  std::string lines = std::string("[").append(trim(section)).append("]");
  lines.append(newline_).append(line);
  text_ += ended ? lines + newline_ : newline_ + lines;
}

void Profile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
  writeText(section, key, std::to_string(value));
}

std::optional<std::int32_t> parseProfileInteger(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  // The "0x" prefix also covers the operation's own rewrite of a leading "0x" into "$".
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return parseHex(text.substr(2));
  if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) return parseHex(text.substr(1));
  return parseDecimal(text);
}

}  // namespace kelvado
