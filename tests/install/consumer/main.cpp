// A small application built against the installed library.
#include <keldra/LoggerUmbo.h>
#include <keldra/SharedPointer.h>
#include <tervo/GeoRect.h>
#include <tervo/ustring.h>

#include <cstdio>

namespace {
struct Item : orva::internal::RefCountable {};
}  // namespace

int main() {
  orva::SharedPointer<Item> item(new Item);
  const orva::ustring street("Stra\xC3\x9F" "e");
  const orva::GeoRect across(170, -170, -10, 10);
  bool ok = item.is_valid() && street.length() == 6 && street.to_utf8() == "Stra\xC3\x9F" "e" &&
            across.contains(orva::GeoCoordinates(0, 179));
  // Without its level file the logger writes nothing.
  orva::SharedPointer<orva::keldra::internal::LoggerUmbo> logger =
      orva::keldra::internal::LoggerUmbo::instance();
  ok = ok && logger.is_valid();
  std::puts(ok ? "keldra consumer ok" : "keldra consumer FAILED");
  return ok ? 0 : 1;
}
