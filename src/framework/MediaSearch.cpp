#include "framework/MediaSearch.h"

#include <system_error>

#include "io/Paths.h"
#include "io/Utf16.h"

namespace fw {
namespace {

namespace fs = std::filesystem;

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

fs::path ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

}  // namespace

HRESULT FindMediaFile(std::string_view windowsPath, fs::path* out) {
  if (out) out->clear();
  if (windowsPath.empty() || windowsPath.size() >= kMaxMediaPath || windowsPath.find('\0') != std::string_view::npos)
    return E_INVALIDARG;
  const fs::path here = mv::io::NativePath(windowsPath);
  if (IsFile(here)) {
    if (out) *out = here;
    return gfx::S_OK;
  }
  const fs::path exeDir = ExecutableFolder();
  const bool absolute = windowsPath[0] == '\\' || windowsPath[0] == '/';
  if (!exeDir.empty() && !absolute) {
    std::string joined = exeDir.string();
    joined += '/';
    joined.append(windowsPath);
    const fs::path there = mv::io::NativePath(joined);
    if (IsFile(there)) {
      if (out) *out = there;
      return gfx::S_OK;
    }
  }
  if (out) *out = here;
  return ERR_MEDIANOTFOUND;
}

HRESULT FindMediaFile(std::u16string_view windowsPath, fs::path* out) {
  if (windowsPath.size() >= kMaxMediaPath) {
    if (out) out->clear();
    return E_INVALIDARG;
  }
  const std::string utf8 = mv::io::Utf16ToUtf8(windowsPath);
  return FindMediaFile(std::string_view(utf8), out);
}

}  // namespace fw
