#include <keldra/Search.h>

namespace orva {
namespace keldra {

Search::~Search() {}

}  // namespace keldra
}  // namespace orva
