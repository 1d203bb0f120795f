// The widgets behind a window definition's controls, one kind each, and the one mapping from the
// program's colour values to Qt's.
#pragma once

#include <QColor>
#include <QPalette>
#include <QPixmap>

#include "framework/framework.h"

class QWidget;

namespace kelvado::qt {

// $00BBGGRR, or a system colour (top bit set, low byte the system colour's index), as this
// desktop's palette has it in the given colour group.
QColor toQColor(TColor color, QPalette::ColorGroup group = QPalette::Active);

// Gives a widget its background and text colours. The disabled group keeps the desktop's own
// greyed look.
void setColors(QWidget& widget, QPalette::ColorRole backgroundRole, TColor background,
               QPalette::ColorRole foregroundRole, TColor foreground);

// An XPM picture; the colour of its bottom-left pixel is drawn transparent.
QPixmap transparentPicture(XpmImage xpm);

struct BuiltControl {
  QWidget* widget;    // owned by its Qt parent
  ControlPeer* peer;  // the same object as widget
};

// Makes the widget for one control under `parent`, at its place multiplied by `scale`, already
// showing the control's state and forwarding the user's input to it.
BuiltControl buildControl(Control& control, QWidget* parent, double scale);

}  // namespace kelvado::qt
