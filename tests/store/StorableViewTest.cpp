// Storable views: storing inserts then updates, loading binds a fresh copy of the
// stored object, and every failure leaves the view as it was. Each view kind is one
// row of kKinds and runs every test.
#include "StoreTestSupport.h"

#include <keldra/MapsLocation.h>
#include <keldra/ObjectHandle.h>
#include <keldra/StorableBoundedObject.h>
#include <keldra/StorableCollection.h>
#include <keldra/StorableLocation.h>
#include <keldra/StorableMultimedia.h>
#include <keldra/StorableObject.h>
#include <keldra/StorableObjectBase.h>
#include <keldra/StorableRoute.h>
#include <keldra/Store.h>

#include <tervo/ustring.h>

#include <memory>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::ErrorCode;
using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Object;
using orva::keldra::ObjectHandle;
using orva::keldra::StorableObjectBase;

// One storable view behind a common face, so that every kind runs the same tests.
class Subject {
 public:
  virtual ~Subject() {}
  virtual ObjectHandle& view() = 0;
  virtual StorableObjectBase& storable() = 0;
  // The name in the view's metadata (created on the first write).
  virtual ErrorCode set_name(const std::string& name) = 0;
  virtual std::string name() const = 0;
  // A copy-constructed view.
  virtual std::unique_ptr<Subject> copy() const = 0;
};

template <class View>
class SubjectOf : public Subject {
 public:
  SubjectOf() {}
  explicit SubjectOf(const View& other) : m_view(other) {}
  ObjectHandle& view() override { return m_view; }
  StorableObjectBase& storable() override { return m_view; }
  ErrorCode set_name(const std::string& name) override {
    return m_view.metadata().set_name(ustring(name.c_str()), ustring());
  }
  std::string name() const override {
    ustring text;
    return m_view.metadata().get_name(text, ustring()) ? text.to_utf8() : "<none>";
  }
  std::unique_ptr<Subject> copy() const override {
    return std::unique_ptr<Subject>(new SubjectOf<View>(m_view));
  }

 private:
  View m_view;
};

template <class View>
std::unique_ptr<Subject> make_subject() {
  return std::unique_ptr<Subject>(new SubjectOf<View>());
}

struct Kind {
  const char* name;
  // The class the view creates and accepts; "" for the views that accept any class.
  const char* class_name;
  std::unique_ptr<Subject> (*make)();
};

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }

const Kind kKinds[] = {
    {"StorableObject", "", make_subject<orva::keldra::StorableObject>},
    {"StorableBoundedObject", "", make_subject<orva::keldra::StorableBoundedObject>},
    {"StorableCollection", "collection", make_subject<orva::keldra::StorableCollection>},
    {"StorableLocation", "location", make_subject<orva::keldra::StorableLocation>},
    {"MapsLocation", "location", make_subject<orva::keldra::MapsLocation>},
    {"StorableMultimedia", "multimedia", make_subject<orva::keldra::StorableMultimedia>},
    {"StorableRoute", "route", make_subject<orva::keldra::StorableRoute>},
};

class StorableViewTest : public StoreTest, public ::testing::WithParamInterface<Kind> {
 protected:
  bool any_class() const { return std::string(GetParam().class_name).empty(); }
  // The class of the objects this kind stores: its own, or one picked for the views
  // without class.
  std::string stored_class() const { return any_class() ? "route" : GetParam().class_name; }
  // A class that is not this kind's.
  std::string other_class() const { return stored_class() == "route" ? "collection" : "route"; }

  // Keeps, without a call, an object of |class_name| named |name|; returns its local
  // id. Names are written and read back through a StorableObject, apart from the view
  // under test.
  unsigned int put_named(const std::string& class_name, const std::string& name) {
    orva::keldra::StorableObject writer;
    writer.attach(make_object(class_name));
    EXPECT_EQ(0, writer.metadata().set_name(ustring(name.c_str()), ustring()));
    return put(*writer.object());
  }
  unsigned int put_named(const std::string& name) { return put_named(stored_class(), name); }

  std::string stored_name(unsigned int local_id) {
    orva::keldra::StorableObject reader;
    reader.attach(stored(local_id));
    ustring text;
    return reader.metadata().get_name(text, ustring()) ? text.to_utf8() : "<none>";
  }
};

