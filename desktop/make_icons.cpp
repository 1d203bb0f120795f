// Writes the program's icon, drawn as a 32 x 32 picture, as PNG files at the sizes desktops
// look for: make_icons FOLDER SIZE... writes FOLDER/SIZExSIZE/apps/kelvado.png for each size.
#include <QDir>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "forms/pictures.h"

namespace {

constexpr int kDrawnSize = 32;
constexpr int kFineSize = 256;  // a multiple of the drawn size, finer than any size asked for

// Whole multiples keep every pixel square and sharp. Any other size is taken from a large
// pixel-for-pixel copy, so that the smooth scaling averages whole pixels rather than blurring
// the edges of a few.
QImage iconAt(const QImage& drawn, int size) {
  if (size % kDrawnSize == 0) return drawn.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  const QImage fine = drawn.scaled(kFineSize, kFineSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  return fine.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: make_icons FOLDER SIZE...\n", stderr);
    return 2;
  }
  const QImage drawn = QImage(kelvado::kApplicationIcon).convertToFormat(QImage::Format_ARGB32);
  if (drawn.size() != QSize(kDrawnSize, kDrawnSize)) {
    std::fputs("make_icons: the program's icon is not 32 x 32\n", stderr);
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (size <= 0 || size > kFineSize || !QDir().mkpath(folder) ||
        !iconAt(drawn, size).save(folder + QStringLiteral("/kelvado.png"), "PNG")) {
      std::fprintf(stderr, "make_icons: cannot write the %s pixel icon into %s\n", argv[i], argv[1]);
      return 1;
    }
  }
  return 0;
}
