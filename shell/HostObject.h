// Looking at the host's live objects: kind names, member probes, classification and the
// configuration object a host object belongs to.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Ole.h"

// Kind indexes of the host object classes the component recognises.
constexpr uint8_t KindReference = 5;
constexpr uint8_t KindRegister = 6;
constexpr uint8_t KindDocument = 7;
// Inside ClassifyHostObject: no recognised class.
constexpr uint8_t KindUnrecognised = 11;

// True with the kind index when name equals either half of a kind table entry exactly.
bool KindIndexOf(const std::string& name, uint8_t& kind);
// GetIDsOfNames for one name (IID_NULL, locale 2048); its HRESULT unchanged.
HRESULT ProbeName(IDispatch* object, const std::string& name, DISPID& id);
// 5 (knows "Level"), 7 ("newLine") or 6 ("DoActIncome"), in that order; else false and 11.
bool ClassifyHostObject(IDispatch* object, uint8_t& kind);
// The object's "Kind" as 8-bit text; empty when it gives none.
void HostObjectKind(IDispatch* object, std::string& kind);
