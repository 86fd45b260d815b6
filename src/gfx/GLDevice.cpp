#include "gfx/GLDevice.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "gfx/EffectBase.h"
#include "gfx/Resources.h"

namespace gfx {

namespace {

using detail::EffectBase;

struct GLFormat {
  GLenum internal = 0, format = 0, type = 0;
  bool compressed = false;
  GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
};

bool ToGLFormat(Format f, GLFormat* out) {
  GLFormat g;
  switch (f) {
    case Format::A8R8G8B8: g.internal = GL_RGBA8; g.format = GL_BGRA; g.type = GL_UNSIGNED_INT_8_8_8_8_REV; break;
    case Format::X8R8G8B8:
      g.internal = GL_RGBA8; g.format = GL_BGRA; g.type = GL_UNSIGNED_INT_8_8_8_8_REV; g.swizzle[3] = GL_ONE; break;
    case Format::A16B16G16R16F: g.internal = GL_RGBA16F; g.format = GL_RGBA; g.type = GL_HALF_FLOAT; break;
    case Format::A32B32G32R32F: g.internal = GL_RGBA32F; g.format = GL_RGBA; g.type = GL_FLOAT; break;
    case Format::R32F:
      g.internal = GL_R32F; g.format = GL_RED; g.type = GL_FLOAT;
      g.swizzle[1] = g.swizzle[2] = GL_ONE; g.swizzle[3] = GL_ONE; break;
    case Format::L8:
      g.internal = GL_R8; g.format = GL_RED; g.type = GL_UNSIGNED_BYTE;
      g.swizzle[1] = g.swizzle[2] = GL_RED; g.swizzle[3] = GL_ONE; break;
    case Format::A8:
      g.internal = GL_R8; g.format = GL_RED; g.type = GL_UNSIGNED_BYTE;
      g.swizzle[0] = g.swizzle[1] = g.swizzle[2] = GL_ZERO; g.swizzle[3] = GL_RED; break;
    case Format::DXT1: g.internal = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT; g.compressed = true; break;
    case Format::DXT3: g.internal = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT; g.compressed = true; break;
    case Format::DXT5: g.internal = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT; g.compressed = true; break;
    default: return false;
  }
  *out = g;
  return true;
}

GLenum BlendFactor(std::uint32_t b) {
  switch (b) {
    case BLEND_ZERO: return GL_ZERO;
    case BLEND_ONE: return GL_ONE;
    case BLEND_SRCCOLOR: return GL_SRC_COLOR;
    case BLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case BLEND_SRCALPHA: return GL_SRC_ALPHA;
    case BLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case BLEND_DESTALPHA: return GL_DST_ALPHA;
    case BLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case BLEND_DESTCOLOR: return GL_DST_COLOR;
    case BLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case BLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
  }
}

GLenum CompareFunc(std::uint32_t c) {
  switch (c) {
    case CMP_NEVER: return GL_NEVER;
    case CMP_LESS: return GL_LESS;
    case CMP_EQUAL: return GL_EQUAL;
    case CMP_LESSEQUAL: return GL_LEQUAL;
    case CMP_GREATER: return GL_GREATER;
    case CMP_NOTEQUAL: return GL_NOTEQUAL;
    case CMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum PrimitiveMode(PrimitiveType t) {
  switch (t) {
    case PrimitiveType::PointList: return GL_POINTS;
    case PrimitiveType::LineList: return GL_LINES;
    case PrimitiveType::LineStrip: return GL_LINE_STRIP;
    case PrimitiveType::TriangleList: return GL_TRIANGLES;
    case PrimitiveType::TriangleStrip: return GL_TRIANGLE_STRIP;
    case PrimitiveType::TriangleFan: return GL_TRIANGLE_FAN;
  }
  return GL_TRIANGLES;
}

// ---- resources -------------------------------------------------------------

class GLTextureObject {
 public:
  GLuint name = 0;
  GLenum target = GL_TEXTURE_2D;
  GLFormat fmt;
};

template <class Base>
class GLTextureT final : public Base, public GLTextureObject {
 public:
  GLTextureT(int w, int h, int levels, std::uint32_t usage, Format format, Pool pool, bool cube)
      : Base(w, h, levels, usage, format, pool) {
    target = cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    ToGLFormat(format, &fmt);
    glGenTextures(1, &name);
    glBindTexture(target, name);
    glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, this->Levels() - 1);
    glTexParameteriv(target, GL_TEXTURE_SWIZZLE_RGBA, fmt.swizzle);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int f = 0; f < this->Faces(); ++f)
      for (int l = 0; l < this->Levels(); ++l) {
        SurfaceDesc d = this->LevelDesc(l);
        GLenum t = cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(f) : GL_TEXTURE_2D;
        const std::vector<std::uint8_t>& data = this->LevelData(f, l);
        if (fmt.compressed)
          glCompressedTexImage2D(t, l, fmt.internal, d.width, d.height, 0, static_cast<GLsizei>(data.size()), data.data());
        else
          glTexImage2D(t, l, static_cast<GLint>(fmt.internal), d.width, d.height, 0, fmt.format, fmt.type,
                       data.empty() ? nullptr : data.data());
      }
    glBindTexture(target, 0);
  }
  ~GLTextureT() override {
    if (name) glDeleteTextures(1, &name);
  }

 protected:
  void OnUnlock(int face, int level) override {
    SurfaceDesc d = this->LevelDesc(level);
    GLenum t = target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(face) : GL_TEXTURE_2D;
    const std::vector<std::uint8_t>& data = this->LevelData(face, level);
    glBindTexture(target, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (fmt.compressed)
      glCompressedTexSubImage2D(t, level, 0, 0, d.width, d.height, fmt.internal, static_cast<GLsizei>(data.size()),
                                data.data());
    else
      glTexSubImage2D(t, level, 0, 0, d.width, d.height, fmt.format, fmt.type, data.data());
    glBindTexture(target, 0);
  }
};

class GLTexture2DBase : public detail::TextureImpl {
 public:
  GLTexture2DBase(int w, int h, int levels, std::uint32_t usage, Format format, Pool pool)
      : TextureImpl(w, h, levels, usage, format, pool) {}
};
class GLCubeBase : public detail::CubeTextureImpl {
 public:
  GLCubeBase(int edge, int, int levels, std::uint32_t usage, Format format, Pool pool)
      : CubeTextureImpl(edge, levels, usage, format, pool) {}
};
using GLTexture = GLTextureT<GLTexture2DBase>;
using GLCubeTexture = GLTextureT<GLCubeBase>;

const GLTextureObject* GLObjectOf(const BaseTexture* t) {
  if (!t) return nullptr;
  if (auto* a = dynamic_cast<const GLTexture*>(t)) return a;
  if (auto* b = dynamic_cast<const GLCubeTexture*>(t)) return b;
  return nullptr;
}

class GLBufferObject {
 public:
  GLuint name = 0;
};

template <class Base>
class GLBufferT final : public Base, public GLBufferObject {
 public:
  template <class... A>
  explicit GLBufferT(A... a) : Base(a...) {
    glGenBuffers(1, &name);
    glBindBuffer(GL_COPY_WRITE_BUFFER, name);
    glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(this->Bytes()), this->Data(),
                 (this->usage_ & USAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  }
  ~GLBufferT() override {
    if (name) glDeleteBuffers(1, &name);
  }

 protected:
  void OnUnlock(std::size_t offset, std::size_t size, bool discard) override {
    glBindBuffer(GL_COPY_WRITE_BUFFER, name);
    if (discard)  // orphan the old storage so a draw still using it is not waited on
      glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(this->Bytes()), this->Data(),
                   (this->usage_ & USAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    else
      glBufferSubData(GL_COPY_WRITE_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size),
                      this->Data() + offset);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  }
};
using GLVertexBuffer = GLBufferT<detail::VertexBufferImpl>;
using GLIndexBuffer = GLBufferT<detail::IndexBufferImpl>;

// ---- programs ----------------------------------------------------------------

struct GLProgram {
  GLuint program = 0;
  GLint viewportSize = -1, clipControl = -1, shadeMode = -1, lighting = -1, specular = -1;
  std::vector<GLint> paramLocation;  // per effect parameter; -1 when unused
  std::vector<int> paramUnit;        // texture unit per parameter; -1 for non-textures
};

class GLDeviceImpl;

std::string ComposeShader(const EffectFileDecl& d, const EffectShaderDecl& body, bool vertex, int pass) {
  std::string s = "#version 330 core\n";
  s += vertex ? "#define MV_VERTEX 1\n" : "#define MV_FRAGMENT 1\n";
  s += "#define MV_PASS " + std::to_string(pass) + "\n";
  for (const EffectMacro& m : d.defines) s += "#define " + m.name + " " + m.value + "\n";
  s += "uniform vec2 mv_ViewportSize;\nuniform bool mv_ClipControl;\nuniform int mv_ShadeMode;\n"
       "uniform bool mv_Lighting;\nuniform bool mv_SpecularEnable;\n";
  if (vertex)
    s += "vec4 mvClip(vec4 p) { return mv_ClipControl ? p : vec4(p.x, -p.y, 2.0 * p.z - p.w, p.w); }\n"
         "vec4 mvPreTransformed(vec4 p) {\n"
         "  float w = p.w > 0.0 ? 1.0 / p.w : 1.0;\n"
         "  vec2 ndc = vec2((p.x + 0.5) / mv_ViewportSize.x * 2.0 - 1.0, 1.0 - (p.y + 0.5) / mv_ViewportSize.y * 2.0);\n"
         "  return mvClip(vec4(ndc * w, p.z * w, w));\n}\n";
  else
    s += "layout(location = 0) out vec4 mv_Target0;\nlayout(location = 1) out vec4 mv_Target1;\n"
         "layout(location = 2) out vec4 mv_Target2;\n";
  for (const EffectParameterDecl& p : d.parameters) {
    const char* t = nullptr;
    switch (p.type) {
      case ParameterType::Float: t = "float"; break;
      case ParameterType::Float2: t = "vec2"; break;
      case ParameterType::Float3: t = "vec3"; break;
      case ParameterType::Float4: t = "vec4"; break;
      case ParameterType::Float4x4: t = "mat4"; break;
      case ParameterType::Int: t = "int"; break;
      case ParameterType::Bool: t = "bool"; break;
      case ParameterType::Texture: t = "sampler2D"; break;
      case ParameterType::CubeTexture: t = "samplerCube"; break;
      case ParameterType::String: break;
    }
    if (!t) continue;
    s += "uniform ";
    s += t;
    s += " " + p.name;
    if (p.elements > 0) s += "[" + std::to_string(p.elements) + "]";
    s += ";\n";
  }
  int snippetNo = 1000;
  for (const std::string& inc : d.includes) {
    const EffectSnippet* sn = FindEffectSnippet(inc);
    s += "#line 1 " + std::to_string(snippetNo++) + "\n";
    s += sn ? sn->source : "";
    s += "\n";
  }
  if (!d.common.source.empty()) {
    s += "#line " + std::to_string(std::max(1, d.common.line)) + " 0\n" + d.common.source + "\n";
  }
  s += body.line > 0 ? "#line " + std::to_string(body.line) + " 0\n" : "#line 1 " + std::to_string(snippetNo) + "\n";
  s += body.source;
  s += "\n";
  return s;
}

GLuint CompileStage(GLenum stage, const std::string& src, std::string* log) {
  GLuint sh = glCreateShader(stage);
  const char* p = src.c_str();
  glShaderSource(sh, 1, &p, nullptr);
  glCompileShader(sh);
  GLint ok = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    GLint len = 0;
    glGetShaderiv(sh, GL_INFO_LOG_LENGTH, &len);
    std::string l(static_cast<std::size_t>(std::max(len, 1)), '\0');
    glGetShaderInfoLog(sh, len, nullptr, l.data());
    l.resize(std::strlen(l.c_str()));
    *log = l;
    glDeleteShader(sh);
    return 0;
  }
  return sh;
}

class GLEffect final : public EffectBase {
 public:
  GLEffect(GLDeviceImpl* dev, EffectFileDecl decl, std::string* errors);
  ~GLEffect() override;

 protected:
  bool BackendTechniqueValid(int tech) const override { return techValid_[static_cast<std::size_t>(tech)]; }
  HRESULT OnBeginPass(int tech, int pass) override;
  HRESULT OnCommit() override;
  void OnEndPass() override;

 private:
  void Upload(const GLProgram& prog, bool all);
  GLDeviceImpl* dev_;
  std::vector<GLProgram> programs_;  // per global pass
  std::vector<bool> techValid_;
  std::vector<GLuint> samplers_;     // per parameter (0 for non-textures)
  const GLProgram* active_ = nullptr;
};

// ---- the device ----------------------------------------------------------------

class GLDeviceImpl final : public Device {
 public:
  explicit GLDeviceImpl(const GLDeviceDesc& d);
  ~GLDeviceImpl() override;
  bool ok() const { return ok_; }

  BackBufferDesc GetBackBufferDesc() const override { return BackBufferDesc{width_, height_, "A8R8G8B8"}; }
  std::shared_ptr<Surface> GetBackBuffer() override { return backSurface_; }
  DeviceCaps GetDeviceCaps() const override { return caps_; }
  DisplayMode GetDisplayMode() const override { return DisplayMode{width_, height_, 60, Format::X8R8G8B8}; }
  bool CheckRenderTargetFormat(Format f, ResourceType type) const override {
    return f == Format::A8R8G8B8 || f == Format::X8R8G8B8 || f == Format::A16B16G16R16F ||
           f == Format::A32B32G32R32F || f == Format::R32F;
  }
  bool CheckPostPixelShaderBlending(Format f) const override {
    return f == Format::A8R8G8B8 || f == Format::X8R8G8B8 || f == Format::A16B16G16R16F ||
           f == Format::A32B32G32R32F;
  }

  void SetActiveProgram(const GLProgram* p) { program_ = p; }
  bool ClipControl() const { return clipControl_; }
  GLuint BackFramebuffer() const { return backFbo_; }

 protected:
  HRESULT DoClear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) override;
  HRESULT DoBeginScene() override {
    // Other GL users (the window layer's present, text drawing) may have
    // changed state since the last frame: put ours back.
    if (clipControl_) glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glBindVertexArray(vao_);
    glDisable(GL_SCISSOR_TEST);
    for (int s = 0; s < kRenderStateCount; ++s) ApplyState(s);
    return S_OK;
  }
  void DoSetRenderTarget(int) override { targetsDirty_ = true; }
  HRESULT DoCreateTexture(int w, int h, int levels, std::uint32_t usage, Format format, Pool pool,
                          std::shared_ptr<Texture>* out) override {
    *out = std::make_shared<GLTexture>(w, h, levels, usage, format, pool, false);
    return S_OK;
  }
  HRESULT DoCreateCubeTexture(int edge, int levels, std::uint32_t usage, Format format, Pool pool,
                              std::shared_ptr<CubeTexture>* out) override {
    *out = std::make_shared<GLCubeTexture>(edge, edge, levels, usage, format, pool, true);
    return S_OK;
  }
  HRESULT DoCreateVertexBuffer(std::size_t bytes, std::uint32_t usage, Pool pool,
                               std::shared_ptr<VertexBuffer>* out) override {
    *out = std::make_shared<GLVertexBuffer>(bytes, usage, pool);
    return S_OK;
  }
  HRESULT DoCreateIndexBuffer(std::size_t bytes, std::uint32_t usage, IndexFormat format, Pool pool,
                              std::shared_ptr<IndexBuffer>* out) override {
    *out = std::make_shared<GLIndexBuffer>(bytes, usage, format, pool);
    return S_OK;
  }
  void DoSetRenderState(int index) override { ApplyState(index); }
  HRESULT DoDrawPrimitive(PrimitiveType type, std::uint32_t start, std::uint32_t count) override;
  HRESULT DoDrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                                 std::uint32_t numVertices, std::uint32_t startIndex, std::uint32_t count) override;
  HRESULT DoDrawPrimitiveUP(PrimitiveType type, std::uint32_t count, const void* vertices,
                            std::size_t stride) override;
  HRESULT DoCreateEffect(EffectFileDecl&& decl, std::shared_ptr<Effect>* out, std::string* errors) override {
    std::string log;
    *out = std::make_shared<GLEffect>(this, std::move(decl), &log);
    if (errors) *errors = log;
    return S_OK;
  }
  HRESULT DoReset(int w, int h) override;
  HRESULT DoReadSurfaceRGBA8(const Surface& s, std::vector<std::uint8_t>* out) override;
  HRESULT DoReadSurfaceFloat(const Surface& s, std::vector<float>* out) override;

