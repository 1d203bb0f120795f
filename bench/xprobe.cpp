// The benchmark's probe: one X connection that starts programs, presses the pointer and watches
// windows appear and titles change, so every interval is taken in one process on one clock.
//
//   xprobe launch (--title TEXT | --class NAME) [--settle-ms N] [--focus-away] [--idle-ms N]
//                 [--pid NAME=PID]... [--log FILE] [--timeout-ms N] -- COMMAND...
//       Starts COMMAND and reports when a top-level window titled TEXT (or of class NAME) is
//       mapped, with the CPU time spent until then; optionally moves the focus to a window of
//       its own and measures CPU (of COMMAND and of each PID) and the growth of FILE over an
//       idle period; then ends COMMAND and reports its peak resident memory.
//   xprobe paste --editor WINDOW --prefix TEXT
//                (--press-in WINDOW --at X,Y | --keys KEY,...,KEY | -- COMMAND...) [--hold-ms N]
//                [--timeout-ms N]
//       Presses the left button at X,Y inside the window --press-in (or the keys, the last one
//       once the others are down; or starts COMMAND), lets go after --hold-ms, and reports when
//       the editor's title starts with TEXT (editors mark a changed document there), from the
//       press and from the release.
//   xprobe wait-title --window WINDOW (--prefix TEXT | --without TEXT) [--timeout-ms N]
//
// Results go to stdout as key=value lines; a failure is one line on stderr and exit status 2.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "xprobe: %s\n", message.c_str());
  std::exit(2);
}

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> owned(Reply* reply) {
  return ReplyPtr<Reply>(reply, &std::free);
}

class Display {
 public:
  Display() : conn_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(conn_)) fail("cannot connect to the X display");
    root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
    netWmName_ = atom("_NET_WM_NAME");
    utf8String_ = atom("UTF8_STRING");
  }
  ~Display() { xcb_disconnect(conn_); }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  xcb_connection_t* conn() const { return conn_; }
  xcb_window_t root() const { return root_; }

  xcb_atom_t atom(const char* name) {
    auto reply = owned(xcb_intern_atom_reply(
        conn_, xcb_intern_atom(conn_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    if (!reply) fail(std::string("cannot intern ") + name);
    return reply->atom;
  }

  bool isTitleAtom(xcb_atom_t a) const { return a == netWmName_ || a == XCB_ATOM_WM_NAME; }

  // The title as the window manager would show it: the UTF-8 name if set, else the legacy name.
  std::string title(xcb_window_t window) {
    std::string text = property(window, netWmName_, utf8String_);
    return text.empty() ? property(window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY) : text;
  }

  // The class half of WM_CLASS ("instance\0class\0").
  std::string windowClass(xcb_window_t window) {
    const std::string both = property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    const auto split = both.find('\0');
    if (split == std::string::npos) return {};
    return std::string(both.c_str() + split + 1);
  }

  void selectEvents(xcb_window_t window, uint32_t mask) {
    xcb_change_window_attributes(conn_, window, XCB_CW_EVENT_MASK, &mask);
  }

  bool isMapped(xcb_window_t window) {
    auto reply = owned(xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, window), nullptr));
    return reply && reply->map_state != XCB_MAP_STATE_UNMAPPED;
  }

  // A round trip: everything sent before it has been processed by the server.
  void sync() { std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr)); }

  // Hands each event to handle until it returns true or the deadline passes; tick runs between
  // waits so callers can act on their own timers. Returns whether handle said done.
  bool pump(
      double deadline, const std::function<bool(xcb_generic_event_t*)>& handle,
      const std::function<double()>& nextTimer = [] { return 1e300; }) {
    for (;;) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) {
        const bool done = handle(event);
        std::free(event);
        if (done) return true;
      }
      if (xcb_connection_has_error(conn_)) fail("the X connection broke");
      const double wake = std::min(deadline, nextTimer());
      const double now = nowMs();
      if (now >= deadline) return false;
      if (now >= wake) {
        if (handle(nullptr)) return true;
        continue;
      }
      pollfd fd{xcb_get_file_descriptor(conn_), POLLIN, 0};
      ::poll(&fd, 1, static_cast<int>(std::max(1.0, wake - now)));
    }
  }

 private:
  std::string property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
    auto reply = owned(xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, window, name, type, 0, 1024), nullptr));
    if (!reply || reply->format != 8) return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       static_cast<size_t>(xcb_get_property_value_length(reply.get())));
  }

  xcb_connection_t* conn_;
  xcb_window_t root_ = 0;
  xcb_atom_t netWmName_ = 0;
  xcb_atom_t utf8String_ = 0;
};

