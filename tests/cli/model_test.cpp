// The configuration model and the queries on it, built from small texts and from a generated
// configuration, checked against the store's own lookups.
#include <gtest/gtest.h>

#include <array>

#include <random>

#include <memory>
#include <string>

#include "host/Pack.h"
#include "host/tool/container/CompoundDirectory.h"
#include "host/tool/answers/Contents.h"
#include "host/tool/model/Model.h"
#include "host/tool/folder/Directory.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/answers/Queries.h"
#include "metadata/getInfo.h"
#include "platform/Text.h"
#include "platform/FileMapping.h"
#include "tests/support/ConfigGen.h"
#include "tests/support/TempDir.h"

using namespace kalamos;

namespace {

TTextBuffer TextOf(const std::string& utf8Text) {
  return NormaliseStreamBytes(MakeStreamBytes(Utf8ToAnsi(utf8Text) + "\r\n}"));
}


const char* const Text = R"({"GenJrnlFldDef",
{"151","Комментарий","Произвольный комментарий к документу","","S","0","0","0"}},
{"DocSelRefobj",
{"160","Отбор","","","0"}},
{"Consts",
{"10","Основной","","","B","0","0","21"}},
{"SbCnts",
{"21","Склады","или собственное","Места хранения","0",
{"Params",
{"22","Район","","Район","B","0","0","13"},
{"23","Код","","","N","x5","2","999"}}},
{"24","Ячейки","","","21"},
{"25","Сироты","","","10"}},
{"Registers",
{"40","Остатки","","","0",
{"Props",
{"244","Район","","","B","0","0","13",
{"Refers",{"21"}}}},
{"Refers",{"24"},{"25"}}}},
{"Documents",
{"50","Приход","","",
{"Head Fields",
{"51","Склад","","","B","0","0","21"}},
{"Table Fields",
{"52","Склад","","","S","10","0","0"},
{"53","Вес","","","N","10","3","0"}},
{"Refers",{"21"}}}},
{"EnumList",
{"13","Районы","","",
{"EnumVal",
{"14","Север","","Северный район"}}}})";

class ModelTest : public ::testing::Test {
protected:
  TModel Model{TextOf(Text)};
  int32_t Named(const char* utf8, int kind = -1) {
    auto found = Model.ObjectsNamed(Utf8ToAnsi(utf8), kind);
    return found.size() == 1 ? found.front() : -1;
  }
};

TEST(Tree, FieldsAndListsAsWritten) {
  // Quotes hold braces and commas; "" is a quote; bare words and empty fields count; lists
  // nested anywhere leave the fields around them in order.
  TTree tree(Utf8ToAnsi("{\"1\",\"a{b}\",\"c,\"\"d\"\"\",15,,{\"x\",{}},\"after\",{\"y\"}\r\n,\"last\"},{}}"), 0);
  ASSERT_EQ(6u, tree.Size());
  const std::vector<int32_t> top = tree.Children(TTree::Root);
  ASSERT_EQ(2u, top.size());
  EXPECT_EQ((std::vector<std::string_view>{"1", "a{b}", "c,\"\"d\"\"", "15", "", "after", "last"}), tree.Fields(top[0]));
  const std::vector<int32_t> inner = tree.Children(top[0]);
  ASSERT_EQ(2u, inner.size());
  EXPECT_EQ("x", tree.FirstField(inner[0]));
  EXPECT_EQ("{}", tree.Raw(tree.Children(inner[0]).at(0)));
  EXPECT_EQ("{\"y\"}", tree.Raw(inner[1]));
  EXPECT_TRUE(tree.Fields(top[1]).empty());
  EXPECT_EQ("", tree.FirstField(top[1]));
  // Never closed: the list runs to the end; a stray closing brace closes nothing.
  TTree open("{\"a\",{\"b\"", 0);
  EXPECT_EQ((std::vector<std::string_view>{"a"}), open.Fields(1));
  EXPECT_EQ((std::vector<std::string_view>{"b"}), open.Fields(2));
  TTree stray("}}{\"a\"}", 0);
  EXPECT_EQ(1u, stray.Children(TTree::Root).size());
}

