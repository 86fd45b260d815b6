#pragma once
// The files name their paths Windows-style ("media\mesh\objects.mesh"),
// relative to the working folder. They are stored exactly so and mapped to
// native paths here, when a file is opened.
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace mv::io {

// Backslashes become separators. When the path does not exist as written,
// each component is looked up case-insensitively ("Media\Particles\x.dds"
// finds "media/particles/x.dds"). Returns the mapped path even when nothing
// matched, so callers report the path they tried.
std::filesystem::path NativePath(std::string_view windowsPath);
std::filesystem::path NativePath(std::u16string_view windowsPath);

// True when a stored relative path stays inside the working folder: not
// absolute, no drive letter, no ".." component. Used before writing.
bool StaysInWorkingFolder(std::u16string_view windowsPath);

// Atomic replacement: write to a temporary file beside `target`, then
// rename it into place. The previous file survives any failure.
// `write` returns false to abandon the write.
bool WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<bool(std::ostream&)>& write);

}  // namespace mv::io
