// On the toolkit's own xcb connection. Asking costs a stand-in window and two round trips,
// about half a millisecond; the answer, by the time it is wanted, one more.
#include "framework/qt/qt_frame_extents.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kelvado::qt {

namespace {

using namespace std::chrono_literals;

// A window manager that offers the request answers within a millisecond or two; one that
// never does must not hold up the start for long.
constexpr auto kAnswerWait = 100ms;
constexpr auto kAnswerPoll = 250us;

// Enough of _NET_SUPPORTED for any window manager (openbox lists about seventy atoms).
constexpr std::uint32_t kSupportedAtomsMax = 1024;

struct Free {
  void operator()(void* p) const { std::free(p); }
};

// Every window asked about here is the root or our own, so an error only means no answer.
template <typename T>
std::unique_ptr<T, Free> adopt(T* reply, xcb_generic_error_t* error) {
  std::free(error);
  return std::unique_ptr<T, Free>(reply);
}

xcb_intern_atom_cookie_t intern(xcb_connection_t* c, const std::string& name) {
  return xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data());
}

xcb_atom_t atomOf(xcb_connection_t* c, xcb_intern_atom_cookie_t cookie) {
  xcb_generic_error_t* error = nullptr;
  const auto reply = adopt(xcb_intern_atom_reply(c, cookie, &error), error);
  return reply ? reply->atom : XCB_NONE;
}

bool lists(xcb_connection_t* c, xcb_get_property_cookie_t cookie, xcb_atom_t atom) {
  xcb_generic_error_t* error = nullptr;
  const auto reply = adopt(xcb_get_property_reply(c, cookie, &error), error);
  if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32) return false;
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  const auto* end = atoms + xcb_get_property_value_length(reply.get()) / 4;
  return std::find(atoms, end, atom) != end;
}

std::optional<QMargins> frameExtents(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
  xcb_generic_error_t* error = nullptr;
  const auto reply = adopt(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_CARDINAL, 0, 4), &error), error);
  if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32 ||
      xcb_get_property_value_length(reply.get()) != 16)
    return std::nullopt;
  // Left, right, top, bottom.
  const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]), static_cast<int>(v[3]));
}

}  // namespace

FrameAnswer askFrameExtents(const QWidget& window) {
  const FrameAnswer cannotTell = [] { return std::nullopt; };
  // Other platforms may offer an X11 connection too (offscreen does), but their windows are not X11's.
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return cannotTell;
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11 ? x11->connection() : nullptr;
  if (!c) return cannotTell;
  // The window manager decides from the window's type and size limits, so a stand-in with the
  // same ones is asked about. The window itself is left alone: given its native window this
  // early, Qt would place it by its client area rather than by its frame.
  auto standIn = std::make_shared<QWidget>(nullptr, window.windowFlags());
  standIn->setMinimumSize(window.minimumSize());
  standIn->setMaximumSize(window.maximumSize());
  standIn->resize(window.size());
  const auto id = static_cast<xcb_window_t>(standIn->winId());

  // First round trip: the stand-in's root, which also makes sure that the server has the
  // stand-in and its hints, and the atoms; a window manager owns WM_Sn of each screen n it
  // manages.
  const auto treeCookie = xcb_query_tree(c, id);
  std::vector<xcb_intern_atom_cookie_t> managerCookies;
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem > 0; xcb_screen_next(&it))
    managerCookies.push_back(intern(c, "WM_S" + std::to_string(managerCookies.size())));
  const auto supportedCookie = intern(c, "_NET_SUPPORTED");
  const auto requestCookie = intern(c, "_NET_REQUEST_FRAME_EXTENTS");
  const auto extentsCookie = intern(c, "_NET_FRAME_EXTENTS");
  xcb_generic_error_t* error = nullptr;
  const auto tree = adopt(xcb_query_tree_reply(c, treeCookie, &error), error);
  std::vector<xcb_atom_t> managers;
  for (const auto cookie : managerCookies) managers.push_back(atomOf(c, cookie));
  const xcb_atom_t supported = atomOf(c, supportedCookie);
  const xcb_atom_t request = atomOf(c, requestCookie);
  const xcb_atom_t extents = atomOf(c, extentsCookie);
  if (!tree) return cannotTell;
  const xcb_window_t root = tree->root;
  std::size_t screen = 0;
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem > 0 && it.data->root != root; xcb_screen_next(&it))
    ++screen;
  if (screen >= managers.size()) return cannotTell;

  // Second: is a window manager running, and does it take the request? The root keeps
  // _NET_SUPPORTED after a window manager has gone; the selection goes with it.
  const auto ownerCookie = xcb_get_selection_owner(c, managers[screen]);
  const auto listCookie = xcb_get_property(c, 0, root, supported, XCB_ATOM_ATOM, 0, kSupportedAtomsMax);
  const auto owner = adopt(xcb_get_selection_owner_reply(c, ownerCookie, &error), error);
  const bool offered = lists(c, listCookie, request);
  if (owner && owner->owner == XCB_NONE) return [] { return QMargins(); };
  if (!owner || !offered) return cannotTell;

  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = id;
  message.type = request;
  xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(c);
  const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
  // The toolkit reads this connection's events, so the answer is looked for rather than waited
  // on. The stand-in lives as long as the question.
  return [c, standIn, id, extents, deadline]() -> std::optional<QMargins> {
    for (;;) {
      if (const auto frame = frameExtents(c, id, extents)) return frame;
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(kAnswerPoll);
    }
  };
}

}  // namespace kelvado::qt
