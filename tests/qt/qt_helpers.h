// Finding the widgets that the Qt backend made for a window definition.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <string>
#include <vector>

#include "framework/framework.h"

namespace kelvado::testing {

inline QString qname(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// The top-level widget of a window, found by its definition's name.
inline QWidget* windowOf(const Form& form) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == qname(form.def().name)) return w;
  return nullptr;
}

template <class W = QWidget>
W* widgetOf(const Form& form, std::string_view controlName) {
  QWidget* window = windowOf(form);
  return window ? window->findChild<W*>(qname(controlName)) : nullptr;
}

// What a modal box showed when the test answered it.
struct QtShownBox {
  QMessageBox::Icon icon;
  QString caption;
  QString text;
  QStringList buttons;
  bool okIsDefaultAndEscape;
};

inline QtShownBox describe(QMessageBox& box) {
  QtShownBox shown{box.icon(), box.windowTitle(), box.text(), {}, false};
  for (QAbstractButton* b : box.buttons()) shown.buttons << b->text();
  shown.okIsDefaultAndEscape = box.buttons().size() == 1 &&
                               static_cast<QAbstractButton*>(box.defaultButton()) == box.buttons().front() &&
                               box.escapeButton() == box.buttons().front();
  return shown;
}

}  // namespace kelvado::testing
