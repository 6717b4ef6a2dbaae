#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "metadata/getInfo.h"
#include "tests/unit/store_util.h"

using namespace kalamos;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(StoreParser, WorkedExample) {
  auto store = StoreOf(ExampleText);
  EXPECT_THAT(IdRows(*store),
              ElementsAre("120|32002|\"Invoice\",\"Sales invoice\"", "121|32003|\"Customer\",\"Buyer\"",
                          "122|32004|\"Amount\",\"\"", "123|32004|\"Price\",\"\"", "200|32005|\"Colors\",\"\"",
                          "201|32006|\"Red\",\"\"", "32001||", "32002|32001|\"Documents\"",
                          "32003|120|\"Head Fields\"", "32004|120|\"Table Fields\"",
                          "32005|32001|\"EnumList\"", "32006|200|\"EnumVal\""));
  EXPECT_THAT(ParentRows(*store),
              ElementsAre(">32001", "120>32004", "120>32003", "200>32006", "32001>32005", "32001>32002",
                          "32002>120", "32003>121", "32004>123", "32004>122", "32005>200", "32006>201"));
  EXPECT_EQ(store->LastAutoId, 32006);
  for (int k = 0; k < KindCount; ++k)
    EXPECT_EQ(store->SectionIds[k], k == 7 ? "32002" : k == 9 ? "32005" : "") << k;
}

struct TParseCase {
  const char* Name;
  const char* Text;
  std::vector<std::string> Ids;
  std::vector<std::string> Parents;
  int32_t LastAutoId;
};

TEST(StoreParser, Grammar) {
  const TParseCase cases[] = {
      {"quoted number without comma gets an auto identifier", "{\"5\"}",
       {"32001||", "32002|32001|\"5\""}, {">32001", "32001>32002"}, 32002},
      {"numbered node does not advance the counter", "{\"7\",\"Seven\",\"x\"}",
       {"32001||", "7|32001|\"Seven\",\"x\""}, {">32001", "32001>7"}, 32001},
      {"repeated identifier: first key text, last record, both parent entries",
       "{\"1a\",\"A\"},{\"1A\",\"B\"}", {"1a|32001|\"B\"", "32001||"},
       {">32001", "32001>1A", "32001>1a"}, 32001},
      {"list of nested lists only: empty auto node", "{{\"1\",\"x\"}}",
       {"1|32002|\"x\"", "32001||", "32002|32001|"}, {">32001", "32001>32002", "32002>1"}, 32002},
      {"text between nested lists lost, text after the last one a sibling",
       "{\"a\",{\"1\",\"x\"},\"lost\",{\"2\",\"y\"},\"after\"}",
       {"1|32002|\"x\"", "2|32002|\"y\"", "32001||", "32002|32001|\"a\"", "32003|32001|,\"after\""},
       {">32001", "32001>32003", "32001>32002", "32002>2", "32002>1"}, 32003},
      {"empty identifier opens no level and its text keeps growing",
       "{\"5,\"a\",{\"9\",\"y\"}}", {"|32001|\"a\",\"9\",\"y\"", "32001||"},
       {">32001", "32001>", "32001>"}, 32001},
      {"surplus closing braces at the top level keep the pending text",
       "{\"a\"}}\"x\"}\"y\"}", {"32001||", "32002|32001|\"a\"", "32003||\"x\"", "32004||\"x\"\"y\""},
       {">32004", ">32003", ">32001", "32001>32002"}, 32004},
      {"control bytes vanish, inside quotes too", "{\"1\",\"a\tb\r\nc\"\r\n}",
       {"1|32001|\"abc\"", "32001||"}, {">32001", "32001>1"}, 32001},
      {"an unclosed list records nothing", "{\"1\",\"x\"},{\"2\",\"y\"",
       {"1|32001|\"x\"", "32001||"}, {">32001", "32001>1"}, 32001},
      {"braces inside quotes are structure", "{\"1\",\"a{b\"}",
       {"1|32001|\"a", "32001||", "32002|1|b\""}, {">32001", "1>32002", "32001>1"}, 32002},
      {"leading comma leaves the identifier empty", "{,5,\"x\"}",
       {"|32001|5,\"x\"", "32001||"}, {">32001", "32001>"}, 32001},
      {"no text at all", "", {}, {}, 32000},
  };
  for (const TParseCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto store = StoreOf(c.Text);
    EXPECT_THAT(IdRows(*store), ElementsAreArray(c.Ids));
    EXPECT_THAT(ParentRows(*store), ElementsAreArray(c.Parents));
    EXPECT_EQ(store->LastAutoId, c.LastAutoId);
  }
}

