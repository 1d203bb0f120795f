#include "settings/settings_file.h"

#include "kelvado_.h"
#include "program.h"

namespace kelvado {

// Until the settings file is read from disk, every key takes its default.
void iniyomi(Program& program) {
  program.Form1->setLeft(0);
  program.Form1->setTop(0);
  ProgramState& s = program.state;
  s.patan = 1;
  s.yobichek = 1;
  s.staytop = 1;
  s.notation = kDefaultNotation;
  s.pmoj = {"141310", "231210", "000100", "000001", "240300"};
}

void inikaki(Program& /*program*/) {}

}  // namespace kelvado
