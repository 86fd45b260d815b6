#pragma once
// Two render-target textures used in turn by the post-process chain: effects
// read the previous one and write the next one. The chain holds one
// reference to each; releasing it lets the device free them.
#include <cstdint>
#include <memory>
#include <utility>

#include "gfx/Device.h"

class RenderTargetChain {
 public:
  using TexturePtr = std::shared_ptr<gfx::Texture>;

  void Init(TexturePtr a, TexturePtr b) {
    m_targets[0] = std::move(a);
    m_targets[1] = std::move(b);
    m_next = 0;
  }
  void Release() {
    m_targets[0].reset();
    m_targets[1].reset();
  }

  const TexturePtr& GetPrevTarget() const { return m_targets[1 - m_next]; }
  const TexturePtr& GetNextTarget() const { return m_targets[m_next]; }
  void Flip() { m_next = 1 - m_next; }

  std::int32_t GetNext() const { return m_next; }
  bool IsFirstRender() const { return m_bFirstRender; }
  void SetFirstRender(bool first) { m_bFirstRender = first; }

 private:
  std::int32_t m_next = 0;
  bool m_bFirstRender = true;
  TexturePtr m_targets[2];
};

extern RenderTargetChain g_RenderTargetChain[3];
