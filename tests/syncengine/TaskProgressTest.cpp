#include "syncengine/TaskProgress.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using orva::keldra::internal::TaskProgress;

// One call on the tracker and what it reports afterwards.
struct Step {
  enum Op { ADD, START, SET, FINISH, RESET } op;
  float value;  // for ADD and SET
  float total;  // total_progress() afterwards
  float stage;  // stage_progress() afterwards
};

struct Case {
  const char* name;
  std::vector<Step> steps;
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class TaskProgressCase : public ::testing::TestWithParam<Case> {};

TEST_P(TaskProgressCase, ReportsAfterEachStep) {
  TaskProgress progress;
  EXPECT_EQ(progress.total_progress(), 0.0f);
  int index = 0;
  for (const Step& step : GetParam().steps) {
    switch (step.op) {
      case Step::ADD:
        progress.add_stage(step.value);
        break;
      case Step::START:
        progress.start_next_stage();
        break;
      case Step::SET:
        progress.set_stage_progress(step.value);
        break;
      case Step::FINISH:
        progress.finish();
        break;
      case Step::RESET:
        progress.reset();
        break;
    }
    // Exact: the results are single-precision values the tracker must reproduce.
    EXPECT_EQ(progress.total_progress(), step.total) << "after step " << index;
    EXPECT_EQ(progress.stage_progress(), step.stage) << "after step " << index;
    ++index;
  }
}

// The expected totals are computed in single precision, as the tracker does.
float span(float lower, float upper, float p) { return lower + (upper - lower) * p; }

INSTANTIATE_TEST_SUITE_P(
    Stages, TaskProgressCase,
    ::testing::Values(Case{"NoStagesSpanZeroToOne",
                           {{Step::SET, 0.5f, 0.5f, 0.5f}, {Step::SET, 1.0f, 1.0f, 1.0f}}},
                      Case{"TwoStages",
                           {{Step::ADD, 0.01f, 0.0f, 0.0f},
                            {Step::ADD, 0.5f, 0.0f, 0.0f},
                            // Before the first start: a stage of its own from 0 to the first start.
                            {Step::SET, 0.5f, span(0.0f, 0.01f, 0.5f), 0.5f},
                            {Step::START, 0, 0.01f, 0.0f},
                            {Step::SET, 0.5f, span(0.01f, 0.5f, 0.5f), 0.5f},
                            {Step::START, 0, 0.5f, 0.0f},
                            {Step::SET, 1.0f, 1.0f, 1.0f}}},
                      Case{"ThirdOfThreeStages",
                           {{Step::ADD, 0.01f, 0.0f, 0.0f},
                            {Step::ADD, 0.25f, 0.0f, 0.0f},
                            {Step::ADD, 0.75f, 0.0f, 0.0f},
                            {Step::START, 0, 0.01f, 0.0f},
                            {Step::START, 0, 0.25f, 0.0f},
                            {Step::START, 0, 0.75f, 0.0f},
                            {Step::SET, 0.5f, 0.875f, 0.5f}}},
                      Case{"LowerHigherAndNaNValuesIgnored",
                           {{Step::SET, 0.3f, 0.3f, 0.3f},
                            {Step::SET, 0.2f, 0.3f, 0.3f},
                            {Step::SET, 0.3f, 0.3f, 0.3f},
                            {Step::SET, 1.5f, 0.3f, 0.3f},
                            {Step::SET, -0.1f, 0.3f, 0.3f},
                            {Step::SET, kNaN, 0.3f, 0.3f},
                            {Step::SET, 1.0f, 1.0f, 1.0f},
                            {Step::SET, 0.9f, 1.0f, 1.0f}}},
                      Case{"StartZeroesCompletedStage",
                           {{Step::ADD, 0.0f, 0.0f, 0.0f},
                            {Step::ADD, 0.6f, 0.0f, 0.0f},
                            {Step::START, 0, 0.0f, 0.0f},
                            {Step::SET, 1.0f, 0.6f, 1.0f},
                            {Step::START, 0, 0.6f, 0.0f},
                            {Step::SET, 0.5f, span(0.6f, 1.0f, 0.5f), 0.5f}}},
                      Case{"FinishGivesOneResetGivesZero",
                           {{Step::ADD, 0.2f, 0.0f, 0.0f},
                            {Step::ADD, 0.4f, 0.0f, 0.0f},
                            {Step::START, 0, 0.2f, 0.0f},
                            {Step::FINISH, 0, 1.0f, 1.0f},
                            {Step::RESET, 0, 0.0f, 0.0f},
                            {Step::SET, 0.25f, 0.25f, 0.25f}}},
                      // finish() keeps the count of started stages; stages declared afterwards
                      // without reset() must not make the tracker read past its stages.
                      Case{"StagesDeclaredAfterFinishCountAsPast",
                           {{Step::ADD, 0.1f, 0.0f, 0.0f},
                            {Step::ADD, 0.2f, 0.0f, 0.0f},
                            {Step::ADD, 0.3f, 0.0f, 0.0f},
                            {Step::START, 0, 0.1f, 0.0f},
                            {Step::START, 0, 0.2f, 0.0f},
                            {Step::START, 0, 0.3f, 0.0f},
                            {Step::FINISH, 0, 1.0f, 1.0f},
                            {Step::ADD, 0.5f, 1.0f, 1.0f}}},
                      Case{"FirstStageAtZeroSecondAnywhereBelowOne",
                           {{Step::ADD, 0.0f, 0.0f, 0.0f},
                            {Step::ADD, 0.999f, 0.0f, 0.0f},
                            {Step::START, 0, 0.0f, 0.0f},
                            {Step::SET, 0.5f, span(0.0f, 0.999f, 0.5f), 0.5f}}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(TaskProgress, CopiesAreIndependent) {
  TaskProgress a;
  a.add_stage(0.5f);
  TaskProgress b = a;
  b.start_next_stage();
  b.set_stage_progress(0.5f);
  EXPECT_EQ(a.total_progress(), 0.0f);
  EXPECT_EQ(b.total_progress(), 0.75f);
}

TEST(TaskProgress, IgnoredValueIsLogged) {
  keldra_test::LogCapture log;
  TaskProgress progress;
  progress.set_stage_progress(0.5f);
  progress.set_stage_progress(1.5f);
  EXPECT_TRUE(log.has("TaskProgress::set_stage_progress: 0.50"));
  EXPECT_TRUE(log.has("TaskProgress::set_stage_progress: 1.50"));
  EXPECT_TRUE(log.has("TaskProgress: assert m_stage_progress 0.5 <= stage_progress 1.5 <= 1"));
}

struct BrokenCall {
  const char* name;
  void (*call)();
  const char* message;
};

void PrintTo(const BrokenCall& c, std::ostream* os) { *os << c.name; }

class TaskProgressInvariant : public ::testing::TestWithParam<BrokenCall> {};

TEST_P(TaskProgressInvariant, StopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(GetParam().call(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Caller, TaskProgressInvariant,
    ::testing::Values(
        BrokenCall{"StartBelowZero", [] { TaskProgress().add_stage(-0.01f); },
                   "TaskProgress.cpp:37: .*stage_progress_start >= 0 && stage_progress_start "
                   "< 1.0"},
        BrokenCall{"StartAtOne", [] { TaskProgress().add_stage(1.0f); }, "TaskProgress.cpp:37"},
        BrokenCall{"StartNaN", [] { TaskProgress().add_stage(kNaN); }, "TaskProgress.cpp:37"},
        BrokenCall{"StartNotAboveLast",
                   [] {
                     TaskProgress p;
                     p.add_stage(0.5f);
                     p.add_stage(0.5f);
                   },
                   "TaskProgress.cpp:31: .*stage_progress_start > "
                   "m_stages\\[m_stages.size\\(\\)-1\\]"},
        BrokenCall{"MoreStartsThanStages",
                   [] {
                     TaskProgress p;
                     p.add_stage(0.5f);
                     p.start_next_stage();
                     p.start_next_stage();
                   },
                   "TaskProgress.cpp:52: .*m_current_stage < m_stages.size\\(\\)"},
        BrokenCall{"StartWithoutStages", [] { TaskProgress().start_next_stage(); },
                   "TaskProgress.cpp:52"}),
    [](const ::testing::TestParamInfo<BrokenCall>& info) { return std::string(info.param.name); });

}  // namespace
