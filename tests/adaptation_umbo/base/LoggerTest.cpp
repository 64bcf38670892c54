#include <keldra/LoggerUmbo.h>

#include "adaptation_umbo/base/Utils.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::internal::DumpCompactMessage;
using orva::keldra::internal::LoggerUmbo;
using orva::keldra::internal::LogTrace;
using orva::keldra::internal::mkdir;
using orva::keldra::internal::rm;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const char* const kTime = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})";
const char* const kStamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})";

struct Line {
  int number = 0;
  std::string time, label, thread, text;
};

// Splits a log line into its pieces; false when it is not in the line format.
bool parse_line(const std::string& text, Line* out) {
  static const std::regex format(
      std::string(R"(^(\d+) ()") + kTime +
      R"()( Error: | Warning: | Perf: | Dump: | Info: )\[([0-9a-f]+)\]:(.*)$)");
  std::smatch m;
  if (!std::regex_match(text, m, format)) return false;
  out->number = std::stoi(m[1]);
  out->time = m[2];
  out->label = m[3];
  out->thread = m[4];
  out->text = m[5];
  return true;
}

std::vector<std::string> split_lines(const std::string& content) {
  std::vector<std::string> lines;
  std::istringstream in(content);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

std::vector<Line> parse_all(const std::string& content) {
  std::vector<Line> result;
  for (const std::string& text : split_lines(content)) {
    Line l;
    EXPECT_TRUE(parse_line(text, &l)) << "not a log line: " << text;
    result.push_back(l);
  }
  return result;
}

std::vector<std::string> texts_of(const std::vector<Line>& lines) {
  std::vector<std::string> texts;
  for (const Line& l : lines) texts.push_back(l.text);
  return texts;
}

std::vector<int> numbers_of(const std::vector<Line>& lines) {
  std::vector<int> numbers;
  for (const Line& l : lines) numbers.push_back(l.number);
  return numbers;
}

std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void remove_tree(const std::string& path) {
  for (const std::string& n : list_dir(path)) remove_tree(path + "/" + n);
  if (rm(path) != 0) ::rmdir(path.c_str());
}

class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = keldra_test::home_dir() + "/";
    cities = home + ".cities";
    remove_tree(cities);
    ASSERT_EQ(0, mkdir(cities));
    level_file = home + "log_level";
    LoggerUmbo::set_level_file_path(level_file);
    set_level("1");
  }
  void TearDown() override { rm(level_file); }

  void set_level(const std::string& content) {
    ASSERT_TRUE(keldra_test::write_file(level_file, content));
  }
  std::string log_path() const { return cities + "/OstraMaps.log"; }
  std::string dump_path() const { return cities + "/OstraMaps.dump"; }
  std::string log_content() const { return keldra_test::read_file(log_path()); }

  std::string home, cities, level_file;
};

// ---- level file ----

struct MaskCase {
  const char* content;  // null: no level file
  std::vector<unsigned int> allowed;
  std::vector<unsigned int> refused;
};

TEST_F(LoggerTest, LevelFileMask) {
  const unsigned int ALL = 0xFFFFFFFFu;
  const MaskCase cases[] = {
      {"1", {0, 2, 4, 8, 16, 32, 6, 64, ALL}, {}},
      {"4294967295", {2, 32, ALL}, {}},
      {"63", {2, 4, 8, 16, 32, 6}, {64, ALL}},
      {"2", {2}, {4, 6, 32}},
      {"6", {2, 4, 6}, {8, 32}},
      {" \n\t12 junk", {4, 8, 12}, {2, 16, 32}},
      {"0", {0}, {2, 32}},
      {nullptr, {0}, {2, 32, ALL}},
      {"", {0}, {2}},
      {"abc", {0}, {2, 32}},
      {"4294967296", {0}, {2, 32}},  // does not fit 32 bits: not a number
  };
  for (const MaskCase& c : cases) {
    SCOPED_TRACE(c.content ? c.content : "(no file)");
    if (c.content) {
      set_level(c.content);
    } else {
      rm(level_file);
    }
    rm(log_path());
    {
      SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
      for (unsigned int t : c.allowed) EXPECT_TRUE(logger->isTypeAllowed(t)) << t;
      for (unsigned int t : c.refused) EXPECT_FALSE(logger->isTypeAllowed(t)) << t;
      CaptureStdout();
      CaptureStderr();
      for (unsigned int t : c.allowed) LoggerUmbo::log("type " + std::to_string(t), t);
      for (unsigned int t : c.refused) LoggerUmbo::log("type " + std::to_string(t), t);
      GetCapturedStderr();
      GetCapturedStdout();
    }
    const std::vector<std::string> texts = texts_of(parse_all(log_content()));
    for (unsigned int t : c.allowed) {
      EXPECT_EQ(1, std::count(texts.begin(), texts.end(), "type " + std::to_string(t))) << t;
    }
    for (unsigned int t : c.refused) {
      EXPECT_EQ(0, std::count(texts.begin(), texts.end(), "type " + std::to_string(t))) << t;
    }
  }
}

