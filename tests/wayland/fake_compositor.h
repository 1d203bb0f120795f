// A compositor of the tests' own, run in-process on a thread of its own, with the server side of
// just what the Wayland routes use: sway's foreign toplevels, virtual keyboard and data control,
// or KWin's window management, fake input and data control, and a seat whose keymap the test
// chooses. Its timing is the test's: nothing happens by the clock, only at the client's requests
// and the test's steps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvado::wayland::test {

// Which desktop the compositor poses as, by the globals it offers.
enum class Desktop { kSway, kKwin };

// A key as the compositor took it from the virtual keyboard or fake input.
struct KeyEvent {
  std::string sym;  // the keysym's name in the keymap that applies to that sender
  bool down = false;
  bool controlHeld = false;  // Control in effect as the key came
  std::string focus;         // the window with the keyboard focus then
  int step = 0;              // how many steps the test had taken when the key arrived
};

class FakeCompositor {
 public:
  static constexpr int kNever = -1;

  // Listens on wayland-0 in a private XDG_RUNTIME_DIR, both set in the environment with
  // WAYLAND_DISPLAY. The seat's keymap is built from the layout and variant.
  explicit FakeCompositor(Desktop desktop, const std::string& layout = "us", const std::string& variant = "");
  ~FakeCompositor();
  FakeCompositor(const FakeCompositor&) = delete;
  FakeCompositor& operator=(const FakeCompositor&) = delete;

  // Each of these is done, and told to the client, before it returns.
  // The user switches the seat's layout: the new keymap goes to every keyboard.
  void setLayout(const std::string& layout, const std::string& variant = "");
  void addWindow(const std::string& name, std::uint32_t pid);
  void activate(const std::string& name);
  void close(const std::string& name);
  // Done when the client's next request arrives, before that request is handled: a change the
  // compositor had not told yet when the client last read.
  void activateBeforeNextRequest(const std::string& name);
  void closeBeforeNextRequest(const std::string& name);
  // How many of the client's syncs pass before an activation it asks for is done and told: 0 at
  // once, 1 just before the first sync after the request is answered; kNever refuses.
  void answerActivationsAfter(int syncs);

  // The types the clipboard's owner offers, as data control has them.
  std::vector<std::string> clipboardTypes();
  // Asks the clipboard's owner for its contents in that type, as a program that pastes does:
  // the read end of the pipe the owner is to write them to (non-blocking), or -1 when no one
  // owns the clipboard.
  int askClipboard(const std::string& type);

  // Handles all the client has sent by now, and counts a step.
  void step();
  std::vector<KeyEvent> keys();
  // Every request of the client, "interface.request", in order of arrival.
  std::vector<std::string> requests();
  std::string focus();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelvado::wayland::test
