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

// Common Windows families. Each is listed when fontconfig maps it onto an
// installed metric-compatible face ("Arial" → Liberation Sans), so slides
// that name them find their font in the list.
constexpr const char* kWindowsFamilies[] = {
    "Arial",        "Arial Black",     "Arial Narrow",   "Book Antiqua",  "Calibri",     "Cambria",
    "Candara",      "Century Gothic",  "Comic Sans MS",  "Consolas",      "Constantia",  "Corbel",
    "Courier New",  "Garamond",        "Georgia",        "Impact",        "Lucida Console",
    "Palatino Linotype", "Segoe UI",   "Symbol",         "Tahoma",        "Times New Roman",
    "Trebuchet MS", "Verdana",
};

// True when the family `name` resolves to a face that fontconfig's rules
// bind strongly to it (its metric aliases), not to a generic fallback.
bool HasMetricAlias(const char* name) {
  FcPattern* pat = FcPatternCreate();
  if (!pat) return false;
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  std::set<std::string> strong;
  FcValue v;
  FcValueBinding binding;
  for (int i = 1; FcPatternGetWithBinding(pat, FC_FAMILY, i, &v, &binding) == FcResultMatch; ++i)
    if (binding != FcValueBindingWeak && v.type == FcTypeString)
      strong.insert(reinterpret_cast<const char*>(v.u.s));
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!found) return false;
  const bool ok = strong.count(GetString(found, FC_FAMILY)) > 0;
  FcPatternDestroy(found);
  return ok;
}

}  // namespace

std::optional<FontMatch> ResolveFontFace(std::string_view family, int weight, bool italic, char32_t covering) {
  if (!InitFontconfig()) return std::nullopt;
  FcPattern* pat = FcPatternCreate();
  if (!pat) return std::nullopt;
  const std::string name(family);
  if (!name.empty()) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight <= 0 ? 400 : weight, 1, 1000)));
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  if (covering) {
    FcCharSet* cs = FcCharSetCreate();
    if (cs) {
      FcCharSetAddChar(cs, FcChar32(covering));
      FcPatternAddCharSet(pat, FC_CHARSET, cs);
      FcCharSetDestroy(cs);
    }
  }
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
  if (covering) {
    FcCharSet* cs = nullptr;
    if (FcPatternGetCharSet(found, FC_CHARSET, 0, &cs) != FcResultMatch || !cs ||
        !FcCharSetHasChar(cs, FcChar32(covering))) {
      FcPatternDestroy(found);
      return std::nullopt;
    }
  }
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(found, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) m.embolden = embolden == FcTrue;
  FcPatternDestroy(found);
  if (m.file.empty()) return std::nullopt;
  return m;
}

std::vector<std::u16string> EnumerateFontFamilies(bool includeMetricAliases) {
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
    if (includeMetricAliases)
      for (const char* name : kWindowsFamilies)
        if (HasMetricAlias(name)) names.insert(mv::io::Utf8ToUtf16(name));
  }
  return {names.begin(), names.end()};
}

}  // namespace gfx
