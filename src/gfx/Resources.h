#pragma once
// Memory-backed resources shared by both backends. The OpenGL backend
// derives from them and uploads on unlock; the recording backend uses them
// as they are.
#include <memory>
#include <string>
#include <vector>

#include "gfx/Device.h"

namespace gfx::detail {

class TextureStorage;

class SurfaceImpl final : public Surface {
 public:
  SurfaceImpl(TextureStorage* owner, int level, CubeFace face, SurfaceDesc desc)
      : owner_(owner), level_(level), face_(face), desc_(desc) {}
  Pool GetPool() const override { return desc_.pool; }
  SurfaceDesc GetDesc() const override { return desc_; }
  std::shared_ptr<BaseTexture> GetContainer() const override;
  int GetLevel() const override { return level_; }
  CubeFace GetFace() const override { return face_; }
  TextureStorage* Owner() const { return owner_; }

 private:
  TextureStorage* owner_;  // null for a back buffer
  int level_;
  CubeFace face_;
  SurfaceDesc desc_;
};

// Levels (and faces) of a texture with a CPU copy for lockable pools.
class TextureStorage {
 public:
  TextureStorage(int width, int height, int levels, int faces, std::uint32_t usage, Format format, Pool pool);
  virtual ~TextureStorage() = default;
  static int FullChain(int width, int height);

  int Levels() const { return levels_; }
  int Faces() const { return faces_; }
  SurfaceDesc LevelDesc(int level) const;
  bool IsRenderTarget() const { return (usage_ & USAGE_RENDERTARGET) != 0; }
  Format GetFormat() const { return format_; }
  // The device's checks have passed: the level is in range and lockable.
  void LockLevel(int face, int level, LockedRect* out);
  void UnlockLevel(int face, int level) { OnUnlock(face, level); }
  // Bytes of a level (one face), top row first; empty for render targets.
  const std::vector<std::uint8_t>& LevelData(int face, int level) const { return data_[Index(face, level)]; }
  std::vector<std::uint8_t>& LevelData(int face, int level) { return data_[Index(face, level)]; }
  SurfaceImpl* SurfaceAt(int face, int level) { return surfaces_[Index(face, level)].get(); }
  virtual BaseTexture* AsBaseTexture() = 0;

 protected:
  // Called after an unlock that may have changed the data.
  virtual void OnUnlock(int face, int level) {}

 private:
  std::size_t Index(int face, int level) const { return static_cast<std::size_t>(face * levels_ + level); }
  int width_, height_, levels_, faces_;
  std::uint32_t usage_;
  Format format_;
  Pool pool_;
  std::vector<std::vector<std::uint8_t>> data_;
  std::vector<std::unique_ptr<SurfaceImpl>> surfaces_;
};

class TextureImpl : public Texture, public TextureStorage {
 public:
  TextureImpl(int w, int h, int levels, std::uint32_t usage, Format format, Pool pool)
      : TextureStorage(w, h, levels, 1, usage, format, pool), pool_(pool) {}
  Pool GetPool() const override { return pool_; }
  int GetLevelCount() const override { return Levels(); }
  SurfaceDesc GetLevelDesc(int level) const override { return LevelDesc(level); }
  HRESULT GetSurfaceLevel(int level, std::shared_ptr<Surface>* out) override;
  BaseTexture* AsBaseTexture() override { return this; }

 protected:
  void DoLockRect(int level, LockedRect* out) override { LockLevel(0, level, out); }
  void DoUnlockRect(int level) override { UnlockLevel(0, level); }

 private:
  Pool pool_;
};

class CubeTextureImpl : public CubeTexture, public TextureStorage {
 public:
  CubeTextureImpl(int edge, int levels, std::uint32_t usage, Format format, Pool pool)
      : TextureStorage(edge, edge, levels, 6, usage, format, pool), pool_(pool) {}
  Pool GetPool() const override { return pool_; }
  int GetLevelCount() const override { return Levels(); }
  SurfaceDesc GetLevelDesc(int level) const override { return LevelDesc(level); }
  HRESULT GetCubeMapSurface(CubeFace face, int level, std::shared_ptr<Surface>* out) override;
  BaseTexture* AsBaseTexture() override { return this; }

