#pragma once
// Where each piece of a control's look lies in a panel texture (the
// toolkit's built-in one, "media\GUI\Widget2.dds" and "media\GUI\Widget3.dds"
// share this layout). The pieces are grey ramps and white shapes: the
// controls tint them with their state colours.
#include "gui/GuiTypes.h"

namespace gui::skin {

inline constexpr int kTextureSize = 128;

// Vertical ramp, light at the top: button faces, combo boxes, thumbs.
inline constexpr Rect kFace{0, 0, 32, 32};
// The same ramp, dark at the top: a pressed face.
inline constexpr Rect kFacePressed{32, 0, 64, 32};
// Caption bar: a ramp with a light line at the top and a dark one at the bottom.
inline constexpr Rect kCaption{64, 0, 128, 32};
// White shapes on transparent ground, 32 x 32 each.
inline constexpr Rect kCheckMark{0, 32, 32, 64};
inline constexpr Rect kRadioRing{32, 32, 64, 64};
inline constexpr Rect kRadioDot{64, 32, 96, 64};
inline constexpr Rect kArrowDown{96, 32, 128, 64};
inline constexpr Rect kArrowUp{0, 64, 32, 96};
inline constexpr Rect kKnob{32, 64, 64, 96};  // a round slider thumb
// Plain white: solid fills through the texture.
inline constexpr Rect kWhite{64, 64, 128, 128};

}  // namespace gui::skin
