#include "framework/win32/win32_pictures.h"

#include <charconv>
#include <string_view>

namespace kelvado::win32 {

namespace {

bool readInt(std::string_view& text, int& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{}) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

// The value after the "c" (colour) key of an XPM colour line, e.g. "#808000" or "None".
std::string_view colourValue(std::string_view line) {
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    const std::size_t start = at;
    while (at < line.size() && line[at] != ' ') ++at;
    if (line.substr(start, at - start) != "c") continue;
    while (at < line.size() && line[at] == ' ') ++at;
    const std::size_t valueStart = at;
    while (at < line.size() && line[at] != ' ') ++at;
    return line.substr(valueStart, at - valueStart);
  }
  return {};
}

bool parseColour(std::string_view value, std::uint32_t& argb) {
  if (value == "None" || value == "none") {
    argb = 0;
    return true;
  }
  if (value.size() != 7 || value[0] != '#') return false;
  std::uint32_t rgb = 0;
  const auto [end, error] = std::from_chars(value.data() + 1, value.data() + 7, rgb, 16);
  if (error != std::errc{} || end != value.data() + 7) return false;
  argb = 0xFF000000u | rgb;
  return true;
}

struct PaletteEntry {
  std::string_view key;
  std::uint32_t argb;
};

// A 32-bit top-down bitmap of the picture, black where it is transparent, as image lists and
// icons want the colour part under a mask.
HBITMAP colourBitmap(const Pixels& pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = pixels.width;
  info.bmiHeader.biHeight = -pixels.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  auto* out = static_cast<std::uint32_t*>(bits);  // 0xAARRGGBB is BGRA in memory, as DIBs are
  for (std::size_t i = 0; i < pixels.argb.size(); ++i) out[i] = (pixels.argb[i] >> 24) ? pixels.argb[i] : 0;
  GdiFlush();
  return bitmap;
}

// A monochrome mask: set where the picture is transparent. Rows are padded to 16 bits.
HBITMAP maskBitmap(const Pixels& pixels) {
  const int stride = (pixels.width + 15) / 16 * 2;
  std::vector<BYTE> bits(static_cast<std::size_t>(stride * pixels.height), 0);
  for (int y = 0; y < pixels.height; ++y)
    for (int x = 0; x < pixels.width; ++x)
      if (!(pixels.at(x, y) >> 24))
        bits[static_cast<std::size_t>(y * stride + x / 8)] |= static_cast<BYTE>(0x80 >> (x % 8));
  return CreateBitmap(pixels.width, pixels.height, 1, 1, bits.data());
}

}  // namespace

Pixels decodeXpm(XpmImage xpm) {
  if (xpm.empty()) return {};
  std::string_view header = xpm[0];
  int width = 0, height = 0, colours = 0, perPixel = 0;
  if (!readInt(header, width) || !readInt(header, height) || !readInt(header, colours) || !readInt(header, perPixel) ||
      width <= 0 || height <= 0 || colours <= 0 || perPixel <= 0 ||
      xpm.size() < static_cast<std::size_t>(1 + colours + height))
    return {};

  std::vector<PaletteEntry> palette;
  for (int i = 0; i < colours; ++i) {
    const std::string_view line = xpm[static_cast<std::size_t>(1 + i)];
    if (line.size() < static_cast<std::size_t>(perPixel)) return {};
    PaletteEntry entry{line.substr(0, static_cast<std::size_t>(perPixel)), 0};
    if (!parseColour(colourValue(line.substr(static_cast<std::size_t>(perPixel))), entry.argb)) return {};
    palette.push_back(entry);
  }

  Pixels pixels{width, height, {}};
  pixels.argb.reserve(static_cast<std::size_t>(width * height));
  for (int y = 0; y < height; ++y) {
    const std::string_view row = xpm[static_cast<std::size_t>(1 + colours + y)];
    if (row.size() < static_cast<std::size_t>(width * perPixel)) return {};
    for (int x = 0; x < width; ++x) {
      const std::string_view key =
          row.substr(static_cast<std::size_t>(x * perPixel), static_cast<std::size_t>(perPixel));
      const PaletteEntry* found = nullptr;
      for (const PaletteEntry& entry : palette)
        if (entry.key == key) found = &entry;
      if (!found) return {};
      pixels.argb.push_back(found->argb);
    }
  }
  return pixels;
}

Pixels withTransparentCorner(Pixels pixels) {
  if (pixels.empty()) return pixels;
  const std::uint32_t key = pixels.at(0, pixels.height - 1);
  for (std::uint32_t& p : pixels.argb)
    if (p == key) p = 0;
  return pixels;
}

Pixels resized(const Pixels& pixels, int width, int height) {
  if (pixels.empty() || (width == pixels.width && height == pixels.height)) return pixels;
  Pixels out{width, height, {}};
  out.argb.reserve(static_cast<std::size_t>(width * height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.argb.push_back(pixels.at(x * pixels.width / width, y * pixels.height / height));
  return out;
}

HIMAGELIST makeImageList(const Pixels& pixels, int count) {
  if (pixels.empty() || count <= 0) return nullptr;
  HIMAGELIST list = ImageList_Create(pixels.width / count, pixels.height, ILC_COLOR32 | ILC_MASK, count, 0);
  HBITMAP colour = colourBitmap(pixels);
  HBITMAP mask = maskBitmap(pixels);
  if (list && colour && mask) ImageList_Add(list, colour, mask);
  if (colour) DeleteObject(colour);
  if (mask) DeleteObject(mask);
  return list;
}

HICON makeIcon(const Pixels& pixels) {
  if (pixels.empty()) return nullptr;
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colourBitmap(pixels);
  info.hbmMask = maskBitmap(pixels);
  HICON icon = info.hbmColor && info.hbmMask ? CreateIconIndirect(&info) : nullptr;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return icon;
}

}  // namespace kelvado::win32
