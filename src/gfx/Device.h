#pragma once
// The graphics device: what Direct3D 9 was to the player. The OpenGL backend
// (GLDevice.h) and the recording backend (RecordingDevice.h) implement it.
//
// Conventions every caller may rely on:
//  * Resources are shared_ptr: taking a reference is copying the pointer,
//    releasing it is resetting the pointer.
//  * Creation returns S_OK (>= 0) or a negative code and leaves *out empty
//    on failure.
//  * Images are stored top row first: a render-target texture is read with
//    v = 0 at its top row, and what is drawn at pixel row 0 is the top of the
//    final picture.
//  * Pre-transformed positions (VertexUsage::PositionT) are in pixels with
//    pixel centres on integer coordinates: a quad from (-0.5, -0.5) to
//    (W - 0.5, H - 0.5) covers exactly the W x H pixels of the target.
//  * Clip-space depth runs 0..1; matrices are row-vector, left-handed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/Result.h"

namespace gfx {

using mv::E_FAIL;
using mv::E_INVALIDARG;
using mv::E_NOTIMPL;
using mv::E_OUTOFMEMORY;
using mv::ERR_INVALIDCALL;
using mv::ERR_NOTFOUND;
using mv::Failed;
using mv::HRESULT;
using mv::S_FALSE;
using mv::S_OK;
using mv::Succeeded;

enum ClearFlags : std::uint32_t { CLEAR_TARGET = 1, CLEAR_ZBUFFER = 2, CLEAR_STENCIL = 4 };

// ---- formats, pools, usages ------------------------------------------------

enum class Format : std::uint32_t {
  Unknown = 0,
  A8R8G8B8,       // 32-bit words 0xAARRGGBB (bytes B, G, R, A in memory)
  X8R8G8B8,       // as A8R8G8B8, alpha ignored (reads as 1)
  A16B16G16R16F,  // four half floats R, G, B, A
  A32B32G32R32F,  // four floats R, G, B, A
  R32F,           // one float
  L8,             // one byte of luminance
  A8,             // one byte of alpha
  DXT1,           // S3TC blocks of 8 bytes per 4 x 4 texels
  DXT3,           // 16 bytes per block
  DXT5,           // 16 bytes per block
  D24S8,          // depth/stencil (the device's depth buffer)
};
const char* FormatName(Format f);
// Bytes per texel; 0 for block-compressed and depth formats.
int FormatBytesPerPixel(Format f);
bool FormatIsCompressed(Format f);
// Bytes of one row of texels (one row of 4x4 blocks for DXT formats).
std::size_t FormatPitch(Format f, int width);
// Rows of the pitch above in one level (height / 4 rounded up for DXT).
int FormatRows(Format f, int height);

enum class Pool : std::uint32_t { Default = 0, Managed = 1, SystemMem = 2 };

enum Usage : std::uint32_t {
  USAGE_NONE = 0,
  USAGE_RENDERTARGET = 0x1,
  USAGE_DYNAMIC = 0x200,
  USAGE_WRITEONLY = 0x8,
  USAGE_POINTS = 0x40,
};

enum LockFlags : std::uint32_t {
  LOCK_NONE = 0,
  LOCK_READONLY = 0x10,
  LOCK_DISCARD = 0x2000,
  LOCK_NOOVERWRITE = 0x1000,
};

enum class ResourceType : std::uint32_t { Surface, Texture, CubeTexture, VertexBuffer, IndexBuffer };

enum class CubeFace : std::uint32_t { PositiveX = 0, NegativeX, PositiveY, NegativeY, PositiveZ, NegativeZ };

// A preprocessor define handed to an effect when it is loaded, as
// `#define name value` in its shaders (fx/README.md).
struct EffectMacro {
  std::string name;
  std::string value;
};

struct BackBufferDesc {
  int width = 0;
  int height = 0;
  const char* format = "A8R8G8B8";
};

struct DisplayMode {
  int width = 0;
  int height = 0;
  int refreshRate = 60;
  Format format = Format::X8R8G8B8;
};

struct DeviceCaps {
  int numSimultaneousRTs = 1;
  float maxPointSize = 1.0f;
  int maxTextureWidth = 2048;
  int maxTextureHeight = 2048;
  // Shader model in D3D terms (major version); our GLSL 3.30 counts as 3.
  int vertexShaderVersionMajor = 3;
  int pixelShaderVersionMajor = 3;
  bool hardwareTransformAndLight = true;
  bool textureCompressionS3TC = false;
  const char* deviceType = "HARDWARE";   // "HARDWARE", "REFERENCE" or "SOFTWARE"
  const char* description = "";          // the adapter's description
};

// ---- resources -------------------------------------------------------------

struct LockedRect {
  int pitch = 0;          // bytes from one row to the next
  void* bits = nullptr;   // first byte of the top row
};

struct SurfaceDesc {
  Format format = Format::Unknown;
  std::uint32_t usage = USAGE_NONE;
  Pool pool = Pool::Default;
  int width = 0;
  int height = 0;
};

class Device;

// Anything a device makes. It carries the maker's serial, so that a device
// refuses what another device made (a stale or foreign object would
// otherwise be drawn with names that mean nothing to this backend).
class DeviceObject {
 protected:
  DeviceObject() = default;
  ~DeviceObject() = default;

