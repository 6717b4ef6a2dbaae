// The host side: a session must drive the component as the host does, and the connection
// object must hand every report over intact.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/Pack.h"
#include "host/Session.h"
#include "platform/Text.h"
#include "tests/support/CallFixture.h"
#include "Version.h"

using namespace kalamos;

namespace {

TSessionOptions Options(bool offerErrorLog = true) {
  TSessionOptions options;
  options.OfferErrorLog = offerErrorLog;
#if KALAMOS_WINDOWS
  // The DLL built beside the test program, without depending on a registration.
  options.Source = TComponentSource::Library;
  options.DllPath = KALAMOS_DLL_FILE;
#endif
  return options;
}

class HostSession : public ::testing::Test {
protected:
  void SetUp() override {
#if KALAMOS_WINDOWS
    if (!std::filesystem::exists(KALAMOS_DLL_FILE)) GTEST_SKIP() << KALAMOS_DLL_FILE " is not built beside the tests";
#endif
    Dir = std::filesystem::temp_directory_path() / ("kalamos-host-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(Dir);
    std::string text = AnsiConfig(
        "{\"Documents\",\r\n{\"120\",\"Накладная\",\"\",\r\n{\"Head Fields\",\r\n" +
        AttrList("121", "Сумма", "N", "15", "2") + ",\r\n" + AttrList("122", "Клиент", "B", "0", "0", "120") +
        "}}}\r\n}");
    auto file = (Dir / "vellum.md").u8string();
    ASSERT_EQ(WriteConfigurationContainer(std::string(file.begin(), file.end()), PackStreamBytes(text)), S_OK);
    auto dir = Dir.u8string();
    DirUtf8.assign(dir.begin(), dir.end());
  }
  void TearDown() override {
    std::error_code ignored;
    if (!Dir.empty()) std::filesystem::remove_all(Dir, ignored);
  }
  std::filesystem::path Dir;
  std::string DirUtf8;
};

TEST_F(HostSession, HandshakeAndLoad) {
  TSession session(Options());
  ASSERT_EQ(session.Start(), S_OK) << session.StartError();
  EXPECT_EQ(session.InitResult(), S_OK);
  EXPECT_EQ(WideToUtf8(session.ExtensionName().data(), session.ExtensionName().size()), "Ostrak");
  EXPECT_EQ(session.FindMethodUtf8("загрузить"), 0);
  EXPECT_EQ(session.FindMethodUtf8("NoSuchFunction"), -1);
  EXPECT_EQ(session.MethodName(MethodEnumValues, 1), "ЗначенияПеречисления");

  // Every function but Load is refused before Load, and the refusal reaches the log whole.
  TCallOutcome outcome;
  EXPECT_EQ(session.Call(MethodEnumObjects, {TVariant::Utf8("ENUM")}, outcome), E_FAIL);
  ASSERT_EQ(session.Log().Reports().size(), 1u);
  const TErrorReport& report = session.Log().Reports()[0];
  EXPECT_EQ(report.Code, 1006);
  EXPECT_EQ(report.Source, "Scholion");
  EXPECT_EQ(report.Description, "Компонента не инициализированна");
  EXPECT_FALSE(report.HadPropertyName);
  session.Log().Clear();

  EXPECT_FALSE(session.Load(DirUtf8 + "/missing"));
  EXPECT_EQ(session.Log().TakeReports().size(), 1u);
  EXPECT_TRUE(session.Load("  " + DirUtf8 + "  "));
  EXPECT_TRUE(session.Log().Reports().empty());
}

TEST_F(HostSession, OmittedParametersTakeDefaultsAndOutputsComeBack) {
  TSession session(Options());
  ASSERT_EQ(session.Start(), S_OK) << session.StartError();
  ASSERT_TRUE(session.Load(DirUtf8));

  TCallOutcome outcome;
  ASSERT_EQ(session.Call(MethodEnumDocHead, {TVariant::Utf8("накладная")}, outcome), S_OK);
  ASSERT_EQ(outcome.Params.size(), 7u);
  EXPECT_EQ(outcome.Return.AsInt(), 1);
  EXPECT_EQ(outcome.Params[1].ToUtf8(), "Клиент");
  EXPECT_EQ(outcome.Params[2].AsInt(), 11);
  EXPECT_EQ(outcome.Params[6].ToUtf8(), "Накладная");
  ASSERT_EQ(session.Call(MethodEnumDocHead, {TVariant::Utf8("накладная")}, outcome), S_OK);
  EXPECT_EQ(outcome.Params[1].ToUtf8(), "Сумма");
  EXPECT_EQ(outcome.Params[4].AsInt(), 15);
  EXPECT_EQ(outcome.Params[5].AsInt(), 2);
  EXPECT_TRUE(outcome.Params[6].IsText());  // no reference still comes back as text

  // GetAttr's date is filled with today's date when omitted.
  ASSERT_EQ(session.Call(MethodGetAttr, {TVariant::Utf8("x"), TVariant::Utf8("y")}, outcome), E_FAIL);
  ASSERT_EQ(outcome.Params.size(), 4u);
  EXPECT_EQ(outcome.Params[3].Type(), VT_DATE);
  session.Log().Clear();

  // More arguments than the function takes never reach the component.
  EXPECT_EQ(session.Call(MethodEnumValCount, {TVariant::Utf8("a"), TVariant::Int(1)}, outcome), E_INVALIDARG);
  EXPECT_TRUE(session.Log().Reports().empty());
}

TEST_F(HostSession, ConnectionWithoutErrorLog) {
  TSession session(Options(false));
  ASSERT_EQ(session.Start(), S_OK) << session.StartError();
  EXPECT_EQ(session.InitResult(), E_NOINTERFACE);
  TCallOutcome outcome;
  EXPECT_EQ(session.Call(MethodEnumValCount, {TVariant::Utf8("x")}, outcome), E_FAIL);
  EXPECT_TRUE(session.Log().Reports().empty());
}

TEST_F(HostSession, DoneGivesTheErrorLogBack) {
  TSession session(Options());
  ASSERT_EQ(session.Start(), S_OK) << session.StartError();
  EXPECT_GT(session.Log().References(), 1u);
  session.End();
  EXPECT_EQ(session.Log().References(), 1u);
  session.End();  // a second end is harmless
  EXPECT_FALSE(session.Started());
}

TEST(HostVariant, ReadableValues) {
  TVariant date;
  date.Get()->vt = VT_DATE;
  date.Get()->date = 45000.75;
  EXPECT_EQ(date.ToUtf8(), "2023-03-15");
  date.Get()->date = 0;
  EXPECT_EQ(date.ToUtf8(), "1899-12-30");
  EXPECT_EQ(TVariant::Int(-7).ToUtf8(), "-7");
  EXPECT_EQ(TVariant::Utf8("Ёлка").ToUtf8(), "Ёлка");
  EXPECT_EQ(TVariant().ToUtf8(), "");
  TVariant copy = TVariant::Utf8("текст");
  TVariant moved = std::move(copy);
  EXPECT_EQ(moved.ToUtf8(), "текст");
  EXPECT_EQ(copy.Type(), VT_EMPTY);
}

}  // namespace
