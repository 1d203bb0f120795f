// The program object: the application, the platform, the program-wide state and the three
// windows, brought up in their fixed order.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/framework.h"
#include "notation.h"
#include "platform/platform.h"
#include "settings/file_store.h"

namespace kelvado {

class TForm1;
class TForm2;
class TForm3;

// Program-wide variables, named after their settings keys where they have one. Integer flags
// mean "on" only when exactly 1; whatever else the settings file held is kept as it was.
struct ProgramState {
  NotationSettings notation;
  std::array<std::string, 5> pmoj;  // pattern slots pmoj1..pmoj5
  std::int32_t patan = 0;
  std::int32_t yobichek = 0;
  std::int32_t staytop = 0;
  std::string YoubiText;
  WindowId Form1Handle = 0;
  WindowId Form2Handle = 0;
  WindowId Form3Handle = 0;
  WindowId TargetWindow = 0;
  std::int32_t FlashCount = 0;
  // Set when a settings file was there at start but could not be read, to why (in the system's
  // words, possibly empty): the settings it holds were never seen, so it must not be saved over.
  std::optional<std::string> settingsNotRead;
  // [hotkey] paste as the settings file holds it; nullopt when there is none.
  std::optional<std::string> hotkeyPaste;
};

class Program {
 public:
  Program(Backend& backend, Platform& platform);
  ~Program();

  // Start-up: the title, then Form1 (created, loaded, shown), then Form2 and Form3 hidden.
  void start();
  // The message loop, until the main window has closed. Returns the process's exit status.
  int run();

  Application app;
  Platform& platform;
  ProgramState state;
  // The monitors as enumerated at start, before any window exists.
  const std::vector<MonitorRect> monitors;
  // Where the settings file is read and written; tests put an in-memory store here.
  FileStore* settingsFiles = &systemFileStore();
  std::unique_ptr<TForm1> Form1;
  std::unique_ptr<TForm2> Form2;
  std::unique_ptr<TForm3> Form3;
};

}  // namespace kelvado
