// The version and help window.
#pragma once

#include "forms/form2.h"
#include "framework/framework.h"
#include "program.h"

namespace kelvado {

class TForm2 : public Form {
 public:
  explicit TForm2(Program& program);

  Control& Memo1;

  void FormShow();

 private:
  ProgramState& state_;
};

}  // namespace kelvado
