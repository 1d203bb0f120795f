// Answers other programs' requests for the clipboard from inside the toolkit's event loop: the
// requests arrive on the toolkit's connection, addressed to a window of our own that nobody sees.
#include "platform/x11/x11_text_clipboard.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "framework/types.h"

namespace kelvado {

class X11TextClipboard::Owner : public QAbstractNativeEventFilter {
 public:
  explicit Owner(xcb_connection_t* c) : c_(c) {
    const auto intern = [c](std::string_view name) {
      return xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data());
    };
    const xcb_intern_atom_cookie_t cookies[] = {intern("CLIPBOARD"), intern("TARGETS"), intern("UTF8_STRING"),
                                                intern("text/plain;charset=utf-8")};
    xcb_atom_t* atoms[] = {&clipboard_, &targets_, &utf8String_, &textPlainUtf8_};
    for (std::size_t i = 0; i < std::size(cookies); ++i) {
      xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
      if (reply == nullptr) throw Error("kelvado cannot name the X11 clipboard's types");
      *atoms[i] = reply->atom;
      std::free(reply);
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    window_ = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    QCoreApplication::instance()->installNativeEventFilter(this);
  }

  ~Owner() override {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    xcb_destroy_window(c_, window_);
    xcb_flush(c_);
  }

  bool asked() const { return asked_; }

  void setText(std::string text) {
    text_ = std::move(text);
    asked_ = false;
    xcb_set_selection_owner(c_, window_, clipboard_, XCB_CURRENT_TIME);
    xcb_flush(c_);
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
      case XCB_SELECTION_REQUEST: {
        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
        if (request->owner != window_) return false;
        answer(*request);
        return true;
      }
      case XCB_SELECTION_CLEAR:
        // Another program has taken the clipboard; Qt need not hear of a window it never made.
        return reinterpret_cast<const xcb_selection_clear_event_t*>(event)->owner == window_;
      default: return false;
    }
  }

 private:
  // The text in the type asked for, or a refusal; no request here is large enough for
  // increments.
  void answer(const xcb_selection_request_event_t& request) {
    // A client from before ICCCM 2 names no property: the target is the one.
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    bool given = true;
    if (request.selection != clipboard_) {
      given = false;
    } else if (request.target == targets_) {
      asked_ = true;
      const xcb_atom_t offered[] = {targets_, utf8String_, textPlainUtf8_};
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32, std::size(offered),
                          offered);
    } else if (request.target == utf8String_ || request.target == textPlainUtf8_) {
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, request.target, 8,
                          static_cast<std::uint32_t>(text_.size()), text_.data());
    } else {
      given = false;
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = given ? property : XCB_NONE;
    // A requestor that has gone costs an error the toolkit drops.
    xcb_send_event(c_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(c_);
  }

  xcb_connection_t* c_;
  xcb_window_t window_ = XCB_NONE;
  xcb_atom_t clipboard_ = XCB_NONE;
  xcb_atom_t targets_ = XCB_NONE;
  xcb_atom_t utf8String_ = XCB_NONE;
  xcb_atom_t textPlainUtf8_ = XCB_NONE;
  std::string text_;
  bool asked_ = false;
};

X11TextClipboard::X11TextClipboard() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->connection() == nullptr) throw Error("kelvado needs an X11 display for the clipboard");
  owner_ = std::make_unique<Owner>(x11->connection());
}

X11TextClipboard::~X11TextClipboard() = default;

void X11TextClipboard::setText(std::string text) { owner_->setText(std::move(text)); }

bool X11TextClipboard::waitUntilAsked(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  // The requests come as events; the user's clicks and keys wait until afterwards.
  while (!owner_->asked() && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return owner_->asked();
}

}  // namespace kelvado
