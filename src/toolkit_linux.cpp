// Linux: Qt 6 Widgets on X11, with the X11 platform layer; on a Wayland desktop the windows
// stay on XWayland and the Wayland platform layer wraps the X11 one.
#include <QApplication>
#include <QByteArray>
#include <cstdio>
#include <cstdlib>

#include "framework/qt/qt_backend.h"
#include "platform/wayland/wayland_platform.h"
#include "platform/x11/x11_platform.h"
#include "toolkit.h"

namespace kelvado {

namespace {

[[noreturn]] void giveUp(const char* why) {
  std::fprintf(stderr, "kelvado: %s\n", why);
  std::fflush(stderr);
  std::_Exit(1);
}

QtMessageHandler gQtDefaultMessages = nullptr;

// Qt ends the process with a fatal message, and a core dump, when it cannot bring up its
// platform; say what is wrong and leave quietly instead.
void startupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) giveUp("cannot open the X display: this program needs an X11 session");
  if (gQtDefaultMessages) gQtDefaultMessages(type, context, message);
}

}  // namespace

Toolkit makeToolkit(const char* argv0) {
  // Qt keeps references to these for the application's whole life.
  static int argc = 1;
  static char* argv[] = {const_cast<char*>(argv0), nullptr};

  // The windows are laid out in pixels and keep them at any pixels per inch; the help window
  // scales itself.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  // Pasting into other programs needs X11; on a Wayland desktop that is XWayland. An explicit
  // choice of platform is left alone, and refused below unless it is X11.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");

  gQtDefaultMessages = qInstallMessageHandler(startupMessages);
  auto app = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(gQtDefaultMessages);
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    giveUp("this program needs an X11 display (the Qt platform \"xcb\")");

  Toolkit toolkit;
  toolkit.backend = std::make_unique<qt::QtBackend>(std::move(app));
  try {
    toolkit.platform = makeWaylandPlatform(makeX11Platform());
  } catch (const Error& e) {
    giveUp(e.what());
  }
  return toolkit;
}

}  // namespace kelvado
