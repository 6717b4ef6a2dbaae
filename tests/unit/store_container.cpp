#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/Storage.h"
#include "platform/Text.h"
#include "tests/support/ContainerBuilder.h"
#include "tests/unit/store_util.h"

using namespace kalamos;

namespace {

HRESULT ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const TStoreError& e) {
    return e.Result;
  }
  return S_OK;
}

}  // namespace

TEST(StoreText, StartOffsetAndClosingZero) {
  const struct {
    std::string Bytes;
    size_t Position;
    std::string Normalised;
    int32_t Nodes;
  } cases[] = {
      {"abc{\r\n{}", 6, std::string("abc{\r\n{}\0", 9), 1},
      {"abc{\r{}", 6, std::string("abc{\r{}\0", 8), 0},  // the "{" stands before the text
      {"abcd\r\n\r\n\r{}", 9, std::string("abcd\r\n\r\n\r{}\0", 12), 1},
      {"abcd\r\n\r\n{}", 9, std::string("abcd\r\n\r\n{}\0", 11), 0},
      {std::string("abc{\r\n{}\0", 9), 6, std::string("abc{\r\n{}\0", 9), 1},  // no second zero
      {"abc{", 6, std::string("abc{\0", 5), 0},  // ends before the text
      {"ab", 9, std::string("ab\0", 3), 0},
      {"abc", 9, std::string("abc\0", 4), 0},  // the fourth byte is the appended zero
  };
  for (const auto& c : cases) {
    const TTextBuffer buffer = NormaliseStreamBytes(c.Bytes);
    EXPECT_EQ(buffer.Position, c.Position) << c.Bytes;
    EXPECT_EQ(buffer.Bytes, c.Normalised) << c.Bytes;
    EXPECT_EQ(TMetaStore(buffer).IdCount(), c.Nodes) << c.Bytes;
  }
  EXPECT_NE(ErrorOf([] { NormaliseStreamBytes(""); }), S_OK);
}

TEST(StoreText, CodePageDecidedFromTheText) {
  const std::string utf8 = AnsiToUtf8(GenerateConfigText(TConfigShape{}));
  auto fromOem = StoreOf(Utf8ToCodePage(utf8, 866));
  auto fromAnsi = StoreOf(Utf8ToCodePage(utf8, 1251));
  EXPECT_EQ(IdRows(*fromOem), IdRows(*fromAnsi));
  EXPECT_EQ(ParentRows(*fromOem), ParentRows(*fromAnsi));
  int32_t position = -1;
  EXPECT_TRUE(fromOem->FindChildByName(fromOem->SectionIdOf(KindDocument), DocumentName(3), position));

  // 1251 text with punctuation from 0x80-0xAF stays as it is.
  const std::string ansi = Utf8ToAnsi("{\"1\",\"«Ёлка» — №5 Накладная\"}");
  EXPECT_EQ(NormaliseStreamBytes(MakeStreamBytes(ansi)).Bytes.substr(6, ansi.size()), ansi);
}

TEST(StoreText, EmbeddedZeroStopsTheConversion) {
  const std::string word = "Накладная";
  std::string text = "{\"1\",\"" + Utf8ToCodePage(word, 866) + '\0' + Utf8ToCodePage(word, 866) + "\"}";
  auto store = StoreOf(text);
  int32_t position = -1;
  ASSERT_TRUE(store->FindId("1", position));
  EXPECT_EQ(store->TextAt(position), "\"" + Utf8ToAnsi(word) + Utf8ToCodePage(word, 866) + "\"");
}

TEST(StoreText, StreamReadIsChecked) {
  const std::string content = "abc{\r\n{\"1\",\"x\"}";
  bool called = false;
  auto reader = [&](HRESULT result, uint32_t shortBy) {
    return [&, result, shortBy](void* buffer, uint32_t count, uint32_t& read) {
      called = true;
      read = count - shortBy;
      std::memcpy(buffer, content.data(), read);
      return result;
    };
  };
  const TTextBuffer buffer = ReadWholeStream(content.size(), reader(S_OK, 0));
  EXPECT_EQ(buffer.Bytes, content + '\0');
  EXPECT_EQ(ErrorOf([&] { ReadWholeStream(content.size(), reader(S_OK, 1)); }), STG_E_READFAULT);
  EXPECT_EQ(ErrorOf([&] { ReadWholeStream(content.size(), reader(S_FALSE, 3)); }), STG_E_READFAULT);
  EXPECT_EQ(ErrorOf([&] { ReadWholeStream(content.size(), reader(STG_E_ACCESSDENIED, 0)); }),
            STG_E_ACCESSDENIED);
  called = false;
  for (uint64_t size : {uint64_t(0), uint64_t(1) << 32, (uint64_t(1) << 32) + content.size()})
    EXPECT_NE(ErrorOf([&] { ReadWholeStream(size, reader(S_OK, 0)); }), S_OK) << size;
  EXPECT_FALSE(called);
}

