// Sequences of CallAsFunc over a store parsed from fuzzed text, with fuzzed parameter
// arrays: every call must answer S_OK, S_FALSE or E_FAIL, report at most once (and exactly
// once when it fails), and give back every reference to the host objects it was handed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/ErrorLogSink.h"
#include "metadata/MetaStore.h"
#include "metadata/getInfo.h"
#include "methods/Functions.h"
#include "platform/Text.h"
#include "shell/Ostrak.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/unit/hardening_host.h"

using namespace kalamos;

namespace {

// A name the store knows, so that calls reach past the name checks.
std::string StoreName(const TMetaStore& store, FuzzedDataProvider& input) {
  static const char* const fixed[] = {"Documents", "SbCnts", "EnumList", "Registers", "Head Fields", "EnumVal",
                                      "Kind", "Level", "Code", "Description", ""};
  const int32_t count = store.IdCount();
  if (count == 0 || input.ConsumeBool()) return fixed[input.ConsumeIntegralInRange<size_t>(0, std::size(fixed) - 1)];
  const int32_t at = input.ConsumeIntegralInRange<int32_t>(0, count - 1);
  return std::string(QuotedField(store.TextAt(at), 1));
}

VARIANT MakeParam(FuzzedDataProvider& input, const TMetaStore* store, std::vector<std::unique_ptr<THostDouble>>& hosts,
                  BSTR& byrefTarget) {
  VARIANT v;
  VariantInit(&v);
  switch (input.ConsumeIntegralInRange<int>(0, 13)) {
    case 0: break;
    case 1: v.vt = VT_NULL; break;
    case 2: v.vt = VT_I2; v.iVal = input.ConsumeIntegral<int16_t>(); break;
    case 3: v.vt = VT_I4; v.lVal = input.ConsumeIntegralInRange<LONG>(-2, 10); break;
    case 4: v.vt = VT_I4; v.lVal = input.ConsumeIntegral<LONG>(); break;
    case 5: v.vt = VT_R8; v.dblVal = input.ConsumeFloatingPoint<double>(); break;
    case 6: v.vt = VT_BOOL; v.boolVal = VARIANT_BOOL(input.ConsumeBool() ? -1 : 0); break;
    case 7: v.vt = VT_DATE; v.date = input.ConsumeFloatingPoint<double>(); break;
    case 8:
      v.vt = VT_BSTR;
      v.bstrVal = AnsiToBstr(store ? StoreName(*store, input) : "Colors");
      break;
    case 9:
      v.vt = VT_BSTR;
      v.bstrVal = AnsiToBstr(input.ConsumeRandomLengthString(64));
      break;
    case 10: v.vt = VT_BSTR; v.bstrVal = nullptr; break;
    case 11: v.vt = VT_DISPATCH; v.pdispVal = nullptr; break;
    case 12: {
      const auto cls = static_cast<THostDouble::TClass>(input.ConsumeIntegralInRange<int>(0, 3));
      std::string kind = store ? StoreName(*store, input) : "";
      hosts.push_back(std::make_unique<THostDouble>(cls, kind, input.ConsumeIntegralInRange<int>(0, 7) == 0));
      v = hosts.back()->AsVariant();
      break;
    }
    default:
      // The variant refers to a BSTR the caller keeps.
      v.vt = VT_BSTR | VT_BYREF;
      v.pbstrVal = &byrefTarget;
      break;
  }
  return v;
}

bool NamesObject(LONG method) { return MethodInRange(method) && FunctionRows[method].NamesObject; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const bool loaded = input.ConsumeBool();
  TTextBuffer text;
  text.Bytes = input.ConsumeRandomLengthString(1 << 16);

  TErrorLogSink* log = new TErrorLogSink(true);
  TOstrak* object = new TOstrak();
  object->AddRef();
  FUZZ_CHECK(object->Init(log->Connection()) == S_OK);
  if (loaded) object->Store = std::make_unique<TMetaStore>(text);
  const TMetaStore* store = object->Store.get();

  std::vector<std::unique_ptr<THostDouble>> hosts;
  BSTR byrefTarget = AnsiToBstr("Colors");
  for (int calls = 0; calls < 64 && input.remaining_bytes() > 0; ++calls) {
    LONG method = input.ConsumeIntegralInRange<LONG>(-2, MethodCount + 1);
    // Load would open whatever path the input names.
    if (method == MethodLoad && !loaded) method = -1;
    const int count = input.ConsumeIntegralInRange<int>(0, 10);
    SAFEARRAY* array = nullptr;
    if (count <= 9) {
      array = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(count));
      FUZZ_CHECK(array != nullptr);
      for (LONG i = 0; i < count; ++i) {
        VARIANT v = MakeParam(input, store, hosts, byrefTarget);
        FUZZ_CHECK(SUCCEEDED(SafeArrayPutElement(array, &i, &v)));
        VariantClear(&v);
      }
    }
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = object->CallAsFunc(method, &result, input.ConsumeBool() ? &array : nullptr);
    const std::vector<TErrorReport> reports = log->TakeReports();

    FUZZ_CHECK(hr == S_OK || hr == S_FALSE || hr == E_FAIL);
    FUZZ_CHECK(reports.size() <= 1);
    if (hr == E_FAIL) FUZZ_CHECK(reports.size() == 1);
    if (hr == S_FALSE) FUZZ_CHECK(reports.empty() && !MethodInRange(method) && result.vt == VT_I4 && result.lVal == 0);
    if (hr == S_OK && !reports.empty()) FUZZ_CHECK(method == MethodLoad && reports[0].Code == 1002);
    if (!loaded && method > MethodLoad) FUZZ_CHECK(hr == E_FAIL && reports[0].Code == 1006);
    if (hr == S_OK) {
      const bool text = method == MethodSbKindKind || method == MethodValueByNum || method == MethodEnumValInternal;
      FUZZ_CHECK(result.vt == (text ? VT_BSTR : VT_I4));
    }
    if (hr == E_FAIL && NamesObject(method)) FUZZ_CHECK(reports[0].Code == 1006);
    for (const TEnumState& cursor : object->EnumStates)
      FUZZ_CHECK(cursor.IsIdle() || (cursor.Count >= 0 && cursor.Position >= cursor.First));

    VariantClear(&result);
    if (array) SafeArrayDestroy(array);
    for (const auto& host : hosts) FUZZ_CHECK(host->Outstanding() == 0 && host->Balanced());
  }
  SysFreeString(byrefTarget);
  FUZZ_CHECK(object->Done() == S_OK);
  object->Release();
  log->Release();
  for (const auto& host : hosts) FUZZ_CHECK(host->Outstanding() == 0 && host->Balanced());
  return 0;
}
