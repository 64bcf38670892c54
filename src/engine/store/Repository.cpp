#include <keldra/Repository.h>

namespace orva {
namespace keldra {

Repository::~Repository() {}

}  // namespace keldra
}  // namespace orva
