// The script functions behind IScriptAugment::CallAsFunc, and what they keep between calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "metadata/MetaStore.h"
#include "methods/Functions.h"
#include "platform/Ole.h"

namespace kalamos {

// Host message codes of reports.
constexpr uint16_t MsgCodeInfo = 1002;
constexpr uint16_t MsgCodeError = 1006;

// One listing cursor; idle when Key is empty and the numbers are 0.
struct TEnumState {
  std::string Key;
  int32_t First = 0;
  int32_t Count = 0;
  int32_t Position = 0;
  void Reset() { Key.clear(); First = Count = Position = 0; }
  bool IsIdle() const { return Key.empty() && First == 0 && Count == 0 && Position == 0; }
};

constexpr int EnumStateCount = 8;

constexpr bool SlotsInRange() {
  for (const TFunctionRow& row : FunctionRows)
    if (row.Slot >= EnumStateCount) return false;
  return true;
}
static_assert(SlotsInRange(), "methods/Functions.def: a cursor slot past the component's cursors");

// Where the functions send a report (code, message id): the component's error channel.
class TReporter {
public:
  virtual void ReportError(uint16_t code, unsigned messageId) = 0;

protected:
  ~TReporter() = default;
};

// What the functions work on, all of it owned by the component object: its store slot
// (Load fills it), its eight cursors and its error channel.
struct TMethodState {
  std::unique_ptr<TMetaStore>& Store;
  TEnumState (&EnumStates)[EnumStateCount];
  TReporter& Reporter;
};

// Runs script function `number`: the whole of CallAsFunc.
HRESULT CallFunction(const TMethodState& state, LONG number, VARIANT* result, SAFEARRAY** params);

}  // namespace kalamos
