#include "tests/support/CallFixture.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <system_error>

#include "metadata/MetaStore.h"
#include "platform/Storage.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "shell/Ostrak.h"

using namespace kalamos;

TParamArray::TParamArray(const std::vector<TVariant>& values) : Count(values.size()) {
  Array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i)
    SafeArrayPutElement(Array, &i, const_cast<VARIANT*>(values[i].Get()));
}

TParamArray::~TParamArray() {
  if (Array) SafeArrayDestroy(Array);
}

TVariant TParamArray::At(int n) const {
  TVariant value;
  LONG index = n - 1;
  if (Array) SafeArrayGetElement(Array, &index, value.Get());
  return value;
}

std::string AnsiConfig(std::string_view utf8) { return Utf8ToAnsi(utf8); }

std::string AttrList(std::string_view id, std::string_view name, std::string_view type, std::string_view length,
                     std::string_view precision, std::string_view reference, std::string_view periodic) {
  std::string text = "{\"";
  for (std::string_view field : {id, name, std::string_view("syn"), std::string_view(""), type, length, precision,
                                 reference, std::string_view(""), std::string_view(""), periodic}) {
    text += field;
    text += "\",\"";
  }
  text.resize(text.size() - 2);
  return text + "}";
}

TCallFixture::TCallFixture() {
  Log.Reset(new TErrorLogSink(true));
  Object.Reset(new TOstrak());
  Object->AddRef();
  EXPECT_EQ(Object->Init(Log->Connection()), S_OK);
}

TCallFixture::~TCallFixture() {
  Last.reset();
  Result = TVariant();
  Object->Done();
}

void TCallFixture::LoadText(std::string_view utf8Config) {
  TTextBuffer buffer;
  buffer.Bytes = AnsiConfig(utf8Config);
  Object->Store = std::make_unique<TMetaStore>(buffer);
}

HRESULT TCallFixture::Call(LONG method, TParamArray& params) {
  // The component overwrites the return value without clearing it, as the host expects; a
  // text left from the last call is ours to free. Numbers stay, as sentinels.
  if (Result.Type() != VT_I4) Result = TVariant();
  return Object->CallAsFunc(method, Result.Get(), params.Ptr());
}

HRESULT TCallFixture::Call(LONG method, const std::vector<TVariant>& values) {
  Last = std::make_unique<TParamArray>(values);
  return Call(method, *Last);
}

