#include <keldra/LoggerUmbo.h>

#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/thread/Mutex.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const char* const kDefaultLogName = ".cities/OstraMaps.log";
const char* const kDumpName = ".cities/OstraMaps.dump";

LoggerUmbo* s_instance = nullptr;  // guarded by RefCountable::shared_count_lock()

// The log and the dump hold user names, server addresses and the user's data: only their
// owner may read them. Creates |path| with mode 0600, or narrows a file made earlier
// with wider rights; a path that cannot be opened (a folder, a missing parent) is left
// to the caller's own open to fail on.
void make_private_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0077) != 0) {
    ::fchmod(fd, st.st_mode & 0700);
  }
  ::close(fd);
}

std::mutex& thread_id_lock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}
// The process's s_thread_id: set once, under thread_id_lock(); never destroyed, as
// lines may be written during static destruction.
std::string& process_thread_id() {
  static std::string* id = new std::string;
  return *id;
}

std::string& level_file() {
  static std::string* path = new std::string("/etc/keldra/set_keldra_log_level");
  return *path;
}

// Local time as "yyyy-MM-dd hh:mm:ss.zzz" (separator ' ') or "yyyy-MM-ddThh:mm:ss.zzz".
std::string local_time_text(char separator) {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm tm_local;
  time_t secs = tv.tv_sec;
  localtime_r(&secs, &tm_local);
  char buf[64];
  snprintf(buf, sizeof(buf), "%04d-%02d-%02d%c%02d:%02d:%02d.%03d", tm_local.tm_year + 1900,
           tm_local.tm_mon + 1, tm_local.tm_mday, separator, tm_local.tm_hour, tm_local.tm_min,
           tm_local.tm_sec, static_cast<int>(tv.tv_usec / 1000));
  return buf;
}

const char* label_of(LoggerUmbo::MsgType type) {
  switch (type) {
    case LoggerUmbo::MSG_ERROR: return " Error: ";
    case LoggerUmbo::MSG_WARNING: return " Warning: ";
    case LoggerUmbo::MSG_PERF: return " Perf: ";
    case LoggerUmbo::MSG_DUMP: return " Dump: ";
    default: return " Info: ";
  }
}

bool file_exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// First of "<base>", "<base>-1", "<base>-2", ... that no file holds.
std::string free_name(const std::string& base) {
  std::string name = base;
  for (int n = 1; file_exists(name); ++n) name = base + "-" + std::to_string(n);
  return name;
}

}  // namespace

void LoggerUmbo::set_level_file_path(const std::string& path) { level_file() = path; }

std::string LoggerUmbo::level_file_path() { return level_file(); }

orva::SharedPointer<LoggerUmbo> LoggerUmbo::instance() {
  {
    // The common case takes the logger without making a name: it needs no memory.
    std::lock_guard<std::recursive_mutex> guard(shared_count_lock());
    if (s_instance) return orva::SharedPointer<LoggerUmbo>(s_instance);
  }
  return instance(kDefaultLogName);
}

orva::SharedPointer<LoggerUmbo> LoggerUmbo::instance(const std::string& name) {
  // The lookup, the creation and the first count happen under the lock that also
  // serialises the logger's count, so a thread never takes a logger that another
  // thread's last holder is destroying.
  std::lock_guard<std::recursive_mutex> guard(shared_count_lock());
  if (!s_instance) {
    s_instance = new LoggerUmbo(name);
  }
  return orva::SharedPointer<LoggerUmbo>(s_instance);
}

LoggerUmbo::LoggerUmbo(const std::string& name)
    : m_line(0), m_mask(0), m_file_name(name), m_mutex(new Mutex) {
  set_shared_between_threads();
  std::ifstream level(level_file());
  if (level.is_open() && level.good()) {
    // One unsigned 32-bit number; a value that does not fit is not a number.
    unsigned int value = 0;
    if (level >> value) m_mask = (value == 1) ? 0xFFFFFFFFu : value;
  }
  open_log();
  internal_log(MSG_TRACE, "LoggerUmbo::LoggerUmbo");
}

LoggerUmbo::~LoggerUmbo() {
  internal_log(MSG_TRACE, "LoggerUmbo::~LoggerUmbo");
  m_file.close();
  if (s_instance == this) s_instance = nullptr;
  delete m_mutex;
}

void LoggerUmbo::open_log() {
  const std::string base = get_home_dir() + m_file_name;
  std::string path = base;
  for (int attempt = 0; attempt <= 5 && !m_file.is_open(); ++attempt) {
    path = attempt == 0 ? base : base + static_cast<char>('0' + attempt);
    m_file.clear();
    make_private_file(path);
    m_file.open(path, std::ios::out | std::ios::app);
  }
  m_log_path = path;
}

void LoggerUmbo::create_thread_id_string(std::string& out) {
  // Thread ids are 32-bit values on the handset; keep the same width here.
  char buf[16];
  snprintf(buf, sizeof(buf), "%x", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(
                                         reinterpret_cast<void*>(pthread_self()))));
  out = buf;
}

