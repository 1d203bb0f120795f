// The notation dialog.
#pragma once

#include "framework/definition.h"

namespace kelvado::form3 {

inline constexpr FormDef kDefinition{
    .name = "Form3",
    .caption = "ケルバド 表示形式の設定",
    .clientWidth = 291,
    .clientHeight = 142,
    .border = BorderStyle::Dialog,
    .minimizeBox = false,
    .maximizeBox = false,
    .scaled = false,
    .position = FormPosition::DesktopCenter,
};

}  // namespace kelvado::form3
