// Turns on every log type for the life of the object and reads back the trace texts
// logged meanwhile (the part of each line after the thread id).
//
// The logger reads its level when it is created, so no logger may be held when a
// TraceLog is made.
#pragma once

#include "support/TestEnv.h"

#include <keldra/LoggerUmbo.h>

#include <QDir>

#include <algorithm>
#include <string>
#include <vector>

namespace keldra_test {

class TraceLog {
 public:
  TraceLog() {
    using orva::keldra::internal::LoggerUmbo;
    const std::string level = home_dir() + "/log_level";
    write_file(level, "1");
    QDir().mkpath(QString::fromStdString(home_dir() + "/.cities"));
    LoggerUmbo::set_level_file_path(level);
    m_start = read_file(path()).size();
  }
  ~TraceLog() {
    orva::keldra::internal::LoggerUmbo::set_level_file_path(home_dir() + "/no_log_level");
  }

  static std::string path() { return home_dir() + "/.cities/OstraMaps.log"; }

  // Texts of the lines written since construction, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    const std::string log = read_file(path());
    size_t pos = std::min(m_start, log.size());
    while (pos < log.size()) {
      size_t end = log.find('\n', pos);
      if (end == std::string::npos) end = log.size();
      const std::string line = log.substr(pos, end - pos);
      const size_t mark = line.find("]:");
      if (mark != std::string::npos) out.push_back(line.substr(mark + 2));
      pos = end + 1;
    }
    return out;
  }

  // Texts that start with one of |prefixes|, in order.
  std::vector<std::string> matching(const std::vector<std::string>& prefixes) const {
    std::vector<std::string> out;
    for (const std::string& text : texts()) {
      for (const std::string& prefix : prefixes) {
        if (text.compare(0, prefix.size(), prefix) == 0) {
          out.push_back(text);
          break;
        }
      }
    }
    return out;
  }

  // How many texts equal |text| exactly.
  size_t count(const std::string& text) const {
    const std::vector<std::string> all = texts();
    return static_cast<size_t>(std::count(all.begin(), all.end(), text));
  }

 private:
  size_t m_start;
};

}  // namespace keldra_test
