#pragma once
// Two render targets used in turn by the post-process chain: effects read
// the previous one and write the next one. Textures are device handles
// (0 = none), owned by the device layer.
#include <cstdint>

class RenderTargetChain {
 public:
  using TextureHandle = std::uint32_t;

  void Init(TextureHandle a, TextureHandle b) {
    m_targets[0] = a, m_targets[1] = b;
    m_next = 0;
  }
  void Release() { m_targets[0] = m_targets[1] = 0; }

  TextureHandle GetPrevTarget() const { return m_targets[1 - m_next]; }
  TextureHandle GetNextTarget() const { return m_targets[m_next]; }
  void Flip() { m_next = 1 - m_next; }

  std::int32_t GetNext() const { return m_next; }
  bool IsFirstRender() const { return m_bFirstRender; }
  void SetFirstRender(bool first) { m_bFirstRender = first; }

 private:
  std::int32_t m_next = 0;
  bool m_bFirstRender = true;
  TextureHandle m_targets[2]{};
};
