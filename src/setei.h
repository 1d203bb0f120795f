// The notation dialog and the pattern routines.
#pragma once

#include "forms/form3.h"
#include "framework/framework.h"
#include "program.h"

namespace kelvado {

class TForm3 : public Form {
 public:
  explicit TForm3(Program& program);

  void FormShow();

 private:
  ProgramState& state_;
};

}  // namespace kelvado