uint8_t eventType(const xcb_generic_event_t* event) { return event->response_type & 0x7f; }

// The command runs in a process group of its own so that ending it also ends what it started.
pid_t spawn(const std::vector<char*>& command) {
  const pid_t pid = fork();
  if (pid < 0) fail("fork failed");
  if (pid == 0) {
    setpgid(0, 0);
    // Stdout carries the probe's results; whatever the command leaves running must not hold it.
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    close(devNull);
    std::vector<char*> argv(command);
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "xprobe: cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  setpgid(pid, pid);
  return pid;
}

// Waits for the child at most timeoutMs; the rusage is that of the child alone.
std::optional<rusage> reap(pid_t pid, double timeoutMs) {
  const double deadline = nowMs() + timeoutMs;
  for (;;) {
    int status = 0;
    rusage usage{};
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) return usage;
    if (done < 0 || nowMs() >= deadline) return std::nullopt;
    usleep(2000);
  }
}

bool exited(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == pid;
}

// CPU time of every thread of a process, in nanoseconds, from the scheduler's own accounting.
double cpuNs(pid_t pid) {
  double total = 0;
  std::error_code error;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream stat(task.path() / "schedstat");
    double ns = 0;
    if (stat >> ns) total += ns;
  }
  return total;
}

long statusKb(pid_t pid, std::string_view field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field) && line.size() > field.size() && line[field.size()] == ':')
      return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  }
  return -1;
}

long fileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<long>(size);
}

struct Options {
  std::map<std::string, std::vector<std::string>> values;
  std::vector<char*> command;

  std::string get(const std::string& key, const std::string& fallback = {}) const {
    auto it = values.find(key);
    return it == values.end() || it->second.empty() ? fallback : it->second.back();
  }
  bool has(const std::string& key) const { return values.contains(key); }
  double number(const std::string& key, double fallback) const {
    return has(key) ? std::strtod(get(key).c_str(), nullptr) : fallback;
  }
};

Options parse(int argc, char** argv, const std::vector<std::string>& flags) {
  Options options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      options.command.assign(argv + i + 1, argv + argc);
      break;
    }
    if (!arg.starts_with("--")) fail("unexpected argument " + arg);
    const std::string key = arg.substr(2);
    if (std::find(flags.begin(), flags.end(), key) != flags.end()) {
      options.values[key];
    } else if (i + 1 < argc) {
      options.values[key].push_back(argv[++i]);
    } else {
      fail("missing value for " + arg);
    }
  }
  return options;
}

xcb_window_t windowId(const std::string& text) {
  if (text.empty()) fail("missing window id");
  return static_cast<xcb_window_t>(std::strtoul(text.c_str(), nullptr, 0));
}

// Maps a small window of the probe's own and gives it the focus, as a person switching to
// another program would; the program under test then idles without the keyboard focus.
void focusAway(Display& display) {
  xcb_connection_t* c = display.conn();
  const xcb_window_t window = xcb_generate_id(c);
  const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, display.root(), 900, 700, 40, 40, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
  const std::string name = "xprobe focus";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      static_cast<uint32_t>(name.size()), name.data());
  xcb_map_window(c, window);
  xcb_flush(c);
  const bool mapped = display.pump(nowMs() + 5000, [&](xcb_generic_event_t* event) {
    return event && eventType(event) == XCB_MAP_NOTIFY &&
           reinterpret_cast<xcb_map_notify_event_t*>(event)->window == window;
  });
  if (!mapped) fail("the focus window was never mapped");
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
  display.sync();
}

