// Loading and saving the settings file beside the executable.
#pragma once

#include <string>
#include <string_view>

namespace kelvado {

class Program;

// The settings file of an executable: its path with the extension replaced by ".ini", or
// ".ini" appended when the file name has none. "/", "\\" and ":" end a folder or drive name.
// The path is UTF-8, so no byte of a multi-byte character is taken for a separator or a dot.
std::string settingsPath(std::string_view executablePath);

// Reads every setting into the program and places the main window; called once at start.
// Never creates or changes the file; whatever cannot be read takes its default.
void iniyomi(Program& program);
// Writes every setting in one replacement of the file; raises Error "<path> に書き込めません"
// when the file cannot be written, leaving it as it was.
void inikaki(Program& program);

}  // namespace kelvado