// The lists of random texts of quotes, braces, commas and letters, at every length across
// the scan's blocks, as a plain reading finds them: a quote opens a text that the next quote
// closes ("" inside it closes and opens again), braces outside texts open and close lists.
TEST(Tree, ListsAsAPlainReadingFindsThem) {
  std::mt19937 random(20261210);
  const char alphabet[] = "\"\"\"{{}},a \r\n";
  for (int round = 0; round < 3000; ++round) {
    std::string text(size_t(random() % 300), ' ');
    for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
    const size_t start = text.empty() ? 0 : random() % (text.size() / 4 + 1);
    std::vector<std::array<int64_t, 3>> expected{{int64_t(start), int64_t(text.size()), -1}};  // begin, end, parent
    std::vector<int64_t> open{0};
    bool quoted = false;
    for (size_t at = start; at < text.size(); ++at) {
      if (text[at] == '"') quoted = !quoted;
      else if (quoted) continue;
      else if (text[at] == '{') expected.push_back({int64_t(at), int64_t(text.size()), open.back()}), open.push_back(int64_t(expected.size() - 1));
      else if (text[at] == '}' && open.size() > 1) expected[size_t(open.back())][1] = int64_t(at), open.pop_back();
    }
    const TTree tree(text, start);
    ASSERT_EQ(expected.size(), tree.Size()) << text;
    for (size_t n = 0; n < expected.size(); ++n) {
      const TTreeNode& node = tree.Node(int32_t(n));
      ASSERT_EQ(expected[n], (std::array<int64_t, 3>{node.Begin, node.End, node.Parent})) << n << " in " << text;
    }
  }
}

TEST_F(ModelTest, ReadsNameCommentSynonymAndTypes) {
  const int32_t stores = Named("склады", KindReference);
  ASSERT_GE(stores, 0);
  const TObject& object = Model.Object(stores);
  EXPECT_EQ("или собственное", U(object.Comment));
  EXPECT_EQ("Места хранения", U(object.Synonym));
  ASSERT_EQ(1u, object.Parts.size());
  EXPECT_EQ("Params", object.Parts[0].Tag);
  const std::vector<TItem> items = Model.Items(object.Parts[0]);
  ASSERT_EQ(2u, items.size());
  // The order of the text, not the component's reverse order.
  const TItem& district = items[0];
  EXPECT_EQ("Район", U(district.Name));
  EXPECT_EQ("Район", U(district.Synonym));
  EXPECT_EQ(Named("Районы", KindEnum), district.Type.RefObject);
  const TItem& code = items[1];
  EXPECT_EQ(0, code.Type.Length) << "a length that is no number counts as 0";
  EXPECT_EQ(2, code.Type.Precision);
  EXPECT_TRUE(code.Type.Refers());
  EXPECT_EQ(-1, code.Type.RefObject) << "999 names no object";
}

TEST_F(ModelTest, CommonAttributesAndConstantsAreTyped) {
  const int32_t common = Named("Комментарий");
  ASSERT_GE(common, 0);
  EXPECT_EQ(KindCommonAttr, Model.Object(common).Kind) << "GenJrnlFldDef holds the common attributes";
  EXPECT_TRUE(Model.Object(common).Typed);
  EXPECT_EQ("S", Model.Object(common).Type.Letter);
  EXPECT_EQ("Произвольный комментарий к документу", U(Model.Object(common).Comment));
  EXPECT_EQ(KindSelection, Model.Object(Named("Отбор")).Kind);
  const TObject& constant = Model.Object(Named("Основной", KindConst));
  EXPECT_EQ(Named("Склады", KindReference), constant.Type.RefObject);
  EXPECT_FALSE(Model.Object(Named("Склады", KindReference)).Typed);
}

TEST_F(ModelTest, OwnershipOnlyBetweenCatalogues) {
  const TObject& stores = Model.Object(Named("Склады"));
  ASSERT_EQ(1u, stores.Owned.size());
  EXPECT_EQ(Named("Ячейки"), stores.Owned[0]);
  EXPECT_EQ(Named("Склады"), Model.Object(Named("Ячейки")).Owner);
  EXPECT_EQ(-1, Model.Object(Named("Сироты")).Owner) << "a constant cannot own a catalogue";
}

TEST_F(ModelTest, RefersListsKnowWhereTheyStand) {
  const TObject& remains = Model.Object(Named("Остатки"));
  ASSERT_EQ(2u, remains.Refers.size());
  EXPECT_EQ("Props", remains.Refers[0].Part);
  EXPECT_EQ("Район", U(remains.Refers[0].Item));
  EXPECT_EQ(Named("Склады"), remains.Refers[0].Objects.at(0));
  EXPECT_EQ("", remains.Refers[1].Part);
  EXPECT_EQ(2u, remains.Refers[1].Ids.size());
  EXPECT_EQ("25", remains.Refers[1].Ids[1]);
}