TEST(StoreParser, Sections) {
  // Only directly under the root, only the exact quoted tag; a later one of a tag wins.
  auto store = StoreOf(
      "{\"Documents\",\"x\"},{\"documents\"},{\"a\",{\"Consts\"}},{\"Documents\"},"
      "{\"DocNumDef\"},{\"Buh\"},{\"Buh\"}");
  EXPECT_EQ(store->SectionIdOf(KindDocument), "32006");
  EXPECT_EQ(store->SectionIdOf(KindDocNumRef), "32007");  // the spelling real files use
  EXPECT_EQ(store->SectionIdOf(KindBuh), "32009");
  EXPECT_EQ(store->SectionIdOf(KindConst), "");
  EXPECT_EQ(store->SectionIdOf(200), "");
  EXPECT_EQ(StoreOf("{\"DocNumRef\"}")->SectionIdOf(KindDocNumRef), "32002");
  // Processings too, as real files spell their tag; other letter cases stay no section.
  EXPECT_EQ(StoreOf("{\"CalcVars\"}")->SectionIdOf(KindProcessing), "32002");
  EXPECT_EQ(StoreOf("{\"Calcvars\"}")->SectionIdOf(KindProcessing), "32002");
  EXPECT_EQ(StoreOf("{\"CALCVARS\"},{\"DocSelRefObj\"}")->SectionIds, (std::array<std::string, KindCount>{}));
  // A numbered list is never a section, and other tags are taken as written.
  EXPECT_EQ(StoreOf("{\"1\",\"Documents\"},{\"Document\"},{\"CJ \"}")->SectionIds,
            (std::array<std::string, KindCount>{}));
}

TEST(StoreParser, SectionIdentifierCutToFiveCharacters) {
  std::string text;
  for (int i = 0; i < 99999 - 32001; ++i) text += "{\"a\"},";
  text += "{\"Documents\"}";
  auto store = StoreOf(text);
  EXPECT_EQ(store->LastAutoId, 100000);
  EXPECT_EQ(store->SectionIdOf(KindDocument), "10000");
  int32_t position = -1;
  EXPECT_TRUE(store->FindId("100000", position));
  EXPECT_EQ(store->TextAt(position), "\"Documents\"");
}

TEST(StoreParser, MillionNestedListsNeedNoDeepStack) {
  const int depth = 1000000;
  std::string text(depth, '{');
  text += "\"1\",\"x\"";
  text.append(depth, '}');
  auto store = StoreOf(text);
  // The root, one empty node per further level, and the numbered innermost list.
  ASSERT_EQ(store->IdCount(), depth + 1);
  EXPECT_EQ(store->LastAutoId, 32000 + depth);
  for (int level : {1, 2, 500000, depth - 1}) {
    int32_t first = 0, count = 0;
    const std::string id = std::to_string(32000 + level);
    ASSERT_TRUE(store->FindChildren(id, first, count)) << level;
    EXPECT_EQ(count, 1);
    EXPECT_EQ(store->ChildIdAt(first), std::to_string(32001 + level));
  }
  int32_t first = 0, count = 0;
  ASSERT_TRUE(store->FindChildren(std::to_string(32000 + depth), first, count));
  EXPECT_EQ(store->ChildIdAt(first), "1");
  int32_t position = -1;
  ASSERT_TRUE(store->FindId("1", position));
  EXPECT_EQ(store->TextAt(position), "\"x\"");
}

TEST(StoreParser, GeneratedConfigurationIsComplete) {
  TConfigShape shape;
  auto store = StoreOf(GenerateConfigText(shape));
  for (int kind = 0; kind < KindCount; ++kind)
    EXPECT_NE(store->SectionIdOf(uint8_t(kind)), "") << kind;
  int32_t first = 0, count = 0;
  ASSERT_TRUE(store->FindChildren(store->SectionIdOf(KindDocument), first, count));
  EXPECT_EQ(count, shape.Documents);
  int32_t position = -1;
  EXPECT_TRUE(store->FindAttribute(KindDocument, DocumentName(3), TableFieldName(2), position));
  EXPECT_EQ(QuotedField(store->TextAt(position), 1), TableFieldName(2));
  // Size stays within a few percent of the request.
  const std::string big = GenerateConfigText(ShapeForSize(1 << 20));
  EXPECT_NEAR(double(big.size()), double(1 << 20), 0.05 * (1 << 20));
}
