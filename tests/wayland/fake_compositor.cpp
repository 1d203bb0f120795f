#include "fake_compositor.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-server.h>
#include <xkbcommon/xkbcommon.h>

#include <exception>
#include <functional>
#include <future>
#include <list>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>

#include "fake-input-server-protocol.h"
#include "plasma-window-management-server-protocol.h"
#include "virtual-keyboard-unstable-v1-server-protocol.h"
#include "wlr-data-control-unstable-v1-server-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-server-protocol.h"

namespace kelvado::wayland::test {
namespace {

struct Window {
  std::string name;
  std::uint32_t pid = 0;
  std::uint32_t internalId = 0;
  bool active = false;
  bool closed = false;
  std::vector<wl_resource*> resources;  // its toplevel handles or plasma windows
};

// A virtual keyboard's own keymap and the modifiers stated beside its keys.
struct VirtualKeyboard {
  xkb_keymap* keymap = nullptr;
  std::uint32_t mods = 0;
  ~VirtualKeyboard() { xkb_keymap_unref(keymap); }
};

// The keysym a key gives without modifiers, in the first layout, as an application reads it.
std::string symName(xkb_keymap* keymap, std::uint32_t evdev) {
  const xkb_keysym_t* syms = nullptr;
  if (keymap == nullptr || xkb_keymap_key_get_syms_by_level(keymap, evdev + 8, 0, 0, &syms) != 1) return "?";
  char name[64];
  xkb_keysym_get_name(syms[0], name, sizeof name);
  return name;
}

void eraseResource(std::vector<wl_resource*>& list, wl_resource* resource) { std::erase(list, resource); }

}  // namespace

struct FakeCompositor::State {
  // A data control source: what it offers, and whose it is.
  struct Source {
    State* state;
    std::vector<std::string> types;
  };

  Desktop desktop;
  std::string runtimeDir;
  wl_display* display = nullptr;
  wl_event_loop* loop = nullptr;
  wl_protocol_logger* logger = nullptr;
  int wake = -1;
  std::thread thread;
  std::mutex mutex;
  std::vector<std::pair<std::function<void()>, std::promise<void>*>> tasks;
  bool stopping = false;

  // Everything below lives on the compositor's thread.
  xkb_context* xkb = nullptr;
  xkb_keymap* seatKeymap = nullptr;
  std::string seatKeymapText;
  std::vector<wl_resource*> keyboards;
  int fakeControlsDown = 0;
  std::list<Window> windows;
  std::vector<wl_resource*> managers;
  std::vector<std::function<void()>> beforeNextRequest;
  struct PendingActivation {
    std::string name;
    int syncsLeft;
  };
  std::vector<PendingActivation> pending;
  int activationDelay = 0;
  std::vector<KeyEvent> keys;
  std::vector<std::string> requests;
  wl_resource* selection = nullptr;  // the data control source that owns the clipboard
  int steps = 0;

  void run(std::function<void()> task) {
    std::promise<void> done;
    {
      const std::lock_guard lock(mutex);
      tasks.emplace_back(std::move(task), &done);
    }
    const std::uint64_t one = 1;
    if (write(wake, &one, sizeof one) != sizeof one) throw std::runtime_error("cannot wake the compositor");
    done.get_future().get();
  }

  void loopThread() {
    pollfd fds[2] = {{wl_event_loop_get_fd(loop), POLLIN, 0}, {wake, POLLIN, 0}};
    while (!stopping) {
      wl_display_flush_clients(display);
      poll(fds, 2, -1);
      std::uint64_t count;
      if ((fds[1].revents & POLLIN) != 0 && read(wake, &count, sizeof count) < 0) continue;
      wl_event_loop_dispatch(loop, 0);
      std::vector<std::pair<std::function<void()>, std::promise<void>*>> now;
      {
        const std::lock_guard lock(mutex);
        now.swap(tasks);
      }
      // Whatever the client sent before the test asked is handled first.
      for (auto& [task, done] : now) {
        wl_event_loop_dispatch(loop, 0);
        std::exception_ptr failed;
        try {
          task();
        } catch (...) {
          failed = std::current_exception();
        }
        // What the task sent is in the client's socket before the test goes on.
        wl_display_flush_clients(display);
        if (failed)
          done->set_exception(failed);
        else
          done->set_value();
      }
    }
  }

