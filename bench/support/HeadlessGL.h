#pragma once
// A surfaceless EGL context (Mesa) current on the calling thread, made once
// for the whole benchmark program. False when none can be made.
namespace mv::bench {
bool HeadlessGL();
}  // namespace mv::bench
