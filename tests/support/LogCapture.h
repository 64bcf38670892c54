// Turns on every log type (or the given mask) for the life of the object and reads
// back what the logger wrote meanwhile to $HOME/.cities/OstraMaps.log.
//
// The logger reads its level when it is created, so no logger may be held when a
// LogCapture is made.
#pragma once

#include "support/TestEnv.h"

#include <keldra/LoggerUmbo.h>

#include <algorithm>
#include <string>
#include <vector>

namespace keldra_test {

class LogCapture {
 public:
  explicit LogCapture(const std::string& level = "1") {
    const std::string level_file = home_dir() + "/log_level_capture";
    write_file(home_dir() + "/.cities/.keep", "");
    write_file(level_file, level + "\n");
    orva::keldra::internal::LoggerUmbo::set_level_file_path(level_file);
    m_start = read_file(path()).size();
  }
  ~LogCapture() {
    orva::keldra::internal::LoggerUmbo::set_level_file_path(home_dir() + "/no_log_level");
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  static std::string path() { return home_dir() + "/.cities/OstraMaps.log"; }

  // Everything written since construction, whole lines with numbers and times.
  std::string text() const {
    const std::string all = read_file(path());
    return all.substr(std::min(m_start, all.size()));
  }
  bool has(const std::string& piece) const { return text().find(piece) != std::string::npos; }
  // How often |piece| occurs anywhere in the text.
  int count(const std::string& piece) const {
    const std::string all = text();
    int n = 0;
    for (size_t at = all.find(piece); at != std::string::npos; at = all.find(piece, at + 1)) ++n;
    return n;
  }

  // The message of each line (what follows the thread id), in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    const std::string log = text();
    size_t pos = 0;
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
  // Messages that start with one of |prefixes|, in order.
  std::vector<std::string> matching(const std::vector<std::string>& prefixes) const {
    std::vector<std::string> out;
    for (const std::string& message : texts()) {
      for (const std::string& prefix : prefixes) {
        if (message.compare(0, prefix.size(), prefix) == 0) {
          out.push_back(message);
          break;
        }
      }
    }
    return out;
  }
  // How many messages equal |message| exactly.
  size_t count_exact(const std::string& message) const {
    const std::vector<std::string> all = texts();
    return static_cast<size_t>(std::count(all.begin(), all.end(), message));
  }

 private:
  size_t m_start;
};

}  // namespace keldra_test
