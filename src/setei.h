// The notation dialog and the pattern routines.
#pragma once

#include <string>

#include "forms/form3.h"
#include "framework/framework.h"
#include "program.h"

namespace kelvado {

// Holds no state of its own: the lists and previews mirror the program's notation fields and
// the pattern buttons work on the program's pattern slots.
class TForm3 : public Form {
 public:
  explicit TForm3(Program& program);

  Control& Panel1;
  Control& ComboBox1;
  Control& ComboBox2;
  Control& ComboBox3;
  Control& ComboBox4;
  Control& ComboBox5;
  Control& ComboBox6;
  Control& Label1;
  Control& Label2;
  Control& Label3;
  Control& Label4;
  Control& Label5;
  Control& Label6;
  Control& lab1;
  Control& lab2;
  Control& lab3;
  Control& lab4;
  Control& lab5;
  Control& lab6;
  Control& Label13;
  Control& Button1;
  Control& Memo1;
  Control& bt1;
  Control& bt2;
  Control& bt3;
  Control& bt4;
  Control& bt5;
  Control& Label7;

  void FormShow();
  void ComboBox1Change();
  void ComboBox2Change();
  void ComboBox3Change();
  void ComboBox4Change();
  void ComboBox5Change();
  void ComboBox6Change();
  void lab1hyoji();
  void lab2hyoji();
  void lab3hyoji();
  void lab4hyoji();
  void lab5hyoji();
  void lab6hyoji();
  void Button1Click();
  // Brings the lists, the previews and the main window in line with the notation fields.
  void hyoki2comlab();
  // Recalls a pattern code; raises Error at the first character that is no digit, keeping the
  // fields assigned before it and refreshing nothing.
  void moj2hyoki(const std::string& code);
  // Stores the current notation into pattern slot N (1..5) and confirms it.
  void hyoki2moj(int N);
  void bt1MouseDown(MouseButton Button, ShiftState Shift, int X, int Y);
  void bt2MouseDown(MouseButton Button, ShiftState Shift, int X, int Y);
  void bt3MouseDown(MouseButton Button, ShiftState Shift, int X, int Y);
  void bt4MouseDown(MouseButton Button, ShiftState Shift, int X, int Y);
  void bt5MouseDown(MouseButton Button, ShiftState Shift, int X, int Y);

 private:
  // The work behind the numbered handlers, by list position 1..6 or pattern slot 1..5.
  void listChange(int n);
  void previewShow(int n);
  void patternButtonDown(int n, MouseButton button);

  Program& program_;
  ProgramState& state_;
};

}  // namespace kelvado
