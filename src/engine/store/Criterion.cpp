#include <keldra/Criterion.h>

namespace orva {
namespace keldra {

Criterion::Criterion() {}

Criterion::Criterion(const std::string& class_name) : m_class_name(class_name) {}

Criterion::~Criterion() {}

int Criterion::get_type() const { return TYPE_CLASS; }

}  // namespace keldra
}  // namespace orva