TEST_P(StorableViewTest, StoringAViewWithoutObjectWritesNothing) {
  std::unique_ptr<Subject> subject = GetParam().make();
  EXPECT_EQ(ORVA_ERROR_NOT_SUPPORTED, subject->storable().store(m_store));
  EXPECT_FALSE(subject->view().is_safe());
  EXPECT_TRUE(calls().empty());
}

TEST_P(StorableViewTest, FirstStoreInsertsAndLaterStoresUpdate) {
  std::unique_ptr<Subject> subject = GetParam().make();
  ASSERT_EQ(0, subject->set_name("Harbour"));
  ASSERT_TRUE(subject->view().is_safe());
  EXPECT_EQ(GetParam().class_name, subject->view().object()->get_class_name());
  if (any_class()) {
    // An object the view made itself has no class, which the store refuses.
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, subject->storable().store(m_store));
    EXPECT_TRUE(calls().empty());
    subject->view().object()->set_class_name(stored_class());
  }

  ASSERT_EQ(0, subject->storable().store(m_store));
  const unsigned int id = subject->view().get_local_id();
  ASSERT_NE(0u, id);
  EXPECT_FALSE(subject->view().object()->is_modified());
  EXPECT_EQ("Harbour", stored_name(id));

  ASSERT_EQ(0, subject->set_name("Old harbour"));
  ASSERT_EQ(0, subject->storable().store(m_store));
  EXPECT_EQ(id, subject->view().get_local_id());
  EXPECT_EQ("Old harbour", stored_name(id));
  EXPECT_EQ(std::vector<std::string>({"insert", "update " + std::to_string(id)}), calls());
}

TEST_P(StorableViewTest, StoreReportsTheStoresRefusalAndFailure) {
  std::unique_ptr<Subject> subject = GetParam().make();
  subject->view().attach(make_object(stored_class()));
  subject->view().set_sharing(static_cast<orva::keldra::SharingModel>(3));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, subject->storable().store(m_store));
  EXPECT_TRUE(calls().empty());

  subject->view().set_sharing(orva::keldra::SHARING_PRIVATE);
  set_failing(true);
  EXPECT_EQ(kFailedTransaction, subject->storable().store(m_store));
  EXPECT_EQ(0u, subject->view().get_local_id());
}

TEST_P(StorableViewTest, LoadedViewsHoldCopiesOfTheirOwn) {
  const unsigned int id = put_named("Lighthouse");
  std::unique_ptr<Subject> first = GetParam().make();
  std::unique_ptr<Subject> second = GetParam().make();
  ASSERT_EQ(0, first->storable().load(m_store, id));
  ASSERT_EQ(0, second->storable().load(m_store, id));
  EXPECT_EQ(id, first->view().get_local_id());
  EXPECT_EQ(stored_class(), first->view().object()->get_class_name());
  EXPECT_EQ("Lighthouse", first->name());
  EXPECT_NE(first->view().object(), second->view().object());

  ASSERT_EQ(0, first->set_name("Beacon"));
  EXPECT_EQ("Lighthouse", second->name());
  EXPECT_EQ("Lighthouse", stored_name(id));

  ASSERT_EQ(0, first->storable().store(m_store));
  EXPECT_EQ("Lighthouse", second->name());
  ASSERT_EQ(0, second->storable().load(m_store, id));
  EXPECT_EQ("Beacon", second->name());
}

// A view that fails to load keeps its object and what it showed, bound or not.
TEST_P(StorableViewTest, FailedLoadLeavesTheViewAsItWas) {
  const unsigned int other = put_named(other_class(), "Elsewhere");
  struct Case {
    const char* what;
    unsigned int local_id;
    bool failing;
    ErrorCode expected;
  };
  std::vector<Case> cases = {
      {"local id 0", 0, false, ORVA_ERROR_NOT_FOUND},
      {"unknown local id", 99, false, ORVA_ERROR_NOT_FOUND},
      {"database fails", other, true, kFailedTransaction},
  };
  if (!any_class()) {
    cases.push_back({"object of another class", other, false, ORVA_ERROR_KELDRA_WRONG_TYPE});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    set_failing(c.failing);

    std::unique_ptr<Subject> unbound = GetParam().make();
    EXPECT_EQ(c.expected, unbound->storable().load(m_store, c.local_id));
    EXPECT_FALSE(unbound->view().is_safe());

    std::unique_ptr<Subject> bound = GetParam().make();
    bound->view().attach(make_object(stored_class()));
    ASSERT_EQ(0, bound->set_name("Kept"));
    const SharedPointer<Object> held = bound->view().object();
    EXPECT_EQ(c.expected, bound->storable().load(m_store, c.local_id));
    EXPECT_EQ(held, bound->view().object());
    EXPECT_EQ(stored_class(), held->get_class_name());
    EXPECT_EQ(0u, held->get_local_id());
    EXPECT_EQ("Kept", bound->name());
  }
}