int launch(const Options& options) {
  if (options.command.empty()) fail("launch needs a command after --");
  // Programs that write their title in a legacy encoding are recognised by class instead; they
  // set both before their first map.
  const bool byClass = options.has("class");
  const std::string want = byClass ? options.get("class") : options.get("title");
  Display display;
  display.selectEvents(display.root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
  display.sync();

  std::map<xcb_window_t, bool> watched;  // top-level windows of the new program: mapped or not
  const double start = nowMs();
  const pid_t pid = spawn(options.command);
  double mappedAt = 0;
  double cpuAtMap = 0;  // what the wall time costs the machine, and steadier under load
  const auto check = [&](xcb_window_t window) {
    if (watched[window] && (byClass ? display.windowClass(window) : display.title(window)) == want) {
      mappedAt = nowMs();
      cpuAtMap = cpuNs(pid);
    }
    return mappedAt > 0;
  };
  const bool found = display.pump(
      start + options.number("timeout-ms", 20000),
      [&](xcb_generic_event_t* event) {
        if (!event) {
          if (exited(pid)) fail("the program ended before its window was mapped");
          return false;
        }
        switch (eventType(event)) {
          case XCB_CREATE_NOTIFY: {
            auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if (created->parent != display.root() || created->override_redirect) return false;
            display.selectEvents(created->window, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
            // It may have been mapped and titled before the selection took effect.
            watched[created->window] = display.isMapped(created->window);
            return check(created->window);
          }
          case XCB_MAP_NOTIFY: {
            auto* mapped = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (mapped->event != mapped->window || !watched.contains(mapped->window)) return false;
            watched[mapped->window] = true;
            return check(mapped->window);
          }
          case XCB_UNMAP_NOTIFY: {
            auto* unmapped = reinterpret_cast<xcb_unmap_notify_event_t*>(event);
            if (watched.contains(unmapped->window)) watched[unmapped->window] = false;
            return false;
          }
          case XCB_PROPERTY_NOTIFY: {
            auto* changed = reinterpret_cast<xcb_property_notify_event_t*>(event);
            return display.isTitleAtom(changed->atom) && watched.contains(changed->window) && check(changed->window);
          }
          default: return false;
        }
      },
      [] { return nowMs() + 20; });
  if (!found) {
    kill(-pid, SIGKILL);
    reap(pid, 2000);
    fail("no window " + std::string(byClass ? "of class" : "titled") + " \"" + want + "\" was mapped");
  }
  std::printf("startup_ms=%.2f\nstartup_cpu_ms=%.2f\n", mappedAt - start, cpuAtMap / 1e6);
  std::fflush(stdout);

  const auto idle = [&](double ms) { display.pump(nowMs() + ms, [](xcb_generic_event_t*) { return false; }); };
  idle(options.number("settle-ms", 0));
  if (options.has("focus-away")) {
    focusAway(display);
    idle(300);
  }
  if (const double idleMs = options.number("idle-ms", 0); idleMs > 0) {
    std::vector<std::pair<std::string, pid_t>> pids{{"cpu_ms", pid}};
    if (options.values.contains("pid")) {
      for (const std::string& named : options.values.at("pid")) {
        const auto eq = named.find('=');
        if (eq == std::string::npos) fail("--pid wants NAME=PID");
        pids.emplace_back("cpu_" + named.substr(0, eq) + "_ms", static_cast<pid_t>(std::stol(named.substr(eq + 1))));
      }
    }
    std::vector<double> before;
    for (const auto& entry : pids) before.push_back(cpuNs(entry.second));
    const long logFrom = fileSize(options.get("log"));
    const double from = nowMs();
    idle(idleMs);
    const double elapsed = nowMs() - from;
    const long logTo = fileSize(options.get("log"));
    std::printf("idle_ms=%.1f\n", elapsed);
    for (size_t i = 0; i < pids.size(); ++i)
      std::printf("%s=%.3f\n", pids[i].first.c_str(), (cpuNs(pids[i].second) - before[i]) / 1e6);
    if (options.has("log")) std::printf("log_from=%ld\nlog_to=%ld\n", logFrom, logTo);
  }
  std::printf("hwm_kb=%ld\n", statusKb(pid, "VmHWM"));
  kill(-pid, SIGTERM);
  std::optional<rusage> usage = reap(pid, 3000);
  if (!usage) {
    kill(-pid, SIGKILL);
    usage = reap(pid, 3000);
  }
  if (usage) std::printf("maxrss_kb=%ld\n", usage->ru_maxrss);
  return 0;
}

void fakeInput(Display& display, uint8_t type, uint8_t detail, int16_t x = 0, int16_t y = 0) {
  xcb_test_fake_input(display.conn(), type, detail, XCB_CURRENT_TIME, display.root(), x, y, 0);
  xcb_flush(display.conn());
}

// The key code of a key name: a modifier's (Control_L, Alt_L, Shift_L, Super_L) or one
// lower-case letter or digit.
xcb_keycode_t keycodeOf(Display& display, const std::string& name) {
  static const std::map<std::string, xcb_keysym_t> kNamed{
      {"Control_L", 0xffe3}, {"Alt_L", 0xffe9}, {"Shift_L", 0xffe1}, {"Super_L", 0xffeb}};
  xcb_keysym_t keysym = 0;
  if (auto named = kNamed.find(name); named != kNamed.end())
    keysym = named->second;
  else if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])) != 0)
    keysym = static_cast<xcb_keysym_t>(std::tolower(static_cast<unsigned char>(name[0])));
  else
    fail("unknown key " + name);
  const xcb_setup_t* setup = xcb_get_setup(display.conn());
  const auto count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  auto map = owned(xcb_get_keyboard_mapping_reply(
      display.conn(), xcb_get_keyboard_mapping(display.conn(), setup->min_keycode, count), nullptr));
  if (!map) fail("cannot read the keyboard mapping");
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
  for (int code = 0; code < count; ++code)
    if (syms[code * map->keysyms_per_keycode] == keysym) return static_cast<xcb_keycode_t>(setup->min_keycode + code);
  fail("no key types " + name);
}