 private:
  friend class Device;
  std::uint32_t creator_ = 0;
};

class Resource : public DeviceObject {
 public:
  virtual ~Resource() = default;
  virtual ResourceType GetType() const = 0;
  virtual Pool GetPool() const = 0;
};

class BaseTexture;

// One level (or cube face level) of a texture, or the back buffer. Holds a
// reference to its texture.
class Surface : public Resource {
 public:
  ResourceType GetType() const override { return ResourceType::Surface; }
  virtual SurfaceDesc GetDesc() const = 0;
  // The texture the surface belongs to; empty for the back buffer.
  virtual std::shared_ptr<BaseTexture> GetContainer() const = 0;
  virtual int GetLevel() const = 0;
  virtual CubeFace GetFace() const = 0;
};

// Locks: one lock per level (and face) at a time; render targets never lock;
// flags are LOCK_READONLY, or LOCK_DISCARD on a dynamic texture. A refused
// lock or unlock returns ERR_INVALIDCALL and changes nothing.
class BaseTexture : public Resource, public std::enable_shared_from_this<BaseTexture> {
 public:
  virtual int GetLevelCount() const = 0;
  virtual SurfaceDesc GetLevelDesc(int level) const = 0;
  bool IsLevelLocked(int face, int level) const;

 protected:
  // The checks of a lock (of face `face` of `faces`), marking it on success.
  HRESULT BeginLock(int face, int faces, int level, const LockedRect* out, std::uint32_t flags);
  HRESULT EndLock(int face, int faces, int level);

 private:
  std::uint32_t locked_[6] = {};  // a bit per level, per face
};

class Texture : public BaseTexture {
 public:
  ResourceType GetType() const override { return ResourceType::Texture; }
  virtual HRESULT GetSurfaceLevel(int level, std::shared_ptr<Surface>* out) = 0;
  HRESULT LockRect(int level, LockedRect* out, std::uint32_t flags);
  HRESULT UnlockRect(int level);

 protected:
  // Reached only for a valid lock of an unlocked level.
  virtual void DoLockRect(int level, LockedRect* out) = 0;
  virtual void DoUnlockRect(int level) = 0;
};

class CubeTexture : public BaseTexture {
 public:
  ResourceType GetType() const override { return ResourceType::CubeTexture; }
  virtual HRESULT GetCubeMapSurface(CubeFace face, int level, std::shared_ptr<Surface>* out) = 0;
  HRESULT LockRect(CubeFace face, int level, LockedRect* out, std::uint32_t flags);
  HRESULT UnlockRect(CubeFace face, int level);

