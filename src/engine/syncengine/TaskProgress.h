// Progress of work made of consecutive stages, folded into one fraction 0..1.
//
// The owner declares where each stage begins on the overall scale (add_stage), starts
// the stages in turn (start_next_stage) and reports the progress inside the running
// stage (set_stage_progress); total_progress() maps that onto the stage's span. The
// time before the first start counts as a stage from 0 to the first declared start;
// with no stages the span is 0..1. Stage progress only rises: lower or out-of-range
// values are logged and ignored.
//
// Declaring a start outside [0, 1), not above the previous one, or starting more
// stages than declared, breaks the caller's invariant and stops the process.
//
// A plain value held and copied by its owner; not thread-safe.
#pragma once

#include <cstdint>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class TaskProgress {
 public:
  TaskProgress() : m_current_stage(0), m_stage_progress(0.0f) {}

  void add_stage(float stage_progress_start);
  // Moves to the next declared stage and zeroes the stage progress.
  void start_next_stage();
  // Accepted when current <= stage_progress <= 1; otherwise logged and ignored.
  void set_stage_progress(float stage_progress);
  float stage_progress() const { return m_stage_progress; }
  float total_progress() const;

  // Drops the stages; progress 0.
  void reset();
  // Drops the stages; the total becomes 1.0. The count of started stages is kept.
  void finish();

 private:
  std::vector<float> m_stages;
  uint32_t m_current_stage;
  float m_stage_progress;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
