// Placeholder until the X11 services are written: enough to start the program.
#include "platform/x11/x11_platform.h"

#include <unistd.h>

#include <ctime>
#include <filesystem>

namespace kelvado {
namespace {

class X11Platform : public Platform {
 public:
  WindowId foregroundWindow() override { return 0; }
  void bringToFront(WindowId) override {}
  void sendCtrlV() override {}
  void setClipboardText(const std::string&) override {}
  std::vector<MonitorRect> monitors() override { return {{0, 0, 1024, 768}}; }
  std::string executablePath() override { return std::filesystem::read_symlink("/proc/self/exe").string(); }
  LocalDateTime localNow() override {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  }
};

}  // namespace

std::unique_ptr<Platform> makeX11Platform() { return std::make_unique<X11Platform>(); }

}  // namespace kelvado