 private:
  void CreateOwnBackBuffer();
  void FindDepthAttachment();
  bool BindTargets();
  HRESULT PrepareDraw(bool userMemory, std::size_t upStride);
  void ApplyState(int index);
  bool BindReadSurface(const Surface& s, int* w, int* h);

  bool ok_ = false;
  int width_, height_;
  bool ownBack_ = false;
  GLuint backFbo_ = 0, backColor_ = 0, ownDepth_ = 0;
  GLenum depthType_ = GL_NONE;  // GL_RENDERBUFFER or GL_TEXTURE
  GLuint depthName_ = 0;
  GLuint rtFbo_ = 0, readFbo_ = 0, vao_ = 0, upVbo_ = 0;
  std::size_t upSize_ = 0;
  bool clipControl_ = false;
  DeviceCaps caps_;
  std::string renderer_;
  std::shared_ptr<detail::BackBufferSurface> backSurface_;
  std::array<const Surface*, 3> attached_{};  // what rtFbo_ holds
  bool targetsDirty_ = true;
  bool depthAttached_ = false;
  const GLProgram* program_ = nullptr;
  int viewportW_ = 0, viewportH_ = 0;
};

GLDeviceImpl::GLDeviceImpl(const GLDeviceDesc& d) : width_(d.width), height_(d.height) {
  if (d.width < 1 || d.height < 1 || epoxy_gl_version() < 33) return;
  clipControl_ = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
  if (clipControl_) glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  glGenVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  glGenBuffers(1, &upVbo_);
  glGenFramebuffers(1, &rtFbo_);
  glGenFramebuffers(1, &readFbo_);
  glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_DITHER);
  glEnable(GL_PROGRAM_POINT_SIZE);
  glDisable(GL_PROGRAM_POINT_SIZE);

