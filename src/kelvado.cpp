// The program's entry: the toolkit, then the program's three windows, then the message loop.
#include "program.h"
#include "toolkit.h"

int main(int /*argc*/, char** argv) {
  // The command line is not read: only the program's own name goes to the toolkit.
  kelvado::Toolkit toolkit = kelvado::makeToolkit(argv[0]);
  kelvado::Program program(*toolkit.backend, *toolkit.platform);
  program.start();
  return program.run();
}