// The mask is read once per logger object.
TEST_F(LoggerTest, LevelChangeTakesEffectWithNextLogger) {
  set_level("2");
  {
    SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
    set_level("1");
    EXPECT_FALSE(logger->isTypeAllowed(LoggerUmbo::MSG_TRACE));
  }
  EXPECT_TRUE(LoggerUmbo::instance()->isTypeAllowed(LoggerUmbo::MSG_TRACE));
}

// ---- line format and numbering ----

TEST_F(LoggerTest, LineFormat) {
  {
    SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
    LoggerUmbo::log("hello world", LoggerUmbo::MSG_ERROR);
    LoggerUmbo::log(" leading blank kept", LoggerUmbo::MSG_TRACE);
  }
  const std::string content = log_content();
  const std::vector<Line> lines = parse_all(content);
  ASSERT_EQ(4u, lines.size()) << content;
  EXPECT_EQ((std::vector<std::string>{"LoggerUmbo::LoggerUmbo", "hello world",
                                      " leading blank kept", "LoggerUmbo::~LoggerUmbo"}),
            texts_of(lines));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), numbers_of(lines));
  EXPECT_EQ(" Info: ", lines[0].label);
  EXPECT_EQ(" Error: ", lines[1].label);
  EXPECT_NE(std::string::npos, content.find(" Error: [" + lines[1].thread + "]:hello world\n"));

  // One thread id for all lines: lower-case hex without leading zeros, 32 bits.
  for (const Line& l : lines) EXPECT_EQ(lines[0].thread, l.thread);
  EXPECT_TRUE(std::regex_match(lines[0].thread, std::regex("0|[1-9a-f][0-9a-f]{0,7}")))
      << lines[0].thread;

  // Local time of writing.
  std::tm tm_line = {};
  ASSERT_EQ(6, sscanf(lines[1].time.c_str(), "%d-%d-%d %d:%d:%d", &tm_line.tm_year, &tm_line.tm_mon,
                      &tm_line.tm_mday, &tm_line.tm_hour, &tm_line.tm_min, &tm_line.tm_sec));
  tm_line.tm_year -= 1900;
  tm_line.tm_mon -= 1;
  tm_line.tm_isdst = -1;
  EXPECT_LE(std::abs(std::difftime(std::time(nullptr), std::mktime(&tm_line))), 5.0);
}

TEST_F(LoggerTest, NumbersStartAtOnePerLoggerObject) {
  set_level("2");  // errors only: no constructor or destructor lines
  SharedPointer<LoggerUmbo> first = LoggerUmbo::instance();
  SharedPointer<LoggerUmbo> again = LoggerUmbo::instance();
  EXPECT_EQ(first.get(), again.get());
  EXPECT_EQ(2u, first->get_ref_count());
  again.release();
  for (const char* text : {"a", "b", "c"}) LoggerUmbo::log(text, LoggerUmbo::MSG_ERROR);
  LoggerUmbo::log("not counted", LoggerUmbo::MSG_TRACE);
  first.release();  // last holder: the logger goes
  LoggerUmbo::log("d", LoggerUmbo::MSG_ERROR);  // a new logger of its own
  LoggerUmbo::log("e", LoggerUmbo::MSG_ERROR);

  const std::vector<Line> lines = parse_all(log_content());  // appended, never truncated
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "e"}), texts_of(lines));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 1, 1}), numbers_of(lines));
}

