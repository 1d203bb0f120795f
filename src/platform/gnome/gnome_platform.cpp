// The platform layer on GNOME Shell. No Wayland protocol tells a program there which window has
// the focus or lets it press keys, so the program ships a small shell extension
// (desktop/gnome-shell) that serves it on the shell's bus name: it pushes the focused window
// as it changes, and brings a window back and presses Ctrl+V in one call. The 500 ms look at the
// foreground window then reads what the shell last said, with no round trip. The paste shortcut
// is grabbed by the shell for the program too: on Wayland no program sees keys meant for
// another's window.
//
// X11 windows are reached the same way: on GNOME the X11 platform lost some of its pastes (the
// target was not always activated). The program's own windows stay X11 windows on XWayland.
#include "platform/gnome/gnome_platform.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "platform/wayland/wayland_support.h"
#include "platform/x11/x11_text_clipboard.h"

namespace kelvado {
namespace {

const QString kShell = QStringLiteral("org.gnome.Shell");
const QString kPath = QStringLiteral("/org/kelvado/Paste");
const QString kInterface = QStringLiteral("org.kelvado.Paste");
// The shell waits up to 300 ms for the window to take the focus, and up to a second for the
// user to let go of the shortcut's modifiers.
constexpr int kPasteTimeoutMs = 2000;
// The shell normally asks within a few milliseconds; a busy machine may take far longer, and
// a paste sent before then pastes what was there before.
constexpr std::chrono::milliseconds kClipboardWait{1000};
constexpr int kWatchTimeoutMs = 2000;

// The shell's window ids share the core's id type with X11's, marked as Wayland's native
// windows are, so that the two kinds never collide.
WindowId fromShell(qulonglong id) { return id == 0 ? 0 : wayland::kNativeWindowBit | id; }
qulonglong toShell(WindowId id) { return id & ~wayland::kNativeWindowBit; }

// Qt's D-Bus hands signals to slots only.
class FocusReceiver : public QObject {
  Q_OBJECT
 public:
  std::function<void(qulonglong, bool)> onFocus;
  std::function<void()> onShortcut;

 public slots:
  void focus(qulonglong window, bool own) { onFocus(window, own); }
  void shortcut() {
    if (onShortcut) onShortcut();
  }
};

// Whether the extension is installed where the shell looks for a user's and the system's
// extensions.
bool extensionInstalled() {
  const auto dir = [](const char* variable, const std::string& fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
  };
  const char* home = std::getenv("HOME");
  std::string dirs = dir("XDG_DATA_HOME", std::string(home ? home : "") + "/.local/share") + ":" +
                     dir("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  std::istringstream list(dirs);
  std::error_code error;
  for (std::string d; std::getline(list, d, ':');)
    if (!d.empty() &&
        std::filesystem::exists(d + "/gnome-shell/extensions/" KELVADO_EXTENSION_UUID "/metadata.json", error))
      return true;
  return false;
}

// What is missing, and the one thing to do, in the program's words; empty when the shell
// answered.
std::string missingRoute(const QDBusMessage& reply) {
  if (reply.type() == QDBusMessage::ReplyMessage) return {};
  if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.AccessDenied"))
    return "GNOME では、インストールしたケルバドからだけ他のウィンドウに貼り付けられます。"
           "インストールしたケルバドを起動してください。";
  if (extensionInstalled())
    return "GNOME で他のウィンドウに貼り付けるための拡張機能がまだ読み込まれていません。"
           "一度ログアウトして、ログインし直してください。";
  return "GNOME で他のウィンドウに貼り付けるための拡張機能 (" KELVADO_EXTENSION_UUID
         ") がありません。ケルバドを cmake --install でインストールし直して、ログインし直してください。";
}

}  // namespace

std::string gnomeAccelerator(const Shortcut& shortcut) {
  std::string accelerator;
  if (shortcut.ctrl) accelerator += "<Control>";
  if (shortcut.alt) accelerator += "<Alt>";
  if (shortcut.shift) accelerator += "<Shift>";
  if (shortcut.win) accelerator += "<Super>";
  const std::string& key = shortcut.key;
  // The keysym's own name: a letter's is the small one, which the shell finds on the keyboard
  // as it is (the capital would be the shifted level).
  if (key.size() == 1 && key[0] >= 'A' && key[0] <= 'Z') return accelerator + static_cast<char>(key[0] - 'A' + 'a');
  if (key == "Space") return accelerator + "space";
  if (key == "PageUp") return accelerator + "Page_Up";
  if (key == "PageDown") return accelerator + "Page_Down";
  return accelerator + key;  // digits, F1..F24, Insert, Delete, Home, End
}

namespace {

class GnomePlatform : public Platform {
 public:
  GnomePlatform(std::unique_ptr<Platform> x11, QDBusConnection bus) : x11_(std::move(x11)), bus_(std::move(bus)) {
    receiver_.onFocus = [this](qulonglong window, bool own) { focused(window, own); };
    receiver_.onShortcut = [this] {
      if (pressed_) pressed_();
    };
    // Listening before asking, so that no change falls between the answer and the first signal.
    bus_.connect(kShell, kPath, kInterface, QStringLiteral("Focus"), &receiver_, SLOT(focus(qulonglong, bool)));
    const QDBusMessage reply =
        bus_.call(QDBusMessage::createMethodCall(kShell, kPath, kInterface, "Watch"), QDBus::Block, kWatchTimeoutMs);
    missing_ = missingRoute(reply);
    if (!missing_.empty()) {
      bus_.disconnect(kShell, kPath, kInterface, QStringLiteral("Focus"), &receiver_, SLOT(focus(qulonglong, bool)));
      std::fprintf(stderr, "kelvado: %s\n", missing_.c_str());
      return;
    }
    const QList<QVariant> focus = reply.arguments();
    if (focus.size() == 2) focused(focus[0].toULongLong(), focus[1].toBool());
  }

