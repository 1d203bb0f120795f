#include "setei.h"

namespace kelvado {

TForm3::TForm3(Program& program) : Form(program.app, form3::kDefinition), state_(program.state) {
  onShow = [this] { FormShow(); };
}

void TForm3::FormShow() { state_.Form3Handle = handle(); }

}  // namespace kelvado
