#pragma once
// What a dialog needs from whoever puts it on screen. The toolkit decides
// what each control looks like in every state and says it through these
// few calls, in window pixels and back to front; an implementation above
// the toolkit turns them into quads and text. The toolkit itself never
// touches a graphics API.
#include <cstdint>
#include <string_view>

#include "gui/GuiTypes.h"

namespace gui {

class Painter {
 public:
  virtual ~Painter() = default;

  // A solid rectangle.
  virtual void FillRect(const Rect& rc, Color color) = 0;
  // A rectangle whose four corners carry their own colour, blended across.
  virtual void FillGradient(const Rect& rc, Color topLeft, Color topRight, Color bottomLeft,
                            Color bottomRight) = 0;
  // Part `rcTexture` (texels) of the dialog's texture `texture`, stretched
  // over `rc` and multiplied by `tint`.
  virtual void DrawImage(const CDXUTDialog& dialog, UINT texture, const Rect& rcTexture, const Rect& rc,
                         Color tint) = 0;
  // One line of text with the dialog's font `font`, placed inside `rc`
  // by the DT_* bits of `format` and cut at its edges (with DT_NOCLIP, at
  // the dialog body's edges). Text wider than `rc` starts at its left edge
  // whatever the alignment, so its beginning stays readable.
  virtual void DrawText(const CDXUTDialog& dialog, UINT font, std::u16string_view text, const Rect& rc,
                        std::uint32_t format, Color color) = 0;
};

}  // namespace gui