  Window* find(const std::string& name) {
    for (Window& w : windows)
      if (w.name == name) return &w;
    return nullptr;
  }

  std::string focus() const {
    for (const Window& w : windows)
      if (w.active) return w.name;
    return {};
  }

  void sendState(Window& w) {
    for (wl_resource* r : w.resources) {
      if (desktop == Desktop::kKwin) {
        org_kde_plasma_window_send_state_changed(r, w.active ? ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE : 0);
        continue;
      }
      wl_array states;
      wl_array_init(&states);
      if (w.active)
        *static_cast<std::uint32_t*>(wl_array_add(&states, sizeof(std::uint32_t))) =
            ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
      zwlr_foreign_toplevel_handle_v1_send_state(r, &states);
      zwlr_foreign_toplevel_handle_v1_send_done(r);
      wl_array_release(&states);
    }
  }

  // The one that had the focus loses it first, as compositors tell it.
  void activate(const std::string& name) {
    for (Window& w : windows)
      if (w.active && w.name != name) {
        w.active = false;
        sendState(w);
      }
    Window* w = find(name);
    if (w != nullptr && !w->closed && !w->active) {
      w->active = true;
      sendState(*w);
    }
  }

  void close(const std::string& name) {
    Window* w = find(name);
    if (w == nullptr || w->closed) return;
    w->closed = true;
    w->active = false;
    for (wl_resource* r : w->resources) {
      if (desktop == Desktop::kKwin)
        org_kde_plasma_window_send_unmapped(r);
      else
        zwlr_foreign_toplevel_handle_v1_send_closed(r);
    }
  }

  void activationAsked(Window& w) {
    if (w.closed || activationDelay == kNever) return;
    if (activationDelay == 0)
      activate(w.name);
    else
      pending.push_back({w.name, activationDelay});
  }

  void announce(wl_resource* manager, Window& w) {
    if (desktop == Desktop::kKwin) {
      org_kde_plasma_window_management_send_window(manager, w.internalId);
      return;
    }
    wl_resource* handle =
        wl_resource_create(wl_resource_get_client(manager), &zwlr_foreign_toplevel_handle_v1_interface,
                           wl_resource_get_version(manager), 0);
    attach(handle, w);
    zwlr_foreign_toplevel_manager_v1_send_toplevel(manager, handle);
    zwlr_foreign_toplevel_handle_v1_send_title(handle, w.name.c_str());
    sendState(w);
  }

  void attach(wl_resource* resource, Window& w) {
    wl_resource_set_dispatcher(resource, dispatch, this, &w, [](wl_resource* r) {
      eraseResource(static_cast<Window*>(wl_resource_get_user_data(r))->resources, r);
    });
    w.resources.push_back(resource);
  }

  wl_resource* create(wl_resource* parent, const wl_interface& kind, std::uint32_t id, void* data = nullptr,
                      wl_resource_destroy_func_t destroyed = nullptr) {
    wl_resource* r = wl_resource_create(wl_resource_get_client(parent), &kind, wl_resource_get_version(parent), id);
    wl_resource_set_dispatcher(r, dispatch, this, data, destroyed);
    return r;
  }

