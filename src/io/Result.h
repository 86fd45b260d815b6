#pragma once
// The program's one vocabulary of result codes: 0 or positive is success,
// negative is failure. Every layer (device, toolkit, framework, managers)
// returns these values; the layers bring the names they use into their own
// namespace with using-declarations, so a code has one value everywhere.
#include <cstdint>

namespace mv {

using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);

// The device rejects the call in its present state or with these arguments.
inline constexpr HRESULT ERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
// A file was not found or could not be read.
inline constexpr HRESULT ERR_NOTFOUND = static_cast<HRESULT>(0x88760B59u);

// The framework's own failures (window, context, media search).
inline constexpr HRESULT ERR_NOCOMPATIBLEDEVICES = static_cast<HRESULT>(0x80040901u);
inline constexpr HRESULT ERR_MEDIANOTFOUND = static_cast<HRESULT>(0x80040902u);
inline constexpr HRESULT ERR_CREATINGDEVICE = static_cast<HRESULT>(0x80040903u);
inline constexpr HRESULT ERR_CREATINGDEVICEOBJECTS = static_cast<HRESULT>(0x80040904u);
inline constexpr HRESULT ERR_RESETTINGDEVICEOBJECTS = static_cast<HRESULT>(0x80040905u);
inline constexpr HRESULT ERR_NOWINDOW = static_cast<HRESULT>(0x80040906u);

inline constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool Failed(HRESULT hr) { return hr < 0; }

// The code's name ("E_INVALIDARG"), or "HRESULT 0x…" for one not listed here.
const char* ResultName(HRESULT hr);

}  // namespace mv
