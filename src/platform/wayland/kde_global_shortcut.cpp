#include "platform/wayland/kde_global_shortcut.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QList>
#include <QStringList>
#include <cstdio>

#include "platform/wayland/wayland_support.h"

namespace kelvado::wayland {
namespace {

const QString kService = QStringLiteral("org.kde.kglobalaccel");
const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
// Held by the one running copy that has the shortcut. The service does not notice a program
// that ends, but the bus does: the name goes with the process however it ends, so an entry
// left by a crash never keeps the next start from its shortcut.
const QString kHolder = QStringLiteral("org.kelvado.PasteShortcut");
const QString kComponent = QStringLiteral("kelvado");
const QString kAction = QStringLiteral("paste");
// The component and the action as the service shows them to the user (System Settings).
const QStringList kActionId{kComponent, kAction, QStringLiteral("ケルバド"), QStringLiteral("日付を貼り付け")};
// setShortcut's flags: the action is there to be pressed (SetPresent), and the keys are the
// ones given, not what the service stored from an earlier run (NoAutoloading): the settings
// file is where the user chooses them.
constexpr uint kSetPresent = 2;
constexpr uint kNoAutoloading = 4;
// The service answers at once; KWin busy at start-up may take a while.
constexpr int kCallTimeoutMs = 3000;

QDBusMessage call(const QString& method, const QList<QVariant>& arguments) {
  QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  message.setArguments(arguments);
  return message;
}

}  // namespace

KdeGlobalShortcut::KdeGlobalShortcut() : bus_(QDBusConnection::sessionBus()) {}

KdeGlobalShortcut::~KdeGlobalShortcut() { release(); }

Platform::ShortcutStatus KdeGlobalShortcut::hold(const Shortcut& shortcut, std::function<void()> pressed) {
  const int key = qtKeyCode(shortcut);
  if (key == 0 || !bus_.isConnected() || !bus_.interface()->isServiceRegistered(kService))
    return Platform::ShortcutStatus::Unsupported;
  if (!bus_.registerService(kHolder)) return Platform::ShortcutStatus::Taken;
  ownsName_ = true;

  bus_.call(call(QStringLiteral("doRegister"), {kActionId}), QDBus::Block, kCallTimeoutMs);
  registered_ = true;
  const QDBusReply<QList<int>> keys = bus_.call(
      call(QStringLiteral("setShortcut"),
           {kActionId, QVariant::fromValue(QList<int>{key}), QVariant::fromValue(kSetPresent | kNoAutoloading)}),
      QDBus::Block, kCallTimeoutMs);
  const QDBusReply<QDBusObjectPath> component =
      bus_.call(call(QStringLiteral("getComponent"), {kComponent}), QDBus::Block, kCallTimeoutMs);
  if (!keys.isValid() || !component.isValid()) {
    std::fprintf(stderr, "kelvado: KDE's global shortcuts service did not answer: %s\n",
                 qPrintable(keys.isValid() ? component.error().message() : keys.error().message()));
    release();
    return Platform::ShortcutStatus::Unsupported;
  }
  // The service hands back no key where another component has it already.
  if (!keys.value().contains(key)) {
    release();
    return Platform::ShortcutStatus::Taken;
  }
  componentPath_ = component.value().path();
  pressed_ = std::move(pressed);
  bus_.connect(kService, componentPath_, kComponentInterface, QStringLiteral("globalShortcutPressed"), this,
               SLOT(onPressed(QString, QString, qlonglong)));
  return Platform::ShortcutStatus::Registered;
}

void KdeGlobalShortcut::onPressed(const QString& component, const QString& action, qlonglong) {
  if (component == kComponent && action == kAction && pressed_) pressed_();
}

void KdeGlobalShortcut::release() {
  if (!componentPath_.isEmpty())
    bus_.disconnect(kService, componentPath_, kComponentInterface, QStringLiteral("globalShortcutPressed"), this,
                    SLOT(onPressed(QString, QString, qlonglong)));
  componentPath_.clear();
  // unregister removes the action and its keys, from the service and from its settings file
  // (setInactive would keep the key reserved for a program that is no longer running).
  if (registered_) bus_.call(call(QStringLiteral("unregister"), {kComponent, kAction}), QDBus::Block, kCallTimeoutMs);
  registered_ = false;
  if (ownsName_) bus_.unregisterService(kHolder);
  ownsName_ = false;
}

}  // namespace kelvado::wayland
