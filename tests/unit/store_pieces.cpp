// Load from a container reads the stream a piece at a time; it must give the store that the
// whole stream, normalised at once, gives.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "tests/support/ContainerBuilder.h"
#include "tests/unit/store_util.h"

using namespace kalamos;

namespace {

void ExpectSameStore(const TMetaStore& a, const TMetaStore& b, const std::string& what) {
  EXPECT_EQ(IdRows(a), IdRows(b)) << what;
  EXPECT_EQ(ParentRows(a), ParentRows(b)) << what;
  EXPECT_EQ(a.SectionIds, b.SectionIds) << what;
  EXPECT_EQ(a.LastAutoId, b.LastAutoId) << what;
}

// Stream bytes as the file holds them, and the store from the whole buffer and from the file.
void ExpectFileAsBuffer(const std::string& streamBytes, const std::string& what) {
  TTempDir dir;
  ASSERT_EQ(WriteContainerBytes(dir, streamBytes), S_OK);
  TMetaStore fromFile(dir.AnsiFile("vellum.md"));
  TMetaStore fromBuffer(NormaliseStreamBytes(streamBytes));
  ExpectSameStore(fromFile, fromBuffer, what);
}

}  // namespace

TEST(StorePieces, FileLoadGivesTheStoreOfTheWholeBuffer) {
  // Several pieces of text, in both code pages, with both preambles; a zero byte far into the
  // text stops the conversion there, and a text may end without a closing zero or with one.
  const std::string utf8 = AnsiToUtf8(GenerateConfigText(ShapeForSize(300 << 10)));
  for (unsigned codePage : {866u, 1251u}) {
    const std::string text = Utf8ToCodePage(utf8, codePage);
    const std::string withZero = text.substr(0, 200000) + '\0' + text.substr(200000);
    for (const std::string& body : {text, withZero, text + '\0'}) {
      const std::string six = MakeStreamBytes(body);
      ExpectFileAsBuffer(six, "preamble 6, code page " + std::to_string(codePage));
      ExpectFileAsBuffer("abcd\r\n\r\n\r" + six.substr(6), "preamble 9, code page " + std::to_string(codePage));
    }
  }
}

TEST(StorePieces, SectionTagsAreMatchedInTheConvertedText) {
  // In OEM text 0xFB becomes "v": the tag Calcvars appears only once the text is converted;
  // the Cyrillic words make the text count as OEM.
  const std::string cyrillic = Utf8ToCodePage("Накладная", 866);
  const std::string text = "{\"Calc\xFB" "ars\",\r\n{\"7\",\"" + cyrillic + "\",\"" + cyrillic +
                           "\"}},\r\n{\"Documents\",\r\n{\"8\",\"" + cyrillic + "\"}}\r\n}";
  auto store = StoreOf(text);
  EXPECT_EQ(store->SectionIdOf(KindDocument), "32003");
  ExpectFileAsBuffer(MakeStreamBytes(text), "converted tag");
  TTempDir dir;
  ASSERT_EQ(WriteContainerBytes(dir, MakeStreamBytes(text)), S_OK);
  TMetaStore fromFile(dir.AnsiFile("vellum.md"));
  EXPECT_EQ(fromFile.SectionIds, store->SectionIds);
}

TEST(StorePieces, IdentifiersSpeltInTwoLetterCasesKeepTheirSpellings) {
  // One identifier-index entry for 1a and 1A; each parent-index entry names its parent and
  // its child as the text spelt them.
  const char* text = "{\"1a\",\"x\",\r\n{\"5\",\"c\"}},\r\n{\"1A\",\"y\",\r\n{\"6\",\"d\"}}\r\n}";
  auto store = StoreOf(text);
  int32_t position = -1;
  ASSERT_TRUE(store->FindId("1A", position));
  EXPECT_EQ(store->IdAt(position), "1a");
  EXPECT_EQ(store->TextAt(position), "\"y\"");
  const std::vector<std::string> parents = ParentRows(*store);
  EXPECT_EQ(parents, (std::vector<std::string>{">32001", "1A>6", "1a>5", "32001>1A", "32001>1a"}));
  int32_t first = -1, count = 0;
  ASSERT_TRUE(store->FindChildren("1a", first, count));
  EXPECT_EQ(count, 2);
  ASSERT_TRUE(store->FindChildren("1A", first, count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(store->ChildIdAt(first), "6");
  ExpectFileAsBuffer(MakeStreamBytes(text), "two spellings");
}
