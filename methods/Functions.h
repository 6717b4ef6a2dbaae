// The script functions as the component, its faces and the tool see them, all from
// methods/Functions.def.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kalamos {

constexpr int NoSlot = -1;
constexpr int NoDefault = -1;
// The default value of a parameter the caller left out.
enum TDefault : uint8_t { DefaultNone, DefaultToday, DefaultEmptyText };

// Method numbers by name: MethodLoad, MethodHasAttr ... MethodRefInfo.
enum TMethod : int32_t {
#define KALAMOS_FUNCTION(Id, Number, English, Russian, Params, Named, Slot, DefaultAt, Default, Handler) \
  Method##Id = Number,
#include "methods/Functions.def"
};

// One row of the function table; names in UTF-8.
struct TFunctionRow {
  TMethod Method;
  const char* English;
  const char* Russian;
  uint8_t Params;
  bool NamesObject;
  int8_t Slot;
  int8_t DefaultAt;
  TDefault Default;
};

inline constexpr TFunctionRow FunctionRows[] = {
#define KALAMOS_FUNCTION(Id, Number, English, Russian, Params, Named, Slot, DefaultAt, Default, Handler) \
  {Method##Id, English, Russian, Params, Named, Slot, DefaultAt, Default},
#include "methods/Functions.def"
};

constexpr int MethodCount = int(sizeof(FunctionRows) / sizeof(FunctionRows[0]));

constexpr bool FunctionRowsInNumberOrder() {
  for (int i = 0; i < MethodCount; ++i)
    if (FunctionRows[i].Method != i) return false;
  return true;
}
static_assert(FunctionRowsInNumberOrder(), "methods/Functions.def: rows out of number order");

constexpr bool MethodInRange(long number) { return number >= 0 && number < MethodCount; }

// "English;Russian" in code page 1251; number 0..MethodCount-1.
const std::string& MethodEntry(int number);
// The entry upper-cased with the ANSI upper-casing, as names are matched against it.
const std::string& UpperMethodEntry(int number);
// One half of an entry: the English name, or the Russian one; upper-cased on request.
std::string_view MethodName(int number, bool russian, bool upper = false);
// Parameter count of a method; 0 outside the table.
uint8_t ParamCount(int number);

}  // namespace kalamos
