#include "support/TempWorkDir.h"

#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace mv::test {

TempWorkDir::TempWorkDir() {
  std::random_device rd;
  m_dir = fs::temp_directory_path() /
          ("mv-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
  fs::create_directories(m_dir);
  m_previous = fs::current_path();
  fs::current_path(m_dir);
}

TempWorkDir::~TempWorkDir() {
  std::error_code ec;
  fs::current_path(m_previous, ec);
  fs::remove_all(m_dir, ec);
}

void TempWorkDir::Write(const std::string& relative, const std::string& bytes) const {
  const fs::path p = m_dir / relative;
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string TempWorkDir::Read(const std::string& relative) const {
  std::ifstream in(m_dir / relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace mv::test