TEST(StoreContainer, ReadsTheStreamOfTheCompoundFile) {
  for (int start : {6, 9}) {
    TTempDir dir;
    TContainerOptions options;
    options.Start = start;
    ASSERT_EQ(WriteContainer(dir, ExampleText, options), S_OK);
    TMetaStore store(dir.AnsiFile("vellum.md"));
    EXPECT_EQ(IdRows(store), IdRows(*StoreOf(ExampleText))) << start;
    EXPECT_EQ(store.SectionIdOf(KindDocument), "32002");
  }
}

// A reader that keeps the text whole (the tool's model) gets it in a large block: the same
// bytes from the same start as ReadConfigurationText gives, whatever the preamble, the code
// page, and whether the stream ends with its zero byte already.
TEST(StoreContainer, ABlockHoldsWhatTheTextReadGives) {
  for (unsigned codePage : {1251u, 866u})
    for (int start : {6, 9}) {
      TTempDir dir;
      TContainerOptions options;
      options.Start = start;
      options.CodePage = codePage;
      ASSERT_EQ(WriteContainer(dir, ExampleText, options), S_OK);
      const TTextBuffer text = ReadConfigurationText(dir.AnsiFile("vellum.md"));
      const TTextBlock block = ReadConfigurationBlock(AnsiToWide(dir.AnsiFile("vellum.md")));
      EXPECT_EQ(text.Position, block.Position) << codePage << " " << start;
      EXPECT_EQ(text.Bytes, std::string(block.Data(), block.Size())) << codePage << " " << start;
    }
  for (const std::string& bytes : {std::string("\xFF\x05\x00{\r\n}", 8), std::string("\xFF\x05\x00{\r\n}\0", 9)}) {
    TTempDir dir;
    ASSERT_EQ(WriteContainerBytes(dir, bytes), S_OK);
    const TTextBuffer text = ReadConfigurationText(dir.AnsiFile("vellum.md"));
    const TTextBlock block = ReadConfigurationBlock(AnsiToWide(dir.AnsiFile("vellum.md")));
    EXPECT_EQ(text.Bytes, std::string(block.Data(), block.Size())) << bytes.size();
    EXPECT_EQ(block.Data()[block.Size() - 1], '\0');
  }
}

TEST(StoreContainer, FailuresCarryTheCodeOfTheCallThatFailed) {
  TTempDir dir;
  const std::string file = dir.AnsiFile("vellum.md");
  const WideString wide = AnsiToWide(file);
  auto loadError = [&] { return ErrorOf([&] { TMetaStore store(file); }); };

  EXPECT_TRUE(FAILED(loadError())) << "missing file";

  // A plain file passes the compound-file test and fails at the open.
  TContainerOptions plain;
  plain.PlainFile = true;
  ASSERT_EQ(WriteContainerBytes(dir, MakeStreamBytes(ExampleText), plain), S_OK);
  EXPECT_EQ(IsStorageFile(wide), S_FALSE);
  TStorage root, metadata;
  const HRESULT openRoot = OpenRootStorage(wide, root);
  EXPECT_TRUE(FAILED(openRoot));
  EXPECT_EQ(loadError(), openRoot);

  TContainerOptions noMetadata;
  noMetadata.WithMetadata = false;
  ASSERT_EQ(WriteContainer(dir, ExampleText, noMetadata), S_OK);
  HRESULT expected = S_OK;
  {
    TStorage r, m;
    ASSERT_EQ(OpenRootStorage(wide, r), S_OK);
    expected = OpenChildStorage(r, AnsiToWide("Metadata"), m);
  }
  EXPECT_TRUE(FAILED(expected));
  EXPECT_EQ(loadError(), expected);

  TContainerOptions noStream;
  noStream.WithStream = false;
  ASSERT_EQ(WriteContainer(dir, ExampleText, noStream), S_OK);
  {
    TStorage r, m;
    TStream s;
    ASSERT_EQ(OpenRootStorage(wide, r), S_OK);
    ASSERT_EQ(OpenChildStorage(r, AnsiToWide("Metadata"), m), S_OK);
    expected = OpenChildStream(m, AnsiToWide("Main MetaData Stream"), s);
  }
  EXPECT_TRUE(FAILED(expected));
  EXPECT_EQ(loadError(), expected);

  ASSERT_EQ(WriteContainerBytes(dir, ""), S_OK);
  EXPECT_TRUE(FAILED(loadError())) << "empty stream";

  // A stream that ends before the text starts gives an empty store, not a failure.
  ASSERT_EQ(WriteContainerBytes(dir, "abc{"), S_OK);
  EXPECT_EQ(TMetaStore(file).IdCount(), 0);
}
