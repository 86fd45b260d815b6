// Font face resolution and family enumeration through fontconfig.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <set>

#include "gfx/Font.h"
#include "io/Utf16.h"

namespace gfx {
namespace {

bool InitFontconfig() {
  static const bool ok = FcInit() == FcTrue;
  return ok;
}

std::string GetString(FcPattern* p, const char* object) {
  FcChar8* s = nullptr;
  if (FcPatternGetString(p, object, 0, &s) == FcResultMatch && s) return reinterpret_cast<const char*>(s);
  return {};
}

}  // namespace

std::optional<FontMatch> ResolveFontFace(std::string_view family, int weight, bool italic) {
  if (!InitFontconfig()) return std::nullopt;
  FcPattern* pat = FcPatternCreate();
  if (!pat) return std::nullopt;
  const std::string name(family);
  if (!name.empty()) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight <= 0 ? 400 : weight, 1, 1000)));
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!found) return std::nullopt;

  FontMatch m;
  m.family = GetString(found, FC_FAMILY);
  m.style = GetString(found, FC_STYLE);
  m.file = GetString(found, FC_FILE);
  int index = 0;
  if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch) m.index = index;
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(found, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) m.embolden = embolden == FcTrue;
  FcPatternDestroy(found);
  if (m.file.empty()) return std::nullopt;
  return m;
}

std::vector<std::u16string> EnumerateFontFamilies() {
  std::set<std::u16string> names;
  if (InitFontconfig()) {
    FcPattern* pat = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fs = (pat && os) ? FcFontList(nullptr, pat, os) : nullptr;
    if (fs) {
      for (int i = 0; i < fs->nfont; ++i) {
        const std::string family = GetString(fs->fonts[i], FC_FAMILY);
        if (!family.empty()) names.insert(mv::io::Utf8ToUtf16(family));
      }
      FcFontSetDestroy(fs);
    }
    if (os) FcObjectSetDestroy(os);
    if (pat) FcPatternDestroy(pat);
  }
  return {names.begin(), names.end()};
}

}  // namespace gfx
