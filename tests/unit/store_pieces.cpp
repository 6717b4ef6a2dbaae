// Load from a container reads the stream a piece at a time; it must give the store that the
// whole stream, normalised at once, gives.
#include <gtest/gtest.h>

#include <random>

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

namespace {

// Lists of every shape the parse meets, braces and control bytes at every offset of its
// 64-byte blocks: nested, unclosed and surplus braces, tabs inside texts, letters and long
// digit strings as identifiers, repeated identifiers.
std::string RuggedText(uint32_t seed, size_t lists) {
  std::mt19937 random(seed);
  auto pick = [&](uint32_t n) { return random() % n; };
  static const char* const ids[] = {"1", "12", "1a", "1A", "0", "", "32001", "123456789", "1234567890", "x"};
  static const char* const junk[] = {"{", "}", "}}", ",", "\t", "\r\n", "\"", "{{", ",,"};
  std::string text;
  for (size_t i = 0; i < lists; ++i) {
    text += '{';
    if (pick(3)) text += "\"" + std::string(ids[pick(10)]) + "\",";
    text += "\"" + std::string(pick(40), char('a' + pick(26))) + "\"";
    if (pick(4) == 0) text += junk[pick(9)];
    if (pick(3)) text += '}';
    text += pick(2) ? ",\r\n" : ",";
  }
  return text;
}

}  // namespace

TEST(StorePieces, RuggedTextsLoadAsTheirBuffers) {
  // Long enough for the file's parse to take its blocks, with a zero byte (the end of the
  // code-page vote and of the conversion) at several places or none.
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    std::string text = RuggedText(seed, 3000);
    const std::string name = "seed " + std::to_string(seed);
    ExpectFileAsBuffer(MakeStreamBytes(text), name);
    for (size_t at : {size_t(0), size_t(63), text.size() / 3, text.size() - 1}) {
      std::string zeroed = text;
      zeroed.insert(at, 1, '\0');
      ExpectFileAsBuffer(MakeStreamBytes(zeroed), name + ", zero byte at " + std::to_string(at));
    }
  }
}

TEST(StorePieces, TheVoteCountsTheFileUpToItsFirstZeroByte) {
  // Before the zero byte one OEM letter more than 1251 ones, after it many 1251 ones: the text
  // is OEM only if the count stops at the zero, wherever in a block of the parse it falls.
  // Thousands of each, more than a byte can count.
  const std::string oem(3001, '\x8E'), ansi(3000, '\xCE');
  for (size_t shift = 0; shift < 130; ++shift) {
    const std::string text = "{\"9\",\"" + std::string(shift, ' ') + "\"},\r\n{\"1\",\"" + oem + ansi + "\"}" +
                             '\0' + "{\"2\",\"" + std::string(400, '\xCE') + "\"}\r\n}";
    const std::string what = "shift " + std::to_string(shift);
    TTempDir dir;
    ASSERT_EQ(WriteContainerBytes(dir, MakeStreamBytes(text)), S_OK);
    TMetaStore fromFile(dir.AnsiFile("vellum.md"));
    int32_t position = -1;
    ASSERT_TRUE(fromFile.FindId("1", position)) << what;
    // OEM 0x8E is 1251's 0xCE once converted.
    ASSERT_EQ(fromFile.TextAt(position).substr(1, 3), "\xCE\xCE\xCE") << what;
    ExpectSameStore(fromFile, TMetaStore(NormaliseStreamBytes(MakeStreamBytes(text))), what);
  }
}
