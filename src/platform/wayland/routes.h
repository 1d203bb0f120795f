// The Wayland routes, each a platform that wraps the X11 one; wayland_platform.cpp chooses.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/wayland/wayland_connection.h"

namespace kelvado::wayland {

// The X11 platform as it is, for a route to override what it does otherwise.
class WrappedX11 : public Platform {
 public:
  explicit WrappedX11(std::unique_ptr<Platform> x11) : x11_(std::move(x11)) {}
  WindowId foregroundWindow() override { return x11_->foregroundWindow(); }
  bool isOwnWindow(WindowId window) override { return x11_->isOwnWindow(window); }
  void bringToFront(WindowId window) override { x11_->bringToFront(window); }
  void sendCtrlV() override { x11_->sendCtrlV(); }
  void setClipboardText(const std::string& text) override { x11_->setClipboardText(text); }
  std::string missingPasteRoute() override { return x11_->missingPasteRoute(); }
  void waitForModifiersUp() override { x11_->waitForModifiersUp(); }
  std::vector<MonitorRect> monitors() override { return x11_->monitors(); }
  std::string executablePath() override { return x11_->executablePath(); }
  LocalDateTime localNow() override { return x11_->localNow(); }

 protected:
  std::unique_ptr<Platform> x11_;
};

// A route on the compositor's own protocols: the program's connection, the seat, and the date
// on the compositor's clipboard through data control, which XWayland's mirrors for X11 windows
// (X11's clipboard where the compositor offers none). Not on XWayland's through the toolkit as
// well: sway passes that on to native windows only once the program has answered XWayland's
// question about it, after the click's handler, when a native target has the focus and sway no
// longer takes the clipboard from X11; and owning both at once sends the two bridges round in a
// circle that ends with an empty clipboard.
class CompositorRoute : public WrappedX11 {
 public:
  CompositorRoute(std::unique_ptr<Platform> x11, std::unique_ptr<Connection> connection)
      : WrappedX11(std::move(x11)),
        connection_(std::move(connection)),
        // Version 1 has all the routes use.
        seat_(connection_->bind<wl_seat>(wl_seat_interface, 1)),
        clipboard_(DataControlClipboard::make(*connection_, seat_)) {}
  ~CompositorRoute() override {
    clipboard_.reset();
    wl_seat_destroy(seat_);
  }
  CompositorRoute(const CompositorRoute&) = delete;
  CompositorRoute& operator=(const CompositorRoute&) = delete;

  void setClipboardText(const std::string& text) override {
    if (clipboard_ == nullptr || !clipboard_->set(text)) x11_->setClipboardText(text);
  }

 protected:
  std::unique_ptr<Connection> connection_;
  wl_seat* seat_;

 private:
  std::unique_ptr<DataControlClipboard> clipboard_;
};

// sway and its kin: foreign toplevels, a virtual keyboard, data control.
std::unique_ptr<Platform> makeWlrootsPlatform(std::unique_ptr<Platform> x11, std::unique_ptr<Connection> connection);
// KWin: its window management, fake input, data control.
std::unique_ptr<Platform> makeKwinPlatform(std::unique_ptr<Platform> x11, std::unique_ptr<Connection> connection);
// KWin that has not granted this program its interfaces: X11 with the compositor's clipboard,
// and what to do about it.
std::unique_ptr<Platform> makeKwinNotGrantedPlatform(std::unique_ptr<Platform> x11,
                                                     std::unique_ptr<Connection> connection);

}  // namespace kelvado::wayland
