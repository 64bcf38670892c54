#include <keldra/CompositeCriterion.h>
#include <keldra/Criterion.h>
#include <keldra/PositionCriterion.h>
#include <keldra/StateCriterion.h>
#include <keldra/TextCriterion.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace orva::keldra;
using orva::GeoCoordinates;
using orva::GeoRect;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Criteria, ConstructionAndTypes) {
  Criterion plain;
  EXPECT_EQ(0, plain.get_type());
  EXPECT_EQ("", plain.get_class_name());
  EXPECT_EQ("", plain.get_service_id());
  Criterion of_class("location");
  EXPECT_EQ("location", of_class.get_class_name());
  EXPECT_EQ("", of_class.get_service_id());

  TextCriterion text(orva::ustring("Caf\xC3\xA9"));
  EXPECT_EQ(1, text.get_type());
  EXPECT_EQ(orva::ustring("Caf\xC3\xA9"), text.get_pattern());
  EXPECT_EQ(0u, text.get_options());
  EXPECT_TRUE(TextCriterion().get_pattern().empty());

  PositionCriterion position;
  EXPECT_EQ(2, position.get_type());
  GeoRect rect;
  position.get_rect(rect);
  EXPECT_FALSE(rect.is_valid());
  GeoCoordinates centre;
  double radius = 0;
  position.get_circle(centre, radius);
  EXPECT_FALSE(centre.is_valid());
  EXPECT_TRUE(std::isnan(radius));
  EXPECT_FALSE(position.is_bbox_checked());

  EXPECT_EQ(3, CompositeCriterion(CompositeCriterion::COMPOSITION_AND).get_type());

  StateCriterion state;
  EXPECT_EQ(4, state.get_type());
  EXPECT_FALSE(state.is_check_modified() || state.is_check_local_only_content() ||
               state.is_check_remote_only_content() || state.is_check_linked_modified());
  state.check_if_has_unloaded_content(false, true);
  state.check_if_has_unloaded_content(true, false);
  EXPECT_TRUE(state.is_check_local_only_content());
  EXPECT_FALSE(state.is_check_remote_only_content());
  state.check_if_modified(true);
  state.check_if_linked_modified(true);
  EXPECT_TRUE(state.is_check_modified());
  EXPECT_TRUE(state.is_check_linked_modified());
}

TEST(Criteria, RectangleEdges) {
  PositionCriterion position(48.1, 48.2, 11.5, 11.6);
  GeoRect rect;
  position.get_rect(rect);
  EXPECT_EQ(48.2, rect.get_top_left().get_latitude());
  EXPECT_EQ(11.5, rect.get_top_left().get_longitude());
  EXPECT_EQ(48.1, rect.get_bottom_right().get_latitude());
  EXPECT_EQ(11.6, rect.get_bottom_right().get_longitude());
  EXPECT_EQ(orva::ORVA_NO_VALUE, rect.get_top_left().get_altitude());
  EXPECT_EQ(orva::ORVA_NO_VALUE, rect.get_bottom_right().get_altitude());
  double s, n, w, e;
  position.get_rect(s, n, w, e);
  EXPECT_EQ(48.1, s);
  EXPECT_EQ(48.2, n);
  EXPECT_EQ(11.5, w);
  EXPECT_EQ(11.6, e);

  // Setting the circle keeps the rectangle, and the other way round.
  position.set_circle(GeoCoordinates(48.15, 11.55), 500.0);
  position.set_rect(10, 20, 30, 40);
  position.get_rect(s, n, w, e);
  EXPECT_EQ(10, s);
  EXPECT_EQ(40, e);
  GeoCoordinates centre;
  double radius;
  position.get_circle(centre, radius);
  EXPECT_EQ(GeoCoordinates(48.15, 11.55), centre);
  EXPECT_EQ(500.0, radius);

  // No valid rectangle: four NaN values.
  PositionCriterion circle(GeoCoordinates(1, 2), 3);
  circle.get_rect(s, n, w, e);
  EXPECT_TRUE(std::isnan(s) && std::isnan(n) && std::isnan(w) && std::isnan(e));
  PositionCriterion inverted(20, 10, 0, 1);  // south above north
  inverted.get_rect(s, n, w, e);
  EXPECT_TRUE(std::isnan(s) && std::isnan(n) && std::isnan(w) && std::isnan(e));
}