  if (d.backBufferFramebuffer == 0) {
    ownBack_ = true;
    CreateOwnBackBuffer();
  } else {
    backFbo_ = d.backBufferFramebuffer;
    FindDepthAttachment();
  }
  SurfaceDesc sd;
  sd.format = Format::A8R8G8B8;
  sd.usage = USAGE_RENDERTARGET;
  sd.width = width_;
  sd.height = height_;
  backSurface_ = std::make_shared<detail::BackBufferSurface>(sd);
  Adopt(*backSurface_);
  ResetRenderTargets();

  GLint v = 0;
  GLint drawBuffers = 1, attachments = 1;
  glGetIntegerv(GL_MAX_DRAW_BUFFERS, &drawBuffers);
  glGetIntegerv(GL_MAX_COLOR_ATTACHMENTS, &attachments);
  caps_.numSimultaneousRTs = std::max(1, std::min({drawBuffers, attachments, 4}));
  GLfloat range[2] = {1, 1};
  glGetFloatv(GL_POINT_SIZE_RANGE, range);
  caps_.maxPointSize = range[1];
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &v);
  caps_.maxTextureWidth = caps_.maxTextureHeight = v;
  caps_.textureCompressionS3TC = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
  const char* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  renderer_ = r ? r : "OpenGL";
  caps_.description = renderer_.c_str();
  if (renderer_.find("llvmpipe") != std::string::npos || renderer_.find("softpipe") != std::string::npos)
    caps_.deviceType = "SOFTWARE";

  for (int s = 0; s < kRenderStateCount; ++s) ApplyState(s);
  glBindFramebuffer(GL_FRAMEBUFFER, backFbo_);
  ok_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

