// The backends' contract (tests/backend) on the Qt backend: real widgets on the offscreen
// platform, driven with QTest.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTextEdit>

#include "backend/backend_contract.h"
#include "framework/qt/qt_backend.h"
#include "framework/qt/qt_controls.h"
#include "qt_helpers.h"

namespace kelvado::testing {
namespace {

std::string str(const QString& s) { return s.toStdString(); }

LocalDateTime dayOf(QDate d) { return {d.year(), d.month(), d.day()}; }

Qt::MouseButton qtButton(MouseButton b) {
  switch (b) {
    case MouseButton::Left: return Qt::LeftButton;
    case MouseButton::Right: return Qt::RightButton;
    case MouseButton::Middle: return Qt::MiddleButton;
  }
  return Qt::LeftButton;
}

Qt::KeyboardModifiers qtModifiers(ShiftState s) {
  Qt::KeyboardModifiers m;
  if (s.shift) m |= Qt::ShiftModifier;
  if (s.ctrl) m |= Qt::ControlModifier;
  if (s.alt) m |= Qt::AltModifier;
  return m;
}

class QtDriver final : public BackendDriver {
 public:
  Backend& backend() override { return backend_; }

  void answerModalBoxes(std::function<void(const ShownBox&)> answer) override {
    backend_.setModalHook([answer](QMessageBox& box) {
      const QtShownBox qt = describe(box);
      ShownBox shown{qt.icon == QMessageBox::Critical ? MessageKind::Error : MessageKind::Information,
                     str(qt.caption),
                     str(qt.text),
                     {},
                     qt.okIsDefaultAndEscape};
      for (const QString& b : qt.buttons) shown.buttons.push_back(str(b));
      answer(shown);
    });
  }

  bool runUntil(const std::function<bool()>& done, int timeoutMs) override { return QTest::qWaitFor(done, timeoutMs); }

  void waitExposed(Form& form) override { ASSERT_TRUE(QTest::qWaitForWindowExposed(windowOf(form))); }

  bool hasNative(Form& form, int control) override { return widget(form, control) != nullptr; }

  Shown shown(Form& form, int control) override {
    QWidget& w = *widget(form, control);
    Shown s;
    const QRect g = w.geometry();
    s.bounds = {g.x(), g.y(), g.width(), g.height()};
    s.visible = w.isVisibleTo(w.window());
    s.enabled = w.isEnabled();
    s.hint = str(w.toolTip());
    s.background = w.palette().color(w.backgroundRole()).rgb() & 0xFFFFFF;
    s.text = str(w.accessibleName());
    if (auto* label = qobject_cast<QLabel*>(&w)) s.text = str(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(&w)) {
      s.text = str(button->text());
      s.checked = button->isChecked();
    }
    if (auto* memo = qobject_cast<QTextEdit*>(&w)) {
      s.text = str(memo->toPlainText());
      s.readOnly = memo->isReadOnly();
      s.wordWrap = memo->lineWrapMode() == QTextEdit::WidgetWidth;
      s.horizontalBar = memo->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
      s.verticalBar = memo->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
    }
    if (auto* list = qobject_cast<QComboBox*>(&w)) {
      for (int i = 0; i < list->count(); ++i) s.items.push_back(str(list->itemText(i)));
      s.itemIndex = list->currentIndex();
      s.itemHeight = list->itemDelegate()->sizeHint({}, list->model()->index(0, 0)).height();
      s.editable = list->isEditable();
    }
    if (auto* picker = qobject_cast<QDateEdit*>(&w)) {
      s.text = str(picker->findChild<QLineEdit*>()->text());
      s.date = dayOf(picker->date());
      s.firstDate = dayOf(picker->minimumDate());
      s.lastDate = dayOf(picker->maximumDate());
      s.dropDownCalendar = picker->calendarPopup();
    }
    return s;
  }

  int textWidth(Form& form, int control, const std::string& text) override {
    return widget(form, control)->fontMetrics().horizontalAdvance(QString::fromStdString(text));
  }

  int dateFieldRoom(Form& form, int control) override {
    return widget(form, control)->findChild<QLineEdit*>()->width();
  }

  Drawn picture(Form& form, int control, bool enabled) override {
    auto& button = static_cast<QPushButton&>(*widget(form, control));
    const QPixmap pixmap = button.icon().pixmap(16, 16, enabled ? QIcon::Normal : QIcon::Disabled);
    QImage image(pixmap.size(), QImage::Format_RGB32);
    image.fill(button.palette().color(QPalette::Button));
    QPainter(&image).drawPixmap(0, 0, pixmap);
    Drawn drawn{image.width(), image.height(), {}};
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) drawn.rgb.push_back(image.pixel(x, y) & 0xFFFFFF);
    return drawn;
  }

  HintTiming hintTiming(Form& form, int control) override {
    QWidget& w = *widget(form, control);
    return {w.style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), w.toolTipDuration()};
  }

  void press(Form& form, int control, MouseButton button, ShiftState shift, int x, int y) override {
    QTest::mousePress(widget(form, control), qtButton(button), qtModifiers(shift), {x, y});
  }

  void release(Form& form, int control, MouseButton button, int x, int y) override {
    QTest::mouseRelease(widget(form, control), qtButton(button), {}, {x, y});
  }

  // Qt reports a double click as press, release, press, double click, release.
  void doubleClick(Form& form, int control, int x, int y) override {
    QWidget* w = widget(form, control);
    QTest::mousePress(w, Qt::LeftButton, {}, {x, y});
    QTest::mouseRelease(w, Qt::LeftButton, {}, {x, y});
    QTest::mousePress(w, Qt::LeftButton, {}, {x, y});
    QTest::mouseDClick(w, Qt::LeftButton, {}, {x, y});
    QTest::mouseRelease(w, Qt::LeftButton, {}, {x, y});
  }

  void keyboardClick(Form& form, int control) override {
    QWidget* w = widget(form, control);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_Space);
  }

  void pickNextItem(Form& form, int control) override { QTest::keyClick(widget(form, control), Qt::Key_Down); }

  void stepDate(Form& form, int control) override { QTest::keyClick(widget(form, control), Qt::Key_Up); }

 private:
  QWidget* widget(Form& form, int control) {
    return widgetOf(form, form.def().controls[static_cast<std::size_t>(control)].name);
  }

  qt::QtBackend backend_;
};

}  // namespace

std::unique_ptr<BackendDriver> makeDriver() { return std::make_unique<QtDriver>(); }

}  // namespace kelvado::testing