TEST(Criteria, MatchInMemory) {
  const GeoCoordinates inside(48.15, 11.55);
  const GeoCoordinates near(48.1505, 11.55);  // about 56 m north
  const GeoCoordinates outside(50.0, 11.55);
  struct Case {
    const char* name;
    PositionCriterion criterion;
    bool inside, near, outside;
  } cases[] = {
      {"default matches every point", PositionCriterion(), true, true, true},
      {"rectangle only", PositionCriterion(48.1, 48.2, 11.5, 11.6), true, true, false},
      {"circle only", PositionCriterion(inside, 100.0), true, true, false},
      {"small circle", PositionCriterion(inside, 10.0), true, false, false},
      {"NaN radius is no circle", PositionCriterion(inside, kNaN), true, true, true},
      {"infinite radius is no circle", PositionCriterion(inside, INFINITY), true, true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.inside, c.criterion.match(inside)) << c.name;
    EXPECT_EQ(c.near, c.criterion.match(near)) << c.name;
    EXPECT_EQ(c.outside, c.criterion.match(outside)) << c.name;
  }
  // Circle and rectangle: both must hold.
  PositionCriterion both(48.1, 48.1502, 11.5, 11.6);
  both.set_circle(inside, 100.0);
  EXPECT_TRUE(both.match(inside));
  EXPECT_FALSE(both.match(near));  // in the circle, north of the rectangle
  EXPECT_FALSE(both.match(GeoCoordinates(48.101, 11.501)));  // in the rectangle only
  // Edges belong to the rectangle; the bounding-box flag changes nothing.
  both.set_check_bbox(true);
  EXPECT_TRUE(both.is_bbox_checked());
  PositionCriterion edge(48.1, 48.2, 11.5, 11.6);
  EXPECT_TRUE(edge.match(GeoCoordinates(48.1, 11.5)));
  EXPECT_TRUE(edge.match(GeoCoordinates(48.2, 11.6)));
}

TEST(Criteria, CopiesKeepTheirFieldsAndBaseCopiesOnlyTheBase) {
  TextCriterion text(orva::ustring("joe"));
  text.set_class_name("location");
  text.set_service_id("personal");
  text.set_options(1);
  TextCriterion copy(text);
  EXPECT_EQ(text.get_pattern(), copy.get_pattern());
  EXPECT_EQ(1u, copy.get_options());
  EXPECT_EQ("location", copy.get_class_name());
  EXPECT_EQ("personal", copy.get_service_id());

  Criterion base = text;  // sliced on purpose
  EXPECT_EQ(0, base.get_type());
  EXPECT_EQ("location", base.get_class_name());
  EXPECT_EQ("personal", base.get_service_id());

  PositionCriterion position(GeoCoordinates(1, 2), 30);
  position.set_rect(0, 5, 0, 5);
  position.set_check_bbox(true);
  PositionCriterion position_copy = position;
  GeoCoordinates centre;
  double radius;
  position_copy.get_circle(centre, radius);
  EXPECT_EQ(GeoCoordinates(1, 2), centre);
  EXPECT_EQ(30, radius);
  EXPECT_TRUE(position_copy.is_bbox_checked());

  StateCriterion state;
  state.check_if_linked_modified(true);
  StateCriterion state_copy;
  state_copy = state;
  EXPECT_TRUE(state_copy.is_check_linked_modified());
  EXPECT_FALSE(state_copy.is_check_modified());
}

TEST(Criteria, CompositeKeepsFullArgumentsAndReportsBaseParts) {
  TextCriterion text(orva::ustring("joe*"));
  text.set_class_name("location");
  text.set_service_id("personal");
  PositionCriterion area(48.1, 48.2, 11.5, 11.6);
  CompositeCriterion composite(CompositeCriterion::COMPOSITION_AND);
  composite.set_service_id("personal");
  composite.add_argument(text);
  composite.add_argument(area);
  // The argument changes later; the composite holds its own copy.
  text.set_pattern(orva::ustring("other"));

  ASSERT_EQ(2u, composite.get_arguments().size());
  EXPECT_EQ(0, composite.get_arguments()[0].get_type());
  EXPECT_EQ("location", composite.get_arguments()[0].get_class_name());
  EXPECT_EQ("personal", composite.get_arguments()[0].get_service_id());
  EXPECT_EQ(0, composite.get_arguments()[1].get_type());

  ASSERT_EQ(1, composite.get_argument(0).get_type());
  EXPECT_EQ(orva::ustring("joe*"),
            static_cast<const TextCriterion&>(composite.get_argument(0)).get_pattern());
  ASSERT_EQ(2, composite.get_argument(1).get_type());
  double s, n, w, e;
  static_cast<const PositionCriterion&>(composite.get_argument(1)).get_rect(s, n, w, e);
  EXPECT_EQ(48.1, s);

  // A copy of the composite and a composite inside a composite keep everything.
  CompositeCriterion copy = composite;
  CompositeCriterion outer(CompositeCriterion::COMPOSITION_AND);
  outer.add_argument(copy);
  ASSERT_EQ(3, outer.get_argument(0).get_type());
  const CompositeCriterion& inner = static_cast<const CompositeCriterion&>(outer.get_argument(0));
  ASSERT_EQ(2u, inner.get_arguments().size());
  EXPECT_EQ(1, inner.get_argument(0).get_type());
  EXPECT_EQ(CompositeCriterion::COMPOSITION_AND, inner.get_composition_type());
  outer.set_composition_type(static_cast<CompositeCriterion::CriterionComposition>(2));
  EXPECT_EQ(2, static_cast<int>(outer.get_composition_type()));
}

}  // namespace
