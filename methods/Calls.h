// What the script functions share inside methods/: one call in progress (the parameter
// copies, the object name, the return value) and the functions the dispatcher branches to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Ole.h"

struct TMethodState;
class TMetaStore;
struct TEnumState;

// The largest parameter count of any function; only this many parameters are copied.
constexpr int ParamCopyCount = 7;

// One CallAsFunc in progress. The copies are cleared whatever path the call takes.
class TCall {
public:
  TCall(const TMethodState& state, VARIANT* result, SAFEARRAY* params);
  ~TCall();
  TCall(const TCall&) = delete;
  TCall& operator=(const TCall&) = delete;

  const TMethodState& State;
  TMetaStore& Store() const;
  // Parameter n (1-based), as copied when the call began.
  VARIANT& Param(int n) { return Copies[n - 1]; }
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
  VARIANT Copies[ParamCopyCount];
  // Stands in for a missing return-value pointer so that nothing writes through null.
  VARIANT ResultSink;
};

// The cursor protocol: a walk over the children of one parent node.
// Restarts the cursor on (key, parentId); no parent gives an empty walk.
void RestartWalk(TEnumState& cursor, const TMetaStore& store, const std::string& key,
                 std::optional<std::string_view> parentId);
// True when the walk has a child left at Position.
bool HasNextChild(const TEnumState& cursor, const TMetaStore& store);
// The stored text of the child at Position, then Position advances.
std::string_view TakeNextChild(TEnumState& cursor, const TMetaStore& store);

// The functions behind method numbers 0..18; each returns the HRESULT of CallAsFunc.
HRESULT Load(TCall& call);
HRESULT AttrAccess(TCall& call, LONG method);     // 1 HasAttr, 2 SetAttr, 3 GetAttr
HRESULT AttrListing(TCall& call, LONG method);    // 4..9
HRESULT EnumObjects(TCall& call);                 // 10
HRESULT EnumOwnedRefs(TCall& call);               // 11
HRESULT SbKindType(TCall& call);                  // 12
HRESULT SbKindKind(TCall& call);                  // 13
HRESULT EnumValCount(TCall& call);                // 14
HRESULT ValueByNum(TCall& call);                  // 15
HRESULT EnumValInternal(TCall& call);             // 16
HRESULT ResetEnum(TCall& call);                   // 17
HRESULT RefInfo(TCall& call);                     // 18

// Type code, length and precision of an attribute from its stored text.
struct TValueType {
  LONG Code = 0;
  LONG Length = 0;
  LONG Precision = 0;
};
TValueType ValueTypeOf(std::string_view nodeText);
// The type code of a type letter: N 1, S 2, D 3, E 10, B 11, O 12, else 0.
LONG TypeCodeOf(std::string_view typeField);