GLDeviceImpl::~GLDeviceImpl() {
  if (ownBack_) {
    glDeleteFramebuffers(1, &backFbo_);
    glDeleteRenderbuffers(1, &backColor_);
  }
  if (ownDepth_) glDeleteRenderbuffers(1, &ownDepth_);
  if (rtFbo_) glDeleteFramebuffers(1, &rtFbo_);
  if (readFbo_) glDeleteFramebuffers(1, &readFbo_);
  if (upVbo_) glDeleteBuffers(1, &upVbo_);
  if (vao_) glDeleteVertexArrays(1, &vao_);
}

void GLDeviceImpl::CreateOwnBackBuffer() {
  if (!backFbo_) glGenFramebuffers(1, &backFbo_);
  if (!backColor_) glGenRenderbuffers(1, &backColor_);
  if (!ownDepth_) glGenRenderbuffers(1, &ownDepth_);
  glBindRenderbuffer(GL_RENDERBUFFER, backColor_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width_, height_);
  glBindRenderbuffer(GL_RENDERBUFFER, ownDepth_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width_, height_);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, backFbo_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, backColor_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, ownDepth_);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  depthType_ = GL_RENDERBUFFER;
  depthName_ = ownDepth_;
}

// The window layer's framebuffer brings its own depth buffer; texture targets
// share it so that one clear serves every target, as one depth buffer did.
void GLDeviceImpl::FindDepthAttachment() {
  glBindFramebuffer(GL_FRAMEBUFFER, backFbo_);
  GLint type = GL_NONE, name = 0;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
  if (type != GL_NONE)
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
  if (type == GL_NONE || name == 0) {
    // None there: give it ours.
    if (!ownDepth_) glGenRenderbuffers(1, &ownDepth_);
    glBindRenderbuffer(GL_RENDERBUFFER, ownDepth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width_, height_);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, ownDepth_);
    depthType_ = GL_RENDERBUFFER;
    depthName_ = ownDepth_;
  } else {
    depthType_ = static_cast<GLenum>(type);
    depthName_ = static_cast<GLuint>(name);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  attached_ = {};
  targetsDirty_ = true;
}