// The views without class load an object of any class and tell its class; the typed
// ones refuse it and stay unbound.
TEST_P(StorableViewTest, OnlyViewsWithoutClassLoadAnotherClass) {
  const unsigned int id = put_named(other_class(), "Anything");
  std::unique_ptr<Subject> subject = GetParam().make();
  if (any_class()) {
    ASSERT_EQ(0, subject->storable().load(m_store, id));
    EXPECT_EQ(other_class(), subject->view().object()->get_class_name());
    EXPECT_EQ("Anything", subject->name());
  } else {
    EXPECT_EQ(ORVA_ERROR_KELDRA_WRONG_TYPE, subject->storable().load(m_store, id));
    EXPECT_FALSE(subject->view().is_safe());
  }
}

// A copy holds an object of its own with the source's content, identity and class,
// so storing it writes over the same stored object.
TEST_P(StorableViewTest, CopyKeepsTheClassAndStoresOverTheSource) {
  const unsigned int id = put_named("Pier");
  std::unique_ptr<Subject> source = GetParam().make();
  ASSERT_EQ(0, source->storable().load(m_store, id));

  std::unique_ptr<Subject> copy = source->copy();
  ASSERT_TRUE(copy->view().is_safe());
  EXPECT_NE(source->view().object(), copy->view().object());
  EXPECT_EQ(stored_class(), copy->view().object()->get_class_name());
  EXPECT_EQ(id, copy->view().get_local_id());
  EXPECT_EQ("Pier", copy->name());

  ASSERT_EQ(0, copy->set_name("Long pier"));
  EXPECT_EQ("Pier", source->name());
  ASSERT_EQ(0, copy->storable().store(m_store));
  EXPECT_EQ("Long pier", stored_name(id));
  EXPECT_EQ(std::vector<std::string>({"get " + std::to_string(id), "update " + std::to_string(id)}),
            calls());
}

// Assigning into a view without class gives its object the source object's class
// too, whatever class the object had.
using StorableCopyTest = StoreTest;

TEST_F(StorableCopyTest, AssignmentIntoAViewWithoutClassTakesTheSourcesClass) {
  orva::keldra::StorableBoundedObject source;
  source.attach(make_object("route", "Coast road"));
  ASSERT_EQ(0, source.bounding_box().set_min_altitude(5.0f));

  orva::keldra::StorableBoundedObject unbound;
  orva::keldra::StorableBoundedObject holding;
  holding.attach(make_object("collection", "Saunas"));
  const SharedPointer<Object> held = holding.object();
  for (orva::keldra::StorableBoundedObject* target : {&unbound, &holding}) {
    *target = source;
    ASSERT_TRUE(target->is_safe());
    EXPECT_NE(source.object(), target->object());
    EXPECT_EQ("route", target->object()->get_class_name());
    EXPECT_EQ("Coast road", target->object()->get_name());
    EXPECT_EQ(5.0f, target->bounding_box().get_min_altitude());
  }
  EXPECT_EQ(held, holding.object());

  // A copy binds its bounding box too.
  orva::keldra::StorableBoundedObject copy(source);
  EXPECT_EQ(5.0f, copy.bounding_box().get_min_altitude());
  ASSERT_EQ(0, copy.bounding_box().set_min_altitude(7.0f));
  EXPECT_EQ(5.0f, source.bounding_box().get_min_altitude());
  ASSERT_EQ(0, copy.store(m_store));
  EXPECT_EQ("route", stored(copy.get_local_id())->get_class_name());
}

INSTANTIATE_TEST_SUITE_P(Kinds, StorableViewTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace keldra_test
