#include "settings/file_text.h"

#include <cstdint>
#include <utility>

namespace kelvado {
namespace {

using Encoding = FileText::Encoding;

bool bigEndian(Encoding e) { return e == Encoding::Utf16BigEndian; }

void appendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void appendUnit(std::string& out, std::uint32_t unit, Encoding e) {
  const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  out += bigEndian(e) ? high : low;
  out += bigEndian(e) ? low : high;
}

bool isHighSurrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The code point that starts at text[i] and how many bytes it takes; a byte that starts no
// well-formed sequence stands for U+FFFD. Three-byte surrogates are taken as they are.
std::pair<std::uint32_t, std::size_t> nextCodePoint(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  const std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead <= 0xF4 ? 4 : 0;
  if (length == 0 || i + length > text.size()) return {0xFFFD, 1};
  std::uint32_t c = lead & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {0xFFFD, 1};
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < smallest[length] || c > 0x10FFFF) return {0xFFFD, 1};
  return {c, length};
}

}  // namespace

FileText decodeFileText(std::string bytes) {
  FileText file;
  if (bytes.starts_with("\xFF\xFE"))
    file.encoding = Encoding::Utf16LittleEndian;
  else if (bytes.starts_with("\xFE\xFF"))
    file.encoding = Encoding::Utf16BigEndian;
  else
    return {Encoding::Bytes, std::move(bytes)};

  const auto unitAt = [&](std::size_t i) {
    const auto first = static_cast<std::uint8_t>(bytes[i]), second = static_cast<std::uint8_t>(bytes[i + 1]);
    return bigEndian(file.encoding) ? std::uint32_t(first << 8 | second) : std::uint32_t(second << 8 | first);
  };
  const std::size_t end = bytes.size() - bytes.size() % 2;
  for (std::size_t i = 2; i < end; i += 2) {
    const std::uint32_t unit = unitAt(i);
    if (isHighSurrogate(unit) && i + 2 < end && isLowSurrogate(unitAt(i + 2))) {
      appendUtf8(file.text, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
      i += 2;
    } else {
      appendUtf8(file.text, unit);
    }
  }
  file.oddByte = bytes.substr(end);
  return file;
}

std::string encodeFileText(const FileText& from, std::string_view text) {
  if (from.encoding == Encoding::Bytes) return std::string(text);
  std::string out;
  out.reserve(2 * text.size() + 3);
  appendUnit(out, 0xFEFF, from.encoding);
  for (std::size_t i = 0; i < text.size();) {
    const auto [c, length] = nextCodePoint(text, i);
    i += length;
    if (c < 0x10000) {
      appendUnit(out, c, from.encoding);
    } else {
      appendUnit(out, 0xD800 + ((c - 0x10000) >> 10), from.encoding);
      appendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), from.encoding);
    }
  }
  return out + from.oddByte;
}

}  // namespace kelvado
