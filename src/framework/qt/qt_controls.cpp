#include "framework/qt/qt_controls.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

#include "framework/date_formats.h"

namespace kelvado::qt {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

int scaled(int pixels, double scale) { return static_cast<int>(std::lround(pixels * scale)); }

constexpr ControlProperty kAllProperties[] = {
    ControlProperty::Text,      ControlProperty::Color, ControlProperty::FontColor, ControlProperty::Checked,
    ControlProperty::ItemIndex, ControlProperty::Date,  ControlProperty::Enabled};

// What every control widget shares: it is its control's peer, sits at its control's place, shows
// its control's enabled state and colours, and hands mouse presses to controls that listen for them.
// The colour roles say which parts of the palette are the control's background and its text.
template <class W, QPalette::ColorRole Background, QPalette::ColorRole Foreground>
class Peer : public W, public ControlPeer {
 public:
  using W::update;

  Peer(Control& control, QWidget* parent, double scale) : W(parent), control_(control) {
    const ControlDef& d = control.def();
    this->setGeometry(scaled(d.left, scale), scaled(d.top, scale), scaled(d.width, scale), scaled(d.height, scale));
  }

  void update(ControlProperty what) override {
    switch (what) {
      case ControlProperty::Enabled: this->setEnabled(control_.enabled()); break;
      case ControlProperty::Color:
      case ControlProperty::FontColor: applyColors(); break;
      default: refresh(what);
    }
  }

 protected:
  // The properties that only some kinds have.
  virtual void refresh(ControlProperty) {}

  void mousePressEvent(QMouseEvent* event) override {
    W::mousePressEvent(event);
    if (control_.onMouseDown) forwardMouseDown(*event);
  }

  Control& control_;

 private:
  void forwardMouseDown(QMouseEvent& event) {
    MouseButton button;
    switch (event.button()) {
      case Qt::LeftButton: button = MouseButton::Left; break;
      case Qt::RightButton: button = MouseButton::Right; break;
      case Qt::MiddleButton: button = MouseButton::Middle; break;
      default: return;
    }
    event.accept();
    const Qt::KeyboardModifiers m = event.modifiers();
    const QPoint at = event.position().toPoint();
    control_.userMouseDown(
        button, {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier), m.testFlag(Qt::AltModifier)}, at.x(),
        at.y());
  }

  void applyColors() { setColors(*this, Background, control_.color(), Foreground, control_.fontColor()); }
};

class LabelPeer final : public Peer<QLabel, QPalette::Window, QPalette::WindowText> {
 public:
  LabelPeer(Control& control, QWidget* parent, double scale) : Peer(control, parent, scale) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(true);
  }

 protected:
  void refresh(ControlProperty what) override {
    if (what != ControlProperty::Text) return;
    setText(qs(control_.text()));
    if (control_.def().autoSize) resize(fontMetrics().horizontalAdvance(text()), height());
  }

  // A click is a left press and release on the label; the second press of a double click
  // only counts as a press, so a double click is one click.
  void mousePressEvent(QMouseEvent* event) override {
    Peer::mousePressEvent(event);
    clickArmed_ = event->type() == QEvent::MouseButtonPress && event->button() == Qt::LeftButton;
    if (clickArmed_) event->accept();  // so that the release comes back here
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    const bool click = clickArmed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    clickArmed_ = false;
    if (click) control_.userClick();
  }

 private:
  bool clickArmed_ = false;
};

class EditPeer final : public Peer<QLineEdit, QPalette::Base, QPalette::Text> {
 public:
  using Peer::Peer;

 protected:
  void refresh(ControlProperty what) override {
    if (what == ControlProperty::Text) setText(qs(control_.text()));
  }
};

// A QTextEdit: the plain text edit's layout keeps the font's own line spacing whatever the
// text asks for.
class MemoPeer final : public Peer<QTextEdit, QPalette::Base, QPalette::Text> {
 public:
  MemoPeer(Control& control, QWidget* parent, double scale) : Peer(control, parent, scale) {
    const ControlDef& d = control.def();
    setReadOnly(d.readOnly);
    setAcceptRichText(false);
    // A narrower margin than Qt's default, so lines that fit the designed width still fit.
    document()->setDocumentMargin(2);
    setLineWrapMode(d.wordWrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    const bool horizontal = d.scrollBars == ScrollBars::Horizontal || d.scrollBars == ScrollBars::Both;
    const bool vertical = d.scrollBars == ScrollBars::Vertical || d.scrollBars == ScrollBars::Both;
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  }

 protected:
  void refresh(ControlProperty what) override {
    if (what != ControlProperty::Text) return;
    setPlainText(qs(control_.text()));
    // Lines as tall as the characters, as the memos were laid out: the Japanese faces on Linux
    // space their lines a pixel or so wider, and the help text would no longer fit its window.
    QTextBlockFormat lines;
    lines.setLineHeight(QFontInfo(font()).pixelSize(), QTextBlockFormat::FixedHeight);
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(lines);
    document()->clearUndoRedoStacks();
  }
};

class PanelPeer final : public Peer<QFrame, QPalette::Window, QPalette::WindowText> {
 public:
  PanelPeer(Control& control, QWidget* parent, double scale) : Peer(control, parent, scale) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAutoFillBackground(true);
  }

