#pragma once
// Media search: the files name their media Windows-style, relative to the
// working folder ("fx\reflectori.fxo"). The working folder is searched
// first, then the executable's folder; each path component falls back to a
// case-insensitive match.
#include <filesystem>
#include <string_view>

#include "framework/Framework.h"

namespace fw {

// Names are held in 260-unit buffers: a name of 260 units or more, or an
// empty one, is refused with E_INVALIDARG.
using mv::E_INVALIDARG;
inline constexpr std::size_t kMaxMediaPath = 260;

// S_OK and the native path of an existing regular file, or
// ERR_MEDIANOTFOUND (out is then the path tried in the working folder).
HRESULT FindMediaFile(std::u16string_view windowsPath, std::filesystem::path* out);
HRESULT FindMediaFile(std::string_view windowsPath, std::filesystem::path* out);

}  // namespace fw