 protected:
  virtual void DoLockRect(CubeFace face, int level, LockedRect* out) = 0;
  virtual void DoUnlockRect(CubeFace face, int level) = 0;
};

// Vertex and index buffers lock one range at a time. sizeToLock 0 locks from
// offset to the end; the range must lie inside the buffer. Flags:
// LOCK_READONLY, or LOCK_DISCARD / LOCK_NOOVERWRITE on a dynamic buffer. A
// refused lock returns ERR_INVALIDCALL with *data empty; a locked buffer
// cannot be drawn from.
class Buffer : public Resource {
 public:
  virtual std::size_t GetSize() const = 0;
  virtual std::uint32_t GetUsage() const = 0;
  HRESULT Lock(std::size_t offset, std::size_t sizeToLock, void** data, std::uint32_t flags);
  HRESULT Unlock();
  bool IsLocked() const { return locked_; }

 protected:
  // Reached only for a valid range (size resolved) of an unlocked buffer.
  virtual void* DoLock(std::size_t offset, std::size_t size, std::uint32_t flags) = 0;
  virtual void DoUnlock() = 0;

 private:
  bool locked_ = false;
};

class VertexBuffer : public Buffer {
 public:
  ResourceType GetType() const override { return ResourceType::VertexBuffer; }
};

enum class IndexFormat : std::uint32_t { Index16 = 16, Index32 = 32 };

class IndexBuffer : public Buffer {
 public:
  ResourceType GetType() const override { return ResourceType::IndexBuffer; }
  virtual IndexFormat GetFormat() const = 0;
};

// ---- vertex declarations ---------------------------------------------------

enum class VertexType : std::uint8_t { Float1, Float2, Float3, Float4, Color /* 0xAARRGGBB */, UByte4, Unused };
enum class VertexUsage : std::uint8_t {
  Position,     // object-space position, transformed by the vertex shader
  PositionT,    // pre-transformed: x, y in pixels, z in 0..1, reciprocal w
  Normal,
  TexCoord,
  Color,
  Tangent,
  Binormal,
  BlendWeight,
  BlendIndices,
  PSize,
};
int VertexTypeSize(VertexType t);

struct VertexElement {
  std::uint16_t stream = 0;
  std::uint16_t offset = 0;
  VertexType type = VertexType::Float3;
  VertexUsage usage = VertexUsage::Position;
  std::uint8_t usageIndex = 0;
};

// The GLSL attribute an element feeds: Position/PositionT → "inPosition",
// Normal → "inNormal", TexCoord n → "inTexCoord<n>" (0..7), Color n →
// "inColor<n>" (0..1), Tangent → "inTangent", Binormal → "inBinormal",
// BlendWeight → "inBlendWeight", BlendIndices → "inBlendIndices", PSize →
// "inPSize". Returns -1 for an element with no attribute.
int VertexAttributeLocation(VertexUsage usage, int usageIndex);
const char* VertexAttributeName(int location);
inline constexpr int kVertexAttributeCount = 16;

// Streams 0..kMaxStreams-1; a stride is 1..kMaxStride bytes (the least that
// OpenGL 4.4 guarantees for an attribute stride).
inline constexpr int kMaxStreams = 16;
inline constexpr std::size_t kMaxStride = 2048;

class VertexDeclaration : public DeviceObject {
 public:
  virtual ~VertexDeclaration() = default;
  virtual const std::vector<VertexElement>& GetElements() const = 0;
  // Bytes from one vertex to the next of a stream, as the elements imply.
  std::size_t GetVertexSize(int stream) const;
  // True when the declaration has a pre-transformed position.
  bool IsPreTransformed() const;
};

// ---- render states ---------------------------------------------------------

// Values as Direct3D 9 numbered them, since slides store some of them (fill
// and shade mode of a mesh object).
enum class RenderState : std::uint32_t {
  ZEnable = 7,           // bool
  FillMode = 8,          // FillMode
  ShadeMode = 9,         // ShadeMode
  ZWriteEnable = 14,     // bool
  AlphaTestEnable = 15,  // bool (alpha reference 0x00, test GREATER)
  SrcBlend = 19,         // Blend
  DestBlend = 20,        // Blend
  CullMode = 22,         // Cull
  ZFunc = 23,            // Cmp
  AlphaRef = 24,         // 0..255
  AlphaFunc = 25,        // Cmp
  AlphaBlendEnable = 27, // bool
  SpecularEnable = 29,   // bool
  Lighting = 137,        // bool
  PointSize = 154,       // float bits, finite and >= 0
  PointSpriteEnable = 156,
  PointScaleEnable = 157,
  BlendOp = 171,         // BlendOp
  ColorWriteEnable = 168,// mask: 1 red, 2 green, 4 blue, 8 alpha
};
enum FillMode : std::uint32_t { FILL_POINT = 1, FILL_WIREFRAME = 2, FILL_SOLID = 3 };
enum ShadeMode : std::uint32_t { SHADE_FLAT = 1, SHADE_GOURAUD = 2, SHADE_PHONG = 3 };
enum Cull : std::uint32_t { CULL_NONE = 1, CULL_CW = 2, CULL_CCW = 3 };
enum Blend : std::uint32_t {
  BLEND_ZERO = 1, BLEND_ONE = 2, BLEND_SRCCOLOR = 3, BLEND_INVSRCCOLOR = 4,
  BLEND_SRCALPHA = 5, BLEND_INVSRCALPHA = 6, BLEND_DESTALPHA = 7, BLEND_INVDESTALPHA = 8,
  BLEND_DESTCOLOR = 9, BLEND_INVDESTCOLOR = 10, BLEND_SRCALPHASAT = 11,
};
enum BlendOp : std::uint32_t { BLENDOP_ADD = 1, BLENDOP_SUBTRACT = 2, BLENDOP_REVSUBTRACT = 3, BLENDOP_MIN = 4, BLENDOP_MAX = 5 };
enum Cmp : std::uint32_t {
  CMP_NEVER = 1, CMP_LESS = 2, CMP_EQUAL = 3, CMP_LESSEQUAL = 4,
  CMP_GREATER = 5, CMP_NOTEQUAL = 6, CMP_GREATEREQUAL = 7, CMP_ALWAYS = 8,
};
inline constexpr int kRenderStateCount = 19;
// The states above in a fixed order (index 0..kRenderStateCount-1) and their
// device defaults (z on, write on, solid, gouraud, cull CCW, blend off, ONE /
// ZERO, LESSEQUAL, lighting on, specular off, point size 1).
RenderState RenderStateAt(int index);
int RenderStateIndex(RenderState s);  // -1 for an unknown state
std::uint32_t RenderStateDefault(RenderState s);
const char* RenderStateName(RenderState s);
// Whether the state takes the value (the kinds in the comments above;
// booleans are 0 or 1). False for an unknown state.
bool RenderStateValueValid(RenderState s, std::uint32_t value);
// Parses an effect-file state name ("ZEnable", "CullMode", …).
bool RenderStateFromName(std::string_view name, RenderState* out);
inline std::uint32_t FloatBits(float f) { std::uint32_t u; static_assert(sizeof u == sizeof f); __builtin_memcpy(&u, &f, 4); return u; }
inline float BitsFloat(std::uint32_t u) { float f; __builtin_memcpy(&f, &u, 4); return f; }

enum class PrimitiveType : std::uint32_t { PointList = 1, LineList = 2, LineStrip = 3, TriangleList = 4, TriangleStrip = 5, TriangleFan = 6 };
// Vertices (or indices) that primitiveCount primitives of the type use.
std::size_t PrimitiveVertexCount(PrimitiveType type, std::uint32_t primitiveCount);
// The most primitives one draw takes.
inline constexpr std::uint32_t kMaxPrimitiveCount = 1u << 24;

class Effect;
struct EffectFileDecl;
namespace detail {
class EffectBase;
}

// ---- the device ------------------------------------------------------------
//
// The public calls are the contract. Each checks its arguments and the
// device's state here, once, in front of every backend, and only a call that
// passes reaches the backend's protected Do* hook, so both backends answer
// every call alike. Result codes:
//  * E_INVALIDARG: a creation without an output pointer;
//  * ERR_INVALIDCALL: any other argument or state the call cannot take;
//  * otherwise what the backend says (S_OK, or E_OUTOFMEMORY, E_FAIL …).
//
// What the checks require:
//  * draws: an effect pass in progress (Effect::BeginPass), a vertex
//    declaration, a known primitive type, 1..kMaxPrimitiveCount primitives;
//    on every stream the declaration reads, an unlocked buffer whose stride
//    holds the declared vertex and which holds every vertex drawn; indexed
//    draws an unlocked index buffer holding the indices, 1 or more vertices
//    from baseVertex + minIndex; DrawPrimitiveUP vertices, a stride of 1 to
//    kMaxStride bytes holding the vertex, and a declaration of stream 0 only;
//  * render targets: slots 0..min(3, NumSimultaneousRTs)-1, a render-target
//    surface of this device; slot 0 is never empty; the back buffer only in
//    slot 0;
//  * stream sources: streams 0..kMaxStreams-1; a buffer of this device with
//    a stride of 1..kMaxStride and an offset inside it (an empty buffer
//    unbinds);
//  * render states: a known state and a value it takes;
//  * Clear: flags from ClearFlags, not none; with CLEAR_ZBUFFER a z in 0..1;
//  * scenes: BeginScene not inside a scene, EndScene only inside one, Reset
//    outside one; drawing and clearing are allowed outside a scene;
//  * anything made by another device (buffers, declarations, surfaces) is
//    refused.
class Device {
 public:
  virtual ~Device() = default;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // frame
  // color is 0xAARRGGBB. Clears every bound render target (and the depth
  // buffer) in full.
  HRESULT Clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil);
  HRESULT BeginScene();
  HRESULT EndScene();
  virtual BackBufferDesc GetBackBufferDesc() const = 0;
  // Slots 0..2. Slot 0 never takes an empty surface; slots 1 and 2 take an
  // empty surface to unbind. Setting slot 0 fits the viewport to it.
  HRESULT SetRenderTarget(int index, std::shared_ptr<Surface> surface);
  // E_FAIL for an empty slot.
  HRESULT GetRenderTarget(int index, std::shared_ptr<Surface>* out);
  virtual std::shared_ptr<Surface> GetBackBuffer() = 0;

