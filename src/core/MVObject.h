#pragma once
// The base of every manager: a type tag that introduces its section in the
// slide and sequence files, a reference to its panel, and Write/Read over a
// binary stream. The base persists the panel preferences (9 bytes).
#include <cstdint>
#include <istream>
#include <ostream>

class CDXUTDialog;

// Type tags: the 32-bit values ahead of each manager's section.
enum MVType : std::int32_t {
  MV_TYPE_OBJECT = 0,
  MV_TYPE_SKYBOX = 1,
  MV_TYPE_DEVICE = 2,
  MV_TYPE_SCENE = 4,
  MV_TYPE_SOUND = 5,
  MV_TYPE_POSTPROCESS = 6,
  MV_TYPE_SEQUENCE = 7,
  MV_TYPE_ANIMATION = 8,
  MV_TYPE_PARTICLE = 9,
  MV_TYPE_VALUES = 11,
};

class MVObject {
 public:
  // Managers are global objects; the virtual destructor only keeps
  // deletion through a base pointer (tests) well defined.
  virtual ~MVObject() = default;

  virtual std::int32_t GetType() const { return MV_TYPE_OBJECT; }
  virtual std::ostream& Write(std::ostream& out);
  virtual std::istream& Read(std::istream& in);

  CDXUTDialog* GetPanel() const { return m_pPanel; }
  void SetPanel(CDXUTDialog* panel) { m_pPanel = panel; }

  static constexpr std::size_t kPanelPreferencesSize = 9;

 protected:
  CDXUTDialog* m_pPanel = nullptr;
};
