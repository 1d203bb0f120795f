// A settings file's bytes as the profile engine edits them, and back. Notepad saves a file as
// "Unicode" in UTF-16 with a byte-order mark, and the Windows profile service reads such a file:
// it is edited as UTF-8 and written back in UTF-16 of the same byte order, so that what the
// user wrote stays theirs and stays readable by every program that reads it.
#pragma once

#include <string>
#include <string_view>

namespace kelvado {

struct FileText {
  enum class Encoding { Bytes, Utf16LittleEndian, Utf16BigEndian };
  Encoding encoding = Encoding::Bytes;
  // Bytes: the file as it is. UTF-16: its text in UTF-8 without the byte-order mark; a lone
  // surrogate is kept as the three bytes UTF-8 would give it, so that the file comes back whole.
  std::string text;
  // UTF-16: an odd last byte, which no code unit holds, given back as it was.
  std::string oddByte{};
};

// UTF-16 only with its byte-order mark, as the profile service takes it; any other file is bytes.
FileText decodeFileText(std::string bytes);

// The file's bytes for text, in the encoding and with the odd byte of the file it came from.
std::string encodeFileText(const FileText& from, std::string_view text);

}  // namespace kelvado
