// Which Wayland route serves the paste: chosen here, in one place, in a fixed order: the
// compositor's own protocols (wlroots, then KWin's, wayland_support.cpp tells them apart), then
// the GNOME Shell extension, then X11 alone.
#include "platform/wayland/wayland_platform.h"

#include <cstdio>

#include "platform/gnome/gnome_platform.h"
#include "platform/wayland/routes.h"
#include "platform/wayland/wayland_support.h"

namespace kelvado {

std::unique_ptr<Platform> makeWaylandPlatform(std::unique_ptr<Platform> x11) {
  auto connection = wayland::Connection::open();
  if (connection == nullptr) return x11;
  const std::vector<std::string> globals = connection->globalNames();
  switch (wayland::chooseRoute(globals)) {
    case wayland::Route::kWlroots: return wayland::makeWlrootsPlatform(std::move(x11), std::move(connection));
    case wayland::Route::kKwin: return wayland::makeKwinPlatform(std::move(x11), std::move(connection));
    case wayland::Route::kKwinNotGranted:
      return wayland::makeKwinNotGrantedPlatform(std::move(x11), std::move(connection));
    case wayland::Route::kX11: break;
  }
  if (auto gnome = makeGnomePlatform(x11)) return gnome;
  std::fputs(wayland::shortfall(globals).c_str(), stderr);
  return x11;
}

}  // namespace kelvado