  void setLayout(const std::string& layout, const std::string& variant) {
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(xkb, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) throw std::runtime_error("no XKB keymap for " + layout + "(" + variant + ")");
    xkb_keymap_unref(seatKeymap);
    seatKeymap = keymap;
    char* text = xkb_keymap_get_as_string(seatKeymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    seatKeymapText = text;
    free(text);
    for (wl_resource* keyboard : keyboards) sendKeymap(keyboard);
  }

  // With its terminating NUL, as compositors send it.
  void sendKeymap(wl_resource* keyboard) {
    const int fd = memfd_create("fake-compositor-keymap", MFD_CLOEXEC);
    const auto size = static_cast<std::uint32_t>(seatKeymapText.size() + 1);
    if (write(fd, seatKeymapText.c_str(), size) == static_cast<ssize_t>(size))
      wl_keyboard_send_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
    ::close(fd);
  }

  void key(std::string sym, bool down, bool controlHeld) {
    keys.push_back({std::move(sym), down, controlHeld, focus(), steps});
  }

  // Every request of every object, by name: the routes use few, and the rest are ignored.
  static int dispatch(const void* data, void* target, std::uint32_t, const wl_message* message, wl_argument* args) {
    auto* self = static_cast<State*>(const_cast<void*>(data));
    auto* r = static_cast<wl_resource*>(target);
    const std::string_view kind = wl_resource_get_class(r);
    const std::string_view request = message->name;
    if (request == "destroy" || request == "release") {
      wl_resource_destroy(r);
    } else if (request == "get_keyboard") {
      wl_resource* keyboard = self->create(r, wl_keyboard_interface, args[0].n, self, [](wl_resource* k) {
        eraseResource(static_cast<State*>(wl_resource_get_user_data(k))->keyboards, k);
      });
      self->keyboards.push_back(keyboard);
      self->sendKeymap(keyboard);
    } else if (request == "get_pointer" || request == "get_touch") {
      self->create(r, request == "get_pointer" ? wl_pointer_interface : wl_touch_interface, args[0].n);
    } else if (request == "activate" ||
               (request == "set_state" && (args[0].u & args[1].u & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE))) {
      self->activationAsked(*static_cast<Window*>(wl_resource_get_user_data(r)));
    } else if (request == "get_window") {
      for (Window& w : self->windows)
        if (w.internalId == args[1].u) {
          wl_resource* window = self->create(r, org_kde_plasma_window_interface, args[0].n);
          self->attach(window, w);
          org_kde_plasma_window_send_title_changed(window, w.name.c_str());
          org_kde_plasma_window_send_pid_changed(window, w.pid);
          self->sendState(w);
          if (w.closed) org_kde_plasma_window_send_unmapped(window);
          if (wl_resource_get_version(window) >= ORG_KDE_PLASMA_WINDOW_INITIAL_STATE_SINCE_VERSION)
            org_kde_plasma_window_send_initial_state(window);
        }
    } else if (request == "create_virtual_keyboard") {
      self->create(r, zwp_virtual_keyboard_v1_interface, args[1].n, new VirtualKeyboard,
                   [](wl_resource* k) { delete static_cast<VirtualKeyboard*>(wl_resource_get_user_data(k)); });
    } else if (kind == "zwp_virtual_keyboard_v1") {
      auto* keyboard = static_cast<VirtualKeyboard*>(wl_resource_get_user_data(r));
      if (request == "keymap") {
        void* text = mmap(nullptr, args[2].u, PROT_READ, MAP_PRIVATE, args[1].h, 0);
        if (text != MAP_FAILED) {
          xkb_keymap_unref(keyboard->keymap);
          keyboard->keymap = xkb_keymap_new_from_string(self->xkb, static_cast<const char*>(text),
                                                        XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
          munmap(text, args[2].u);
        }
        ::close(args[1].h);
      } else if (request == "modifiers") {
        keyboard->mods = args[0].u;
      } else if (request == "key") {
        const xkb_mod_index_t control =
            keyboard->keymap ? xkb_keymap_mod_get_index(keyboard->keymap, XKB_MOD_NAME_CTRL) : XKB_MOD_INVALID;
        self->key(symName(keyboard->keymap, args[1].u), args[2].u == WL_KEYBOARD_KEY_STATE_PRESSED,
                  control != XKB_MOD_INVALID && (keyboard->mods & (1u << control)) != 0);
      }
    } else if (request == "keyboard_key") {
      // KWin runs fake keys through the seat's keymap, and Control is held while its key is.
      const std::string sym = symName(self->seatKeymap, args[0].u);
      const bool down = args[1].u != 0;
      if (sym == "Control_L" || sym == "Control_R") self->fakeControlsDown += down ? 1 : -1;
      self->key(sym, down, self->fakeControlsDown > 0);
    } else if (request == "create_data_source") {
      self->create(r, zwlr_data_control_source_v1_interface, args[0].n, new Source{self, {}}, [](wl_resource* source) {
        auto* data = static_cast<Source*>(wl_resource_get_user_data(source));
        if (data->state->selection == source) data->state->selection = nullptr;
        delete data;
      });
    } else if (request == "offer") {
      static_cast<Source*>(wl_resource_get_user_data(r))->types.emplace_back(args[0].s);
    } else if (request == "get_data_device") {
      self->create(r, zwlr_data_control_device_v1_interface, args[0].n);
    } else if (request == "set_selection") {
      auto* source = reinterpret_cast<wl_resource*>(args[0].o);
      if (self->selection != nullptr && self->selection != source)
        zwlr_data_control_source_v1_send_cancelled(self->selection);
      self->selection = source;
    }
    return 0;
  }

  struct Global {
    State* state;
    const wl_interface* kind;
  };
  std::list<Global> globals;

  static void managerGone(wl_resource* manager) {
    eraseResource(static_cast<State*>(wl_resource_get_user_data(manager))->managers, manager);
  }

  static void bind(wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
    const auto* global = static_cast<const Global*>(data);
    State* self = global->state;
    wl_resource* r = wl_resource_create(client, global->kind, static_cast<int>(version), id);
    const std::string_view name = global->kind->name;
    const bool manager = name == "zwlr_foreign_toplevel_manager_v1" || name == "org_kde_plasma_window_management";
    wl_resource_set_dispatcher(r, dispatch, self, self, manager ? managerGone : nullptr);
    if (name == "wl_seat") wl_seat_send_capabilities(r, WL_SEAT_CAPABILITY_KEYBOARD);
    if (!manager) return;
    self->managers.push_back(r);
    for (Window& w : self->windows)
      if (!w.closed) self->announce(r, w);
  }

  void offer(const wl_interface& kind, int version) {
    wl_global_create(display, &kind, version, &globals.emplace_back(Global{this, &kind}), bind);
  }

  static void logRequest(void* data, wl_protocol_logger_type type, const wl_protocol_logger_message* message) {
    if (type != WL_PROTOCOL_LOGGER_REQUEST) return;
    auto* self = static_cast<State*>(data);
    const std::string kind = wl_resource_get_class(message->resource);
    self->requests.push_back(kind + "." + message->message->name);
    for (auto& change : std::exchange(self->beforeNextRequest, {})) change();
    if (kind != "wl_display" || std::string_view(message->message->name) != "sync") return;
    std::vector<std::string> due;
    std::erase_if(self->pending, [&](PendingActivation& p) {
      if (--p.syncsLeft > 0) return false;
      due.push_back(p.name);
      return true;
    });
    for (const std::string& name : due) self->activate(name);
  }
};

FakeCompositor::FakeCompositor(Desktop desktop, const std::string& layout, const std::string& variant)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.desktop = desktop;
  char dir[] = "/tmp/kelvado-compositor-XXXXXX";
  if (mkdtemp(dir) == nullptr) throw std::runtime_error("no private runtime folder");
  s.runtimeDir = dir;
  setenv("XDG_RUNTIME_DIR", dir, 1);
  // libwayland's own default name: a client that tries without being told still finds this one.
  setenv("WAYLAND_DISPLAY", "wayland-0", 1);

  s.xkb = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  s.setLayout(layout, variant);

  s.display = wl_display_create();
  s.loop = wl_display_get_event_loop(s.display);
  if (wl_display_add_socket(s.display, "wayland-0") != 0) throw std::runtime_error("no compositor socket");
  s.logger = wl_display_add_protocol_logger(s.display, State::logRequest, &s);
  s.offer(wl_seat_interface, 5);
  s.offer(zwlr_data_control_manager_v1_interface, 1);
  if (desktop == Desktop::kSway) {
    s.offer(zwlr_foreign_toplevel_manager_v1_interface, 1);
    s.offer(zwp_virtual_keyboard_manager_v1_interface, 1);
  } else {
    s.offer(org_kde_plasma_window_management_interface, 16);
    s.offer(org_kde_kwin_fake_input_interface, 4);
  }
  s.wake = eventfd(0, EFD_CLOEXEC);
  s.thread = std::thread([&s] { s.loopThread(); });
}

FakeCompositor::~FakeCompositor() {
  State& s = *state_;
  s.run([&s] { s.stopping = true; });
  s.thread.join();
  wl_display_destroy_clients(s.display);
  // The display does not free its loggers.
  wl_protocol_logger_destroy(s.logger);
  wl_display_destroy(s.display);
  ::close(s.wake);
  xkb_keymap_unref(s.seatKeymap);
  xkb_context_unref(s.xkb);
  rmdir(s.runtimeDir.c_str());
}

void FakeCompositor::addWindow(const std::string& name, std::uint32_t pid) {
  State& s = *state_;
  s.run([&] {
    Window& w = s.windows.emplace_back();
    w.name = name;
    w.pid = pid;
    w.internalId = static_cast<std::uint32_t>(s.windows.size());
    for (wl_resource* manager : s.managers) s.announce(manager, w);
  });
}

void FakeCompositor::setLayout(const std::string& layout, const std::string& variant) {
  state_->run([&] { state_->setLayout(layout, variant); });
}

void FakeCompositor::activate(const std::string& name) {
  state_->run([&] { state_->activate(name); });
}

void FakeCompositor::close(const std::string& name) {
  state_->run([&] { state_->close(name); });
}

void FakeCompositor::activateBeforeNextRequest(const std::string& name) {
  state_->run([this, name] { state_->beforeNextRequest.push_back([this, name] { state_->activate(name); }); });
}

void FakeCompositor::closeBeforeNextRequest(const std::string& name) {
  state_->run([this, name] { state_->beforeNextRequest.push_back([this, name] { state_->close(name); }); });
}

void FakeCompositor::answerActivationsAfter(int syncs) {
  state_->run([&] { state_->activationDelay = syncs; });
}

std::vector<std::string> FakeCompositor::clipboardTypes() {
  std::vector<std::string> types;
  state_->run([&] {
    if (state_->selection != nullptr)
      types = static_cast<State::Source*>(wl_resource_get_user_data(state_->selection))->types;
  });
  return types;
}

int FakeCompositor::askClipboard(const std::string& type) {
  int ends[2] = {-1, -1};
  state_->run([&] {
    if (state_->selection == nullptr || pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    zwlr_data_control_source_v1_send_send(state_->selection, type.c_str(), ends[1]);
    ::close(ends[1]);
  });
  return ends[0];
}

void FakeCompositor::step() {
  state_->run([&] { ++state_->steps; });
}

std::vector<KeyEvent> FakeCompositor::keys() {
  std::vector<KeyEvent> keys;
  state_->run([&] { keys = state_->keys; });
  return keys;
}

std::vector<std::string> FakeCompositor::requests() {
  std::vector<std::string> requests;
  state_->run([&] { requests = state_->requests; });
  return requests;
}

std::string FakeCompositor::focus() {
  std::string focus;
  state_->run([&] { focus = state_->focus(); });
  return focus;
}

}  // namespace kelvado::wayland::test
