// Loading and saving the settings file beside the executable.
#pragma once

namespace kelvado {

class Program;

// Reads every setting into the program and places the main window; called once at start.
void iniyomi(Program& program);
// Writes every setting; raises Error when the file cannot be written.
void inikaki(Program& program);

}  // namespace kelvado