  // queries
  virtual DeviceCaps GetDeviceCaps() const = 0;
  virtual DisplayMode GetDisplayMode() const = 0;
  // Whether the format can be a render target of the given kind (Texture or
  // CubeTexture).
  virtual bool CheckRenderTargetFormat(Format format, ResourceType type) const = 0;
  // Whether textures of the format blend after the fragment shader.
  virtual bool CheckPostPixelShaderBlending(Format format) const = 0;

  // resources. levels 0 makes the full mip chain. Sizes up to the caps'
  // largest texture, at most 16 levels, known usage bits, pools and formats
  // (no depth format); render targets are single-level, in the default pool,
  // of a format CheckRenderTargetFormat accepts; block-compressed formats
  // need the caps' S3TC. Buffers hold 1 byte to 256 MiB.
  HRESULT CreateTexture(int width, int height, int levels, std::uint32_t usage, Format format, Pool pool,
                        std::shared_ptr<Texture>* out);
  HRESULT CreateCubeTexture(int edgeLength, int levels, std::uint32_t usage, Format format, Pool pool,
                            std::shared_ptr<CubeTexture>* out);
  HRESULT CreateVertexBuffer(std::size_t bytes, std::uint32_t usage, Pool pool, std::shared_ptr<VertexBuffer>* out);
  HRESULT CreateIndexBuffer(std::size_t bytes, std::uint32_t usage, IndexFormat format, Pool pool,
                            std::shared_ptr<IndexBuffer>* out);
  // 1..32 elements on streams 0..15, offsets up to 255, each usage and index
  // once, each feeding an attribute.
  HRESULT CreateVertexDeclaration(const VertexElement* elements, std::size_t count,
                                  std::shared_ptr<VertexDeclaration>* out);
  // A managed A8R8G8B8 texture of one level from RGBA bytes, top row first.
  HRESULT CreateTextureFromRGBA(int width, int height, const std::uint8_t* rgba, std::shared_ptr<Texture>* out);
  // Managed textures from an image file (DDS, TGA, PNG, JPG, BMP), with the
  // file's levels. ERR_NOTFOUND when the file is missing, E_FAIL when it
  // cannot be decoded.
  HRESULT CreateTextureFromFile(const std::string& path, std::shared_ptr<Texture>* out);
  HRESULT CreateCubeTextureFromFile(const std::string& path, std::shared_ptr<CubeTexture>* out);

