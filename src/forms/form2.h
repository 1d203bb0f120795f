// The version and help window.
#pragma once

#include "framework/definition.h"

namespace kelvado::form2 {

inline constexpr FormDef kDefinition{
    .name = "Form2",
    .caption = "ケルバド バージョン＆ヘルプ",
    .left = 469,
    .top = 259,
    .clientWidth = 466,
    .clientHeight = 561,
};

}  // namespace kelvado::form2
