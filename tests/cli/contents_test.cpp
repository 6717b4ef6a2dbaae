// The pieces behind text and diff: the line diff, raw inflate with its bounds, where a
// stream belongs, and every stream of a container read back at any depth.
#include <gtest/gtest.h>

#include <random>

#include "host/tool/ground/LineDiff.h"
#include "host/tool/answers/Contents.h"
#include "tests/support/Deflate.h"
#include "host/tool/container/Streams.h"
#include "platform/Storage.h"
#include "platform/Text.h"
#include "tests/support/TempDir.h"
#include "tests/support/ConfigGen.h"
#include "host/Pack.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/vc/Vc.h"

using namespace kalamos;

namespace {


// Applies the hunks to a and says whether b comes out: the diff is a true edit.
std::vector<std::string> Applied(const std::vector<std::string_view>& a, const std::string& hunks) {
  std::vector<std::string> out;
  size_t at = 0;  // next line of a not yet copied
  for (std::string_view line : SplitLines(hunks)) {
    if (line.substr(0, 2) == "@@") {
      size_t from = std::stoul(std::string(line.substr(4)));
      size_t count = 1;
      const size_t comma = line.find(','), space = line.find(' ', 4);
      if (comma < space) count = std::stoul(std::string(line.substr(comma + 1)));
      const size_t start = count == 0 ? from : from - 1;
      while (at < start) out.emplace_back(a[at++]);
      continue;
    }
    if (line[0] == ' ') {
      EXPECT_EQ(a[at], line.substr(1));
      out.emplace_back(a[at++]);
    } else if (line[0] == '-') {
      EXPECT_EQ(a[at], line.substr(1));
      ++at;
    } else {
      out.emplace_back(line.substr(1));
    }
  }
  while (at < a.size()) out.emplace_back(a[at++]);
  return out;
}

size_t LcsLength(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b) {
  std::vector<std::vector<size_t>> t(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j)
      t[i][j] = a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
  return t[a.size()][b.size()];
}

TEST(LineDiff, HunksAsDiffUShowsThem) {
  const std::string a = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n", b = "1\n2\n3\n4\nчетыре с половиной\n5\n6\n7\n8\n9\n10\n11\n";
  TLineDiff diff = DiffLines(SplitLines(a), SplitLines(b));
  EXPECT_EQ(diff.Hunks, "@@ -2,6 +2,7 @@\n 2\n 3\n 4\n+четыре с половиной\n 5\n 6\n 7\n@@ -9,4 +10,3 @@\n 9\n 10\n 11\n-12\n");
  EXPECT_EQ(diff.Added, 1u);
  EXPECT_EQ(diff.Removed, 1u);
  // Line ends alone are no change; a text from nothing starts at line 0 of the old side.
  EXPECT_EQ(DiffLines(SplitLines("a\r\nb"), SplitLines("a\nb\n")).Hunks, "");
  EXPECT_EQ(DiffLines({}, SplitLines("x\ny\n")).Hunks, "@@ -0,0 +1,2 @@\n+x\n+y\n");
  EXPECT_EQ(DiffLines(SplitLines("x\n"), {}).Hunks, "@@ -1 +0,0 @@\n-x\n");
}

TEST(LineDiff, RandomTextsGiveShortestTrueEdits) {
  std::mt19937 random(21);
  const std::vector<std::string> words = {"а", "б", "в", "г", ""};
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> sa(random() % 14), sb(random() % 14);
    for (auto& s : sa) s = words[random() % words.size()];
    for (auto& s : sb) s = words[random() % words.size()];
    const std::vector<std::string_view> a(sa.begin(), sa.end()), b(sb.begin(), sb.end());
    TLineDiff diff = DiffLines(a, b, size_t(random() % 4));
    EXPECT_EQ(Applied(a, diff.Hunks), sb) << diff.Hunks;
    EXPECT_EQ(diff.Added + diff.Removed, a.size() + b.size() - 2 * LcsLength(a, b)) << diff.Hunks;
  }
}

