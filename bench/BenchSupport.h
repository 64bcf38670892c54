// What the benchmark programs share: a reporter that keeps each benchmark's median times
// for the ratios printed after the run, the temporary folder a program works in, and the
// process's memory figures (keldra_test::status_kib and keldra_test::PeakMemory, which the
// tests use too).
#pragma once

#include "../tests/support/PeakMemory.h"

#include <benchmark/benchmark.h>

#include <keldra/LoggerUmbo.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace keldra_bench {

// The console output, plus the median real and CPU time of every benchmark run with
// repetitions, kept under its function name and under "name/args" (args as Google
// Benchmark writes them, empty for a benchmark without arguments). A program derives
// from it and prints its ratios in Finalize().
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
      const std::string& name = run.run_name.function_name;
      for (const std::string& key : {name, name + "/" + run.run_name.args}) {
        times[key] = run.GetAdjustedRealTime();
        cpu_times[key] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

 protected:
  bool has(const std::string& name) const { return times.count(name) != 0; }

  // Prints "label: a/b (CPU time: a/b)" when both were measured.
  void ratio(const char* label, const std::string& a, const std::string& b) {
    if (has(a) && has(b) && times[b] > 0 && cpu_times[b] > 0) {
      std::printf("%s: %.3f (CPU time: %.3f)\n", label, times[a] / times[b],
                  cpu_times[a] / cpu_times[b]);
    }
  }

  std::map<std::string, double> times;
  std::map<std::string, double> cpu_times;
};

// A new folder under /tmp for the program's files, with the library's logging off
// whatever the machine's level file says; empty when it cannot be made.
inline std::string make_bench_folder() {
  char pattern[] = "/tmp/keldra-bench-XXXXXX";
  if (!mkdtemp(pattern)) return std::string();
  const std::string folder = pattern;
  orva::keldra::internal::LoggerUmbo::set_level_file_path(folder + "/no_log_level");
  return folder;
}

// Removes the folder; the program's exit status.
inline int remove_bench_folder(const std::string& folder) {
  const std::string rm = "rm -rf '" + folder + "'";
  return std::system(rm.c_str()) == 0 ? 0 : 1;
}

}  // namespace keldra_bench