  WindowId foregroundWindow() override { return routed() ? focus_ : x11_->foregroundWindow(); }

  bool isOwnWindow(WindowId window) override {
    return wayland::isNativeWindow(window) ? own_.contains(window) : x11_->isOwnWindow(window);
  }

  // The shell brings the window back and presses the keys in one call (sendCtrlV), so that
  // nothing can come between the two.
  void bringToFront(WindowId window) override {
    if (routed())
      target_ = window;
    else
      x11_->bringToFront(window);
  }

  // Into the window brought back just before, once; without one (a shortcut's paste) into the
  // window that has the focus, which the shell finds itself.
  void sendCtrlV() override {
    if (!routed()) {
      x11_->sendCtrlV();
      return;
    }
    const std::optional<WindowId> target = std::exchange(target_, std::nullopt);
    if (target == WindowId{0}) return;
    // Native programs read the clipboard through the shell, which takes it over from XWayland
    // only once it has asked this program what it offers: a Ctrl+V before that pastes what
    // was there before.
    clipboard_.waitUntilAsked(kClipboardWait);
    // Not waited for: the target asks this program for the text once it has the keys, and
    // the answer (whether the window was there to paste into) changes nothing here. A window
    // that has gone or would not take the focus is skipped, as on X11.
    bus_.asyncCall(QDBusMessage::createMethodCall(kShell, kPath, kInterface, "Paste")
                       << qulonglong{toShell(target.value_or(0))},
                   kPasteTimeoutMs);
  }

  // Only a program that shows windows of its own on this desktop could grab keys itself, and then
  // only while one of them has the focus: the shell grabs the shortcut for it.
  ShortcutStatus registerShortcut(const Shortcut& shortcut, std::function<void()> pressed) override {
    if (!routed()) return ShortcutStatus::Unsupported;
    // Listening before asking, so that no press falls between the grab and the connection.
    bus_.connect(kShell, kPath, kInterface, QStringLiteral("Shortcut"), &receiver_, SLOT(shortcut()));
    const QDBusMessage reply = bus_.call(QDBusMessage::createMethodCall(kShell, kPath, kInterface, "GrabShortcut")
                                             << QString::fromStdString(gnomeAccelerator(shortcut)),
                                         QDBus::Block, kWatchTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
      // An extension loaded before an upgrade knows no shortcuts until the next login.
      std::fprintf(stderr, "kelvado: GNOME Shell did not grab the shortcut (%s); log out and in once\n",
                   qPrintable(reply.errorMessage()));
      return ShortcutStatus::Unsupported;
    }
    if (!reply.arguments().value(0).toBool()) return ShortcutStatus::Taken;
    pressed_ = std::move(pressed);
    return ShortcutStatus::Registered;
  }

  // The shell waits for the modifiers before it presses Ctrl+V: this program, an X11 client,
  // sees no keys while a native window has the focus.
  void waitForModifiersUp() override {}

  // Native programs get the text through XWayland's clipboard bridge.
  void setClipboardText(const std::string& text) override { clipboard_.setText(text); }
  std::string missingPasteRoute() override { return missing_; }
  std::vector<MonitorRect> monitors() override { return x11_->monitors(); }
  std::string executablePath() override { return x11_->executablePath(); }
  LocalDateTime localNow() override { return x11_->localNow(); }

 private:
  bool routed() const { return missing_.empty(); }

  void focused(qulonglong window, bool own) {
    focus_ = fromShell(window);
    // The shell's ids are never reused: a window once the program's stays so.
    if (own) own_.insert(focus_);
  }

  std::unique_ptr<Platform> x11_;
  QDBusConnection bus_;
  FocusReceiver receiver_;
  X11TextClipboard clipboard_;
  std::string missing_;
  WindowId focus_ = 0;
  // Set by a click's bringToFront, taken by the sendCtrlV that follows.
  std::optional<WindowId> target_;
  std::set<WindowId> own_;
  std::function<void()> pressed_;
};

}  // namespace

std::unique_ptr<Platform> makeGnomePlatform(std::unique_ptr<Platform>& x11) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kShell)) return nullptr;
  return std::make_unique<GnomePlatform>(std::move(x11), bus);
}

}  // namespace kelvado

#include "gnome_platform.moc"