TEST_F(ModelTest, UsesOfAnObjectSorted) {
  std::vector<TRefUse> uses = FindUses(Model, Named("Склады"));
  std::vector<std::string> seen;
  for (const TRefUse& use : uses)
    seen.push_back(KindEnglish(Model.Object(use.Object).Kind) + "/" + U(Model.Object(use.Object).Name) + "/" +
                   U(use.Part) + "/" + U(use.Item) + "/" + use.How);
  EXPECT_EQ((std::vector<std::string>{"CONST/Основной///type", "DOCUMENT/Приход///refers",
                                      "DOCUMENT/Приход/Head Fields/Склад/type", "REFERENCE/Ячейки///owner",
                                      "REGISTER/Остатки/Props/Район/refers"}),
            seen);
}

TEST_F(ModelTest, LocatesIdentifiers) {
  TLocation item = Model.Locate("244");
  EXPECT_TRUE(item.Found);
  EXPECT_EQ(KindRegister, item.Kind);
  EXPECT_EQ(Named("Остатки"), item.Object);
  EXPECT_EQ("Props", item.Part);
  EXPECT_EQ("Район", U(item.Item));
  TLocation object = Model.Locate("21");
  EXPECT_EQ(Named("Склады"), object.Object);
  EXPECT_EQ("", object.Part);
  TLocation table = Model.Locate("52");
  EXPECT_EQ(Named("Приход"), table.Object);
  EXPECT_EQ("Table Fields", table.Part);
  EXPECT_EQ("Склад", U(table.Item));
  EXPECT_FALSE(Model.Locate("0").Found);
  EXPECT_FALSE(Model.Locate("77777").Found);
  EXPECT_FALSE(Model.Locate("").Found);
}

TEST_F(ModelTest, PathsSearchHeadBeforeTableAndFollowReferences) {
  TPathResult found = ResolvePath(Model, ParseName("ДОКУМЕНТ.приход.склад.РАЙОН"));
  ASSERT_TRUE(found.Found) << found.Missing;
  ASSERT_EQ(2u, found.Steps.size());
  EXPECT_EQ("Head Fields", found.Steps[0].Part) << "the head's attribute of the name comes first";
  EXPECT_EQ(Named("Районы", KindEnum), found.Steps[1].Item.Type.RefObject);
  // An enumeration's values are no attributes.
  TPathResult value = ResolvePath(Model, ParseName("ДОКУМЕНТ.приход.склад.РАЙОН.север"));
  EXPECT_FALSE(value.Found);
  EXPECT_TRUE(value.Dead);

  TPathResult dead = ResolvePath(Model, ParseName("Document.Приход.Вес.Грамм"));
  EXPECT_FALSE(dead.Found);
  EXPECT_TRUE(dead.Dead);
  EXPECT_EQ("Грамм", dead.Missing);

  TPathResult missing = ResolvePath(Model, ParseName("Приход.Вэс"));
  EXPECT_FALSE(missing.Found);
  EXPECT_EQ((std::vector<std::string>{"Вес"}), missing.Candidates);
}

TEST(KindNames, EitherLanguageAnyCaseOrTheToolsLabel) {
  EXPECT_EQ(KindReference, KindOfName(Utf8ToAnsi("справочник")));
  EXPECT_EQ(KindReference, KindOfName("Reference"));
  EXPECT_EQ(KindCommonAttr, KindOfName(Utf8ToAnsi("ОбщийРеквизит")));
  EXPECT_EQ(KindCommonAttr, KindOfName(Utf8ToAnsi("общиеРеквизиты")));
  EXPECT_EQ(-1, KindOfName(Utf8ToAnsi("REFERENCE:СПРАВОЧНИК")));
  EXPECT_EQ(-1, KindOfName(""));
  TNameQuery noKind = ParseName("Нечто.Склады");
  EXPECT_EQ(-1, noKind.Kind);
  EXPECT_EQ(2u, noKind.Segments.size());
}