// Binds the framebuffer every time (the window layer may have bound its own
// since); attachments change only when the targets did.
bool GLDeviceImpl::BindTargets() {
  const Surface* t0 = RenderTarget(0).get();
  if (!targetsDirty_) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, t0 == backSurface_.get() ? backFbo_ : rtFbo_);
    glViewport(0, 0, viewportW_, viewportH_);
    return true;
  }
  if (t0 == backSurface_.get()) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, backFbo_);
    viewportW_ = width_;
    viewportH_ = height_;
  } else {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, rtFbo_);
    GLenum bufs[3] = {GL_NONE, GL_NONE, GL_NONE};
    for (std::size_t i = 0; i < 3; ++i) {
      const Surface* s = RenderTarget(static_cast<int>(i)).get();
      if (s == backSurface_.get()) s = nullptr;  // the back buffer cannot join texture targets
      if (attached_[i] != s) {
        GLenum att = GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(i);
        if (!s) {
          glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, att, GL_TEXTURE_2D, 0, 0);
        } else {
          auto* si = static_cast<const detail::SurfaceImpl*>(s);
          const GLTextureObject* o = GLObjectOf(si->Owner()->AsBaseTexture());
          GLenum target = o->target == GL_TEXTURE_CUBE_MAP
                              ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(si->GetFace())
                              : GL_TEXTURE_2D;
          glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, att, target, o->name, si->GetLevel());
        }
        attached_[i] = s;
      }
      if (s) bufs[i] = GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(i);
    }
    if (attached_[0] && !depthAttached_) {
      if (depthType_ == GL_RENDERBUFFER)
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthName_);
      else if (depthType_ == GL_TEXTURE)
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, depthName_, 0);
      depthAttached_ = true;
    }
    glDrawBuffers(3, bufs);
    SurfaceDesc d = t0->GetDesc();
    viewportW_ = d.width;
    viewportH_ = d.height;
    // A target larger than the depth buffer draws without depth, as the
    // sizes could not be mixed before either.
    if (d.width > width_ || d.height > height_) {
      glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
      depthAttached_ = false;
    }
  }
  glViewport(0, 0, viewportW_, viewportH_);
  targetsDirty_ = false;
  return glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

