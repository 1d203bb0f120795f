// What every Wayland route shares: the program's own connection to the compositor, read from
// the toolkit's event loop, and the date offered on the compositor's clipboard.
#pragma once

#include <wayland-client.h>

#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;
struct zwlr_data_control_device_v1_listener;
struct zwlr_data_control_source_v1_listener;

namespace kelvado::wayland {

// What a wait hears from its condition.
enum class Wait { kMore, kDone, kGiveUp };

class Connection {
 public:
  // Empty outside a Wayland session; also, after a message on standard error, when the
  // compositor cannot be reached.
  static std::unique_ptr<Connection> open();
  Connection(wl_display* display, wl_registry* registry);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  wl_display* display() const { return display_; }
  // The names of the compositor's globals, as it announced them to this connection.
  std::vector<std::string> globalNames() const;
  // The version of the first global of that kind; 0 when the compositor offers none.
  std::uint32_t version(const wl_interface& kind) const;
  // The first global of that kind, bound at the lower of its version and `version`; null when
  // the compositor offers none.
  template <typename T>
  T* bind(const wl_interface& kind, std::uint32_t version) {
    return static_cast<T*>(bindGlobal(kind, version));
  }

  // Reads what the compositor has sent, waiting up to timeoutMs for something, and runs the
  // handlers. False once the connection has failed (XWayland, and with it the program, goes
  // with the compositor); its socket then stays readable, and is no longer watched.
  bool pump(int timeoutMs);
  // Waits, boundedly, until `check` is done with the state the compositor reports after it
  // has handled every request sent before: a state read earlier may predate the click on the
  // program's window. False when `check` gives up or the time runs out.
  bool settle(const std::function<Wait()>& check);

 private:
  struct Global {
    std::uint32_t name;
    std::string interface;
    std::uint32_t version;
  };
  static void onGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version);
  static void onGlobalRemoved(void*, wl_registry*, std::uint32_t) {}
  static void onSynced(void* data, wl_callback* callback, std::uint32_t);
  static constexpr wl_registry_listener kRegistryListener{onGlobal, onGlobalRemoved};
  static constexpr wl_callback_listener kSyncListener{onSynced};

  void* bindGlobal(const wl_interface& kind, std::uint32_t version);

  wl_display* display_;
  wl_registry* registry_;
  std::vector<Global> globals_;
  QSocketNotifier notifier_;
  std::uint64_t syncsAsked_ = 0;
  std::uint64_t syncsAnswered_ = 0;
};

// The clipboard's text offered through data control (zwlr_data_control_manager_v1), which
// XWayland's clipboard mirrors for X11 windows.
class DataControlClipboard {
 public:
  // Empty when the compositor offers no data control.
  static std::unique_ptr<DataControlClipboard> make(Connection& connection, wl_seat* seat);
  DataControlClipboard(Connection& connection, zwlr_data_control_manager_v1* manager, wl_seat* seat);
  ~DataControlClipboard();
  DataControlClipboard(const DataControlClipboard&) = delete;
  DataControlClipboard& operator=(const DataControlClipboard&) = delete;

  // False once the compositor has withdrawn the clipboard from this program.
  bool set(const std::string& text);

 private:
  // The clipboard's text as this program offers it, until another program takes the clipboard.
  struct Offer {
    zwlr_data_control_source_v1* source = nullptr;
    std::string text;
  };
  static void onDataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
  static void onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
  static void onFinished(void* data, zwlr_data_control_device_v1* device);
  static void onSend(void* data, zwlr_data_control_source_v1* source, const char*, std::int32_t fd);
  static void onCancelled(void* data, zwlr_data_control_source_v1* source);
  static const zwlr_data_control_device_v1_listener kDeviceListener;
  static const zwlr_data_control_source_v1_listener kSourceListener;

  Connection& connection_;
  zwlr_data_control_manager_v1* manager_;
  zwlr_data_control_device_v1* device_;
  zwlr_data_control_offer_v1* othersOffer_ = nullptr;
  std::list<Offer> offers_;
};

}  // namespace kelvado::wayland