// Every attribute of a generated configuration is where the component's own lookup finds it.
TEST(ModelOfGenerated, AgreesWithTheStoresLookups) {
  const std::string text = GenerateConfigText(TConfigShape{});
  auto store = std::make_shared<const TMetaStore>(NormaliseStreamBytes(MakeStreamBytes(text)));
  TModel model(NormaliseStreamBytes(MakeStreamBytes(text)));
  size_t objects = 0;
  for (int section = 0; section < KindCount; ++section) {
    int32_t first = 0, count = 0;
    if (!store->SectionIdOf(uint8_t(section)).empty() && store->FindChildren(store->SectionIdOf(uint8_t(section)), first, count))
      objects += size_t(count);
  }
  EXPECT_EQ(objects, model.Objects().size());
  size_t checked = 0;
  for (const TObject& object : model.Objects()) {
    if (object.Kind != KindReference && object.Kind != KindRegister && object.Kind != KindDocument &&
        object.Kind != KindEnum)
      continue;
    for (const TPart& part : object.Parts)
      for (const TItem& item : model.Items(part)) {
        if (model.Object(model.ObjectsNamed(object.Name, object.Kind).back()).Node != object.Node) continue;
        int32_t position = -1;
        ASSERT_TRUE(store->FindAttribute(uint8_t(object.Kind), object.Name, item.Name, position));
        if (part.Tag == SubSectionNames(object.Kind)[0]) {
          EXPECT_EQ(store->IdAt(position), item.Id);
        }
        int32_t at = -1;
        ASSERT_TRUE(store->FindId(item.Id, at));
        EXPECT_EQ(store->ObjectNameById(QuotedField(store->TextAt(at), 7)),
                  item.Type.RefObject >= 0 ? model.Object(item.Type.RefObject).Name : std::string_view());
        ++checked;
      }
  }
  EXPECT_GT(checked, 100u);
}

}  // namespace

// Read in place in the mapped container, the model is the one the storage library's read
// gives: a large text as written by libgsf and by the tool's own writer, one in the OEM code
// page, one whose stream ends in its zero byte, a small one (kept in the mini stream, so read
// the usual way). A stream not in one run of sectors, or a damaged file, is never read in place.
TEST(ModelInPlace, GivesTheModelTheLibrarysReadGives) {
  TTempDir dir;
  const std::string text = GenerateConfigText(TConfigShape{});
  const std::string oem = Utf8ToCodePage(AnsiToUtf8(text), 866);
  struct TCase {
    std::string Name, Bytes;
    bool Own, Mapped;
  };
  const std::vector<TCase> cases = {
      {"gsf", MakeStreamBytes(text), false, true},
      {"own", MakeStreamBytes(text), true, true},
      {"oem", MakeStreamBytes(oem), false, true},
      {"zero", MakeStreamBytes(text) + std::string(1, '\0'), true, true},
      {"small", MakeStreamBytes("{\"Consts\",{\"1\",\"Ставка\",\"\",\"\",\"N\",\"5\",\"2\",\"0\"}}\r\n}"), true, false},
  };
  for (const TCase& c : cases) {
    const std::string file = dir.Utf8File(c.Name + ".md");
    std::string why;
    if (c.Own)
      ASSERT_TRUE(WriteContainer(file, {{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), c.Bytes}}, {}, why)) << why;
    else
      ASSERT_EQ(S_OK, WriteConfigurationContainer(file, c.Bytes)) << c.Name;
    TFileMapping mapping(file);
    size_t offset = 0, size = 0;
    ASSERT_NE(mapping.Data(), nullptr);
    EXPECT_EQ(FindContiguousStream(mapping.Data(), mapping.Size(), "metadata", "MAIN METADATA STREAM", offset, size), c.Mapped)
        << c.Name;
    if (c.Mapped) {
      EXPECT_EQ(std::string_view(mapping.Data() + offset, size), c.Bytes) << c.Name;
    }

    std::string inPlaceError, readError;
    ReadContainersInPlace(true);
    std::unique_ptr<TModel> inPlace = LoadModel(file, inPlaceError);
    ReadContainersInPlace(false);
    std::unique_ptr<TModel> read = LoadModel(file, readError);
    ASSERT_TRUE(inPlace && read) << c.Name << inPlaceError << readError;
    ASSERT_EQ(inPlace->Objects().size(), read->Objects().size()) << c.Name;
    ASSERT_GT(read->Objects().size(), 0u) << c.Name;
    for (size_t i = 0; i < read->Objects().size(); ++i) {
      std::string a, b;
      DescriptionText(*inPlace, int32_t(i), a);
      DescriptionText(*read, int32_t(i), b);
      ASSERT_EQ(a, b) << c.Name << " object " << i;
    }
  }
}

