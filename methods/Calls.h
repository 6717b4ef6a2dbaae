// What the script functions share inside methods/: one call in progress (the parameter
// copies, the object name, the return value) and the functions the dispatcher branches to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "methods/Functions.h"
#include "platform/Ole.h"
#include "platform/Variant.h"

namespace kalamos {

struct TMethodState;
class TMetaStore;
struct TEnumState;

constexpr int MostParams() {
  int most = 0;
  for (const TFunctionRow& row : FunctionRows) most = row.Params > most ? row.Params : most;
  return most;
}
// The largest parameter count of any function; only this many parameters are copied.
constexpr int ParamCopyCount = MostParams();

// One CallAsFunc in progress. The copies are cleared whatever path the call takes.
class TCall {
public:
  TCall(const TMethodState& state, LONG method, VARIANT* result, SAFEARRAY* params);
  TCall(const TCall&) = delete;
  TCall& operator=(const TCall&) = delete;

  const TMethodState& State;
  // The method number the host called.
  const LONG Method;
  TMetaStore& Store() const;
  // Parameter n (1-based), as copied when the call began.
  VARIANT& Param(int n) { return *Copies[n - 1].Get(); }
  // The upper-cased 8-bit text of parameter 1, for the functions that name an object.
  std::string ObjectName;

  // Writes parameter n back into the host's array; a write past its end is dropped.
  void PutParam(int n, VARIANT& value);
  void PutText(int n, std::string_view ansiText);
  void PutLong(int n, LONG value);

  // The return value; only a VT_I4 until a function replaces the whole variant.
  void SetLong(LONG value);
  void SetText(std::string_view ansiText);

  // Reports (code, message) to the host and gives E_FAIL for the caller to return.
  HRESULT Fail(uint16_t code, unsigned messageId);

  void CopyParams();
  void PresetResult();

private:
  // Element n of the host's array; null past its end or without one.
  VARIANT* Element(int n);
  VARIANT* Result;
  SAFEARRAY* Params;
  TVariant Copies[ParamCopyCount];
  // Stands in for a missing return-value pointer so that nothing writes through null.
  TVariant ResultSink;
};

// The cursor protocol: a walk over the children of one parent node.
// Restarts the cursor on (key, parentId); no parent gives an empty walk.
void RestartWalk(TEnumState& cursor, const TMetaStore& store, const std::string& key,
                 std::optional<std::string_view> parentId);
// True when the walk has a child left at Position.
bool HasNextChild(const TEnumState& cursor, const TMetaStore& store);
// The stored text of the child at Position, then Position advances.
std::string_view TakeNextChild(TEnumState& cursor, const TMetaStore& store);

// The handlers the function table names; each returns the HRESULT of CallAsFunc.
#define KALAMOS_FUNCTION(Id, Number, English, Russian, Params, Named, Slot, DefaultAt, Default, Handler) \
  HRESULT Handler(TCall& call);
#include "methods/Functions.def"

// Type code, length and precision of an attribute from its stored text.
struct TValueType {
  LONG Code = 0;
  LONG Length = 0;
  LONG Precision = 0;
};
TValueType ValueTypeOf(std::string_view nodeText);
// The type code of a type letter: N 1, S 2, D 3, E 10, B 11, O 12, else 0.
LONG TypeCodeOf(std::string_view typeField);

}  // namespace kalamos
