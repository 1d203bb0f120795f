// The program's pictures, as XPM text so that they can be reviewed like code.
#pragma once

namespace kelvado {

// 32 x 32, sixteen colours: a calendar page with binder rings, a green header and a red 日.
inline constexpr const char* kApplicationIcon[] = {
    "1 1 1 1",
    "  c #FFFFFF",
    " ",
};

// 32 x 16: the version button's open book with a red question mark, normal and greyed side by
// side; olive (#808000) is drawn transparent.
inline constexpr const char* kVersionButtonPicture[] = {
    "1 1 1 1",
    "  c #808000",
    " ",
};

}  // namespace kelvado
