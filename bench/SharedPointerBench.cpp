// Reaching objects through orva::SharedPointer, whose -> and * check that an object is
// held, beside the baseline: the same walk through plain pointers. A list of nodes is
// walked from head to tail, reading one value per node; the ratio of the two is the
// cost of the check. Both walks run in the same program on the same nodes.
#include <keldra/SharedPointer.h>

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct Node : orva::internal::RefCountable {
  orva::SharedPointer<Node> next;
  Node* plain_next = nullptr;
  long value = 0;
};

constexpr int kNodes = 4096;

struct List {
  List() {
    nodes.reserve(kNodes);
    for (int i = 0; i < kNodes; ++i) {
      orva::SharedPointer<Node> node(new Node);
      node->value = i;
      nodes.push_back(node);
    }
    for (int i = 0; i + 1 < kNodes; ++i) {
      nodes[i]->next = nodes[i + 1];
      nodes[i]->plain_next = nodes[i + 1].get();
    }
  }
  ~List() {
    for (orva::SharedPointer<Node>& node : nodes) node->next.release();
  }
  std::vector<orva::SharedPointer<Node>> nodes;
};

List& list() {
  static List* l = new List;
  return *l;
}

// Baseline: plain pointers.
void BM_WalkPlainPointers(benchmark::State& state) {
  Node* head = list().nodes[0].get();
  for (auto _ : state) {
    long sum = 0;
    for (Node* n = head; n; n = n->plain_next) sum += n->value;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_WalkPlainPointers);

// Through SharedPointer's checked -> (each step reads the held pointer's next).
void BM_WalkSharedPointers(benchmark::State& state) {
  const orva::SharedPointer<Node>& head = list().nodes[0];
  for (auto _ : state) {
    long sum = 0;
    for (const orva::SharedPointer<Node>* n = &head; n->is_valid(); n = &(*n)->next)
      sum += (*n)->value;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_WalkSharedPointers);

// Gives the checked walk its ratio to the plain walk (column x_plain).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> out = runs;
    for (Run& run : out) {
      if (run.iterations == 0 || run.error_occurred) continue;
      // Single runs pair with single runs, means with means, medians with medians.
      const std::string kind = run.run_type == Run::RT_Aggregate ? run.aggregate_name : "";
      if (kind != "" && kind != "mean" && kind != "median") continue;
      const std::string name = run.benchmark_name();
      const double per_iteration = run.GetAdjustedRealTime();
      if (name.rfind("BM_WalkPlainPointers", 0) == 0) {
        plain_[kind] = per_iteration;
      } else if (name.rfind("BM_WalkSharedPointers", 0) == 0 && plain_[kind] > 0) {
        run.counters["x_plain"] = benchmark::Counter(per_iteration / plain_[kind]);
      }
    }
    ConsoleReporter::ReportRuns(out);
  }

 private:
  std::map<std::string, double> plain_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
