#include "core/MVObject.h"

#include "gui/Dialog.h"
#include "io/BinaryIO.h"
#include "io/Log.h"

std::ostream& MVObject::Write(std::ostream& out) {
  Log("Writing Windows Preference...\n");
  std::int32_t x = 0, y = 0;
  bool minimized = true;
  if (m_pPanel) {
    x = m_pPanel->GetX();
    y = m_pPanel->GetY();
    minimized = m_pPanel->GetMinimized();
  } else {
    Log("Windows Object already deleted ?\n");
  }
  mv::io::WriteI32(out, x);
  mv::io::WriteI32(out, y);
  mv::io::WriteBool(out, minimized);
  return out;
}

std::istream& MVObject::Read(std::istream& in) {
  Log("Reading Windows Preference...\n");
  std::int32_t x = 0, y = 0;
  bool minimized = false;
  mv::io::ReadI32(in, x);
  mv::io::ReadI32(in, y);
  mv::io::ReadBool(in, minimized);
  if (m_pPanel) {
    m_pPanel->SetLocation(x, y);
    m_pPanel->SetMinimized(minimized);
  } else {
    Log("Windows Object not yet initialized ?\n");
  }
  return in;
}
