// StateCriterion: objects in given stored states. An object matches when any set flag
// holds for it:
// - modified: its state is new (1) or changed (2);
// - local-only content: a positive upload-dependency counter (something to upload);
// - remote-only content: a positive download-dependency counter (something to fetch);
// - linked objects modified: a positive linked-modification counter.
// With no flag set the criterion cannot be searched (the search refuses it with 3).
//
// A value; see Criterion.
#pragma once

#include <keldra/Criterion.h>

namespace orva {
namespace keldra {

class StateCriterion : public Criterion {
 public:
  StateCriterion();
  ~StateCriterion();

  void check_if_modified(bool check) { m_modified = check; }
  // Sets both content flags at once.
  void check_if_has_unloaded_content(bool local_only, bool remote_only) {
    m_local_only_content = local_only;
    m_remote_only_content = remote_only;
  }
  void check_if_linked_modified(bool check) { m_linked_modified = check; }

  bool is_check_modified() const { return m_modified; }
  bool is_check_local_only_content() const { return m_local_only_content; }
  bool is_check_remote_only_content() const { return m_remote_only_content; }
  bool is_check_linked_modified() const { return m_linked_modified; }

  int get_type() const override;

 private:
  bool m_modified;
  bool m_local_only_content;
  bool m_remote_only_content;
  bool m_linked_modified;
};

}  // namespace keldra
}  // namespace orva
