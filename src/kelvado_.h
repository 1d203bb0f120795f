// The main window and the routines it owns.
#pragma once

#include "forms/form1.h"
#include "framework/framework.h"
#include "program.h"

namespace kelvado {

class TForm1 : public Form {
 public:
  explicit TForm1(Program& program);

  Control& DateTimePicker1;
  Control& Edit1;
  Control& lblYoubi;
  Control& Panel1;
  Control& CheckBox2;
  Timer& Timer1;
  Timer& Timer2;
  Control& Edit2;
  Control& BitBtn1;

  void youbihyouji();
  void FormShow();
  void DateTimePicker1Change();
  void FormCloseQuery(bool& CanClose);
  void Panel1MouseDown(MouseButton Button, ShiftState Shift, int X, int Y);
  void Timer1Timer();
  void FormCreate();
  void CheckBox2Click();
  void lblYoubiClick();
  void Timer2Timer();
  void BitBtn1Click();

  // The paste shortcut of the settings file, if there is one: registered with the platform, or
  // the user is told why not, and the program runs on without it.
  void registerShortcut();
  // The shortcut was pressed: the date into the window that has the focus now.
  void shortcutPaste();

 private:
  void startFlash();
  void copyDate();
  Program& program_;
  ProgramState& state_;
  // The user is told once per run when pastes cannot reach other programs here.
  bool missingRouteTold_ = false;
};

}  // namespace kelvado
