// Turns on every log type for the lifetime of the object and gives the log lines
// written since it was made.
#pragma once

#include "support/TestEnv.h"

#include <keldra/LoggerUmbo.h>

#include <string>

class LogCapture {
 public:
  LogCapture() {
    const std::string home = keldra_test::home_dir();
    keldra_test::write_file(home + "/.cities/.keep", "");
    keldra_test::write_file(home + "/log_level_all", "1\n");
    orva::keldra::internal::LoggerUmbo::set_level_file_path(home + "/log_level_all");
    m_path = home + "/.cities/OstraMaps.log";
    m_start = keldra_test::read_file(m_path).size();
  }
  ~LogCapture() {
    orva::keldra::internal::LoggerUmbo::set_level_file_path(keldra_test::home_dir() +
                                                            "/no_log_level");
  }
  std::string text() const { return keldra_test::read_file(m_path).substr(m_start); }
  bool has(const std::string& line) const { return text().find(line) != std::string::npos; }
  int count(const std::string& line) const {
    const std::string all = text();
    int n = 0;
    for (size_t at = all.find(line); at != std::string::npos; at = all.find(line, at + 1)) ++n;
    return n;
  }

 private:
  std::string m_path;
  size_t m_start;
};
