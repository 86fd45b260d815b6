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

class Resource {
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

class BaseTexture : public Resource, public std::enable_shared_from_this<BaseTexture> {
 public:
  virtual int GetLevelCount() const = 0;
  virtual SurfaceDesc GetLevelDesc(int level) const = 0;
};

class Texture : public BaseTexture {
 public:
  ResourceType GetType() const override { return ResourceType::Texture; }
  virtual HRESULT GetSurfaceLevel(int level, std::shared_ptr<Surface>* out) = 0;
  // Managed and system-memory textures lock; render targets do not.
  virtual HRESULT LockRect(int level, LockedRect* out, std::uint32_t flags) = 0;
  virtual HRESULT UnlockRect(int level) = 0;
};

class CubeTexture : public BaseTexture {
 public:
  ResourceType GetType() const override { return ResourceType::CubeTexture; }
  virtual HRESULT GetCubeMapSurface(CubeFace face, int level, std::shared_ptr<Surface>* out) = 0;
  virtual HRESULT LockRect(CubeFace face, int level, LockedRect* out, std::uint32_t flags) = 0;
  virtual HRESULT UnlockRect(CubeFace face, int level) = 0;
};

class VertexBuffer : public Resource {
 public:
  ResourceType GetType() const override { return ResourceType::VertexBuffer; }
  virtual std::size_t GetSize() const = 0;
  virtual std::uint32_t GetUsage() const = 0;
  // sizeToLock 0 locks from offset to the end.
  virtual HRESULT Lock(std::size_t offset, std::size_t sizeToLock, void** data, std::uint32_t flags) = 0;
  virtual HRESULT Unlock() = 0;
};

enum class IndexFormat : std::uint32_t { Index16 = 16, Index32 = 32 };

class IndexBuffer : public Resource {
 public:
  ResourceType GetType() const override { return ResourceType::IndexBuffer; }
  virtual std::size_t GetSize() const = 0;
  virtual IndexFormat GetFormat() const = 0;
  virtual HRESULT Lock(std::size_t offset, std::size_t sizeToLock, void** data, std::uint32_t flags) = 0;
  virtual HRESULT Unlock() = 0;
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

class VertexDeclaration {
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
  Lighting = 137,        // bool (a word; non-zero is on)
  PointSize = 154,       // float bits
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
// Parses an effect-file state name ("ZEnable", "CullMode", …).
bool RenderStateFromName(std::string_view name, RenderState* out);
inline std::uint32_t FloatBits(float f) { std::uint32_t u; static_assert(sizeof u == sizeof f); __builtin_memcpy(&u, &f, 4); return u; }
inline float BitsFloat(std::uint32_t u) { float f; __builtin_memcpy(&f, &u, 4); return f; }

enum class PrimitiveType : std::uint32_t { PointList = 1, LineList = 2, LineStrip = 3, TriangleList = 4, TriangleStrip = 5, TriangleFan = 6 };
// Vertices (or indices) that primitiveCount primitives of the type use.
std::size_t PrimitiveVertexCount(PrimitiveType type, std::uint32_t primitiveCount);

class Effect;

// ---- the device ------------------------------------------------------------

class Device {
 public:
  virtual ~Device() = default;

  // frame
  // color is 0xAARRGGBB. Clears every bound render target (and the depth
  // buffer) in full.
  virtual HRESULT Clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual BackBufferDesc GetBackBufferDesc() const = 0;
  // Slots 0..2. Slot 0 never takes an empty surface; slots 1 and 2 take an
  // empty surface to unbind. Setting slot 0 fits the viewport to it.
  virtual HRESULT SetRenderTarget(int index, std::shared_ptr<Surface> surface) = 0;
  virtual HRESULT GetRenderTarget(int index, std::shared_ptr<Surface>* out) = 0;
  virtual std::shared_ptr<Surface> GetBackBuffer() = 0;

  // queries
  virtual DeviceCaps GetDeviceCaps() const = 0;
  virtual DisplayMode GetDisplayMode() const = 0;
  // Whether the format can be a render target of the given kind (Texture or
  // CubeTexture).
  virtual bool CheckRenderTargetFormat(Format format, ResourceType type) const = 0;
  // Whether textures of the format blend after the fragment shader.
  virtual bool CheckPostPixelShaderBlending(Format format) const = 0;