TEST(LineDiff, ARewrittenModuleIsRemovedAndAddedWhole) {
  std::vector<std::string> sa, sb;
  for (int i = 0; i < 6000; ++i) sa.push_back("old " + std::to_string(i)), sb.push_back("new " + std::to_string(i));
  const std::vector<std::string_view> a(sa.begin(), sa.end()), b(sb.begin(), sb.end());
  TLineDiff diff = DiffLines(a, b);
  EXPECT_EQ(diff.Removed, 6000u);
  EXPECT_EQ(diff.Added, 6000u);
  EXPECT_EQ(Applied(a, diff.Hunks), sb);
}

TEST(Inflate, RawDeflateWithItsBounds) {
  const std::string text = "Процедура Тест()\r\nКонецПроцедуры\r\n";
  std::string out;
  EXPECT_EQ(InflateRaw(Deflated(text), out), TInflated::Ok);
  EXPECT_EQ(out, text);
  // A zlib header is not what the streams hold.
  std::string wrapped(compressBound(uLong(text.size())), '\0');
  uLongf size = uLongf(wrapped.size());
  compress(reinterpret_cast<Bytef*>(wrapped.data()), &size, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()));
  wrapped.resize(size);
  EXPECT_EQ(InflateRaw(wrapped, out), TInflated::Damaged);
  EXPECT_TRUE(out.empty());
  const std::string packed = Deflated(text);
  EXPECT_EQ(InflateRaw(packed.substr(0, packed.size() / 2), out), TInflated::Damaged);
  EXPECT_EQ(InflateRaw("", out), TInflated::Damaged);
  const std::string big(100000, 'x');
  EXPECT_EQ(InflateRaw(Deflated(big), out, big.size()), TInflated::Ok);
  EXPECT_EQ(InflateRaw(Deflated(big), out, big.size() - 1), TInflated::TooLarge);
  EXPECT_TRUE(out.empty());
}

TEST(Places, AStreamBelongsToTheIdentifierItsStorageNames) {
  struct TCase {
    const char* Path;
    TStreamKind Kind;
    const char *Id, *Words, *Key;
  } cases[] = {
      {"TypedText/Transact_Number174/MD Programm text", TStreamKind::Module, "174", "модуль документа",
       "TypedText/Transact_Number*/MD Programm text"},
      {"Document/Document_Number174/WorkBook/MD Programm text", TStreamKind::Module, "174", "модуль формы",
       "Document/Document_Number*/WorkBook/MD Programm text"},
      {"SubList/SubList_Number143/WorkBook/Dialog Stream", TStreamKind::Form, "143", "форма списка",
       "SubList/SubList_Number*/WorkBook/Dialog Stream"},
      {"TypedText/ModuleText_Number1/MD Programm text", TStreamKind::Module, "1", "глобальный модуль",
       "TypedText/ModuleText_Number*/MD Programm text"},
      {"Journal/Journal_Number215/WorkBook/Page.1", TStreamKind::Other, "215", "макет 1",
       "Journal/Journal_Number*/WorkBook/Page.1"},
      {"SubList/SubList_Number143/WorkBook/Page.2", TStreamKind::Other, "143", "макет 2 списка",
       "SubList/SubList_Number*/WorkBook/Page.2"},
      {"TypedText/UserHelp_Number134/MD Programm text", TStreamKind::Module, "134", "описание",
       "TypedText/UserHelp_Number*/MD Programm text"},
      {"Subconto/Subconto_Number134/FolderWorkBook/MD Programm text", TStreamKind::Module, "134",
       "модуль формы (FolderWorkBook)", "Subconto/Subconto_Number*/FolderWorkBook/MD Programm text"},
      {"Subconto/Subconto_Number134/FolderWorkBook/Dialog Stream", TStreamKind::Form, "134", "форма (FolderWorkBook)",
       "Subconto/Subconto_Number*/FolderWorkBook/Dialog Stream"},
      {"Journal/Journal_Number215/WorkBook/Page.x", TStreamKind::Other, "215", "Journal/Journal_Number215/WorkBook/Page.x",
       "Journal/Journal_Number*/WorkBook/Page.x"},
      {"Metadata/GUIDData", TStreamKind::Other, "", "Metadata/GUIDData", "Metadata/GUIDData"},
      {"A_Number1/B_Number22/MD Programm text", TStreamKind::Module, "22", "модуль A_Number1/B_Number22/MD Programm text",
       "A_Number1/B_Number*/MD Programm text"},
      {"X_Number/MD Programm text", TStreamKind::Module, "", "модуль X_Number/MD Programm text", "X_Number/MD Programm text"},
  };
  for (const TCase& c : cases) {
    TStreamKind kind;
    std::string id, words, key;
    PlaceOf(c.Path, kind, id, words, key);
    EXPECT_EQ(kind, c.Kind) << c.Path;
    EXPECT_EQ(id, c.Id) << c.Path;
    EXPECT_EQ(words, c.Words) << c.Path;
    EXPECT_EQ(key, c.Key) << c.Path;
  }
  // What a stream is comes with its place, not from its words.
  const std::pair<const char*, TStreamRole> roles[] = {
      {"TypedText/ModuleText_Number1/MD Programm text", TStreamRole::GlobalModule},
      {"Journal/Journal_Number215/WorkBook/Page.1", TStreamRole::Layout},
      {"Journal/Journal_Number215/WorkBook/Page.x", TStreamRole::Unplaced},
      {"X_Number/MD Programm text", TStreamRole::Unplaced},
      {"TypedText/UserHelp_Number134/MD Programm text", TStreamRole::Placed},
      {"SubList/SubList_Number143/WorkBook/Dialog Stream", TStreamRole::Placed},
  };
  for (const auto& [path, expected] : roles) {
    TStreamKind kind;
    TStreamRole role = TStreamRole::Placed;
    std::string id, words, key;
    PlaceOf(path, kind, id, words, key, &role);
    EXPECT_EQ(role, expected) << path;
  }
}

