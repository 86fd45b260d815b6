#include "io/Paths.h"

#include <cctype>
#include <fstream>
#include <system_error>
#include <unistd.h>

#include "io/Utf16.h"

namespace fs = std::filesystem;

namespace mv::io {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

fs::path NativePath(std::string_view windowsPath) {
  std::string s(windowsPath);
  for (char& c : s)
    if (c == '\\') c = '/';
  fs::path p(s);
  std::error_code ec;
  if (s.empty() || fs::exists(p, ec)) return p;

  fs::path resolved = p.is_absolute() ? p.root_path() : fs::path();
  for (const auto& part : p.relative_path()) {
    const fs::path candidate = resolved / part;
    if (part == "." || part == ".." || fs::exists(candidate, ec)) {
      resolved = candidate;
      continue;
    }
    const fs::path dir = resolved.empty() ? fs::path(".") : resolved;
    fs::path match;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      if (EqualNoCase(it->path().filename().string(), part.string())) {
        match = resolved / it->path().filename();
        break;
      }
    }
    resolved = match.empty() ? candidate : match;
  }
  return resolved;
}

fs::path NativePath(std::u16string_view windowsPath) {
  return NativePath(std::string_view(Utf16ToUtf8(windowsPath)));
}

bool StaysInWorkingFolder(std::u16string_view windowsPath) {
  if (windowsPath.empty()) return false;
  if (windowsPath[0] == u'\\' || windowsPath[0] == u'/') return false;
  if (windowsPath.size() >= 2 && windowsPath[1] == u':') return false;
  std::size_t start = 0;
  while (start <= windowsPath.size()) {
    std::size_t end = windowsPath.find_first_of(u"\\/", start);
    if (end == std::u16string_view::npos) end = windowsPath.size();
    if (windowsPath.substr(start, end - start) == u"..") return false;
    start = end + 1;
  }
  return true;
}

bool WriteFileAtomically(const fs::path& target,
                         const std::function<bool(std::ostream&)>& write) {
  fs::path tmp = target;
  tmp += ".tmp-" + std::to_string(::getpid());
  bool ok;
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    ok = write(out);
    out.flush();
    ok = ok && out.good();
  }
  std::error_code ec;
  if (ok) fs::rename(tmp, target, ec);
  if (!ok || ec) {
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace mv::io