TEST_F(LoggerTest, LogWithoutHolderCreatesAndDestroysALogger) {
  LoggerUmbo::log("x", LoggerUmbo::MSG_TRACE);
  LoggerUmbo::log("y", LoggerUmbo::MSG_TRACE);
  const std::vector<Line> lines = parse_all(log_content());
  EXPECT_EQ((std::vector<std::string>{"LoggerUmbo::LoggerUmbo", "x", "LoggerUmbo::~LoggerUmbo",
                                      "LoggerUmbo::LoggerUmbo", "y", "LoggerUmbo::~LoggerUmbo"}),
            texts_of(lines));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 1, 2, 3}), numbers_of(lines));
}

// ---- console ----

struct ConsoleCase {
  unsigned int type;
  const char* label;
  bool on_stdout;
};

TEST_F(LoggerTest, ConsoleStreamByType) {
  const ConsoleCase cases[] = {
      {2, " Error: ", false}, {4, " Warning: ", false}, {8, " Perf: ", true},
      {16, " Dump: ", true},  {32, " Info: ", false},   {6, " Info: ", false},
      {64, " Info: ", false}, {24, " Info: ", false},
  };
  // The named types are these numbers; EXPECT_EQ binds them by reference, which links
  // only when the constants need no definition elsewhere.
  EXPECT_EQ(2u, LoggerUmbo::MSG_ERROR);
  EXPECT_EQ(4u, LoggerUmbo::MSG_WARNING);
  EXPECT_EQ(8u, LoggerUmbo::MSG_PERF);
  EXPECT_EQ(16u, LoggerUmbo::MSG_DUMP);
  EXPECT_EQ(32u, LoggerUmbo::MSG_TRACE);
  EXPECT_EQ(0xFFFFFFFFu, LoggerUmbo::MSG_ALL);
  SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  for (const ConsoleCase& c : cases) {
    SCOPED_TRACE(c.type);
    const std::string text = "console " + std::to_string(c.type);
    CaptureStdout();
    CaptureStderr();
    LoggerUmbo::log(text, c.type);
    const std::string err = GetCapturedStderr();
    const std::string out = GetCapturedStdout();
    const std::string& shown = c.on_stdout ? out : err;
    const std::string& other = c.on_stdout ? err : out;
    EXPECT_EQ(std::string::npos, other.find(text));
    const std::vector<std::string> shown_lines = split_lines(shown);
    ASSERT_FALSE(shown_lines.empty());
    Line l;
    ASSERT_TRUE(parse_line(shown_lines.back(), &l)) << shown;
    EXPECT_EQ(c.label, l.label);
    EXPECT_EQ(text, l.text);
    // The same line went to the file.
    EXPECT_EQ(shown_lines.back(), split_lines(log_content()).back());
  }
}

// ---- file names ----

TEST_F(LoggerTest, FallbackNames) {
  const std::string base = log_path();
  for (int blocked = 0; blocked <= 6; ++blocked) {
    SCOPED_TRACE(blocked);
    remove_tree(cities);
    ASSERT_EQ(0, mkdir(cities));
    // A folder under a candidate's name makes that name unopenable.
    for (int n = 0; n < blocked; ++n) ASSERT_EQ(0, mkdir(n == 0 ? base : base + std::to_string(n)));
    const std::string expected = blocked == 0 ? base : base + std::to_string(std::min(blocked, 5));
    CaptureStderr();
    {
      SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
      EXPECT_EQ(expected, logger->log_path());
      LoggerUmbo::log("fallback", LoggerUmbo::MSG_ERROR);
    }
    const std::string err = GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("2 "));  // numbered on the console all the same
    EXPECT_NE(std::string::npos, err.find(" Error: ["));
    if (blocked < 6) {
      const std::vector<Line> lines = parse_all(keldra_test::read_file(expected));
      ASSERT_EQ(3u, lines.size());
      EXPECT_EQ("fallback", lines[1].text);
      EXPECT_EQ(2, lines[1].number);
    }
  }
}

