#include "io/Result.h"

#include <cstdio>

namespace mv {

const char* ResultName(HRESULT hr) {
  switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_FAIL: return "E_FAIL";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case E_NOTIMPL: return "E_NOTIMPL";
    case ERR_INVALIDCALL: return "ERR_INVALIDCALL";
    case ERR_NOTFOUND: return "ERR_NOTFOUND";
    case ERR_NOCOMPATIBLEDEVICES: return "ERR_NOCOMPATIBLEDEVICES";
    case ERR_MEDIANOTFOUND: return "ERR_MEDIANOTFOUND";
    case ERR_CREATINGDEVICE: return "ERR_CREATINGDEVICE";
    case ERR_CREATINGDEVICEOBJECTS: return "ERR_CREATINGDEVICEOBJECTS";
    case ERR_RESETTINGDEVICEOBJECTS: return "ERR_RESETTINGDEVICEOBJECTS";
    case ERR_NOWINDOW: return "ERR_NOWINDOW";
    default: break;
  }
  // One buffer per thread: the name stays valid until the next unknown code.
  thread_local char text[24];
  std::snprintf(text, sizeof text, "HRESULT 0x%08X", static_cast<unsigned>(hr));
  return text;
}

}  // namespace mv
