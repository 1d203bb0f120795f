// Plugs a pointer into the compositor's seat and keeps it there until killed. A headless
// compositor has no input devices, so its seat offers clients no pointer and
// `swaymsg seat - cursor` clicks reach nobody; with this device they reach the window under
// the cursor like a person's.
#include <unistd.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

struct Globals {
  wl_seat* seat = nullptr;
  zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void announce(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  auto* g = static_cast<Globals*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && g->seat == nullptr)
    g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    g->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void withdraw(void*, wl_registry*, std::uint32_t) {}

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fputs("pointer_device: no Wayland display\n", stderr);
    return 1;
  }
  Globals g;
  const wl_registry_listener listener{announce, withdraw};
  wl_registry_add_listener(wl_display_get_registry(display), &listener, &g);
  wl_display_roundtrip(display);
  if (g.seat == nullptr || g.manager == nullptr) {
    std::fputs("pointer_device: the compositor offers no virtual pointer\n", stderr);
    return 1;
  }
  zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g.manager, g.seat);
  wl_display_roundtrip(display);
  std::puts("ready");
  std::fflush(stdout);
  while (wl_display_dispatch(display) != -1) {
  }
  return 0;
}
