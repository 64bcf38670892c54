#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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

bool wait_until(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 20000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return done();
}

std::string build_dir() { return KELDRA_TEST_BUILD_DIR; }

}  // namespace keldra_test
