#pragma once
// The panel textures: "media\GUI\Widget2.dds" (every panel) and
// "media\GUI\Widget3.dds" (the message dialog) are ours, written by this
// generator; the toolkit's built-in texture is the first of them. The
// layout is gui/Skin.h's: grey ramps and white shapes that the controls
// tint with their state colours.
#include <string_view>

#include "gfx/Image.h"

namespace fw {

enum class PanelTexture {
  Widget2,  // cool: every panel, and the toolkit's built-in texture
  Widget3,  // warm: the message dialog
};

// A 128 x 128 RGBA8 image, one level, rows top first.
gfx::Image MakePanelTexture(PanelTexture which);

// The generated texture a file name stands for when the file cannot be
// read: Widget3 for a name that contains "Widget3", Widget2 otherwise.
PanelTexture PanelTextureFor(std::u16string_view fileName);

}  // namespace fw
