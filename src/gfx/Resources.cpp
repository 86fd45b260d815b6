#include "gfx/Resources.h"

#include <algorithm>

namespace gfx::detail {

std::shared_ptr<BaseTexture> SurfaceImpl::GetContainer() const {
  if (!owner_) return nullptr;
  return owner_->AsBaseTexture()->shared_from_this();
}

int TextureStorage::FullChain(int width, int height) {
  int levels = 1;
  int size = std::max(width, height);
  while (size > 1) {
    size /= 2;
    ++levels;
  }
  return levels;
}

TextureStorage::TextureStorage(int width, int height, int levels, int faces, std::uint32_t usage, Format format,
                               Pool pool)
    : width_(width), height_(height), levels_(levels <= 0 ? FullChain(width, height) : levels), faces_(faces),
      usage_(usage), format_(format), pool_(pool) {
  if (IsRenderTarget()) levels_ = 1;
  data_.resize(static_cast<std::size_t>(levels_ * faces_));
  surfaces_.resize(data_.size());
  for (int f = 0; f < faces_; ++f)
    for (int l = 0; l < levels_; ++l) {
      SurfaceDesc d = LevelDesc(l);
      if (!IsRenderTarget()) data_[Index(f, l)].assign(FormatPitch(format_, d.width) * FormatRows(format_, d.height), 0);
      surfaces_[Index(f, l)] = std::make_unique<SurfaceImpl>(this, l, static_cast<CubeFace>(f), d);
    }
}

SurfaceDesc TextureStorage::LevelDesc(int level) const {
  SurfaceDesc d;
  d.format = format_;
  d.usage = usage_;
  d.pool = pool_;
  d.width = std::max(1, width_ >> level);
  d.height = std::max(1, height_ >> level);
  return d;
}

void TextureStorage::LockLevel(int face, int level, LockedRect* out) {
  out->pitch = static_cast<int>(FormatPitch(format_, LevelDesc(level).width));
  out->bits = data_[Index(face, level)].data();
}

HRESULT TextureImpl::GetSurfaceLevel(int level, std::shared_ptr<Surface>* out) {
  if (!out) return ERR_INVALIDCALL;
  out->reset();
  if (level < 0 || level >= Levels()) return ERR_INVALIDCALL;
  // Aliasing: the surface keeps its texture alive and costs no allocation.
  *out = std::shared_ptr<Surface>(shared_from_this(), SurfaceAt(0, level));
  return S_OK;
}

HRESULT CubeTextureImpl::GetCubeMapSurface(CubeFace face, int level, std::shared_ptr<Surface>* out) {
  if (!out) return ERR_INVALIDCALL;
  out->reset();
  int f = static_cast<int>(face);
  if (f < 0 || f >= 6 || level < 0 || level >= Levels()) return ERR_INVALIDCALL;
  *out = std::shared_ptr<Surface>(shared_from_this(), SurfaceAt(f, level));
  return S_OK;
}

TextureStorage* StorageOf(BaseTexture* t) {
  if (!t) return nullptr;
  if (auto* a = dynamic_cast<TextureImpl*>(t)) return a;
  if (auto* b = dynamic_cast<CubeTextureImpl*>(t)) return b;
  return nullptr;
}

void* BufferStorage::LockRange(std::size_t offset, std::size_t size, std::uint32_t flags) {
  discard_ = (flags & LOCK_DISCARD) != 0;
  lockOffset_ = offset;
  lockSize_ = (flags & LOCK_READONLY) ? 0 : size;
  return data_.data() + offset;
}

void BufferStorage::UnlockRange() {
  if (lockSize_ > 0) OnUnlock(lockOffset_, lockSize_, discard_);
}

bool ValidDeclaration(const VertexElement* elements, std::size_t count) {
  if (!elements || count == 0 || count > 32) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const VertexElement& e = elements[i];
    if (e.stream >= kMaxStreams || VertexTypeSize(e.type) == 0 || e.offset > 255) return false;
    if (e.usage != VertexUsage::PSize && VertexAttributeLocation(e.usage, e.usageIndex) < 0) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (elements[j].usage == e.usage && elements[j].usageIndex == e.usageIndex) return false;
  }
  return true;
}

bool ValidTextureArgs(int width, int height, int levels, std::uint32_t usage, Format format, Pool pool, int maxSize) {
  if (width < 1 || height < 1 || width > maxSize || height > maxSize || levels < 0 || levels > 16) return false;
  if (format == Format::Unknown || format == Format::D24S8) return false;
  if ((usage & USAGE_RENDERTARGET) && (pool != Pool::Default || FormatIsCompressed(format))) return false;
  return true;
}

}  // namespace gfx::detail

#include <fstream>

namespace gfx::detail {

HRESULT ReadWholeFile(const std::string& path, std::size_t limit, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return ERR_NOTFOUND;
  out->clear();
  char buf[65536];
  while (in) {
    in.read(buf, sizeof buf);
    std::size_t n = static_cast<std::size_t>(in.gcount());
    if (out->size() + n > limit) return E_FAIL;
    out->append(buf, n);
  }
  return in.bad() ? E_FAIL : S_OK;
}

}  // namespace gfx::detail