TEST(Streams, EveryStreamAtEveryDepthSortedByPath) {
  TTempDir dir;
  const std::string file = dir.Utf8File("vellum.md");
  ASSERT_EQ(S_OK, WriteCompoundFile(Utf8ToWide(file), {{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), "{}"},
                                                       {OLESTR("Document/Document_Number7/WorkBook"), OLESTR("Dialog Stream"), "form"},
                                                       {OLESTR("Document/Document_Number7/WorkBook"), OLESTR("Page.1"), ""},
                                                       {OLESTR("Document/Empty"), OLESTR(""), ""},
                                                       {OLESTR(""), OLESTR("Container.Contents"), std::string("\0\1", 2)}}));
  std::vector<TContainerStream> streams;
  ASSERT_EQ(S_OK, ReadContainerStreams(Utf8ToWide(file), streams));
  ASSERT_EQ(streams.size(), 4u);
  EXPECT_EQ(streams[0].Path, "Container.Contents");
  EXPECT_EQ(streams[0].Bytes, std::string("\0\1", 2));
  EXPECT_EQ(streams[1].Path, "Document/Document_Number7/WorkBook/Dialog Stream");
  EXPECT_EQ(streams[1].Bytes, "form");
  EXPECT_EQ(streams[2].Path, "Document/Document_Number7/WorkBook/Page.1");
  EXPECT_EQ(streams[3].Path, "Metadata/Main MetaData Stream");
  EXPECT_TRUE(FAILED(ReadContainerStreams(Utf8ToWide(dir.Utf8File("none.md")), streams)));
}

TEST(Streams, DigestIsCrc32) {
  EXPECT_EQ(Digest(""), "00000000");
  EXPECT_EQ(Digest("123456789"), "cbf43926");
}

}  // namespace

// A configuration of more objects than one run of the text's formatting: every object once,
// in the model's order, with the container's streams last, as one object at a time gives.
TEST(ConfigurationText, RunsOfObjectsComeOutInOrder) {
  TTempDir dir;
  const std::string file = dir.Utf8File("many.md");
  ASSERT_EQ(S_OK, WriteConfigurationContainer(file, MakeStreamBytes(GenerateConfigText(DocumentsShape(700)))));
  std::string whole, error;
  size_t pieces = 0;
  ASSERT_TRUE(WriteConfigurationText(file, [&](std::string_view piece) { whole += piece, ++pieces; }, error)) << error;
  TContents contents;
  ASSERT_TRUE(LoadContents(file, contents, error)) << error;
  ASSERT_GT(contents.Model->Objects().size(), 600u);
  std::string one;
  for (size_t i = 0; i < contents.Model->Objects().size(); ++i) ObjectText(contents, int32_t(i), one);
  ContainerText(contents, one);
  EXPECT_EQ(whole, one);
  EXPECT_GT(pieces, 2u);
}
