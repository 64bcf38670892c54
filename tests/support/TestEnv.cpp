#include "support/TestEnv.h"

#include <QDir>
#include <QFileInfo>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace keldra_test {

std::string g_home;

const std::string& home_dir() { return g_home; }

bool write_file(const std::string& path, const std::string& content) {
  QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string build_dir() { return KELDRA_TEST_BUILD_DIR; }

}  // namespace keldra_test
