// The paste shortcut held through KDE's global shortcuts service (kglobalaccel, which KWin runs
// inside itself on Plasma's Wayland session), over the session bus.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

#include "platform/platform.h"
#include "shortcut.h"

namespace kelvado::wayland {

class KdeGlobalShortcut : public QObject {
  Q_OBJECT
 public:
  KdeGlobalShortcut();
  // Leaves no entry behind, so that the key is free again for whoever comes next.
  ~KdeGlobalShortcut() override;
  KdeGlobalShortcut(const KdeGlobalShortcut&) = delete;
  KdeGlobalShortcut& operator=(const KdeGlobalShortcut&) = delete;

  // Unsupported without the service on the session bus; Taken when another program, or
  // another running copy of this one, holds the key.
  Platform::ShortcutStatus hold(const Shortcut& shortcut, std::function<void()> pressed);

 private slots:
  void onPressed(const QString& component, const QString& action, qlonglong timestamp);

 private:
  void release();

  QDBusConnection bus_;
  std::function<void()> pressed_;
  QString componentPath_;
  bool ownsName_ = false;
  bool registered_ = false;
};

}  // namespace kelvado::wayland
