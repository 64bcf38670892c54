// TextCriterion: objects with a text field that matches a pattern.
//
// In the pattern '*' stands for any run of characters, '?' for exactly one, every
// other character for itself; case is ignored (both sides are case-folded and brought
// to compatibility decomposition). A pattern that is empty or made only of '*'
// matches every object of the class, also objects without any text.
//
// Options: OPTION_WORD_START asks for a match that begins at the start of any word of
// a text field and runs to the end of that text; without it the pattern must match a
// whole text field. No other bit has a meaning.
//
// A value; see Criterion (the service id "personal" is required).
#pragma once

#include <keldra/Criterion.h>

#include <tervo/ustring.h>

namespace orva {
namespace keldra {

class TextCriterion : public Criterion {
 public:
  static constexpr unsigned int OPTION_WORD_START = 1;

  TextCriterion();
  explicit TextCriterion(const orva::ustring& pattern);
  ~TextCriterion();

  const orva::ustring& get_pattern() const { return m_pattern; }
  void set_pattern(const orva::ustring& pattern) { m_pattern = pattern; }
  unsigned int get_options() const { return m_options; }
  void set_options(unsigned int options) { m_options = options; }

  int get_type() const override;

 private:
  orva::ustring m_pattern;
  unsigned int m_options;
};

}  // namespace keldra
}  // namespace orva