::testing::AssertionResult TCallFixture::Reported(uint16_t code, unsigned messageId) {
  std::vector<TErrorReport> reports = Log->TakeReports();
  if (reports.size() != 1) return ::testing::AssertionFailure() << reports.size() << " reports, not one";
  const TErrorReport& report = reports[0];
  std::string expected = AnsiToUtf8(LoadResourceString(messageId));
  if (report.Code != code || report.Description != expected)
    return ::testing::AssertionFailure() << "report (" << report.Code << ", \"" << report.Description << "\")";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult TCallFixture::Quiet() {
  std::vector<TErrorReport> reports = Log->TakeReports();
  if (reports.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "unexpected report (" << reports[0].Code << ", \""
                                       << reports[0].Description << "\")";
}

::testing::AssertionResult TCallFixture::IsLong(const TVariant& v, LONG value) {
  if (v.Type() == VT_I4 && v.AsInt() == value) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "type " << v.Type() << " value \"" << v.ToUtf8() << "\", not VT_I4 "
                                       << value;
}

::testing::AssertionResult TCallFixture::IsText(const TVariant& v, std::string_view utf8) {
  if (v.Type() == VT_BSTR && WideToUtf8(v.AsWide().data(), v.AsWide().size()) == utf8)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "type " << v.Type() << " value \"" << v.ToUtf8() << "\", not text \""
                                       << utf8 << "\"";
}

TScratchDir::TScratchDir() {
  static std::atomic<int> serial{0};
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::filesystem::path candidate =
        base / ("kalamos-methods-" + std::to_string(reinterpret_cast<uintptr_t>(this) % 100000) + "-" +
                std::to_string(serial++));
    if (std::filesystem::create_directory(candidate, error)) {
      Dir = candidate.string();
      return;
    }
  }
  ADD_FAILURE() << "no scratch directory";
}

TScratchDir::~TScratchDir() {
  std::error_code error;
  if (!Dir.empty()) std::filesystem::remove_all(Dir, error);
}

void TScratchDir::WriteContainer(std::string_view utf8Config, std::string_view fileName) {
  // Nine bytes of preamble: its fourth byte is no brace, so the text starts at offset 9.
  std::string bytes = "MDPREAMBL" + Utf8ToCodePage(utf8Config, 866);
  std::filesystem::path file = std::filesystem::path(Dir) / std::string(fileName);
  TStorageEntry entry;
  entry.storage = Utf8ToWide("Metadata");
  entry.stream = Utf8ToWide("Main MetaData Stream");
  entry.bytes = bytes;
  HRESULT hr = WriteCompoundFile(Utf8ToWide(file.string()), {entry});
  ASSERT_EQ(hr, S_OK) << "container " << file.string();
}

std::string SampleConfig() {
  std::string text;
  text += "{\"Documents\",\r\n";
  text += "{\"120\",\"Invoice\",\"Sales invoice\",\r\n{\"Head Fields\",\r\n";
  text += AttrList("121", "Customer", "B", "0", "0", "130") + ",\r\n";
  text += AttrList("124", "Total", "N", "15", "2") + ",\r\n";
  text += AttrList("125", "Note", "S", "25", "7") + "},\r\n";
  text += "{\"Table Fields\",\r\n";
  text += AttrList("122", "Amount", "N", "10", "3") + ",\r\n";
  text += AttrList("123", "Price", "A", "5", "1") + "}},\r\n";
  text += "{\"126\",\"Waybill\",\"\",\r\n{\"Head Fields\"}},\r\n";
  text += "{\"127\",\"Receipt\",\"\"}},\r\n";

  auto catalogue = [](std::string_view id, std::string_view name, std::string_view owner) {
    std::string list = "{\"" + std::string(id) + "\",\"" + std::string(name) + "\",\"syn\",\"\",\"" +
                       std::string(owner) + "\"";
    for (int field = 5; field <= 16; ++field) list += ",\"" + std::to_string(100 + field) + "\"";
    return list;
  };
  text += "{\"SbCnts\",\r\n";
  text += catalogue("130", "Clients", "0") + ",\r\n{\"Params\",\r\n";
  text += AttrList("131", "Rating", "N", "5", "0", "0", "1") + ",\r\n";
  text += AttrList("132", "Phone", "S", "20") + ",\r\n";
  text += AttrList("136", "Mark", "E", "0", "0", "0") + "}},\r\n";
  text += catalogue("133", "Contracts", "130") + "},\r\n";
  text += catalogue("134", "Goods", "0") + "},\r\n";
  text += catalogue("135", "Contacts", "130") + "},\r\n";
  text += catalogue("137", "Товары", "0") + ",\r\n{\"Params\",\r\n";
  text += AttrList("138", "Цена", "N", "10", "2") + "}}},\r\n";

  text += "{\"Registers\",\r\n{\"500\",\"Stock\",\"\",\r\n{\"Props\",\r\n";
  text += AttrList("501", "Warehouse", "B", "0", "0", "130") + ",\r\n";
  text += AttrList("502", "Item", "S", "10") + "},\r\n{\"Figures\",\r\n";
  text += AttrList("503", "Qty", "N", "12", "3") + "}}},\r\n";

  text += "{\"EnumList\",\r\n";
  text += "{\"200\",\"Colors\",\"\",\r\n{\"EnumVal\",\r\n";
  text += "{\"201\",\"Red\",\"\"},\r\n{\"202\",\"Green\",\"\"},\r\n{\"203\",\"Blue\",\"\"}}},\r\n";
  text += "{\"204\",\"Bare\",\"\",\r\n{\"EnumVal\"}},\r\n";
  text += "{\"205\",\"NoValues\",\"\"},\r\n";
  text += "{\"300\",\"Sizes\",\"\",\r\n{\"EnumVal\",\r\n{\"123456789\",\"Medium\",\"\"},\r\n{\"12345678901\",\"Small\",\"\"}}}},\r\n";

  text += "{\"Buh\",\r\n";
  text += "{\"410\",\"Other\",\"\",\r\n{\"SbKind\",\r\n" + AttrList("411", "Hidden", "B") + "}},\r\n";
  text += "{\"400\",\"Main\",\"\",\r\n{\"SbKind\",\r\n";
  text += AttrList("401", "Clients", "B", "0", "0", "130") + ",\r\n";
  text += AttrList("402", "Colors", "E", "0", "0", "200") + ",\r\n";
  text += AttrList("403", "Docs", "O") + ",\r\n";
  text += AttrList("404", "Qty", "N") + ",\r\n";
  text += AttrList("405", "Odd", "A") + ",\r\n";
  text += AttrList("406", "Plain", "E") + "}}}\r\n";
  text += "}\r\n";
  return text;
}
