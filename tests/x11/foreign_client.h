// A second X client standing in for another program: its own connection, its own windows,
// and the eyes of a test on what the server really did.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kelvado::testing {

struct KeyEvent {
  bool press = false;
  xcb_keycode_t key = 0;
  std::uint16_t state = 0;  // the modifiers down when the key went
};

class ForeignClient {
 public:
  // Under a window manager its windows are managed and activated through the manager.
  explicit ForeignClient(bool windowManager);
  ~ForeignClient();
  ForeignClient(const ForeignClient&) = delete;
  ForeignClient& operator=(const ForeignClient&) = delete;

  xcb_window_t root() const { return root_; }
  int screenWidth() const;
  int screenHeight() const;

  // A mapped window that listens to keys and focus changes; a top-level unless a parent is
  // given. Returns once the window is viewable and, under a window manager, has received the
  // focus the manager gives new windows (later it would take the focus back unasked).
  xcb_window_t createWindow(int x, int y, int width, int height, xcb_window_t parent = XCB_NONE);
  void destroyWindow(xcb_window_t window);
  void unmapWindow(xcb_window_t window);

  // What a user's click would do: through the window manager when there is one.
  void activate(xcb_window_t window);
  void setFocus(xcb_window_t window);
  xcb_window_t focus();
  void warpPointer(int x, int y);

  xcb_atom_t atom(const std::string& name);
  void setProperty(xcb_window_t window, const std::string& name, xcb_atom_t type,
                   const std::vector<std::uint32_t>& values);
  void deleteProperty(xcb_window_t window, const std::string& name);

  // The key events that have arrived at this client's windows since the last call.
  std::vector<KeyEvent> takeKeyEvents();
  // The windows of this client that received the input focus since the last call, in order,
  // up to the moment of this call.
  std::vector<xcb_window_t> takeFocusChanges();
  // The keysym in the unshifted position of a key.
  xcb_keysym_t keysymOf(xcb_keycode_t key);
  // The modifiers down right now (XCB_MOD_MASK_*).
  std::uint16_t modifiers();

  // The root's children, bottom to top.
  std::vector<xcb_window_t> stacking();

  // Waits until the server has handled everything sent so far.
  void sync();

 private:
  void handle(const xcb_generic_event_t& event);

  bool windowManager_;
  xcb_connection_t* c_;
  xcb_screen_t* screen_;
  xcb_window_t root_;
  xcb_window_t marker_;  // its property changes mark a moment in the stream of events
  std::vector<KeyEvent> keys_;
  std::vector<xcb_window_t> focused_;
  bool markerSeen_ = false;
};

}  // namespace kelvado::testing
