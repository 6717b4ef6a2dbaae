// The object kinds as the component and the tool see them, all from metadata/Kinds.def.
#pragma once

#include <cstdint>
#include <string>

namespace kalamos {

// Kind indexes by name: KindTask, KindReference, KindDocument ...
enum TKind : uint8_t {
#define KALAMOS_KIND(Id, Index, English, Russian, Tag, Label, Sub0, Sub1, Sub2) Kind##Id = Index,
#include "metadata/Kinds.def"
};

// One row of the kind table; text in UTF-8.
struct TKindRow {
  TKind Kind;
  const char* English;
  const char* Russian;
  const char* SectionTag;
  const char* ToolLabel;
  const char* SubSections[3];
};

inline constexpr TKindRow KindRows[] = {
#define KALAMOS_KIND(Id, Index, English, Russian, Tag, Label, Sub0, Sub1, Sub2) \
  {Kind##Id, English, Russian, Tag, Label, {Sub0, Sub1, Sub2}},
#include "metadata/Kinds.def"
};

// Number of object kinds; a kind index is 0..KindCount-1.
constexpr int KindCount = int(sizeof(KindRows) / sizeof(KindRows[0]));

constexpr bool KindRowsInIndexOrder() {
  for (int i = 0; i < KindCount; ++i)
    if (KindRows[i].Kind != i) return false;
  return true;
}
static_assert(KindRowsInIndexOrder(), "metadata/Kinds.def: rows out of index order");

// The other spelling real files give a kind's section tag, nullptr where they use the table's:
// the store takes either, exactly as written.
constexpr const char* SectionAlias(int kind) {
  return kind == KindDocNumRef ? "DocNumDef" : kind == KindProcessing ? "CalcVars" : nullptr;
}

// "ENGLISH:RUSSIAN" in code page 1251, as scripts' kind names are matched; kind 0..16.
const std::string& KindEntry(int kind);

}  // namespace kalamos
