#include "vajhel.h"

namespace kelvado {

TForm2::TForm2(Program& program)
    : Form(program.app, form2::kDefinition), Memo1(control(form2::Memo1)), state_(program.state) {
  onShow = [this] { FormShow(); };
}

// Recorded so that the paste target tracking never takes the help window for a target.
void TForm2::FormShow() { state_.Form2Handle = handle(); }

}  // namespace kelvado
