#include "syncengine/TaskProgress.h"

#include <keldra/Invariant.h>
#include <keldra/LoggerUmbo.h>

#include <algorithm>

namespace orva {
namespace keldra {
namespace internal {

namespace {
// Assertion messages keep the file name and lines that field reports know them by.
const char kSource[] = "src/engine/TaskProgress.cpp";
}  // namespace

void TaskProgress::add_stage(float stage_progress_start) {
  // Written so that NaN fails too.
  KELDRA_INVARIANT(stage_progress_start >= 0 && stage_progress_start < 1.0,
                   "stage_progress_start >= 0 && stage_progress_start < 1.0", kSource, 37);
  if (!m_stages.empty()) {
    KELDRA_INVARIANT(stage_progress_start > m_stages[m_stages.size() - 1],
                     "stage_progress_start > m_stages[m_stages.size()-1]", kSource, 31);
  }
  m_stages.push_back(stage_progress_start);
}

void TaskProgress::start_next_stage() {
  if (m_current_stage >= m_stages.size()) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "m_current_stage < m_stages.size() m_current_stage: %d, m_stages.size(): %d ",
                     static_cast<int>(m_current_stage), static_cast<int>(m_stages.size()));
    KELDRA_INVARIANT(false, "m_current_stage < m_stages.size()", kSource, 52);
  }
  ++m_current_stage;
  m_stage_progress = 0.0f;
}

void TaskProgress::set_stage_progress(float stage_progress) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "TaskProgress::set_stage_progress: %.2f",
                   static_cast<double>(stage_progress));
  // Written so that NaN is refused too.
  if (m_stage_progress <= stage_progress && stage_progress <= 1.0f) {
    m_stage_progress = stage_progress;
    return;
  }
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "TaskProgress: assert m_stage_progress %g <= stage_progress %g <= 1",
                   static_cast<double>(m_stage_progress), static_cast<double>(stage_progress));
}

float TaskProgress::total_progress() const {
  float lower = 0.0f;
  float upper = 1.0f;
  if (!m_stages.empty()) {
    // Stages declared after finish() without reset() leave more stages started than
    // declared; the work then counts as past its last stage.
    const size_t started = std::min<size_t>(m_current_stage, m_stages.size());
    if (started > 0) lower = m_stages[started - 1];
    if (started < m_stages.size()) upper = m_stages[started];
  }
  return lower + (upper - lower) * m_stage_progress;
}

void TaskProgress::reset() {
  m_stages.clear();
  m_current_stage = 0;
  m_stage_progress = 0.0f;
}

void TaskProgress::finish() {
  m_stages.clear();
  m_stage_progress = 1.0f;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
