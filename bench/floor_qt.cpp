// The toolkit's floor: the least a Qt Widgets program does to show a window whose caption and
// only label are the date text. The benchmark passes the text so every program shows the same.
// The label takes its natural size, so the fonts are loaded before the window is shown, as they
// are for any window laid out around its text.
#include <QApplication>
#include <QLabel>
#include <QString>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString text = argc > 1 ? QString::fromUtf8(argv[1]) : QString();
  QLabel label(text);
  label.setWindowTitle(text);
  label.show();
  return QApplication::exec();
}