  // resources. levels 0 makes the full mip chain.
  virtual HRESULT CreateTexture(int width, int height, int levels, std::uint32_t usage, Format format, Pool pool,
                                std::shared_ptr<Texture>* out) = 0;
  virtual HRESULT CreateCubeTexture(int edgeLength, int levels, std::uint32_t usage, Format format, Pool pool,
                                    std::shared_ptr<CubeTexture>* out) = 0;
  virtual HRESULT CreateVertexBuffer(std::size_t bytes, std::uint32_t usage, Pool pool,
                                     std::shared_ptr<VertexBuffer>* out) = 0;
  virtual HRESULT CreateIndexBuffer(std::size_t bytes, std::uint32_t usage, IndexFormat format, Pool pool,
                                    std::shared_ptr<IndexBuffer>* out) = 0;
  virtual HRESULT CreateVertexDeclaration(const VertexElement* elements, std::size_t count,
                                          std::shared_ptr<VertexDeclaration>* out) = 0;
  // A managed A8R8G8B8 texture of one level from RGBA bytes, top row first.
  HRESULT CreateTextureFromRGBA(int width, int height, const std::uint8_t* rgba, std::shared_ptr<Texture>* out);
  // Managed textures from an image file (DDS, TGA, PNG, JPG, BMP), with the
  // file's levels. ERR_NOTFOUND when the file is missing, E_FAIL when it
  // cannot be decoded.
  HRESULT CreateTextureFromFile(const std::string& path, std::shared_ptr<Texture>* out);
  HRESULT CreateCubeTextureFromFile(const std::string& path, std::shared_ptr<CubeTexture>* out);

  // drawing
  virtual HRESULT SetVertexDeclaration(std::shared_ptr<VertexDeclaration> decl) = 0;
  virtual HRESULT SetStreamSource(int stream, std::shared_ptr<VertexBuffer> buffer, std::size_t offset,
                                  std::size_t stride) = 0;
  virtual HRESULT SetIndices(std::shared_ptr<IndexBuffer> buffer) = 0;
  virtual HRESULT SetRenderState(RenderState state, std::uint32_t value) = 0;
  virtual std::uint32_t GetRenderState(RenderState state) const = 0;
  // Draws with the shaders of the effect pass in progress (Effect::BeginPass);
  // without one the draw fails and nothing is drawn.
  virtual HRESULT DrawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount) = 0;
  virtual HRESULT DrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                                       std::uint32_t numVertices, std::uint32_t startIndex,
                                       std::uint32_t primitiveCount) = 0;
  // From user memory (stream 0 of the current declaration).
  virtual HRESULT DrawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices,
                                  std::size_t stride) = 0;

  // effects (format: fx/README.md). On failure `errors` (when given) names
  // the file, the line and what is wrong. A technique whose shaders do not
  // compile leaves the effect loaded with that technique invalid; its
  // compile log goes to `errors` too.
  // Reads the file (at most 1 MiB) and hands its text to CreateEffectFromMemory.
  HRESULT CreateEffectFromFile(const std::string& path, std::shared_ptr<Effect>* out,
                               std::string* errors = nullptr);
  virtual HRESULT CreateEffectFromMemory(std::string_view text, const std::string& sourceName,
                                         std::shared_ptr<Effect>* out, std::string* errors = nullptr) = 0;

  // Lost/reset: a new back-buffer size. Callers release their default-pool
  // resources before and re-create them after (the device-lost and
  // device-reset callbacks).
  virtual HRESULT Reset(int width, int height) = 0;

  // Read back a render target (empty: the back buffer), top row first.
  // RGBA8 gives 4 bytes a pixel in R, G, B, A order; float gives 4 floats.
  virtual HRESULT ReadSurfaceRGBA8(const Surface* surface, std::vector<std::uint8_t>* out) = 0;
  virtual HRESULT ReadSurfaceFloat(const Surface* surface, std::vector<float>* out) = 0;
};

}  // namespace gfx