 protected:
  void DoLockRect(CubeFace face, int level, LockedRect* out) override { LockLevel(static_cast<int>(face), level, out); }
  void DoUnlockRect(CubeFace face, int level) override { UnlockLevel(static_cast<int>(face), level); }

 private:
  Pool pool_;
};

TextureStorage* StorageOf(BaseTexture* t);

// A CPU copy of the buffer; the GL backend mirrors it on unlock.
class BufferStorage {
 public:
  BufferStorage(std::size_t bytes, std::uint32_t usage, Pool pool) : data_(bytes), usage_(usage), pool_(pool) {}
  virtual ~BufferStorage() = default;
  // The device's checks have passed: the range lies inside, nothing is locked.
  void* LockRange(std::size_t offset, std::size_t size, std::uint32_t flags);
  void UnlockRange();
  const std::uint8_t* Data() const { return data_.data(); }
  std::size_t Bytes() const { return data_.size(); }

 protected:
  virtual void OnUnlock(std::size_t offset, std::size_t size, bool discard) {}
  std::vector<std::uint8_t> data_;
  std::uint32_t usage_;
  Pool pool_;

 private:
  bool discard_ = false;
  std::size_t lockOffset_ = 0, lockSize_ = 0;
};

class VertexBufferImpl : public VertexBuffer, public BufferStorage {
 public:
  VertexBufferImpl(std::size_t bytes, std::uint32_t usage, Pool pool) : BufferStorage(bytes, usage, pool) {}
  Pool GetPool() const override { return pool_; }
  std::size_t GetSize() const override { return Bytes(); }
  std::uint32_t GetUsage() const override { return usage_; }

 protected:
  void* DoLock(std::size_t offset, std::size_t size, std::uint32_t flags) override {
    return LockRange(offset, size, flags);
  }
  void DoUnlock() override { UnlockRange(); }
};

class IndexBufferImpl : public IndexBuffer, public BufferStorage {
 public:
  IndexBufferImpl(std::size_t bytes, std::uint32_t usage, IndexFormat format, Pool pool)
      : BufferStorage(bytes, usage, pool), format_(format) {}
  Pool GetPool() const override { return pool_; }
  std::size_t GetSize() const override { return Bytes(); }
  std::uint32_t GetUsage() const override { return usage_; }
  IndexFormat GetFormat() const override { return format_; }

 protected:
  void* DoLock(std::size_t offset, std::size_t size, std::uint32_t flags) override {
    return LockRange(offset, size, flags);
  }
  void DoUnlock() override { UnlockRange(); }

 private:
  IndexFormat format_;
};

class VertexDeclarationImpl : public VertexDeclaration {
 public:
  explicit VertexDeclarationImpl(std::vector<VertexElement> e) : elements_(std::move(e)) {}
  const std::vector<VertexElement>& GetElements() const override { return elements_; }

 private:
  std::vector<VertexElement> elements_;
};

// Checks a declaration: known types, attributes, no overlaps past 255 bytes.
bool ValidDeclaration(const VertexElement* elements, std::size_t count);
// Sizes and flags a texture creation must satisfy.
bool ValidTextureArgs(int width, int height, int levels, std::uint32_t usage, Format format, Pool pool, int maxSize);

// A surface standing for the back buffer (no container).
class BackBufferSurface final : public Surface {
 public:
  explicit BackBufferSurface(SurfaceDesc d) : desc_(d) {}
  Pool GetPool() const override { return Pool::Default; }
  SurfaceDesc GetDesc() const override { return desc_; }
  std::shared_ptr<BaseTexture> GetContainer() const override { return nullptr; }
  int GetLevel() const override { return 0; }
  CubeFace GetFace() const override { return CubeFace::PositiveX; }
  void SetSize(int w, int h) { desc_.width = w; desc_.height = h; }

 private:
  SurfaceDesc desc_;
};

}  // namespace gfx::detail

namespace gfx::detail {
// Reads a whole file of at most `limit` bytes. ERR_NOTFOUND when it cannot be
// opened, E_FAIL when it is larger than the limit or cannot be read.
HRESULT ReadWholeFile(const std::string& path, std::size_t limit, std::string* out);
}  // namespace gfx::detail
