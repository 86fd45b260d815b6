#pragma once
// A fresh working folder for the test, entered on construction and removed
// (after leaving it) on destruction.
#include <filesystem>
#include <string>

namespace mv::test {

class TempWorkDir {
 public:
  TempWorkDir();
  ~TempWorkDir();
  TempWorkDir(const TempWorkDir&) = delete;
  TempWorkDir& operator=(const TempWorkDir&) = delete;
  const std::filesystem::path& Path() const { return m_dir; }
  // Writes `bytes` to a file relative to the folder, creating its folders.
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;

 private:
  std::filesystem::path m_dir;
  std::filesystem::path m_previous;
};

}  // namespace mv::test