// What starts a paste: the left button pressed on a window, held like a hand holds it; a key
// combination, its last key pressed with the others already down, all let go together; or a
// command.
class Trigger {
 public:
  Trigger(Display& display, const Options& options) : display_(display) {
    if (options.has("press-in")) {
      const xcb_window_t target = windowId(options.get("press-in"));
      int localX = 0;
      int localY = 0;
      if (std::sscanf(options.get("at").c_str(), "%d,%d", &localX, &localY) != 2) fail("--at wants X,Y");
      auto place = owned(xcb_translate_coordinates_reply(
          display.conn(),
          xcb_translate_coordinates(display.conn(), target, display.root(), static_cast<int16_t>(localX),
                                    static_cast<int16_t>(localY)),
          nullptr));
      if (!place) fail("cannot place the pointer");
      x_ = place->dst_x;
      y_ = place->dst_y;
      // The pointer arrives first and rests a moment, as a hand does before it presses.
      fakeInput(display, XCB_MOTION_NOTIFY, 0, x_, y_);
      pointer_ = true;
    } else if (options.has("keys")) {
      std::string list = options.get("keys");
      for (size_t from = 0; from <= list.size();) {
        const size_t comma = std::min(list.find(',', from), list.size());
        keys_.push_back(keycodeOf(display, list.substr(from, comma - from)));
        from = comma + 1;
      }
      // The modifiers go down first, as a hand presses them before the key.
      for (size_t i = 0; i + 1 < keys_.size(); ++i) fakeInput(display, XCB_KEY_PRESS, keys_[i]);
    } else if (options.command.empty()) {
      fail("paste needs --press-in, --keys or a command");
    } else {
      command_ = options.command;
    }
    display.sync();
    display.pump(nowMs() + 60, [](xcb_generic_event_t*) { return false; });
  }

