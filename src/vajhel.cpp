#include "vajhel.h"

namespace kelvado {

TForm2::TForm2(Program& program) : Form(program.app, form2::kDefinition), state_(program.state) {
  onShow = [this] { FormShow(); };
}

void TForm2::FormShow() { state_.Form2Handle = handle(); }

}  // namespace kelvado
