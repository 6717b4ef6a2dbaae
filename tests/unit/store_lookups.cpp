#include <gtest/gtest.h>

#include "metadata/getInfo.h"
#include "platform/Text.h"
#include "tests/unit/store_util.h"

using namespace kalamos;

namespace {

int32_t PositionOf(const TMetaStore& store, std::string_view id) {
  int32_t position = -1;
  EXPECT_TRUE(store.FindId(id, position)) << id;
  return position;
}

}  // namespace

TEST(StoreLookups, WorkedExample) {
  auto store = StoreOf(ExampleText);
  EXPECT_EQ(store->SectionIdOf(KindDocument), "32002");
  EXPECT_EQ(store->SectionIdOf(KindEnum), "32005");
  EXPECT_EQ(store->SectionIdOf(KindRegister), "");

  int32_t first = 0, count = 0;
  ASSERT_TRUE(store->FindChildren("120", first, count));
  ASSERT_EQ(count, 2);
  EXPECT_EQ(store->ChildIdAt(first), "32004");
  EXPECT_EQ(store->ChildIdAt(first + 1), "32003");
  EXPECT_FALSE(store->FindChildren("121", first, count));
  EXPECT_EQ(first, -1);
  EXPECT_EQ(count, 0);

  int32_t position = 77;
  EXPECT_TRUE(store->FindAttribute(KindDocument, "invoice", "AMOUNT", position));
  EXPECT_EQ(position, 2);
  EXPECT_TRUE(store->FindAttribute(KindDocument, "Invoice", "customer", position));
  EXPECT_EQ(store->IdAt(position), "121");
  EXPECT_TRUE(store->FindAttribute(KindEnum, "COLORS", "Red", position));
  EXPECT_EQ(store->IdAt(position), "201");
  // Object found, attribute not; kinds without sub-sections never find one.
  for (auto [kind, object, attribute] : {std::tuple<int, const char*, const char*>{KindDocument, "Invoice", "Red"},
                                         {KindDocument, "Nothing", "Amount"}, {KindConst, "Invoice", "Amount"},
                                         {KindRegister, "Invoice", "Amount"}, {KindBuh, "Invoice", "Amount"}}) {
    position = 77;
    EXPECT_FALSE(store->FindAttribute(uint8_t(kind), object, attribute, position)) << object << attribute;
    EXPECT_EQ(position, -1);
  }

  const std::string_view invoice = store->TextAt(PositionOf(*store, "120"));
  EXPECT_EQ(QuotedField(invoice, 1), "Invoice");
  EXPECT_EQ(QuotedField(invoice, 2), "Sales invoice");
  EXPECT_EQ(QuotedField(invoice, 3), "");
  EXPECT_EQ(QuotedField(store->TextAt(PositionOf(*store, "122")), 2), "");
  EXPECT_EQ(store->ObjectNameById("120"), "Invoice");
  EXPECT_EQ(store->ObjectNameById("0"), "");
  EXPECT_EQ(store->ObjectNameById("999"), "");
}

TEST(StoreLookups, QuotedFieldQuirks) {
  const struct {
    const char* Text;
    int N;
    const char* Value;
  } cases[] = {
      {"\"Total\",15,\"x\"", 1, "Total"},
      {"\"Total\",15,\"x\"", 2, "5,\"x"},  // a bare number runs on and loses its first digit
      {"\"Total\",15,\"x\"", 3, ""},
      {"\"say \"hi\", ok\",\"next\"", 1, "say \"hi"},  // no escapes: a quote and a comma end it
      {"\"say \"hi\", ok\",\"next\"", 2, "ok"},
      {"\"a\"", 1, "a"},
      {"\"a\",", 1, "a"},
      {"\"a\",", 2, ""},
      {"\"\",\"\"", 2, ""},
      {"\",", 1, ""},
      {",\"a\",", 1, "\"a"},  // a leading comma shifts the value by one
      {"", 1, ""},
      {"\"a\",\"b\"", 0, ""},
      {"\"a\",\"b\"", -1, ""},
      {"\"a\",\"b\"", 3, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuotedField(c.Text, c.N), c.Value) << c.Text << " n=" << c.N;
}

TEST(StoreLookups, ObjectNameByIdSearchesEverythingButZero) {
  auto store = StoreOf("{\"0\",\"Nil\"},{\"00\",\"Zero\"},{\"5\",\"Five,Six\",\"x\"}");
  EXPECT_EQ(store->ObjectNameById("0"), "");
  EXPECT_EQ(store->ObjectNameById("00"), "Zero");
  EXPECT_EQ(store->ObjectNameById("5"), "Five,Six");
}

// Children of one section: enough for the name table, or few enough for the walk.
class StoreChildNames : public ::testing::TestWithParam<int> {};

TEST_P(StoreChildNames, MatchesLikeTheWalk) {
  const int fillers = GetParam();
  const std::string upper = Utf8ToAnsi("ЁЛКА Накладная"), lower = Utf8ToAnsi("ёлка накладная");
  std::string text = "{\"Documents\",{\"10\",\"Twin\",\"older\"},{\"11\",\"" + Utf8ToAnsi("Ёлка Накладная") +
                     "\"},{\"12\",\"Cut,Here\",\"x\"}";
  for (int i = 0; i < fillers; ++i) text += ",{\"" + std::to_string(100 + i) + "\",\"F" + std::to_string(i) + "\"}";
  text += ",{\"13\",\"twin\",\"newer\"}}";
  auto store = StoreOf(text);
  const std::string section(store->SectionIdOf(KindDocument));

  int32_t position = -1;
  for (const std::string& name : {upper, lower}) {
    ASSERT_TRUE(store->FindChildByName(section, name, position));
    EXPECT_EQ(store->IdAt(position), "11");
  }
  // Two children named alike: the later one in the text wins.
  ASSERT_TRUE(store->FindChildByName(section, "TWIN", position));
  EXPECT_EQ(store->IdAt(position), "13");
  // The name stops two characters before the first comma; the field itself goes on.
  EXPECT_TRUE(store->FindChildByName(section, "cu", position));
  EXPECT_EQ(store->IdAt(position), "12");
  EXPECT_EQ(QuotedField(store->TextAt(position), 1), "Cut,Here");
  EXPECT_FALSE(store->FindChildByName(section, "Cut,Here", position));
  // A miss ends on the child that stands first in the text.
  EXPECT_FALSE(store->FindChildByName(section, "absent", position));
  EXPECT_EQ(store->IdAt(position), "10");
  // No children: position untouched.
  position = 42;
  EXPECT_FALSE(store->FindChildByName("13", "twin", position));
  EXPECT_EQ(position, 42);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StoreChildNames, ::testing::Values(0, 40));

TEST(StoreLookups, MissingSectionFindsOnlyTheRoot) {
  auto store = StoreOf("{\"Consts\",{\"1\",\"A\"}}");
  int32_t first = 0, count = 0;
  ASSERT_TRUE(store->FindChildren(store->SectionIdOf(KindDocument), first, count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(store->ChildIdAt(first), "32001");
  int32_t position = -1;
  EXPECT_TRUE(store->FindChildByName("", "", position));
  EXPECT_FALSE(store->FindChildByName("", "A", position));
  EXPECT_FALSE(store->FindAttribute(KindDocument, "A", "", position));
}
