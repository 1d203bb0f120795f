// The frame a window manager will draw around a window that it has not mapped yet.
#pragma once

#include <QMargins>
#include <functional>
#include <optional>

class QWidget;

namespace kelvado::qt {

// The window manager's answer about a frame, awaited when called: the frame, or nothing when
// the window manager cannot tell.
using FrameAnswer = std::function<std::optional<QMargins>()>;

// Asks the X11 window manager which frame it will give `window`, not shown yet
// (_NET_REQUEST_FRAME_EXTENTS). The question goes out at once and the answer is awaited only
// when called for, so the window manager works on it while the program goes on. No window
// manager: no frame. Nothing when the display is not X11.
FrameAnswer askFrameExtents(const QWidget& window);

}  // namespace kelvado::qt
