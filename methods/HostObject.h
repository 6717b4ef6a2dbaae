// Looking at the host's live objects: kind names, member probes, classification and the
// configuration object a host object belongs to.
#pragma once

#include <cstdint>
#include <string>

#include "metadata/Kinds.h"
#include "platform/Ole.h"

namespace kalamos {

// What ClassifyHostObject leaves when no class answers: the value it has always left there,
// not a claim that the object is a calculation journal.
constexpr uint8_t KindUnrecognised = KindCalcJournal;

// True with the kind index when name equals either half of a kind table entry exactly.
bool KindIndexOf(const std::string& name, uint8_t& kind);
// GetIDsOfNames for one name (IID_NULL, locale 2048); its HRESULT unchanged.
HRESULT ProbeName(IDispatch* object, const std::string& name, DISPID& id);
// KindReference (knows "Level"), KindDocument ("newLine") or KindRegister ("DoActIncome"),
// probed in that order; else false and KindUnrecognised.
bool ClassifyHostObject(IDispatch* object, uint8_t& kind);
// The object's "Kind" as 8-bit text; empty when it gives none.
void HostObjectKind(IDispatch* object, std::string& kind);

}  // namespace kalamos
