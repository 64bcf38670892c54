// Texts per language, rich texts and tag lists.
#include "support/SampleViews.h"

#include <keldra/Field.h>
#include <keldra/FieldList.h>

#include <vector>

namespace keldra_test {
namespace {

using orva::ustring;
using orva::keldra::TagList;
using orva::keldra::Text;
using orva::keldra::TextArray;
using orva::keldra::TextLangCompare;

typedef std::vector<ustring> Texts;

// ---- Text ----

TEST_F(ViewTest, TextFormsAreIndependent) {
  Text text;
  ASSERT_EQ(0, text.set_rich_text(ustring("<b>x</b>")));
  ASSERT_EQ(0, text.set_rich_text_mime(ustring("text/html")));
  ASSERT_EQ(0, text.set_text(ustring("x")));
  const unsigned short units[] = {'y', 'z', '!'};
  ASSERT_EQ(0, text.set_rich_text(units, 2));
  EXPECT_EQ(":text(rich_text,mime,text)", name_tree(*text.attribute()));
  ustring plain, rich, mime;
  EXPECT_TRUE(text.get_text(plain));
  EXPECT_TRUE(text.get_rich_text(rich));
  EXPECT_TRUE(text.get_rich_text_mime(mime));
  EXPECT_EQ(ustring("x"), plain);
  EXPECT_EQ(ustring("yz"), rich);
  EXPECT_EQ(ustring("text/html"), mime);
  EXPECT_EQ(1u, text.get_text_length());
  EXPECT_EQ(2u, text.get_rich_text_length());
  EXPECT_EQ(0, text.set_text(units, 3));
  EXPECT_EQ(3u, text.get_text_length());

  ustring language("kept");
  EXPECT_FALSE(text.get_language(language));
  EXPECT_EQ(ustring("kept"), language);
}

TEST_F(ViewTest, EmptyLanguageRemovesTheField) {
  Text text;
  EXPECT_EQ(0, text.set_language(ustring()));
  EXPECT_FALSE(text.is_safe());  // nothing to remove, nothing created
  EXPECT_EQ(0, text.set_language(ustring("fi")));
  EXPECT_EQ(0, text.set_text(ustring("t")));
  text.attribute()->add_field(handle("language"))->set_value(std::string("sv"));
  EXPECT_EQ(0, text.set_language(ustring()));
  EXPECT_EQ(":text(text)", name_tree(*text.attribute()));
}

TEST_F(ViewTest, TextOfAnotherTypeReadsAsPresentButLeavesOutput) {
  Text text;
  ASSERT_TRUE(text.init());
  text.attribute()->prepare_field("text")->set_value(5);
  ustring out("kept");
  EXPECT_TRUE(text.get_text(out));
  EXPECT_EQ(ustring("kept"), out);
}

// ---- TextArray ----

// A card whose lines hold the given (text, language) pairs; "-" stands for none.
class TextArrayTest : public ViewTest {
 protected:
  void fill(std::initializer_list<std::pair<const char*, const char*> > entries) {
    for (const auto& e : entries) {
      SharedPointer<Text> entry = lines().add_item();
      ASSERT_TRUE(entry.is_valid());
      entry->set_text(ustring(e.first));
      if (std::string(e.second) != "-") entry->set_language(ustring(e.second));
    }
  }
  TextArray& lines() { return m_card.lines(); }