  // drawing
  HRESULT SetVertexDeclaration(std::shared_ptr<VertexDeclaration> decl);
  HRESULT SetStreamSource(int stream, std::shared_ptr<VertexBuffer> buffer, std::size_t offset, std::size_t stride);
  HRESULT SetIndices(std::shared_ptr<IndexBuffer> buffer);
  HRESULT SetRenderState(RenderState state, std::uint32_t value);
  // 0 for an unknown state.
  std::uint32_t GetRenderState(RenderState state) const;
  // Draws with the shaders of the effect pass in progress (Effect::BeginPass);
  // without one the draw fails and nothing is drawn.
  HRESULT DrawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount);
  HRESULT DrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                               std::uint32_t numVertices, std::uint32_t startIndex, std::uint32_t primitiveCount);
  // From user memory (stream 0 of the current declaration).
  HRESULT DrawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices, std::size_t stride);
  // The checks of the draws alone: S_OK when the draw would reach the backend.
  HRESULT ValidateDrawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount) const;
  HRESULT ValidateDrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                                       std::uint32_t numVertices, std::uint32_t startIndex,
                                       std::uint32_t primitiveCount) const;
  HRESULT ValidateDrawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices,
                                  std::size_t stride) const;

  // effects (format: fx/README.md). On failure `errors` (when given) names
  // the file, the line and what is wrong. A technique whose shaders do not
  // compile leaves the effect loaded with that technique invalid; its
  // compile log goes to `errors` too.
  // Reads the file (at most 1 MiB) and hands its text to CreateEffectFromMemory.
  // `macros` are defines for every shader of the file (fx/README.md).
  HRESULT CreateEffectFromFile(const std::string& path, std::shared_ptr<Effect>* out,
                               std::string* errors = nullptr, std::span<const EffectMacro> macros = {});
  // E_FAIL when the text does not parse.
  HRESULT CreateEffectFromMemory(std::string_view text, const std::string& sourceName, std::shared_ptr<Effect>* out,
                                 std::string* errors = nullptr, std::span<const EffectMacro> macros = {});

  // Lost/reset: a new back-buffer size (1 to the caps' largest texture),
  // outside a scene. Render targets go back to the back buffer alone.
  // Callers release their default-pool resources before and re-create them
  // after (the device-lost and device-reset callbacks).
  HRESULT Reset(int width, int height);

  // Read back a render target (empty: the back buffer) of this device, top
  // row first. RGBA8 gives 4 bytes a pixel in R, G, B, A order; float gives
  // 4 floats. Block-compressed surfaces are refused.
  HRESULT ReadSurfaceRGBA8(const Surface* surface, std::vector<std::uint8_t>* out);
  HRESULT ReadSurfaceFloat(const Surface* surface, std::vector<float>* out);

  // Whether this device made the object.
  bool Owns(const DeviceObject& object) const { return object.creator_ == serial_; }

 protected:
  Device();

  struct StreamBinding {
    std::shared_ptr<VertexBuffer> buffer;
    std::size_t offset = 0;
    std::size_t stride = 0;
  };

  // The state the checks keep, for the backends to draw with.
  const std::shared_ptr<Surface>& RenderTarget(int index) const { return targets_[static_cast<std::size_t>(index)]; }
  const std::shared_ptr<VertexDeclaration>& CurrentDeclaration() const { return decl_; }
  const StreamBinding& Stream(int stream) const { return streams_[static_cast<std::size_t>(stream)]; }
  const std::shared_ptr<IndexBuffer>& CurrentIndices() const { return indices_; }
  // By index into RenderStateAt's order.
  std::uint32_t StateAt(int index) const { return states_[static_cast<std::size_t>(index)]; }
  bool InScene() const { return inScene_; }
  // Marks what the backend made as this device's (for objects not made
  // through the Create calls, such as the back buffer).
  void Adopt(DeviceObject& object) const { object.creator_ = serial_; }
  // The back buffer in slot 0, the other slots empty (construction, reset).
  void ResetRenderTargets();

  // ---- backend hooks: reached only with arguments and state checked ----
  virtual HRESULT DoClear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) = 0;
  // A failure leaves the device outside a scene.
  virtual HRESULT DoBeginScene() = 0;
  virtual void DoEndScene() {}
  // After the slot has changed.
  virtual void DoSetRenderTarget(int index) {}
  virtual HRESULT DoCreateTexture(int width, int height, int levels, std::uint32_t usage, Format format, Pool pool,
                                  std::shared_ptr<Texture>* out) = 0;
  virtual HRESULT DoCreateCubeTexture(int edgeLength, int levels, std::uint32_t usage, Format format, Pool pool,
                                      std::shared_ptr<CubeTexture>* out) = 0;
  virtual HRESULT DoCreateVertexBuffer(std::size_t bytes, std::uint32_t usage, Pool pool,
                                       std::shared_ptr<VertexBuffer>* out) = 0;
  virtual HRESULT DoCreateIndexBuffer(std::size_t bytes, std::uint32_t usage, IndexFormat format, Pool pool,
                                      std::shared_ptr<IndexBuffer>* out) = 0;
  // After the binding has changed.
  virtual void DoSetVertexDeclaration() {}
  virtual void DoSetStreamSource(int stream) {}
  virtual void DoSetIndices() {}
  virtual void DoSetRenderState(int index) {}
  virtual HRESULT DoDrawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount) = 0;
  virtual HRESULT DoDrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                                         std::uint32_t numVertices, std::uint32_t startIndex,
                                         std::uint32_t primitiveCount) = 0;
  virtual HRESULT DoDrawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices,
                                    std::size_t stride) = 0;
  // The parsed file; `errors` is cleared before.
  virtual HRESULT DoCreateEffect(EffectFileDecl&& decl, std::shared_ptr<Effect>* out, std::string* errors) = 0;
  // The render targets go back to the back buffer after a success.
  virtual HRESULT DoReset(int width, int height) = 0;
  // surface: this device's back buffer or a surface of one of its textures.
  virtual HRESULT DoReadSurfaceRGBA8(const Surface& surface, std::vector<std::uint8_t>* out) = 0;
  virtual HRESULT DoReadSurfaceFloat(const Surface& surface, std::vector<float>* out) = 0;

 private:
  friend class detail::EffectBase;
  // Effect passes in progress, told by the effects.
  void PassBegun(const Effect* effect) { passOwner_ = effect; }
  void PassEnded(const Effect* effect) {
    if (passOwner_ == effect) passOwner_ = nullptr;
  }

  HRESULT CheckDraw(PrimitiveType type, std::uint32_t primitiveCount) const;
  HRESULT CheckStreams(std::int64_t firstVertex, std::uint64_t vertexCount) const;
  HRESULT CheckReadSurface(const Surface* surface, const void* out, const Surface** resolved);
  template <class T>
  HRESULT Made(HRESULT hr, std::shared_ptr<T>* out) const;

  std::uint32_t serial_;
  std::shared_ptr<Surface> targets_[3];
  std::shared_ptr<VertexDeclaration> decl_;
  StreamBinding streams_[kMaxStreams];
  std::shared_ptr<IndexBuffer> indices_;
  std::uint32_t states_[kRenderStateCount];
  bool inScene_ = false;
  const Effect* passOwner_ = nullptr;
};

}  // namespace gfx
