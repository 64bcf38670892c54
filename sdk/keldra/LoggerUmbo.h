// The process's file logger, shared by every thread and both plug-ins.
//
// Each line is numbered by the logger object, time-stamped, written to the log file
// under the home folder and echoed on the console; types are bit flags filtered by
// the mask read from the level file when the logger object is created. The logger is
// created on first use and destroyed when its last holder lets go; its creation and
// holder count are safe to share between threads, and lines of different threads are
// serialised by its own mutex.
#pragma once

#include <keldra/SharedPointer.h>

#include <cstdarg>
#include <fstream>
#include <string>

namespace orva {
namespace keldra {
namespace internal {

class Mutex;

class LoggerUmbo : public orva::internal::RefCountable {
 public:
  // Message types are bit flags; any other value (also a combination) is logged with
  // the label " Info: ".
  typedef unsigned int MsgType;
  static constexpr MsgType MSG_ERROR = 2;
  static constexpr MsgType MSG_WARNING = 4;
  static constexpr MsgType MSG_PERF = 8;
  static constexpr MsgType MSG_DUMP = 16;
  static constexpr MsgType MSG_TRACE = 32;
  static constexpr MsgType MSG_ALL = 0xFFFFFFFFu;

  // The current logger with one more holder; creates it with the log file
  // ".cities/OstraMaps.log" (or |name|, relative to the home folder) when there is
  // none. A name given while a logger exists is ignored. Never null.
  static orva::SharedPointer<LoggerUmbo> instance();
  static orva::SharedPointer<LoggerUmbo> instance(const std::string& name);

  // True when every bit of |type| is in the mask.
  bool isTypeAllowed(MsgType type) const { return (m_mask & type) == type; }

  // Writes one line through the current logger (created for the call when none).
  // Logging never throws: a line that finds no memory is dropped, so that code after a
  // committed write (or in a destructor) may log.
  static void log(std::string text, MsgType type);
  static void log(const char* text, MsgType type);
  // Older line form: text, a blank and the value; always echoed on standard output.
  static void log2(std::string text, int value, MsgType type);
  // Formats printf-style and logs, but only when |type| is allowed.
  static void logf(MsgType type, const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Closes the log, renames it and the dump file to "<path>.<local time>" (or removes
  // both when |discard|), and opens the log again. A rotated name already taken gets
  // "-1", "-2", ... appended, so a second rotation never overwrites the first.
  void start_new_log(bool discard);

  // Path of the log file last opened (or last tried).
  const std::string& log_path() const { return m_log_path; }

  ~LoggerUmbo() override;

  // Test seam: the product reads "/etc/keldra/set_keldra_log_level".
  static void set_level_file_path(const std::string& path);
  static std::string level_file_path();

 private:
  explicit LoggerUmbo(const std::string& name);
  LoggerUmbo(const LoggerUmbo&) = delete;
  LoggerUmbo& operator=(const LoggerUmbo&) = delete;

  void open_log();
  void internal_log(MsgType type, const std::string& text);
  void internal_int_log(MsgType type, int value, const std::string& text);
  static void create_thread_id_string(std::string& out);
  std::string thread_id_for_line() const;
  void write_line(const std::string& line, bool console_stdout);

  int m_line;
  unsigned int m_mask;
  std::ofstream m_file;
  std::string m_log_path;
  std::string m_file_name;
  Mutex* m_mutex;
};

// Logs "<name> ++" on construction and "<name> --" on destruction, at type 32.
class LogTrace {
 public:
  explicit LogTrace(const char* name);
  ~LogTrace();
  LogTrace(const LogTrace&) = delete;
  LogTrace& operator=(const LogTrace&) = delete;

 private:
  const char* m_name;
};

// Appends one record of a raw protocol message to ".cities/OstraMaps.dump" under the
// home folder, only when every message type is allowed. |up|: sent (true) or received;
// |direct|: direct transfer (true) or SyncML.
void DumpCompactMessage(const unsigned char* data, unsigned int length, bool up, bool direct);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