HRESULT GLDeviceImpl::DoClear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) {
  if (!BindTargets()) return ERR_INVALIDCALL;
  GLbitfield mask = 0;
  if (flags & CLEAR_TARGET) {
    glClearColor(static_cast<float>((color >> 16) & 255) / 255.0f, static_cast<float>((color >> 8) & 255) / 255.0f,
                 static_cast<float>(color & 255) / 255.0f, static_cast<float>((color >> 24) & 255) / 255.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & CLEAR_ZBUFFER) {
    glClearDepth(z);
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & CLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    glStencilMask(0xFF);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  if (mask) glClear(mask);
  ApplyState(RenderStateIndex(RenderState::ColorWriteEnable));
  ApplyState(RenderStateIndex(RenderState::ZWriteEnable));
  return S_OK;
}

void GLDeviceImpl::ApplyState(int index) {
  if (index < 0) return;
  std::uint32_t v = StateAt(index);
  auto st = [this](RenderState s) { return GetRenderState(s); };
  switch (RenderStateAt(index)) {
    case RenderState::ZEnable: v ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); break;
    case RenderState::ZWriteEnable: glDepthMask(v ? GL_TRUE : GL_FALSE); break;
    case RenderState::ZFunc: glDepthFunc(CompareFunc(v)); break;
    case RenderState::FillMode:
      glPolygonMode(GL_FRONT_AND_BACK, v == FILL_POINT ? GL_POINT : v == FILL_WIREFRAME ? GL_LINE : GL_FILL);
      break;
    case RenderState::CullMode:
      // Front faces are clockwise on screen. With the upper-left origin GL
      // sees window y growing downwards, as the screen does; without clip
      // control the picture is mirrored in y and so is the winding.
      if (v == CULL_NONE) {
        glDisable(GL_CULL_FACE);
      } else {
        glEnable(GL_CULL_FACE);
        glFrontFace(clipControl_ ? GL_CW : GL_CCW);
        glCullFace(v == CULL_CCW ? GL_BACK : GL_FRONT);
      }
      break;
    case RenderState::AlphaBlendEnable: v ? glEnable(GL_BLEND) : glDisable(GL_BLEND); break;
    case RenderState::SrcBlend:
    case RenderState::DestBlend:
      glBlendFunc(BlendFactor(st(RenderState::SrcBlend)), BlendFactor(st(RenderState::DestBlend)));
      break;
    case RenderState::BlendOp: {
      GLenum e = GL_FUNC_ADD;
      if (v == BLENDOP_SUBTRACT) e = GL_FUNC_SUBTRACT;
      else if (v == BLENDOP_REVSUBTRACT) e = GL_FUNC_REVERSE_SUBTRACT;
      else if (v == BLENDOP_MIN) e = GL_MIN;
      else if (v == BLENDOP_MAX) e = GL_MAX;
      glBlendEquation(e);
      break;
    }
    case RenderState::PointSize: {
      float f = BitsFloat(v);
      if (!(f >= 1.0f)) f = 1.0f;
      glPointSize(std::min(f, caps_.maxPointSize > 0 ? caps_.maxPointSize : 1.0f));
      break;
    }
    case RenderState::ColorWriteEnable:
      glColorMask((v & 1) != 0, (v & 2) != 0, (v & 4) != 0, (v & 8) != 0);
      break;
    default: break;  // shade mode, lighting, specular: uniforms at draw time
  }
}

HRESULT GLDeviceImpl::PrepareDraw(bool userMemory, std::size_t upStride) {
  // The checks in front saw a pass in progress; ours must be its program.
  if (!program_) return ERR_INVALIDCALL;
  if (!BindTargets()) return ERR_INVALIDCALL;
  glBindVertexArray(vao_);
  glUniform2f(program_->viewportSize, static_cast<float>(viewportW_), static_cast<float>(viewportH_));
  glUniform1i(program_->clipControl, clipControl_ ? 1 : 0);
  glUniform1i(program_->shadeMode, static_cast<GLint>(GetRenderState(RenderState::ShadeMode)));
  glUniform1i(program_->lighting, GetRenderState(RenderState::Lighting) != 0);
  glUniform1i(program_->specular, GetRenderState(RenderState::SpecularEnable) != 0);
  std::uint32_t enabled = 0;
  for (const VertexElement& e : CurrentDeclaration()->GetElements()) {
    int loc = VertexAttributeLocation(e.usage, e.usageIndex);
    if (loc < 0) continue;
    std::size_t stride = 0, base = 0;
    if (userMemory) {
      if (e.stream != 0) continue;
      glBindBuffer(GL_ARRAY_BUFFER, upVbo_);
      stride = upStride;
    } else {
      const StreamBinding& s = Stream(e.stream);
      auto* vb = static_cast<GLVertexBuffer*>(s.buffer.get());
      glBindBuffer(GL_ARRAY_BUFFER, vb->name);
      stride = s.stride;
      base = s.offset;
    }
    const void* off = reinterpret_cast<const void*>(base + e.offset);
    GLsizei st = static_cast<GLsizei>(stride);
    GLuint l = static_cast<GLuint>(loc);
    switch (e.type) {
      case VertexType::Float1: glVertexAttribPointer(l, 1, GL_FLOAT, GL_FALSE, st, off); break;
      case VertexType::Float2: glVertexAttribPointer(l, 2, GL_FLOAT, GL_FALSE, st, off); break;
      case VertexType::Float3: glVertexAttribPointer(l, 3, GL_FLOAT, GL_FALSE, st, off); break;
      case VertexType::Float4: glVertexAttribPointer(l, 4, GL_FLOAT, GL_FALSE, st, off); break;
      case VertexType::Color: glVertexAttribPointer(l, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, st, off); break;
      case VertexType::UByte4: glVertexAttribPointer(l, 4, GL_UNSIGNED_BYTE, GL_FALSE, st, off); break;
      case VertexType::Unused: continue;
    }
    glEnableVertexAttribArray(l);
    enabled |= 1u << loc;
  }
  for (int l = 0; l < kVertexAttributeCount; ++l)
    if (!(enabled & (1u << l))) glDisableVertexAttribArray(static_cast<GLuint>(l));
  return S_OK;
}

HRESULT GLDeviceImpl::DoDrawPrimitive(PrimitiveType type, std::uint32_t start, std::uint32_t count) {
  HRESULT hr = PrepareDraw(false, 0);
  if (Failed(hr)) return hr;
  glDrawArrays(PrimitiveMode(type), static_cast<GLint>(start), static_cast<GLsizei>(PrimitiveVertexCount(type, count)));
  return S_OK;
}

HRESULT GLDeviceImpl::DoDrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t,
                                             std::uint32_t, std::uint32_t startIndex, std::uint32_t count) {
  auto* ib = static_cast<GLIndexBuffer*>(CurrentIndices().get());
  const std::size_t isz = ib->GetFormat() == IndexFormat::Index32 ? 4 : 2;
  HRESULT hr = PrepareDraw(false, 0);
  if (Failed(hr)) return hr;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->name);
  glDrawElementsBaseVertex(PrimitiveMode(type), static_cast<GLsizei>(PrimitiveVertexCount(type, count)),
                           isz == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(std::size_t{startIndex} * isz), baseVertex);
  return S_OK;
}

HRESULT GLDeviceImpl::DoDrawPrimitiveUP(PrimitiveType type, std::uint32_t count, const void* vertices,
                                        std::size_t stride) {
  const std::size_t n = PrimitiveVertexCount(type, count);
  const std::size_t bytes = n * stride;
  glBindBuffer(GL_ARRAY_BUFFER, upVbo_);
  // Keep the storage once it is large enough; orphan it each draw.
  upSize_ = std::max(upSize_, bytes);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(upSize_), nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), vertices);
  HRESULT hr = PrepareDraw(true, stride);
  if (Failed(hr)) return hr;
  glDrawArrays(PrimitiveMode(type), 0, static_cast<GLsizei>(n));
  return S_OK;
}

