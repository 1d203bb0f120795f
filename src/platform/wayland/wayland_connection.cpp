#include "platform/wayland/wayland_connection.h"

#include <poll.h>
#include <unistd.h>

#include <QObject>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace kelvado::wayland {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// As long as the X11 platform waits for a window manager: a target that never becomes active
// must not freeze the window for long.
constexpr auto kSettleWait = 300ms;

// The types native applications ask for; the legacy X11 ones would turn Japanese into "?".
constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"};

}  // namespace

std::unique_ptr<Connection> Connection::open() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "kelvado: cannot reach the Wayland compositor (%s); pasting only into X11 programs\n", name);
    return nullptr;
  }
  return std::make_unique<Connection>(display, wl_display_get_registry(display));
}

Connection::Connection(wl_display* display, wl_registry* registry)
    : display_(display), registry_(registry), notifier_(wl_display_get_fd(display), QSocketNotifier::Read) {
  wl_registry_add_listener(registry_, &kRegistryListener, this);
  wl_display_roundtrip(display_);
  QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { pump(0); });
}

Connection::~Connection() {
  notifier_.setEnabled(false);
  wl_registry_destroy(registry_);
  wl_display_disconnect(display_);
}

void Connection::onGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
  static_cast<Connection*>(data)->globals_.push_back({name, interface, version});
}

std::vector<std::string> Connection::globalNames() const {
  std::vector<std::string> names;
  for (const Global& g : globals_) names.push_back(g.interface);
  return names;
}

std::uint32_t Connection::version(const wl_interface& kind) const {
  for (const Global& g : globals_)
    if (g.interface == kind.name) return g.version;
  return 0;
}

void* Connection::bindGlobal(const wl_interface& kind, std::uint32_t version) {
  for (const Global& g : globals_)
    if (g.interface == kind.name) return wl_registry_bind(registry_, g.name, &kind, std::min(g.version, version));
  return nullptr;
}

bool Connection::pump(int timeoutMs) {
  // One read ends where a message with a file descriptor begins (a keymap, a clipboard
  // request): what the compositor sent after it is read by the next, or a look would miss it.
  for (int wait = timeoutMs;; wait = 0) {
    if (wl_display_get_error(display_) != 0) {
      notifier_.setEnabled(false);
      return false;
    }
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
    const bool readable = poll(&fd, 1, wait) > 0;
    if (readable)
      wl_display_read_events(display_);
    else
      wl_display_cancel_read(display_);
    if (wl_display_dispatch_pending(display_) < 0) return false;
    if (!readable) return true;
  }
}

void Connection::onSynced(void* data, wl_callback* callback, std::uint32_t) {
  ++static_cast<Connection*>(data)->syncsAnswered_;
  wl_callback_destroy(callback);
}

bool Connection::settle(const std::function<Wait()>& check) {
  wl_callback_add_listener(wl_display_sync(display_), &kSyncListener, this);
  const std::uint64_t sync = ++syncsAsked_;
  const auto deadline = Clock::now() + kSettleWait;
  for (;;) {
    const Wait wait = check();
    if (wait == Wait::kGiveUp) return false;
    if (syncsAnswered_ >= sync && wait == Wait::kDone) return true;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !pump(static_cast<int>(left))) return false;
  }
}

const zwlr_data_control_device_v1_listener DataControlClipboard::kDeviceListener{onDataOffer, onSelection, onFinished};
const zwlr_data_control_source_v1_listener DataControlClipboard::kSourceListener{onSend, onCancelled};

std::unique_ptr<DataControlClipboard> DataControlClipboard::make(Connection& connection, wl_seat* seat) {
  // Version 1 has all this uses.
  auto* manager = connection.bind<zwlr_data_control_manager_v1>(zwlr_data_control_manager_v1_interface, 1);
  if (manager == nullptr) return nullptr;
  return std::make_unique<DataControlClipboard>(connection, manager, seat);
}

DataControlClipboard::DataControlClipboard(Connection& connection, zwlr_data_control_manager_v1* manager, wl_seat* seat)
    : connection_(connection), manager_(manager), device_(zwlr_data_control_manager_v1_get_data_device(manager, seat)) {
  zwlr_data_control_device_v1_add_listener(device_, &kDeviceListener, this);
  // A program that asks for the text may close its end of the pipe before it is written: that
  // must cost a failed write, not the process.
  std::signal(SIGPIPE, SIG_IGN);
}

DataControlClipboard::~DataControlClipboard() {
  for (const Offer& offer : offers_) zwlr_data_control_source_v1_destroy(offer.source);
  if (othersOffer_ != nullptr) zwlr_data_control_offer_v1_destroy(othersOffer_);
  if (device_ != nullptr) zwlr_data_control_device_v1_destroy(device_);
  zwlr_data_control_manager_v1_destroy(manager_);
}

bool DataControlClipboard::set(const std::string& text) {
  if (device_ == nullptr) return false;
  Offer& offer = offers_.emplace_back(Offer{zwlr_data_control_manager_v1_create_data_source(manager_), text});
  zwlr_data_control_source_v1_add_listener(offer.source, &kSourceListener, this);
  for (const char* type : kTextTypes) zwlr_data_control_source_v1_offer(offer.source, type);
  zwlr_data_control_device_v1_set_selection(device_, offer.source);
  wl_display_flush(connection_.display());
  return true;
}

// Others' clipboard contents are never read; each offer is dropped when the next comes.
void DataControlClipboard::onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  auto* self = static_cast<DataControlClipboard*>(data);
  if (self->othersOffer_ != nullptr) zwlr_data_control_offer_v1_destroy(self->othersOffer_);
  self->othersOffer_ = offer;
}

void DataControlClipboard::onFinished(void* data, zwlr_data_control_device_v1* device) {
  static_cast<DataControlClipboard*>(data)->device_ = nullptr;
  zwlr_data_control_device_v1_destroy(device);
}

void DataControlClipboard::onSend(void* data, zwlr_data_control_source_v1* source, const char*, std::int32_t fd) {
  for (const Offer& offer : static_cast<DataControlClipboard*>(data)->offers_)
    if (offer.source == source) {
      // A few dozen bytes: the pipe takes them at once.
      if (write(fd, offer.text.data(), offer.text.size()) < 0) std::perror("kelvado: clipboard");
      break;
    }
  close(fd);
}

void DataControlClipboard::onCancelled(void* data, zwlr_data_control_source_v1* source) {
  static_cast<DataControlClipboard*>(data)->offers_.remove_if([source](const Offer& o) { return o.source == source; });
  zwlr_data_control_source_v1_destroy(source);
}

}  // namespace kelvado::wayland