  bool holds() const { return pointer_ || !keys_.empty(); }

  void press() {
    if (pointer_) fakeInput(display_, XCB_BUTTON_PRESS, 1, x_, y_);
    if (!keys_.empty()) fakeInput(display_, XCB_KEY_PRESS, keys_.back());
    if (!command_.empty()) pid_ = spawn(command_);
  }

  void release() {
    if (pointer_) fakeInput(display_, XCB_BUTTON_RELEASE, 1, x_, y_);
    for (auto key = keys_.rbegin(); key != keys_.rend(); ++key) fakeInput(display_, XCB_KEY_RELEASE, *key);
  }

  void finish() {
    if (pid_ > 0 && !reap(pid_, 5000)) {
      kill(-pid_, SIGKILL);
      reap(pid_, 1000);
    }
  }

 private:
  Display& display_;
  bool pointer_ = false;
  int16_t x_ = 0;
  int16_t y_ = 0;
  std::vector<xcb_keycode_t> keys_;
  std::vector<char*> command_;
  pid_t pid_ = -1;
};

int paste(const Options& options) {
  Display display;
  const xcb_window_t editor = windowId(options.get("editor"));
  const std::string prefix = options.get("prefix");
  if (prefix.empty()) fail("paste needs --prefix");
  display.selectEvents(editor, XCB_EVENT_MASK_PROPERTY_CHANGE);
  if (display.title(editor).starts_with(prefix))
    fail("the editor already shows a changed document: \"" + display.title(editor) + "\"");

  Trigger trigger(display, options);
  const double start = nowMs();
  const double releaseAt = start + options.number("hold-ms", 90);
  double releasedAt = trigger.holds() ? 0 : start;
  trigger.press();
  double landedAt = 0;
  const bool landed = display.pump(
      start + options.number("timeout-ms", 5000),
      [&](xcb_generic_event_t* event) {
        if (!event) {
          if (releasedAt == 0 && nowMs() >= releaseAt) {
            trigger.release();
            releasedAt = nowMs();
          }
          return false;
        }
        if (eventType(event) != XCB_PROPERTY_NOTIFY) return false;
        auto* changed = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (changed->window != editor || !display.isTitleAtom(changed->atom)) return false;
        if (!display.title(editor).starts_with(prefix)) return false;
        landedAt = nowMs();
        return true;
      },
      [&] { return releasedAt != 0 ? 1e300 : releaseAt; });
  if (releasedAt == 0) {
    display.pump(releaseAt, [](xcb_generic_event_t*) { return false; });
    trigger.release();
    releasedAt = nowMs();
  }
  trigger.finish();
  if (!landed) fail("nothing reached the editor");
  std::printf("paste_ms=%.2f\nafter_release_ms=%.2f\n", landedAt - start, landedAt - releasedAt);
  return 0;
}

int waitTitle(const Options& options) {
  Display display;
  const xcb_window_t window = windowId(options.get("window"));
  const bool wantPrefix = options.has("prefix");
  const std::string text = wantPrefix ? options.get("prefix") : options.get("without");
  display.selectEvents(window, XCB_EVENT_MASK_PROPERTY_CHANGE);
  const auto satisfied = [&] { return display.title(window).starts_with(text) == wantPrefix; };
  const double start = nowMs();
  const bool done =
      satisfied() || display.pump(start + options.number("timeout-ms", 5000), [&](xcb_generic_event_t* event) {
        return event && eventType(event) == XCB_PROPERTY_NOTIFY && satisfied();
      });
  if (!done) fail("the title stayed \"" + display.title(window) + "\"");
  std::printf("waited_ms=%.2f\n", nowMs() - start);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "launch") return launch(parse(argc, argv, {"focus-away"}));
  if (mode == "paste") return paste(parse(argc, argv, {}));
  if (mode == "wait-title") return waitTitle(parse(argc, argv, {}));
  fail("usage: xprobe launch|paste|wait-title ... (see the head of xprobe.cpp)");
}
