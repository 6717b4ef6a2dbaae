// Calling the script functions as the host does: a component object with an error log, a
// store loaded from configuration text, parameter arrays built from values, and the reports
// the component wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/ErrorLogSink.h"
#include "methods/Functions.h"
#include "platform/ComPtr.h"
#include "platform/Variant.h"
#include "platform/Ole.h"

namespace kalamos {
class TOstrak;
}

// The host's parameter array: a one-dimensional SAFEARRAY of VARIANT, lower bound 0.
class TParamArray {
public:
  explicit TParamArray(const std::vector<kalamos::TVariant>& values);
  ~TParamArray();
  TParamArray(const TParamArray&) = delete;
  TParamArray& operator=(const TParamArray&) = delete;

  SAFEARRAY** Ptr() { return &Array; }
  // Parameter n (1-based) as the array holds it now.
  kalamos::TVariant At(int n) const;
  size_t Size() const { return Count; }

private:
  SAFEARRAY* Array = nullptr;
  size_t Count = 0;
};

// Configuration text from readable UTF-8, in code page 1251 as the store keeps it.
std::string AnsiConfig(std::string_view utf8);
// One list of an attribute: fields 1 name, 2 synonym, 3 "", 4 type, 5 length, 6 precision,
// 7 referenced identifier, 8 and 9 "", 10 the periodic mark.
std::string AttrList(std::string_view id, std::string_view name, std::string_view type,
                     std::string_view length = "0", std::string_view precision = "0",
                     std::string_view reference = "0", std::string_view periodic = "0");

// A fresh component object after Init with an error log, as the host holds it.
class TCallFixture : public ::testing::Test {
protected:
  TCallFixture();
  ~TCallFixture() override;

  // Gives the component a store built from UTF-8 configuration text, as Load would.
  void LoadText(std::string_view utf8Config);
  // CallAsFunc(method) on params; the answer goes into Result.
  HRESULT Call(LONG method, TParamArray& params);
  // CallAsFunc with a fresh array of these values, kept in Last until the next call.
  HRESULT Call(LONG method, const std::vector<kalamos::TVariant>& values);
  // Parameter n of the last array after the call.
  kalamos::TVariant Out(int n) const { return Last->At(n); }

  // Exactly one report since the last look, with this code and message; consumes it.
  ::testing::AssertionResult Reported(uint16_t code, unsigned messageId);
  // No report since the last look.
  ::testing::AssertionResult Quiet();

  // Result holds VT_I4 value.
  static ::testing::AssertionResult IsLong(const kalamos::TVariant& v, LONG value);
  // v holds text equal to the UTF-8 text (an empty text may be a null BSTR).
  static ::testing::AssertionResult IsText(const kalamos::TVariant& v, std::string_view utf8);

  // The log outlives the object, which may still hold it.
  kalamos::TComPtr<kalamos::TErrorLogSink> Log;
  kalamos::TComPtr<kalamos::TOstrak> Object;
  kalamos::TVariant Result;
  std::unique_ptr<TParamArray> Last;
};

// A directory of its own for a test, removed with everything in it.
class TScratchDir {
public:
  TScratchDir();
  ~TScratchDir();
  // The path in the native form, UTF-8.
  const std::string& Path() const { return Dir; }
  // Writes "vellum.md" here: the configuration text (UTF-8) in the OEM code page behind a
  // preamble, in stream "Main MetaData Stream" of storage "Metadata".
  void WriteContainer(std::string_view utf8Config, std::string_view fileName = "vellum.md");

private:
  std::string Dir;
};

// A small configuration with something of every kind the script functions read, in UTF-8.
// Documents: Invoice (head Customer B->Clients, Total N 15.2, Note S 25; table Amount N 10.3,
// Price with type letter A), Waybill (empty "Head Fields"), Receipt (no sub-sections).
// Catalogues in text order: Clients (fields 5..16 hold 105..116; Params: Rating N periodic,
// Phone S 20, Mark with field 7 "0"), Contracts (owned by Clients), Goods, Contacts (owned by
// Clients), Товары (Params: Цена). Register Stock (Props Warehouse B, Item S 10; Figures Qty
// N 12.3). Enumerations: Colors 200 (Red 201, Green 202, Blue 203), Bare (an empty EnumVal),
// NoValues (no EnumVal), Sizes 300 (Medium 123456789, Small 12345678901). Accounting: Other (kind Hidden), then
// Main with SbKind: Clients B->130, Colors E->200, Docs O, Qty N, Odd A, Plain E with "0".
std::string SampleConfig();