TEST_F(LoggerTest, MissingFolderGivesConsoleOnly) {
  remove_tree(cities);
  CaptureStderr();
  LoggerUmbo::log("no folder", LoggerUmbo::MSG_ERROR);
  const std::string err = GetCapturedStderr();
  const std::vector<std::string> in_home = list_dir(home);
  EXPECT_EQ(in_home.end(), std::find(in_home.begin(), in_home.end(), ".cities"))
      << "the logger must not create its folder";
  bool found = false;
  for (const std::string& text : split_lines(err)) {
    Line l;
    if (parse_line(text, &l) && l.text == "no folder") {
      found = true;
      EXPECT_EQ(2, l.number);
    }
  }
  EXPECT_TRUE(found) << err;
}

TEST_F(LoggerTest, NameGivenToFirstInstance) {
  SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance(".cities/Other.log");
  EXPECT_EQ(cities + "/Other.log", logger->log_path());
  SharedPointer<LoggerUmbo> same = LoggerUmbo::instance(".cities/Ignored.log");
  EXPECT_EQ(logger.get(), same.get());
  LoggerUmbo::log("to other", LoggerUmbo::MSG_ERROR);
  EXPECT_NE(std::string::npos, keldra_test::read_file(cities + "/Other.log").find("]:to other\n"));
  EXPECT_EQ((std::vector<std::string>{"Other.log"}), list_dir(cities));
}

// ---- rotation ----

TEST_F(LoggerTest, StartNewLogRenamesLogAndDump) {
  SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  LoggerUmbo::log("before", LoggerUmbo::MSG_ERROR);
  const unsigned char msg[] = "packet";
  DumpCompactMessage(msg, 6, true, true);
  logger->start_new_log(false);
  LoggerUmbo::log("after", LoggerUmbo::MSG_ERROR);

  const std::vector<std::string> names = list_dir(cities);
  ASSERT_EQ(3u, names.size()) << testing::PrintToString(names);
  EXPECT_EQ("OstraMaps.dump.", names[0].substr(0, 15));
  const std::string stamp = names[0].substr(15);
  EXPECT_TRUE(std::regex_match(stamp, std::regex(kStamp))) << stamp;
  EXPECT_EQ("OstraMaps.log", names[1]);
  EXPECT_EQ("OstraMaps.log." + stamp, names[2]);  // both under the same time
  EXPECT_NE(std::string::npos, keldra_test::read_file(cities + "/" + names[0]).find("packet\n"));

  const std::vector<Line> old_lines = parse_all(keldra_test::read_file(cities + "/" + names[2]));
  EXPECT_EQ((std::vector<std::string>{"LoggerUmbo::LoggerUmbo", "before"}), texts_of(old_lines));
  const std::vector<Line> new_lines = parse_all(log_content());
  ASSERT_EQ(1u, new_lines.size());
  EXPECT_EQ("after", new_lines[0].text);
  EXPECT_EQ(3, new_lines[0].number);  // numbering goes on
}

TEST_F(LoggerTest, RepeatedStartNewLogNeverOverwrites) {
  SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  const int kRounds = 30;  // fast enough that several fall into one millisecond
  for (int i = 0; i < kRounds; ++i) {
    LoggerUmbo::log("round " + std::to_string(i), LoggerUmbo::MSG_ERROR);
    const unsigned char byte = static_cast<unsigned char>('A' + i);
    DumpCompactMessage(&byte, 1, false, true);
    logger->start_new_log(false);
  }
  std::set<std::string> log_rounds, dump_rounds;
  int logs = 0, dumps = 0;
  for (const std::string& name : list_dir(cities)) {
    const std::string content = keldra_test::read_file(cities + "/" + name);
    if (name.compare(0, 14, "OstraMaps.log.") == 0) {
      ++logs;
      for (const Line& l : parse_all(content)) {
        if (l.text.compare(0, 6, "round ") == 0) log_rounds.insert(l.text);
      }
    } else if (name.compare(0, 15, "OstraMaps.dump.") == 0) {
      ++dumps;
      dump_rounds.insert(content.substr(content.size() - 2, 1));
    }
  }
  EXPECT_EQ(kRounds, logs);
  EXPECT_EQ(kRounds, dumps);
  EXPECT_EQ(static_cast<size_t>(kRounds), log_rounds.size());
  EXPECT_EQ(static_cast<size_t>(kRounds), dump_rounds.size());
}