HRESULT GLDeviceImpl::DoReset(int w, int h) {
  width_ = w;
  height_ = h;
  if (ownBack_) CreateOwnBackBuffer();
  else FindDepthAttachment();
  // The texture framebuffer takes the depth buffer again.
  glDeleteFramebuffers(1, &rtFbo_);
  glGenFramebuffers(1, &rtFbo_);
  attached_ = {};
  depthAttached_ = false;
  backSurface_->SetSize(w, h);
  targetsDirty_ = true;
  return S_OK;
}

bool GLDeviceImpl::BindReadSurface(const Surface& s, int* w, int* h) {
  if (&s == backSurface_.get()) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, backFbo_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    *w = width_;
    *h = height_;
    return true;
  }
  auto* si = dynamic_cast<const detail::SurfaceImpl*>(&s);
  if (!si) return false;
  const GLTextureObject* o = GLObjectOf(si->Owner()->AsBaseTexture());
  if (!o) return false;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo_);
  GLenum target = o->target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(si->GetFace())
                                                   : GL_TEXTURE_2D;
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, o->name, si->GetLevel());
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  *w = s.GetDesc().width;
  *h = s.GetDesc().height;
  return glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

HRESULT GLDeviceImpl::DoReadSurfaceRGBA8(const Surface& s, std::vector<std::uint8_t>* out) {
  int w = 0, h = 0;
  if (!BindReadSurface(s, &w, &h)) return ERR_INVALIDCALL;
  out->resize(static_cast<std::size_t>(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, out->data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  return S_OK;
}

HRESULT GLDeviceImpl::DoReadSurfaceFloat(const Surface& s, std::vector<float>* out) {
  int w = 0, h = 0;
  if (!BindReadSurface(s, &w, &h)) return ERR_INVALIDCALL;
  out->resize(static_cast<std::size_t>(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_FLOAT, out->data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  return S_OK;
}

// ---- effect ------------------------------------------------------------------

GLEffect::GLEffect(GLDeviceImpl* dev, EffectFileDecl decl, std::string* errors)
    : EffectBase(dev, std::move(decl)), dev_(dev) {
  const EffectFileDecl& d = Decl();
  samplers_.assign(params_.size(), 0);
  for (std::size_t i = 0; i < params_.size(); ++i) {
    const EffectParameterDecl& p = *params_[i].decl;
    if (p.type != ParameterType::Texture && p.type != ParameterType::CubeTexture) continue;
    GLuint s = 0;
    glGenSamplers(1, &s);
    GLint mag = p.filter == TextureFilter::Point ? GL_NEAREST : GL_LINEAR;
    GLint min = mag;
    if (p.mipFilter == MipFilter::Point)
      min = p.filter == TextureFilter::Point ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_NEAREST;
    else if (p.mipFilter == MipFilter::Linear)
      min = p.filter == TextureFilter::Point ? GL_NEAREST_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_LINEAR;
    GLint wrap = p.address == TextureAddress::Wrap     ? GL_REPEAT
                 : p.address == TextureAddress::Mirror ? GL_MIRRORED_REPEAT
                 : p.address == TextureAddress::Border ? GL_CLAMP_TO_BORDER
                                                       : GL_CLAMP_TO_EDGE;
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, mag);
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, min);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, wrap);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, wrap);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_R, wrap);
    samplers_[i] = s;
  }
  for (std::size_t t = 0; t < d.techniques.size(); ++t) {
    const EffectTechniqueDecl& tech = d.techniques[t];
    bool valid = true;
    for (std::size_t p = 0; p < tech.passes.size(); ++p) {
      const EffectPassDecl& pass = tech.passes[p];
      GLProgram prog;
      prog.paramLocation.assign(params_.size(), -1);
      prog.paramUnit.assign(params_.size(), -1);
      std::string where = d.sourceName + ":" + std::to_string(pass.line) + ": technique '" + tech.name + "' pass " +
                          std::to_string(p);
      if (!pass.hasVertex || !pass.hasFragment) {
        valid = false;
        if (errors) *errors += where + ": " + (pass.hasVertex ? "no fragment shader" : "no vertex shader") + "\n";
        programs_.push_back(prog);
        continue;
      }
      std::string log;
      GLuint vs = CompileStage(GL_VERTEX_SHADER, ComposeShader(d, pass.vertex, true, pass.index), &log);
      if (!vs) {
        valid = false;
        if (errors) *errors += where + ": vertex shader: " + log + "\n";
        programs_.push_back(prog);
        continue;
      }
      GLuint fs = CompileStage(GL_FRAGMENT_SHADER, ComposeShader(d, pass.fragment, false, pass.index), &log);
      if (!fs) {
        glDeleteShader(vs);
        valid = false;
        if (errors) *errors += where + ": fragment shader: " + log + "\n";
        programs_.push_back(prog);
        continue;
      }
      GLuint pr = glCreateProgram();
      glAttachShader(pr, vs);
      glAttachShader(pr, fs);
      for (int l = 0; l < kVertexAttributeCount; ++l) glBindAttribLocation(pr, static_cast<GLuint>(l), VertexAttributeName(l));
      glLinkProgram(pr);
      glDeleteShader(vs);
      glDeleteShader(fs);
      GLint ok = 0;
      glGetProgramiv(pr, GL_LINK_STATUS, &ok);
      if (!ok) {
        GLint len = 0;
        glGetProgramiv(pr, GL_INFO_LOG_LENGTH, &len);
        std::string l(static_cast<std::size_t>(std::max(len, 1)), '\0');
        glGetProgramInfoLog(pr, len, nullptr, l.data());
        l.resize(std::strlen(l.c_str()));
        if (errors) *errors += where + ": link: " + l + "\n";
        glDeleteProgram(pr);
        valid = false;
        programs_.push_back(prog);
        continue;
      }
      prog.program = pr;
      prog.viewportSize = glGetUniformLocation(pr, "mv_ViewportSize");
      prog.clipControl = glGetUniformLocation(pr, "mv_ClipControl");
      prog.shadeMode = glGetUniformLocation(pr, "mv_ShadeMode");
      prog.lighting = glGetUniformLocation(pr, "mv_Lighting");
      prog.specular = glGetUniformLocation(pr, "mv_SpecularEnable");
      glUseProgram(pr);
      int unit = 0;
      for (std::size_t i = 0; i < params_.size(); ++i) {
        const EffectParameterDecl& pd = *params_[i].decl;
        if (pd.type == ParameterType::String) continue;
        GLint loc = glGetUniformLocation(pr, pd.name.c_str());
        prog.paramLocation[i] = loc;
        if (loc >= 0 && (pd.type == ParameterType::Texture || pd.type == ParameterType::CubeTexture)) {
          prog.paramUnit[i] = unit;
          glUniform1i(loc, unit);
          ++unit;
        }
      }
      glUseProgram(0);
      programs_.push_back(prog);
    }
    techValid_.push_back(valid);
  }
}

