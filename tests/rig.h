// A whole program on the fake backend and platform, for driving the handlers in-process.
#pragma once

#include "framework/fake/fake_backend.h"
#include "kelvado_.h"
#include "platform/fake/fake_platform.h"
#include "program.h"
#include "setei.h"
#include "settings/fake/memory_file_store.h"
#include "vajhel.h"

namespace kelvado::testing {

struct Rig {
  // Settings files live in memory, so no test touches the disk unless it asks to.
  Rig() { program.settingsFiles = &files; }

  fake::FakeBackend backend;
  fake::FakePlatform platform;
  fake::MemoryFileStore files;
  Program program{backend, platform};
  ProgramState& state = program.state;

  TForm1& form1() { return *program.Form1; }
  TForm2& form2() { return *program.Form2; }
  TForm3& form3() { return *program.Form3; }

  // Starts the program and its message loop.
  Rig& start() {
    program.start();
    program.run();
    return *this;
  }
  void leftClick(Control& c) { c.userMouseDown(MouseButton::Left, {}, 5, 5); }
  void rightClick(Control& c) { c.userMouseDown(MouseButton::Right, {}, 5, 5); }
};

}  // namespace kelvado::testing