 protected:
  void refresh(ControlProperty what) override {
    if (what != ControlProperty::Text) return;
    setAccessibleName(qs(control_.text()));
    QWidget::update();
  }

  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const Qt::Alignment align = control_.def().centered ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter;
    painter.drawText(contentsRect(), static_cast<int>(align), qs(control_.text()));
  }
};

// Rows of a fixed height in a list's drop-down.
class RowHeightDelegate final : public QStyledItemDelegate {
 public:
  RowHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
  }

 private:
  int height_;
};

class ComboBoxPeer final : public Peer<QComboBox, QPalette::Button, QPalette::ButtonText> {
 public:
  ComboBoxPeer(Control& control, QWidget* parent, double scale) : Peer(control, parent, scale) {
    const ControlDef& d = control.def();
    for (const char* item : d.items) addItem(QString::fromUtf8(item));
    if (d.itemHeight > 0) setItemDelegate(new RowHeightDelegate(scaled(d.itemHeight, scale), this));
    // Only a user's pick emits `activated`; the program's own selections stay silent.
    connect(this, &QComboBox::activated, this, [this](int index) { control_.userPickItem(index); });
  }

 protected:
  void refresh(ControlProperty what) override {
    if (what == ControlProperty::ItemIndex) setCurrentIndex(control_.itemIndex());
  }
};

class ButtonPeer final : public Peer<QPushButton, QPalette::Button, QPalette::ButtonText> {
 public:
  ButtonPeer(Control& control, QWidget* parent, double scale) : Peer(control, parent, scale) {
    const ControlDef& d = control.def();
    if (!d.picture.empty()) {
      // Normal and disabled images stand side by side in one picture.
      const QPixmap both = transparentPicture(d.picture);
      const int half = both.width() / 2;
      QIcon icon;
      icon.addPixmap(both.copy(0, 0, half, both.height()), QIcon::Normal);
      icon.addPixmap(both.copy(half, 0, half, both.height()), QIcon::Disabled);
      setIcon(icon);
      setIconSize({half, both.height()});
    }
    // A click from the mouse or the keyboard; buttons that act on the press have no click handler.
    connect(this, &QPushButton::clicked, this, [this] { control_.userClick(); });
  }

 protected:
  void refresh(ControlProperty what) override {
    if (what == ControlProperty::Text) setText(qs(control_.text()));
  }
};

class CheckBoxPeer final : public Peer<QCheckBox, QPalette::Window, QPalette::WindowText> {
 public:
  CheckBoxPeer(Control& control, QWidget* parent, double scale) : Peer(control, parent, scale) {
    // `clicked` comes from the user only; the program's setChecked does not emit it.
    connect(this, &QCheckBox::clicked, this, [this](bool on) { control_.userSetChecked(on); });
  }

 protected:
  void refresh(ControlProperty what) override {
    if (what == ControlProperty::Text) setText(qs(control_.text()));
    if (what == ControlProperty::Checked) setChecked(control_.checked());
  }
};

class DatePickerPeer final : public Peer<QDateEdit, QPalette::Base, QPalette::Text> {
 public:
  DatePickerPeer(Control& control, QWidget* parent, double scale) : Peer(control, parent, scale) {
    setCalendarPopup(true);
    setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
    setDisplayFormat(fittingFormat());
    connect(this, &QDateEdit::dateChanged, this, [this](QDate date) {
      // The picker holds a time of day too; the user changes only the date.
      LocalDateTime value = control_.date();
      value.year = date.year();
      value.month = date.month();
      value.day = date.day();
      control_.userChangeDate(value);
    });
  }

 protected:
  void refresh(ControlProperty what) override {
    if (what != ControlProperty::Date) return;
    const LocalDateTime& d = control_.date();
    const QSignalBlocker quiet(this);
    setDate(QDate(d.year, d.month, d.day));
  }

