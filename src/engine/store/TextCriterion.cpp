#include <keldra/TextCriterion.h>

namespace orva {
namespace keldra {

TextCriterion::TextCriterion() : m_options(0) {}

TextCriterion::TextCriterion(const orva::ustring& pattern) : m_pattern(pattern), m_options(0) {}

TextCriterion::~TextCriterion() {}

int TextCriterion::get_type() const { return TYPE_TEXT; }

}  // namespace keldra
}  // namespace orva