GLEffect::~GLEffect() {
  if (active_) dev_->SetActiveProgram(nullptr);
  for (const GLProgram& p : programs_)
    if (p.program) glDeleteProgram(p.program);
  for (GLuint s : samplers_)
    if (s) glDeleteSamplers(1, &s);
}

void GLEffect::Upload(const GLProgram& prog, bool all) {
  for (std::size_t i = 0; i < params_.size(); ++i) {
    Param& p = params_[i];
    if (!all && !p.dirty) continue;
    p.dirty = false;
    GLint loc = prog.paramLocation[i];
    if (loc < 0) continue;
    const EffectParameterDecl& d = *p.decl;
    GLsizei n = std::max(1, d.elements);
    const float* f = reinterpret_cast<const float*>(&words_[p.offset]);
    const GLint* iv = reinterpret_cast<const GLint*>(&words_[p.offset]);
    switch (d.type) {
      case ParameterType::Float: glUniform1fv(loc, n, f); break;
      case ParameterType::Float2: glUniform2fv(loc, n, f); break;
      case ParameterType::Float3: glUniform3fv(loc, n, f); break;
      case ParameterType::Float4: glUniform4fv(loc, n, f); break;
      case ParameterType::Float4x4: glUniformMatrix4fv(loc, n, GL_FALSE, f); break;
      case ParameterType::Int:
      case ParameterType::Bool: glUniform1iv(loc, n, iv); break;
      case ParameterType::Texture:
      case ParameterType::CubeTexture: {
        int unit = prog.paramUnit[i];
        const GLTextureObject* o = GLObjectOf(p.texture.get());
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glBindTexture(d.type == ParameterType::Texture ? GL_TEXTURE_2D : GL_TEXTURE_CUBE_MAP, o ? o->name : 0);
        glBindSampler(static_cast<GLuint>(unit), samplers_[i]);
        break;
      }
      case ParameterType::String: break;
    }
  }
  glActiveTexture(GL_TEXTURE0);
}

HRESULT GLEffect::OnBeginPass(int tech, int pass) {
  const GLProgram& prog = programs_[static_cast<std::size_t>(PassIndex(tech, pass))];
  if (!prog.program) return E_FAIL;
  glUseProgram(prog.program);
  Upload(prog, true);
  active_ = &prog;
  dev_->SetActiveProgram(&prog);
  return S_OK;
}

HRESULT GLEffect::OnCommit() {
  if (!active_) return ERR_INVALIDCALL;
  Upload(*active_, false);
  return S_OK;
}

void GLEffect::OnEndPass() {
  active_ = nullptr;
  dev_->SetActiveProgram(nullptr);
}

}  // namespace

std::unique_ptr<Device> CreateGLDevice(const GLDeviceDesc& desc) {
  auto d = std::make_unique<GLDeviceImpl>(desc);
  if (!d->ok()) return nullptr;
  return d;
}

unsigned GLBackBufferFramebuffer(Device& device) {
  auto* d = dynamic_cast<GLDeviceImpl*>(&device);
  return d ? d->BackFramebuffer() : 0;
}

void PresentGLBackBuffer(unsigned src, int sw, int sh, unsigned dst, int dw, int dh) {
  if (sw < 1 || sh < 1 || dw < 1 || dh < 1) return;
  // Largest rectangle of the source's aspect inside the destination.
  int w = dw, h = static_cast<int>(static_cast<long long>(dw) * sh / sw);
  if (h > dh) {
    h = dh;
    w = static_cast<int>(static_cast<long long>(dh) * sw / sh);
  }
  int x = (dw - w) / 2, y = (dh - h) / 2;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, dst);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, src);
  // Source row 0 is the top; a window's row 0 is its bottom.
  glBlitFramebuffer(0, 0, sw, sh, x, y + h, x + w, y, GL_COLOR_BUFFER_BIT, GL_LINEAR);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

}  // namespace gfx