TEST_F(LoggerTest, StartNewLogDiscardRemovesFileInUse) {
  ASSERT_EQ(0, mkdir(log_path()));  // the fallback name 1 is in use
  SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  ASSERT_EQ(log_path() + "1", logger->log_path());
  LoggerUmbo::log("old line", LoggerUmbo::MSG_ERROR);
  const unsigned char msg[] = "x";
  DumpCompactMessage(msg, 1, true, false);
  ASSERT_NE("", keldra_test::read_file(dump_path()));

  logger->start_new_log(true);
  EXPECT_EQ(std::string::npos, keldra_test::read_file(log_path() + "1").find("old line"));
  EXPECT_EQ((std::vector<std::string>{"OstraMaps.log", "OstraMaps.log1"}), list_dir(cities));
  LoggerUmbo::log("new line", LoggerUmbo::MSG_ERROR);
  EXPECT_NE(std::string::npos, keldra_test::read_file(log_path() + "1").find("]:new line\n"));
}

// ---- dump ----

TEST_F(LoggerTest, DumpRecords) {
  const std::string binary("a\0b\nc", 5);
  struct Record {
    std::string data;
    bool up, direct;
    std::string head;
  } records[] = {
      {"abc", true, true, "      UP/DIRECT: "},
      {"", false, false, "    DOWN/SYNCML: "},
      {binary, true, false, "      UP/SYNCML: "},
      {"xyz", false, true, "    DOWN/DIRECT: "},
  };
  for (const Record& r : records) {
    DumpCompactMessage(reinterpret_cast<const unsigned char*>(r.data.data()),
                       static_cast<unsigned int>(r.data.size()), r.up, r.direct);
  }
  const std::string content = keldra_test::read_file(dump_path());
  size_t pos = 0;
  for (const Record& r : records) {
    ASSERT_LE(pos + 23, content.size());
    EXPECT_TRUE(std::regex_match(content.substr(pos, 23), std::regex(kTime)));
    pos += 23;
    const std::string rest = r.head + r.data + "\n";
    EXPECT_EQ(rest, content.substr(pos, rest.size()));
    pos += rest.size();
  }
  EXPECT_EQ(content.size(), pos);
}

TEST_F(LoggerTest, DumpOnlyWhenEveryTypeIsAllowed) {
  set_level("63");
  const unsigned char msg[] = "abc";
  DumpCompactMessage(msg, 3, true, true);
  EXPECT_EQ((std::vector<std::string>{"OstraMaps.log"}), list_dir(cities));
}

TEST_F(LoggerTest, DumpFileNotOpenableIsLogged) {
  ASSERT_EQ(0, mkdir(dump_path()));
  SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  const unsigned char msg[] = "abc";
  CaptureStderr();
  DumpCompactMessage(msg, 3, true, true);
  GetCapturedStderr();
  const std::vector<std::string> texts = texts_of(parse_all(log_content()));
  EXPECT_EQ("Can't open dump file, err 'Is a directory'", texts.back());
}

// ---- file rights ----

// The log and the dump hold user names, the server address and the user's places: only
// their owner may read them, whatever the process's umask, also when an older version
// left them readable by everyone.
TEST_F(LoggerTest, LogAndDumpAreReadableByTheOwnerOnly) {
  struct Case {
    const char* name;
    int earlier_mode;  // -1: no file before
  } cases[] = {
      {"OstraMaps.log", -1},
      {"OstraMaps.log", 0644},
      {"OstraMaps.dump", -1},
      {"OstraMaps.dump", 0666},
  };
  const mode_t old_umask = ::umask(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " earlier mode " + std::to_string(c.earlier_mode));
    const std::string path = cities + "/" + c.name;
    rm(path);
    if (c.earlier_mode >= 0) {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, c.earlier_mode);
      ASSERT_LE(0, fd);
      ::close(fd);
    }
    {
      SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
      LoggerUmbo::log("user 'someone' at https://server", LoggerUmbo::MSG_ERROR);
      const unsigned char msg[] = "place";
      DumpCompactMessage(msg, 5, true, true);
    }
    struct stat st;
    ASSERT_EQ(0, ::stat(path.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777u);
    EXPECT_LT(0, st.st_size);
  }
  ::umask(old_umask);
}

// ---- helpers for callers ----