 private:
  // The desktop's long date format when the widest date in it fits the field, else the same
  // without the weekday, else the short format with a four-digit year.
  QString fittingFormat() const {
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.subControls = QStyle::SC_ComboBoxEditField;
    constexpr int kTextMargins = 2;  // the inner line edit keeps one pixel free on each side
    const int room = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width() -
                     kTextMargins;
    const QLocale loc = locale();
    QString shortFormat = loc.dateFormat(QLocale::ShortFormat);
    if (!shortFormat.contains(u"yyyy")) shortFormat.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    const QString longFormat = loc.dateFormat(QLocale::LongFormat);
    for (const QString& format : {longFormat, QString::fromStdString(withoutWeekday(longFormat.toStdString()))}) {
      int widest = 0;
      // The 28th of each month of 2000 covers every month name and every weekday name.
      for (int month = 1; month <= 12; ++month)
        widest = std::max(widest, fontMetrics().horizontalAdvance(loc.toString(QDate(2000, month, 28), format)));
      if (widest <= room) return format;
    }
    return shortFormat;
  }
};

QPalette::ColorRole systemColorRole(int index, QPalette::ColorGroup& group) {
  switch (index) {
    case 5: return QPalette::Base;        // window background
    case 8: return QPalette::WindowText;  // window text
    case 13: return QPalette::Highlight;
    case 14: return QPalette::HighlightedText;
    case 15: return QPalette::Button;                            // button face
    case 16: return QPalette::Dark;                              // button shadow
    case 17: group = QPalette::Disabled; return QPalette::Text;  // grey text
    case 18: return QPalette::ButtonText;
    case 20: return QPalette::Light;  // button highlight
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;
    default: return QPalette::Window;
  }
}

}  // namespace

QColor toQColor(TColor color, QPalette::ColorGroup group) {
  const auto bits = static_cast<std::uint32_t>(color);
  if (bits & 0x80000000u) {
    const QPalette::ColorRole role = systemColorRole(static_cast<int>(bits & 0xFF), group);
    return QApplication::palette().color(group, role);
  }
  return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                static_cast<int>((bits >> 16) & 0xFF));
}

void setColors(QWidget& widget, QPalette::ColorRole backgroundRole, TColor background,
               QPalette::ColorRole foregroundRole, TColor foreground) {
  QPalette p = widget.palette();
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(g, backgroundRole, toQColor(background, g));
    p.setColor(g, foregroundRole, toQColor(foreground, g));
  }
  widget.setPalette(p);
}

QPixmap transparentPicture(XpmImage xpm) {
  QPixmap picture(xpm.data());
  if (picture.isNull()) return picture;
  const QRgb key = picture.toImage().pixel(0, picture.height() - 1);
  picture.setMask(picture.createMaskFromColor(QColor(key), Qt::MaskInColor));
  return picture;
}

namespace {

template <class P>
BuiltControl make(Control& control, QWidget* parent, double scale) {
  auto* peer = new P(control, parent, scale);
  return {peer, peer};
}

BuiltControl makeForKind(Control& control, QWidget* parent, double scale) {
  switch (control.def().kind) {
    case ControlKind::Label: return make<LabelPeer>(control, parent, scale);
    case ControlKind::Edit: return make<EditPeer>(control, parent, scale);
    case ControlKind::Memo: return make<MemoPeer>(control, parent, scale);
    case ControlKind::Panel: return make<PanelPeer>(control, parent, scale);
    case ControlKind::ComboBox: return make<ComboBoxPeer>(control, parent, scale);
    case ControlKind::Button:
    case ControlKind::BitButton: return make<ButtonPeer>(control, parent, scale);
    case ControlKind::CheckBox: return make<CheckBoxPeer>(control, parent, scale);
    case ControlKind::DatePicker: return make<DatePickerPeer>(control, parent, scale);
  }
  return make<LabelPeer>(control, parent, scale);  // unreachable: every kind is listed above
}

}  // namespace

BuiltControl buildControl(Control& control, QWidget* parent, double scale) {
  const ControlDef& d = control.def();
  const BuiltControl built = makeForKind(control, parent, scale);
  QWidget* widget = built.widget;
  widget->setObjectName(QString::fromUtf8(d.name.data(), static_cast<qsizetype>(d.name.size())));
  if (d.hint) {
    widget->setToolTip(QString::fromUtf8(d.hint));
    widget->setToolTipDuration(kHintDurationMs);
  }
  widget->setFocusPolicy(!focusable(d) ? Qt::NoFocus : d.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  if (!d.visible) widget->hide();
  for (ControlProperty p : kAllProperties) built.peer->update(p);
  return built;
}

}  // namespace kelvado::qt