  TestCard m_card;
};

TEST_F(TextArrayTest, LookupByLanguage) {
  fill({{"A", "-"}, {"B", "en"}, {"C", "fi"}, {"D", "-"}});
  const struct {
    const char* language;
    int index;
    const char* text;
  } cases[] = {
      {"", 0, "A"}, {"en", 1, "B"}, {"fi", 2, "C"}, {"sv", -1, "kept"}, {"EN", -1, "kept"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    ustring text("kept");
    EXPECT_EQ(c.index, lines().get_text_by_language(ustring(c.language), text));
    EXPECT_EQ(ustring(c.text), text);
    int index = 99;
    SharedPointer<Text> entry = lines().get_item_by_language(ustring(c.language), index);
    EXPECT_EQ(c.index, index);
    EXPECT_EQ(c.index >= 0, entry.is_valid());
    EXPECT_EQ(entry, lines().get_item_by_language(ustring(c.language)));
  }
}

TEST_F(TextArrayTest, EmptyLanguageFallsBackToFirstEntryOnlyWithoutNeutralOne) {
  int index = 99;
  EXPECT_FALSE(lines().get_item_by_language(ustring(), index).is_valid());
  EXPECT_EQ(-1, index);

  fill({{"B", "en"}, {"C", "fi"}});
  ustring text;
  EXPECT_EQ(0, lines().get_text_by_language(ustring(), text));
  EXPECT_EQ(ustring("B"), text);

  // The second entry loses its language and becomes the neutral one.
  lines().get_item(1)->set_language(ustring());
  EXPECT_EQ(1, lines().get_text_by_language(ustring(), text));
  EXPECT_EQ(ustring("C"), text);
}

TEST_F(TextArrayTest, AddTextKeepsOneEntryPerLanguage) {
  EXPECT_EQ(0, lines().add_text(ustring("A"), ustring()));
  EXPECT_EQ(0, lines().add_text(ustring("B"), ustring("en")));
  EXPECT_EQ(0, lines().add_text(ustring("B2"), ustring("en")));
  EXPECT_EQ(0, lines().add_text(ustring("A2"), ustring()));
  EXPECT_EQ(2u, lines().count());
  EXPECT_EQ(":card[line:text(text) line:text(text,language)]", name_tree(*m_card.attribute()));
  ustring text;
  EXPECT_EQ(0, lines().get_text_by_language(ustring(), text));
  EXPECT_EQ(ustring("A2"), text);
  EXPECT_EQ(1, lines().get_text_by_language(ustring("en"), text));
  EXPECT_EQ(ustring("B2"), text);
}

TEST_F(TextArrayTest, RichTextSharesTheEntryWithThePlainText) {
  EXPECT_EQ(0, lines().add_text(ustring("plain"), ustring("en")));
  EXPECT_EQ(0, lines().add_rich_text(ustring("<i>rich</i>"), ustring("text/html"), ustring("en")));
  EXPECT_EQ(1u, lines().count());
  ustring text, rich, mime;
  EXPECT_EQ(0, lines().get_text_by_language(ustring("en"), text));
  EXPECT_EQ(0, lines().get_rich_text_by_language(ustring("en"), rich, mime));
  EXPECT_EQ(ustring("plain"), text);
  EXPECT_EQ(ustring("<i>rich</i>"), rich);
  EXPECT_EQ(ustring("text/html"), mime);

  ustring untouched("kept");
  EXPECT_EQ(-1, lines().get_rich_text_by_language(ustring("fi"), untouched, untouched));
  EXPECT_EQ(ustring("kept"), untouched);
}

TEST_F(TextArrayTest, AllLanguages) {
  fill({{"1", "en"}, {"2", "-"}, {"3", "fi"}, {"4", "-"}, {"5", "en"}});
  Texts languages{ustring("before")};
  lines().get_all_languages(languages);
  EXPECT_EQ((Texts{ustring("before"), ustring("en"), ustring("fi"), ustring("en"), ustring()}),
            languages);

  TestCard all_tagged;
  all_tagged.lines().add_text(ustring("x"), ustring("de"));
  Texts only;
  all_tagged.lines().get_all_languages(only);
  EXPECT_EQ(Texts{ustring("de")}, only);
}

TEST_F(TextArrayTest, LanguageCompare) {
  fill({{"A", "-"}, {"B", "en"}});
  ustring none, en("en");
  EXPECT_TRUE(TextLangCompare(none)(lines().get_item(0)));
  EXPECT_FALSE(TextLangCompare(none)(lines().get_item(1)));
  EXPECT_TRUE(TextLangCompare(en)(lines().get_item(1)));
  EXPECT_FALSE(TextLangCompare(en)(SharedPointer<Text>()));
}

TEST_F(ViewTest, TextWritesFailWhenNoAttributeCanBeMade) {
  TestCard card;
  Text stray;
  stray.set_parent(&card);
  EXPECT_EQ(2, stray.set_text(ustring("x")));
  EXPECT_EQ(2, stray.set_rich_text_mime(ustring("x")));
  EXPECT_EQ(2, stray.set_language(ustring("en")));
}

// ---- TagList ----

TEST_F(ViewTest, SetTagsStoresEachTagOnceAtItsLastPlace) {
  const struct {
    Texts given;
    Texts stored;
  } cases[] = {
      {{ustring("a"), ustring("b"), ustring("a")}, {ustring("b"), ustring("a")}},
      {{ustring("x"), ustring("x"), ustring("x")}, {ustring("x")}},
      {{ustring("a"), ustring("b")}, {ustring("a"), ustring("b")}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    TagList tags;
    tags.init();
    tags.attribute()->prepare_field("colour")->set_value(1);  // foreign fields go too
    EXPECT_EQ(0, tags.set_tags(c.given));
    EXPECT_EQ(c.stored.size(), tags.attribute()->get_fields().size());
    Texts read{ustring("stale")};
    tags.get_tags(read);
    EXPECT_EQ(c.stored, read);
  }
}

TEST_F(ViewTest, AddTagAppendsOnlyNewTags) {
  TagList tags;
  EXPECT_EQ(0, tags.add_tag(ustring("a")));
  EXPECT_EQ(0, tags.add_tag(ustring("b")));
  tags.attribute()->get_fields().set_modified(false);
  EXPECT_EQ(0, tags.add_tag(ustring("a")));
  EXPECT_FALSE(tags.attribute()->get_fields().is_modified());
  Texts read;
  tags.get_tags(read);
  EXPECT_EQ((Texts{ustring("a"), ustring("b")}), read);
  EXPECT_EQ(":list(tag,tag)", name_tree(*tags.attribute()));
}

TEST_F(ViewTest, GetTagsSkipsOtherFieldsAndLeavesOutputWhenUnbound) {
  TagList unbound;
  Texts read{ustring("kept")};
  unbound.get_tags(read);
  EXPECT_EQ(Texts{ustring("kept")}, read);

  TagList tags;
  tags.set_tags({ustring("a")});
  tags.attribute()->add_field(handle("other"))->set_value(std::string("no tag"));
  tags.attribute()->add_field(handle("tag"))->set_value(3);  // holds no text
  tags.attribute()->add_field(handle("tag"))->set_value(std::string("b"));
  tags.get_tags(read);
  EXPECT_EQ((Texts{ustring("a"), ustring("b")}), read);
}

TEST_F(ViewTest, TagWritesReportNotReadyWhenNoAttributeCanBeMade) {
  TestCard card;
  TagList stray;
  stray.set_parent(&card);
  EXPECT_EQ(7, stray.set_tags({ustring("a")}));
  EXPECT_EQ(7, stray.add_tag(ustring("a")));
  EXPECT_FALSE(stray.is_safe());
}

// Assigning into a bound child rewrites its stored attribute in place: the attribute,
// its name and its class stay, the content is the other's; an unbound source empties it.
TEST_F(ViewTest, AssigningTextsAndTagListsRewritesTheStoredChild) {
  TestCard card;
  ASSERT_EQ(0, card.title().set_text(ustring("old")));
  ASSERT_EQ(0, card.title().set_language(ustring("fi")));
  ASSERT_EQ(0, card.tags().set_tags({ustring("a"), ustring("b")}));
  const SharedPointer<Attribute> title = card.title().attribute();
  const SharedPointer<Attribute> tags = card.tags().attribute();

  Text text;
  ASSERT_EQ(0, text.set_rich_text(ustring("<b>new</b>")));
  ASSERT_EQ(0, text.set_rich_text_mime(ustring("text/html")));
  card.title() = text;
  TagList other;
  ASSERT_EQ(0, other.set_tags({ustring("c")}));
  card.tags() = other;

  EXPECT_EQ(title, card.title().attribute());
  EXPECT_EQ(tags, card.tags().attribute());
  EXPECT_EQ(":card[title:text(rich_text,mime) tags:list(tag)]", name_tree(*card.attribute()));
  ustring language("kept");
  EXPECT_FALSE(card.title().get_language(language));
  EXPECT_EQ(ustring("kept"), language);
  Texts read;
  card.tags().get_tags(read);
  EXPECT_EQ(Texts{ustring("c")}, read);

  // The sources stay apart from the card.
  ASSERT_EQ(0, text.set_text(ustring("later")));
  ASSERT_EQ(0, other.add_tag(ustring("d")));
  EXPECT_EQ(":card[title:text(rich_text,mime) tags:list(tag)]", name_tree(*card.attribute()));

  card.title() = Text();
  card.tags() = TagList();
  EXPECT_EQ(":card[title:text tags:list]", name_tree(*card.attribute()));
  card.tags().get_tags(read);
  EXPECT_TRUE(read.empty());
}

TEST_F(ViewTest, TagListCopyIsIndependent) {
  TagList source;
  source.set_tags({ustring("a"), ustring("b")});
  TagList copy(source);
  copy.add_tag(ustring("c"));
  Texts read;
  source.get_tags(read);
  EXPECT_EQ(2u, read.size());
  copy.get_tags(read);
  EXPECT_EQ(3u, read.size());
}

}  // namespace
}  // namespace keldra_test
