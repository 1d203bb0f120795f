#include "foreign_client.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <utility>

#include "wait.h"

namespace kelvado::testing {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

}  // namespace

ForeignClient::ForeignClient(bool windowManager) : windowManager_(windowManager), c_(xcb_connect(nullptr, nullptr)) {
  if (xcb_connection_has_error(c_)) throw std::runtime_error("cannot connect to the X server");
  screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
  root_ = screen_->root;
  marker_ = xcb_generate_id(c_);
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(c_, 0, marker_, root_, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                    XCB_CW_EVENT_MASK, &mask);
}

ForeignClient::~ForeignClient() { xcb_disconnect(c_); }

int ForeignClient::screenWidth() const { return screen_->width_in_pixels; }
int ForeignClient::screenHeight() const { return screen_->height_in_pixels; }

xcb_window_t ForeignClient::createWindow(int x, int y, int width, int height, xcb_window_t parent) {
  const xcb_window_t w = xcb_generate_id(c_);
  const std::uint32_t values[] = {screen_->white_pixel,
                                  XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE};
  xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, parent == XCB_NONE ? root_ : parent, static_cast<std::int16_t>(x),
                    static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                    0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                    values);
  // Takes the focus when the window manager offers it (ICCCM input hint).
  setProperty(w, "WM_HINTS", XCB_ATOM_WM_HINTS, {1, 1, 0, 0, 0, 0, 0, 0, 0});
  xcb_map_window(c_, w);
  const bool viewable = waitUntil([&] {
    const Reply<xcb_get_window_attributes_reply_t> a{
        xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr)};
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
  });
  if (!viewable) throw std::runtime_error("a test window never became viewable");
  if (windowManager_ && parent == XCB_NONE && !waitUntil([&] { return focus() == w; }))
    throw std::runtime_error("the window manager never focused a new window");
  return w;
}

void ForeignClient::destroyWindow(xcb_window_t window) {
  xcb_destroy_window(c_, window);
  sync();
}

void ForeignClient::unmapWindow(xcb_window_t window) {
  xcb_unmap_window(c_, window);
  sync();
}

void ForeignClient::activate(xcb_window_t window) {
  if (windowManager_) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 2;
    xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
  } else {
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c_, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_set_input_focus(c_, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
  }
  if (!waitUntil([&] { return focus() == window; })) throw std::runtime_error("a test window never got the focus");
}

void ForeignClient::setFocus(xcb_window_t window) {
  xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
  sync();
}

xcb_window_t ForeignClient::focus() {
  const Reply<xcb_get_input_focus_reply_t> r{xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)};
  return r ? r->focus : XCB_NONE;
}

void ForeignClient::warpPointer(int x, int y) {
  xcb_warp_pointer(c_, XCB_NONE, root_, 0, 0, 0, 0, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
  sync();
}

xcb_atom_t ForeignClient::atom(const std::string& name) {
  const Reply<xcb_intern_atom_reply_t> r{xcb_intern_atom_reply(
      c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr)};
  if (!r) throw std::runtime_error("cannot intern " + name);
  return r->atom;
}

void ForeignClient::setProperty(xcb_window_t window, const std::string& name, xcb_atom_t type,
                                const std::vector<std::uint32_t>& values) {
  xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, atom(name), type, 32,
                      static_cast<std::uint32_t>(values.size()), values.data());
  sync();
}

void ForeignClient::deleteProperty(xcb_window_t window, const std::string& name) {
  xcb_delete_property(c_, window, atom(name));
  sync();
}

void ForeignClient::handle(const xcb_generic_event_t& event) {
  switch (event.response_type & 0x7f) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
      const auto& k = reinterpret_cast<const xcb_key_press_event_t&>(event);
      keys_.push_back({(event.response_type & 0x7f) == XCB_KEY_PRESS, k.detail, k.state});
      break;
    }
    case XCB_FOCUS_IN: {
      const auto& f = reinterpret_cast<const xcb_focus_in_event_t&>(event);
      if (f.detail != XCB_NOTIFY_DETAIL_POINTER) focused_.push_back(f.event);
      break;
    }
    case XCB_PROPERTY_NOTIFY:
      if (reinterpret_cast<const xcb_property_notify_event_t&>(event).window == marker_) markerSeen_ = true;
      break;
  }
}

std::vector<KeyEvent> ForeignClient::takeKeyEvents() {
  while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
    handle(*e);
    std::free(e);
  }
  return std::exchange(keys_, {});
}

std::vector<xcb_window_t> ForeignClient::takeFocusChanges() {
  // Events arrive in the order the server made them: all focus changes before this moment
  // come before the marker's property change.
  markerSeen_ = false;
  const std::uint32_t now = 0;
  xcb_change_property(c_, XCB_PROP_MODE_REPLACE, marker_, XCB_ATOM_WM_NAME, XCB_ATOM_CARDINAL, 32, 1, &now);
  xcb_flush(c_);
  while (!markerSeen_) {
    xcb_generic_event_t* e = xcb_wait_for_event(c_);
    if (e == nullptr) throw std::runtime_error("lost the X server");
    handle(*e);
    std::free(e);
  }
  return std::exchange(focused_, {});
}

xcb_keysym_t ForeignClient::keysymOf(xcb_keycode_t key) {
  const Reply<xcb_get_keyboard_mapping_reply_t> r{
      xcb_get_keyboard_mapping_reply(c_, xcb_get_keyboard_mapping(c_, key, 1), nullptr)};
  return r && r->keysyms_per_keycode > 0 ? xcb_get_keyboard_mapping_keysyms(r.get())[0] : 0;
}

std::uint16_t ForeignClient::modifiers() {
  const Reply<xcb_query_pointer_reply_t> r{xcb_query_pointer_reply(c_, xcb_query_pointer(c_, root_), nullptr)};
  return r ? r->mask : 0;
}

std::vector<xcb_window_t> ForeignClient::stacking() {
  const Reply<xcb_query_tree_reply_t> r{xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr)};
  if (!r) return {};
  const xcb_window_t* children = xcb_query_tree_children(r.get());
  return {children, children + xcb_query_tree_children_length(r.get())};
}

void ForeignClient::sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

}  // namespace kelvado::testing
