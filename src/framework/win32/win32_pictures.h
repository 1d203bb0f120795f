// The program's XPM pictures as Windows images: decoded here, so that nothing but GDI and the
// common controls' image lists is needed to show them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "framework/definition.h"

namespace kelvado::win32 {

// Pixels as 0xAARRGGBB, rows from the top; alpha is 0 (transparent) or 255.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;

  bool empty() const { return argb.empty(); }
  std::uint32_t at(int x, int y) const { return argb[static_cast<std::size_t>(y * width + x)]; }
};

// Colours may be "#RRGGBB" or "None". A malformed picture decodes to no pixels.
Pixels decodeXpm(XpmImage xpm);

// Every pixel of the bottom-left pixel's colour made transparent, as button pictures are drawn.
Pixels withTransparentCorner(Pixels pixels);

// Nearest-neighbour scaling, so that the pictures' one-pixel lines stay sharp at any DPI.
Pixels resized(const Pixels& pixels, int width, int height);

// An image list of `count` equal images standing side by side in the picture, transparent where
// the picture is. The caller destroys it.
HIMAGELIST makeImageList(const Pixels& pixels, int count);

// An icon of the picture; the caller destroys it.
HICON makeIcon(const Pixels& pixels);

}  // namespace kelvado::win32
