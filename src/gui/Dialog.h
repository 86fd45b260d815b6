#pragma once
// Placeholder until the toolkit lands: the dialog's position and minimized
// state, which the manager base persists.
class CDXUTDialog {
 public:
  int GetX() const { return m_x; }
  int GetY() const { return m_y; }
  void SetLocation(int x, int y) { m_x = x, m_y = y; }
  bool GetMinimized() const { return m_bMinimized; }
  void SetMinimized(bool minimized) { m_bMinimized = minimized; }

 private:
  bool m_bMinimized = false;
  int m_x = 0;
  int m_y = 0;
};
