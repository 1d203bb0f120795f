// The profile (INI) engine: reads and edits the text of a settings file as bytes.
//
// Reading follows the platform profile service the file format comes from: a line ends at CR LF,
// LF or a lone CR; a "[name]" line opens a section, a "key=value" line holds a value, names match without regard to
// ASCII case or surrounding blanks, the first of duplicate sections and of duplicate keys wins, a value loses its
// surrounding blanks and one pair of matching quotes, and is cut to 2047 bytes. A UTF-8 byte-order mark before the
// first line is skipped.
//
// Editing touches only the value it sets: every other byte of the text (comments, blank lines,
// unknown sections and keys, spacing, line endings, a missing final line ending) stays as it
// was. Values are bytes, whatever their encoding. Section and key names are plain ASCII words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvado {

class Profile {
 public:
  // The longest value a read gives back; longer ones are cut.
  static constexpr std::size_t kMaxValueBytes = 2047;

  // text: the file's bytes, empty for a file that does not exist yet. newline: the line
  // ending for lines added to a text that has none of its own yet.
  explicit Profile(std::string text = {}, std::string_view newline = "\n");

  const std::string& text() const { return text_; }

  // The key's value, or nullopt when the section or the key is missing. A key present with
  // nothing after its "=" gives "".
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  std::string readText(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The value as an integer by parseProfileInteger; the fallback when missing or malformed.
  std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t fallback) const;

  // Sets the key: its value is replaced in place, a missing key is added after the last line
  // of its section, a missing section is added at the end. Setting the value a read already
  // gives changes nothing. A value is written so that a read gives it back: it is quoted when
  // its ends are blanks or a matching pair of quotes, and anything from a line break (CR or LF)
  // on is dropped, since a line break would end the line. Added lines end as the text's first
  // line does.
  void writeText(std::string_view section, std::string_view key, std::string_view value);
  void writeInteger(std::string_view section, std::string_view key, std::int32_t value);

 private:
  std::string text_;
  std::string newline_;
};

// Reads an integer the way the profile's read-integer operation does: a leading "0x"/"0X" is a
// hexadecimal prefix, leading blanks are skipped, then either an optional sign and decimal
// digits within the 32-bit range, or a prefix "$", "x", "X", "0x" or "0X" (no sign) and at most
// eight significant hexadecimal digits taken as 32-bit two's complement. Anything else, an
// empty text included, gives nullopt.
std::optional<std::int32_t> parseProfileInteger(std::string_view text);

}  // namespace kelvado
