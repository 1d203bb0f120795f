// The program's pictures, as XPM text so that they can be reviewed like code.
#pragma once

namespace kelvado {

// 32 x 32, sixteen colours: a calendar page with two binder rings, a green header and a red 日.
// Also the main window's icon, which has none of its own.
inline constexpr const char* kApplicationIcon[] = {
    "32 32 8 1",
    ". c None",
    "# c #808080",
    "w c #FFFFFF",
    "k c #000000",
    "g c #008000",
    "l c #00FF00",
    "s c #C0C0C0",
    "r c #FF0000",
    "................................",
    "..........k..........k..........",
    ".........ksk........ksk.........",
    ".........ksk........ksk.........",
    ".........ksk........ksk.........",
    "...kkkkkkkskkkkkkkkkkskkkkkk....",
    "...klllllkskllllllllkskllllk....",
    "...kgggggkskggggggggkskggggk##..",
    "...kgggggkkkggggggggkkkggggk##..",
    "...kggggggkggggggggggkgggggk##..",
    "...kgggggggggggggggggggggggk##..",
    "...kgggggggggggggggggggggggk##..",
    "...kkkkkkkkkkkkkkkkkkkkkkkkk##..",
    "...kwwwwwwwwwwwwwwwwwwwwwwwk##..",
    "...kwwwwwwwrrrrrrrrrwwwwwwwk##..",
    "...kwwwwwwwrrrrrrrrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrrrrrrrrwwwwwwwk##..",
    "...kwwwwwwwrrrrrrrrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrwwwwwrrwwwwwwwk##..",
    "...kwwwwwwwrrrrrrrrrwwwwwwwk##..",
    "...kwwwwwwwrrrrrrrrrwwwwwwwk##..",
    "...kkkkkkkkkkkkkkkkkkkkkkkkk##..",
    ".....#########################..",
    ".....#########################..",
};

// 32 x 16: the version button's open book with a red question mark, normal on the left and
// greyed for the disabled state on the right. The bottom-left pixel's olive (#808000) is drawn
// transparent.
inline constexpr const char* kVersionButtonPicture[] = {
    "32 16 7 1",
    "o c #808000",
    "w c #FFFFFF",
    "k c #000000",
    "r c #FF0000",
    "b c #000080",
    "s c #C0C0C0",
    "# c #808080",
    "oooooooooooooooooooooooooooooooo",
    "oooooooooooooooooooooooooooooooo",
    "ookkkkkokkkkkkoooo#####o######oo",
    "okwwwrrrrrwwwwkoo#sss#####ssss#o",
    "okwwrrwkwrrwwwkoo#ss##s#s##sss#o",
    "okwwrrwkwrrwwwkoo#ss##s#s##sss#o",
    "okwwwwwkwrrwwwkoo#sssss#s##sss#o",
    "okwwwwwkrrwwwwkoo#sssss###ssss#o",
    "okwwwwwrrwwwwwkoo#sssss##sssss#o",
    "okwwwwwrrwwwwwkoo#sssss##sssss#o",
    "bkwwwwwkwwwwwwkb##sssss#ssssss##",
    "bkwwwwwrrwwwwwkb##sssss##sssss##",
    "bkkkkkkkkkkkkkkb################",
    "bbbbbbbbbbbbbbbb################",
    "oooooooooooooooooooooooooooooooo",
    "oooooooooooooooooooooooooooooooo",
};

}  // namespace kelvado