std::string LoggerUmbo::thread_id_for_line() const {
  std::lock_guard<std::mutex> guard(thread_id_lock());
  std::string& s_thread_id = process_thread_id();
  if (s_thread_id.empty()) {
    // The first line of the process names its thread once, on standard error only.
    create_thread_id_string(s_thread_id);
    std::cerr << m_line << " LoggerUmbo::internal_log: logging called for the first"
              << " time for the LoggerUmbo, thread is" << " [" << s_thread_id << "]"
              << std::endl;
  }
  return s_thread_id;
}

void LoggerUmbo::internal_log(MsgType type, const std::string& text) {
  if (!isTypeAllowed(type)) return;
  const std::string body = "[" + thread_id_for_line() + "]:" + text;

  MutexLocker lock(*m_mutex);
  ++m_line;
  std::string line = std::to_string(m_line);
  line += ' ';
  line += local_time_text(' ');
  line += label_of(type);
  line += body;
  write_line(line, type == MSG_PERF || type == MSG_DUMP);
}

void LoggerUmbo::internal_int_log(MsgType type, int value, const std::string& text) {
  if (!isTypeAllowed(type)) return;
  const std::string body = "[" + thread_id_for_line() + "]:" + text;

  MutexLocker lock(*m_mutex);
  ++m_line;
  time_t now = time(nullptr);
  char tbuf[64];
  std::string when(ctime_r(&now, tbuf) ? tbuf : "");
  if (!when.empty() && when.back() == '\n') when.pop_back();
  const std::string line =
      std::to_string(m_line) + " " + when + label_of(type) + body + " " + std::to_string(value);
  write_line(line, true);
}

void LoggerUmbo::write_line(const std::string& line, bool console_stdout) {
  if (m_file.is_open()) {
    m_file << line << '\n';
    m_file.flush();
  }
  std::ostream& console = console_stdout ? std::cout : std::cerr;
  console << line << '\n';
  console.flush();
}

void LoggerUmbo::log(std::string text, MsgType type) {
  try {
    orva::SharedPointer<LoggerUmbo> logger = instance();
    logger->internal_log(type, text);
  } catch (...) {
    // The line is dropped: logging must not fail its caller.
  }
}

void LoggerUmbo::log(const char* text, MsgType type) {
  try {
    orva::SharedPointer<LoggerUmbo> logger = instance();
    if (logger->isTypeAllowed(type)) logger->internal_log(type, text ? text : "");
  } catch (...) {
  }
}

void LoggerUmbo::log2(std::string text, int value, MsgType type) {
  try {
    orva::SharedPointer<LoggerUmbo> logger = instance();
    logger->internal_int_log(type, value, text);
  } catch (...) {
  }
}

void LoggerUmbo::logf(MsgType type, const char* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    orva::SharedPointer<LoggerUmbo> logger = instance();
    if (logger->isTypeAllowed(type)) {
      va_list copy;
      va_copy(copy, args);
      int n = vsnprintf(nullptr, 0, format, copy);
      va_end(copy);
      std::string text;
      if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        vsnprintf(buf.data(), buf.size(), format, args);
        text.assign(buf.data(), static_cast<size_t>(n));
      }
      logger->internal_log(type, text);
    }
  } catch (...) {
  }
  va_end(args);
}

void LoggerUmbo::start_new_log(bool discard) {
  // Writers hold m_mutex for a whole line; rotating under it keeps lines whole.
  MutexLocker lock(*m_mutex);
  m_file.close();
  const std::string dump_path = get_home_dir() + kDumpName;
  if (discard) {
    rm(m_log_path);
    rm(dump_path);
  } else {
    const std::string stamp = local_time_text('T');
    mv(m_log_path, free_name(m_log_path + "." + stamp));
    mv(dump_path, free_name(dump_path + "." + stamp));
  }
  open_log();
}

LogTrace::LogTrace(const char* name) : m_name(name) {
  try {
    LoggerUmbo::log(std::string(m_name) + " ++", LoggerUmbo::MSG_TRACE);
  } catch (...) {
  }
}

LogTrace::~LogTrace() {
  try {
    LoggerUmbo::log(std::string(m_name) + " --", LoggerUmbo::MSG_TRACE);
  } catch (...) {
  }
}

void DumpCompactMessage(const unsigned char* data, unsigned int length, bool up, bool direct) {
  orva::SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  if (!logger->isTypeAllowed(LoggerUmbo::MSG_ALL)) return;
  std::string message(reinterpret_cast<const char*>(data), data ? length : 0);
  const std::string path = get_home_dir() + kDumpName;
  make_private_file(path);
  FILE* f = fopen(path.c_str(), "a");
  if (!f) {
    if (logger->isTypeAllowed(LoggerUmbo::MSG_TRACE))
      LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "Can't open dump file, err '%s'", strerror(errno));
    return;
  }
  std::string header = local_time_text(' ') + "    " + (up ? "  UP" : "DOWN") + "/" +
                       (direct ? "DIRECT" : "SYNCML") + ": ";
  fwrite(header.data(), 1, header.size(), f);
  if (!message.empty()) fwrite(message.data(), 1, message.size(), f);
  fputc('\n', f);
  fflush(f);
  fclose(f);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