TEST_F(LoggerTest, FormattedAndTraceLines) {
  {
    SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "value %d and %s", 42, "text");
    {
      LogTrace trace("Store::insert_object");
      LoggerUmbo::log("inside", LoggerUmbo::MSG_TRACE);
    }
  }
  set_level("2");
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "hidden %d", 1);
  {
    LogTrace trace("Hidden::trace");
  }
  EXPECT_EQ((std::vector<std::string>{"LoggerUmbo::LoggerUmbo", "value 42 and text",
                                      "Store::insert_object ++", "inside",
                                      "Store::insert_object --", "LoggerUmbo::~LoggerUmbo"}),
            texts_of(parse_all(log_content())));
}

TEST_F(LoggerTest, OlderLineFormGoesToStandardOutput) {
  SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  CaptureStdout();
  CaptureStderr();
  LoggerUmbo::log2("count", 42, LoggerUmbo::MSG_ERROR);
  const std::string err = GetCapturedStderr();
  const std::string out = GetCapturedStdout();
  EXPECT_EQ(std::string::npos, err.find("count"));
  const std::regex form(
      R"(^2 \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4} Error: \[[0-9a-f]+\]:count 42$)");
  EXPECT_TRUE(std::regex_match(split_lines(out).back(), form)) << out;
  EXPECT_EQ(split_lines(out).back(), split_lines(log_content()).back());
}

// ---- threads ----

TEST_F(LoggerTest, LinesOfAllThreadsCarryTheFirstThreadsId) {
  SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  const int kThreads = 4, kLines = 100;
  std::vector<std::thread> threads;
  CaptureStderr();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        LoggerUmbo::log("t" + std::to_string(t) + " " + std::to_string(i), LoggerUmbo::MSG_ERROR);
    });
  }
  for (std::thread& th : threads) th.join();
  GetCapturedStderr();
  const std::vector<Line> lines = parse_all(log_content());
  ASSERT_EQ(static_cast<size_t>(1 + kThreads * kLines), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(static_cast<int>(i + 1), lines[i].number);  // in the order written
    EXPECT_EQ(lines[0].thread, lines[i].thread);
  }
}

// Every log() without a holder creates and destroys a logger; threads doing so at the
// same time must neither share a dying logger nor lose lines.
TEST_F(LoggerTest, ConcurrentCreationAndRelease) {
  set_level("2");
  const int kThreads = 4, kLines = 200;
  std::vector<std::thread> threads;
  CaptureStderr();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < kLines; ++i) {
        LoggerUmbo::log("line", LoggerUmbo::MSG_ERROR);
        if (i % 10 == 0) LoggerUmbo::instance()->isTypeAllowed(LoggerUmbo::MSG_ERROR);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  GetCapturedStderr();
  EXPECT_EQ(static_cast<size_t>(kThreads * kLines), parse_all(log_content()).size());
}

// The first line of the process names its thread on standard error, once; it is run in
// a fresh process, where nothing has been logged yet.
TEST_F(LoggerTest, FirstLineNoticeOncePerProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string capture = home + "stderr.txt";
  EXPECT_EXIT(
      {
        const int saved = dup(2);
        const int fd = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        LoggerUmbo::log("one", LoggerUmbo::MSG_ERROR);
        // A logger re-created on another thread keeps the id and writes no notice.
        std::thread([] { LoggerUmbo::log("two", LoggerUmbo::MSG_ERROR); }).join();
        std::cerr.flush();
        dup2(saved, 2);
        const std::vector<std::string> lines = split_lines(keldra_test::read_file(capture));
        std::string id;
        int notices = 0;
        const std::regex notice(
            R"(^0 LoggerUmbo::internal_log: logging called for the first time for the LoggerUmbo, )"
            R"(thread is \[([0-9a-f]+)\]$)");
        std::smatch m;
        for (const std::string& l : lines) {
          if (std::regex_match(l, m, notice)) {
            ++notices;
            id = m[1];
          }
        }
        bool ids_match = notices == 1 && lines.size() == 7 && lines[0].find("0 LoggerUmbo::") == 0;
        for (size_t i = 1; i < lines.size(); ++i) {
          Line l;
          ids_match = ids_match && parse_line(lines[i], &l) && l.thread == id;
        }
        if (!ids_match) {
          std::cerr << "unexpected standard error:\n" << keldra_test::read_file(capture);
          std::_Exit(1);
        }
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
