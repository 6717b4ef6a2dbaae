// The model on a configuration shaped like real files (fixtures/real.txt): processings and
// selection columns under the tags real files use, documents with the untagged node "0",
// an explicit identifier above 32000, a nameless accounting object with a chart of accounts,
// a journal with its documents and columns; and every field of it changed in turn, each
// change seen by diff.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

#include "host/Pack.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/vc/Compare.h"
#include "host/tool/vc/Vc.h"
#include "host/tool/answers/Contents.h"
#include "tests/support/Deflate.h"
#include "host/tool/answers/Queries.h"
#include "platform/Storage.h"
#include "platform/Text.h"
#include "tests/support/TempDir.h"

using namespace kalamos;

namespace {

std::string FixtureText() {
  std::ifstream in(KALAMOS_CLI_FIXTURES "/real.txt", std::ios::binary);
  return Utf8ToAnsi(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}


const std::string FormText = "{\"Dialogs\",{\"Форма\"}}";

class RealFiles : public ::testing::Test {
protected:
  RealFiles() {
    File = Dir.Utf8File("vellum.md");
    Write(File, Text);
    std::string error;
    EXPECT_TRUE(LoadContents(File, Contents, error)) << error;
  }
  // The description and the processing's module and form.
  static void Write(const std::string& file, const std::string& text) {
    const std::string form = Utf8ToAnsi(FormText);
    std::string dialog = "\xFF";
    dialog += char(form.size() & 0xFF);
    dialog += char(form.size() >> 8);
    dialog += form;
    EXPECT_EQ(S_OK, WriteCompoundFile(Utf8ToWide(file),
                                      {{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), PackStreamBytes(text + "\r\n}")},
                                       {OLESTR("CalcVar/CalcVar_Number34/WorkBook"), OLESTR("MD Programm text"),
                                        Deflated(Utf8ToAnsi("Процедура Загрузить()\r\nКонецПроцедуры\r\n"))},
                                       {OLESTR("CalcVar/CalcVar_Number34/WorkBook"), OLESTR("Dialog Stream"), dialog}}));
  }
  const TModel& Model() const { return *Contents.Model; }
  int32_t Named(const char* utf8, int kind) const {
    auto found = Model().ObjectsNamed(Utf8ToAnsi(utf8), kind);
    return found.size() == 1 ? found.front() : -1;
  }
  std::string Description(int32_t object) const {
    std::string text;
    DescriptionText(Model(), object, text);
    return text;
  }
  std::string Fact(int32_t object, const std::string& key) const {
    for (const TFact& fact : ObjectFacts(Model(), object))
      if (fact.Key == key) return fact.Value;
    return "(none)";
  }

  std::string Text = FixtureText();
  TTempDir Dir;
  std::string File;
  TContents Contents;
};

TEST_F(RealFiles, ProcessingsWithTheirModuleAndForm) {
  const int32_t processing = Named("ЗагрузкаПрайса", KindProcessing);
  ASSERT_GE(processing, 0) << "a section tagged CalcVars holds the processings";
  std::vector<const TPlacedStream*> streams = Contents.StreamsOf(processing);
  ASSERT_EQ(2u, streams.size());
  EXPECT_EQ(TStreamKind::Module, streams[0]->Kind);
  EXPECT_EQ("Процедура Загрузить()\r\nКонецПроцедуры\r\n", TextOfStream(*streams[0]).Text);
  EXPECT_EQ(FormText, TextOfStream(*streams[1]).Text) << "the form's text without its length";
  EXPECT_TRUE(Contents.StreamsOf(-1).empty()) << "nothing is left to the configuration";
}

TEST_F(RealFiles, SelectionAndJournalColumnsNameAttributes) {
  const int32_t column = Named("ОтборПоКонтрагенту", KindSelection);
  ASSERT_GE(column, 0) << "a section tagged DocSelRefObj holds the selection columns";
  EXPECT_EQ("Документ Реализация: шапка: Контрагент, Документ Поступление: шапка: Поставщик", Fact(column, "refers"));
  const int32_t journal = Named("ПриходНаСклад", KindDocJournal);
  EXPECT_EQ("Документ Реализация: шапка: Контрагент, Документ Поступление: шапка: Поставщик",
            Fact(journal, "refers/JournalFld/" + U(Utf8ToAnsi("Контрагент"))));
  // A document names its journal in field 8; the journal's uses are those documents.
  EXPECT_EQ(journal, Model().Object(Named("Реализация", KindDocument)).Journal);
  EXPECT_EQ(-1, Model().Object(Named("Перемещение", KindDocument)).Journal);
  std::vector<std::string> uses;
  for (const TRefUse& use : FindUses(Model(), journal)) uses.push_back(U(Model().Object(use.Object).Name) + "/" + use.How);
  EXPECT_EQ((std::vector<std::string>{"Поступление/journal", "Реализация/journal"}), uses);
  // An attribute typed by a catalogue, named by a column, is a use of the catalogue.
  bool selected = false;
  for (const TRefUse& use : FindUses(Model(), Named("Контрагенты", KindReference)))
    selected |= use.Object == column && std::string(use.How) == "refers";
  EXPECT_TRUE(selected);
}

TEST_F(RealFiles, NodeZeroIsNoIdentity) {
  for (const char* name : {"Реализация", "Поступление", "Перемещение"}) {
    const int32_t document = Named(name, KindDocument);
    ASSERT_GE(document, 0) << name;
    EXPECT_EQ(1u, Model().Object(document).Refers.size()) << name;
    const std::string text = Description(document);
    ASSERT_NE(std::string::npos, text.find("ссылки")) << text;
    EXPECT_EQ(text.find("ссылки"), text.rfind("ссылки")) << text;
    EXPECT_NE(std::string::npos, text.find(": поля 4-10: \"10\", \"1\", \"1\", \"2\"")) << "fields after the node:\n" << text;
  }
  EXPECT_FALSE(Model().Locate("0").Found);
  EXPECT_EQ(ExitFailed, AnswerId(Model(), "0").Status);
  EXPECT_EQ("Справочник Контрагенты", Fact(Named("Поступление", KindDocument), "refers"));
}

TEST_F(RealFiles, ExplicitIdentifiersOnlyAndNothingMadeUp) {
  const TLocation region = Model().Locate("32005");
  ASSERT_TRUE(region.Found);
  EXPECT_EQ(Named("Контрагенты", KindReference), region.Object);
  EXPECT_EQ("Регион", U(region.Item));
  std::string all;
  for (size_t i = 0; i < Model().Objects().size(); ++i) all += Description(int32_t(i));
  // Every identifier the text shows stands in the configuration text: none is the parser's.
  std::smatch m;
  size_t shown = 0;
  for (auto at = all.cbegin(); std::regex_search(at, all.cend(), m, std::regex("(?:идентификатор: |\\()(\\d+)")); at = m.suffix().first, ++shown)
    EXPECT_NE(std::string::npos, Text.find("{\"" + m[1].str() + "\",")) << m[1];
  EXPECT_GT(shown, 40u);
  // One line per analytic kind: what follows a kind's nested list is its own.
  size_t kinds = 0;
  for (size_t at = 0; (at = all.find("\nБухгалтерия: вид субконто: ", at)) != std::string::npos; ++at)
    for (const char* line : {"Бухгалтерия: вид субконто: Контрагенты (501): Справочник.Контрагенты, синоним \"Контрагенты\", поля 8-9: \"0\", \"1\"\n",
                             "Бухгалтерия: вид субконто: Склады (502): Строка 30, синоним \"Склады\", поля 8-9: \"1\", \"0\"\n"})
      kinds += all.compare(at + 1, std::string(line).size(), line) == 0;
  EXPECT_EQ(2u, kinds) << all;
}

TEST_F(RealFiles, ChartOfAccounts) {
  const std::vector<TFindMatch> found = FindText(Model(), "_dummy1");
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ("_dummy1", found[0].Item);
  const TLocation account = Model().Locate("59");
  ASSERT_GE(account.Object, 0);
  EXPECT_EQ(KindBuh, Model().Object(account.Object).Kind);
  EXPECT_EQ("Бухгалтерия: план счетов: Основной: счет: _dummy1", NodeWords(Model(), account.Node));
  const std::string text = Description(account.Object);
  EXPECT_NE(std::string::npos, text.find("Бухгалтерия: план счетов: Основной (57): счет: 62 (60): субконто счета: вид субконто Склады: поля 2-3: \"0\", \"0\"\n")) << text;
  // Sub-sections without words of their own by their tags.
  EXPECT_NE(std::string::npos, text.find("Бухгалтерия: раздел (AccParams): поля: \"1\", \"0\", \"3\"\n")) << text;
  EXPECT_NE(std::string::npos, text.find("Бухгалтерия: раздел (Distribution ruler): поля: \"2\"\n")) << text;
  // Accounts have no type, whatever their field 4 holds.
  EXPECT_NE(std::string::npos, text.find("счет: 62 (60): синоним \"Расчёты с покупателями\", поля 4-")) << text;
}

TEST_F(RealFiles, PathsThroughAttributesOnly) {
  EXPECT_FALSE(ResolvePath(Model(), ParseName("Документ.Поступление.Поставщик.ФормаСписка")).Found) << "a form is no attribute";
  const TPathResult common = ResolvePath(Model(), ParseName("Документ.Реализация.Фирма.ИНН"));
  ASSERT_TRUE(common.Found) << common.Missing;
  EXPECT_EQ(Named("Фирмы", KindReference), common.Steps[0].Item.Type.RefObject);
  EXPECT_FALSE(ResolvePath(Model(), ParseName("Перечисление.ВидыОплаты.Наличные")).Found);
}

// Each quoted field of the text changed in turn: diff must see every change, and text too.
TEST_F(RealFiles, EveryFieldChangeShows) {
  const std::string plain = Dir.Utf8File("plain.md"), other = Dir.Utf8File("other.md");
  ASSERT_EQ(S_OK, WriteConfigurationContainer(plain, PackStreamBytes(Text + "\r\n}")));
  std::string error, before;
  ASSERT_TRUE(WriteConfigurationText(plain, [&](std::string_view piece) { before += piece; }, error)) << error;
  size_t fields = 0;
  std::vector<std::string> missed;
  for (size_t open = Text.find('"'); open != std::string::npos; open = Text.find('"', open + 1)) {
    const size_t close = Text.find('"', open + 1);
    ASSERT_NE(std::string::npos, close);
    std::string changed = Text;
    changed.insert(close, open + 1 == close ? "x" : "7");
    ASSERT_EQ(S_OK, WriteConfigurationContainer(other, PackStreamBytes(changed + "\r\n}")));
    const std::string where = "line " + std::to_string(1 + std::count(Text.begin(), Text.begin() + long(open), '\n')) +
                              ", field " + U(Text.substr(open, close - open + 1));
    std::string out, after;
    bool different = false;
    ASSERT_TRUE(DiffText(plain, other, {}, out, different, error)) << error;
    if (!different) missed.push_back("diff: " + where);
    ASSERT_TRUE(WriteConfigurationText(other, [&](std::string_view piece) { after += piece; }, error)) << error;
    if (after == before) missed.push_back("text: " + where);
    ++fields;
    open = close;
  }
  EXPECT_EQ(std::vector<std::string>{}, missed);
  EXPECT_GT(fields, 300u);
}

// The comparison names what changed on each side, with no words: an item renamed in place, a
// list of references cut short, an object renamed that others refer to, one change each.
TEST_F(RealFiles, TheComparisonNamesTheThingsThatChanged) {
  std::string changed = Text;
  const auto change = [&](const char* from, const char* to) {
    const std::string a = Utf8ToAnsi(from);
    ASSERT_NE(std::string::npos, changed.find(a)) << from;
    changed.replace(changed.find(a), a.size(), Utf8ToAnsi(to));
  };
  change(R"({"225","Поставщик",)", R"({"225","Продавец",)");
  change(R"({"285","Контрагент","","Контрагент","0",
{"Refers",{"205"},{"225"}})", R"({"285","Контрагент","","Контрагент","0",
{"Refers",{"205"}})");
  change(R"({"120","Контрагенты",)", R"({"120","Партнеры",)");
  const std::string other = Dir.Utf8File("other.md");
  Write(other, changed);
  TContents after;
  std::string error;
  ASSERT_TRUE(LoadContents(other, after, error)) << error;
  const std::vector<TChange> changes = Compare(Contents, after, false);
  std::string words;
  bool different = false;
  ASSERT_TRUE(DiffText(File, other, {}, words, different, error)) << error;
  // A rename alone is one change: not the whole description's lines as well.
  ASSERT_EQ(3u, changes.size()) << words;

  const TChange* name = nullptr;
  const TChange* item = nullptr;
  const TChange* refers = nullptr;
  for (const TChange& c : changes)
    (c.On == TChangeOn::Name ? name : c.On == TChangeOn::Item ? item : refers) = &c;
  ASSERT_TRUE(name && item && refers);
  EXPECT_EQ(Named("Контрагенты", KindReference), name->ObjectA);
  EXPECT_EQ("Партнеры", U(after.Model->Object(name->ObjectB).Name));

  EXPECT_EQ(TChangeOp::Renamed, item->Op);
  EXPECT_EQ(Named("Поступление", KindDocument), item->ObjectA);
  ASSERT_EQ(2u, item->Steps.size());
  EXPECT_EQ("Head Fields", std::string(item->Steps[0].Part.Tag));
  EXPECT_TRUE(item->Steps[1].IsItem);
  EXPECT_EQ("Поставщик", U(item->A.Item.Name));
  EXPECT_EQ("Продавец", U(item->B.Item.Name));
  EXPECT_FALSE(item->ValueChanged);

  EXPECT_EQ(TChangeOp::Changed, refers->Op);
  EXPECT_EQ(TChangeOn::Fact, refers->On);
  EXPECT_EQ(0u, refers->Fact.rfind("refers", 0)) << refers->Fact;
  EXPECT_EQ(Named("ПриходНаСклад", KindDocJournal), refers->ObjectB);
}

}  // namespace

namespace {
// diff decides on what the description writes: an object renamed is that object's change, not
// a change of every object that names it, even of one that changed otherwise.
TEST(DiffDecides, OnTheWrittenValuesNotTheirWords) {
  TTempDir dir;
  const std::string before = R"({"SbCnts",
{"21","Склады","","","0"},
{"22","Ячейки","","","21",
{"Params",{"23","Склад","","","B","0","0","21"}}}},
{"Documents",
{"50","Приход","старый","","",
{"Head Fields",{"51","Склад","","","B","0","0","21"}},
{"Refers",{"21"}}}})";
  std::string after = before;
  const auto change = [&](std::string_view from, std::string_view to) { after.replace(after.find(from), from.size(), to); };
  change("\"Склады\"", "\"Хранилища\"");
  change("\"старый\"", "\"новый\"");
  const std::string a = dir.Utf8File("a.md"), b = dir.Utf8File("b.md");
  ASSERT_EQ(S_OK, WriteConfigurationContainer(a, PackStreamBytes(Utf8ToAnsi(before) + "\r\n}")));
  ASSERT_EQ(S_OK, WriteConfigurationContainer(b, PackStreamBytes(Utf8ToAnsi(after) + "\r\n}")));
  std::string out, error;
  bool different = false;
  ASSERT_TRUE(DiffText(a, b, {}, out, different, error)) << error;
  EXPECT_TRUE(different);
  EXPECT_NE(std::string::npos, out.find("~ Справочник Склады → Хранилища\n")) << out;
  EXPECT_NE(std::string::npos, out.find("~ Документ Приход: комментарий\n")) << out;
  // Neither the document's reference list nor its attribute, nor the owned catalogue, changed.
  EXPECT_EQ(std::string::npos, out.find("ссылки")) << out;
  EXPECT_EQ(std::string::npos, out.find("Склад (51)")) << out;
  EXPECT_EQ(std::string::npos, out.find("владелец")) << out;
}
}  // namespace
