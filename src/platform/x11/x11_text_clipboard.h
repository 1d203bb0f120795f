// The X11 clipboard owned with text offered in UTF-8 only.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace kelvado {

// Owns CLIPBOARD on the toolkit's X connection and offers the text as UTF8_STRING and
// text/plain;charset=utf-8, nothing else. A bridge to another clipboard (XWayland's to a
// Wayland compositor's) then has no legacy type to pick: Qt's own clipboard also offers STRING
// and TEXT, in which Japanese does not survive. Needs a running QGuiApplication on xcb.
class X11TextClipboard {
 public:
  X11TextClipboard();
  ~X11TextClipboard();
  X11TextClipboard(const X11TextClipboard&) = delete;
  X11TextClipboard& operator=(const X11TextClipboard&) = delete;

  void setText(std::string text);
  // Answers requests, from the toolkit's event loop, until someone has asked what the
  // clipboard offers since the last setText (a bridge taking it over does), or for at most
  // `wait`. False when nobody asked.
  bool waitUntilAsked(std::chrono::milliseconds wait);

 private:
  class Owner;
  std::unique_ptr<Owner> owner_;
};

}  // namespace kelvado