TEST(ModelInPlace, OnlyAWholeRunOfSectors) {
  TTempDir dir;
  const std::string bytes = MakeStreamBytes(GenerateConfigText(TConfigShape{}));
  const std::string file = dir.Utf8File("c.md");
  std::string why;
  ASSERT_TRUE(WriteContainer(file, {{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), bytes}}, {}, why)) << why;
  std::string whole;
  ASSERT_TRUE(ReadWholeFile(file, whole));
  size_t offset = 0, size = 0;
  ASSERT_TRUE(FindContiguousStream(whole.data(), whole.size(), "Metadata", "Main MetaData Stream", offset, size));
  // The FAT link after the stream's first sector, pointing elsewhere: not one run any more.
  const uint32_t first = uint32_t(offset / 512 - 1);
  const uint32_t fatSector = uint32_t(uint8_t(whole[0x4C])) | uint32_t(uint8_t(whole[0x4D])) << 8 |
                             uint32_t(uint8_t(whole[0x4E])) << 16 | uint32_t(uint8_t(whole[0x4F])) << 24;
  std::string broken = whole;
  broken[(fatSector + 1) * 512 + 4 * first] = char(first + 5);
  EXPECT_FALSE(FindContiguousStream(broken.data(), broken.size(), "Metadata", "Main MetaData Stream", offset, size));
  // Cut short, named otherwise, not a compound file at all.
  EXPECT_FALSE(FindContiguousStream(whole.data(), whole.size() / 2, "Metadata", "Main MetaData Stream", offset, size));
  EXPECT_FALSE(FindContiguousStream(whole.data(), whole.size(), "Metadata", "Other", offset, size));
  EXPECT_FALSE(FindContiguousStream(bytes.data(), bytes.size(), "Metadata", "Main MetaData Stream", offset, size));
}

// A container the reader refuses says the reader's reason, not a guess made by opening the
// file again; troubles of the file itself come first.
TEST(ModelLoad, SaysTheReadersReason) {
  TTempDir dir;
  std::string why;
  const std::string empty = dir.Utf8File("empty.md");
  ASSERT_TRUE(WriteContainer(empty, {{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), std::string()}}, {}, why)) << why;
  const std::string other = dir.Utf8File("other.md");
  ASSERT_TRUE(WriteContainer(other, {{OLESTR("Metadata"), OLESTR("Other"), std::string("{}")}}, {}, why)) << why;
  for (bool inPlace : {true, false}) {
    ReadContainersInPlace(inPlace);
    std::string error;
    EXPECT_FALSE(LoadModel(empty, error));
    EXPECT_EQ(error, empty + Say(": the metadata stream is empty", ": поток описания пуст"));
    EXPECT_FALSE(LoadModel(other, error));
    EXPECT_EQ(error, other + Say(": no stream Main MetaData Stream",
                                 ": в хранилище \"Metadata\" нет потока \"Main MetaData Stream\""));
    EXPECT_FALSE(LoadModel(dir.Utf8File("missing.md"), error));
    EXPECT_NE(error.find("missing.md"), std::string::npos);
    EXPECT_EQ(error.find("Metadata"), std::string::npos) << error;
  }
  ReadContainersInPlace(false);
}

// show states an object's facts as text and diff state them, every one, and adds what only
// it tells; a reference to no object says so everywhere.
TEST_F(ModelTest, ShowStatesTheFactsTextStates) {
  for (size_t i = 0; i < Model.Objects().size(); ++i) {
    const TObject& object = Model.Object(int32_t(i));
    if (object.Name.empty()) continue;
    const TAnswer shown = AnswerShow(Model, std::string(KindEnglish(object.Kind)) + "." + U(object.Name));
    ASSERT_EQ(ExitOk, shown.Status) << shown.Error;
    for (const TFact& fact : ObjectFacts(Model, int32_t(i), false))
      EXPECT_NE(std::string::npos, shown.Text.find("\n  " + fact.Label + ": " + fact.Value + "\n")) << shown.Text;
  }
  const TAnswer owner = AnswerShow(Model, "Справочник.Склады");
  EXPECT_NE(std::string::npos, owner.Text.find("\n  подчиненные справочники: Ячейки\n")) << owner.Text;

  TModel dangling{TextOf(R"({"Documents",{"50","Приход","","",{"Head Fields",{"51","Склад","","","S","10","0","0"}},
{"Refers",{"999"}}}})")};
  const TAnswer shown = AnswerShow(dangling, "Приход");
  EXPECT_NE(std::string::npos, shown.Text.find("\n  ссылки: 999 (нет такого объекта)\n")) << shown.Text;
  std::string text;
  DescriptionText(dangling, 0, text);
  EXPECT_NE(std::string::npos, text.find("Документ Приход: ссылки: 999 (нет такого объекта)\n")) << text;
}
