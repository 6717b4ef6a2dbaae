// Host object inspection: kind names, member probes, classification and "Kind".
#include "methods/HostObject.h"

#include <algorithm>

#include "metadata/Kinds.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

// The host's own locale for every call, whatever the user's settings.
constexpr LCID HostLocale = LOCALE_SYSTEM_DEFAULT;
// The probe buffer: 254 characters and the terminating zero.
constexpr size_t ProbeCapacity = 255;

}  // namespace

bool KindIndexOf(const std::string& name, uint8_t& kind) {
  for (int i = 0; i < KindCount; ++i) {
    const std::string& entry = KindEntry(i);
    size_t colon = entry.find(':');
    if (colon == std::string::npos) continue;
    if (entry.compare(0, colon, name) == 0 || entry.compare(colon + 1, std::string::npos, name) == 0) {
      kind = static_cast<uint8_t>(i);
      return true;
    }
  }
  return false;
}

HRESULT ProbeName(IDispatch* object, const std::string& name, DISPID& id) {
  OLECHAR buffer[ProbeCapacity] = {};
  WideString wide = AnsiToWide(name);
  // A name that does not fit is sent as the empty name.
  if (wide.size() < ProbeCapacity) std::copy(wide.begin(), wide.end(), buffer);
  LPOLESTR names[1] = {buffer};
  // A host that fails the look-up may leave id alone; Invoke then gets a defined one.
  id = DISPID_UNKNOWN;
  return object->GetIDsOfNames(IID_NULL, names, 1, HostLocale, &id);
}

bool ClassifyHostObject(IDispatch* object, uint8_t& kind) {
  static const struct {
    const char* Name;
    uint8_t Kind;
  } probes[] = {{"Level", KindReference}, {"newLine", KindDocument}, {"DoActIncome", KindRegister}};
  kind = KindUnrecognised;
  for (const auto& probe : probes) {
    DISPID id = DISPID_UNKNOWN;
    if (SUCCEEDED(ProbeName(object, probe.Name, id))) {
      kind = probe.Kind;
      break;
    }
  }
  return kind != KindUnrecognised;
}

void HostObjectKind(IDispatch* object, std::string& kind) {
  kind.clear();
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(ProbeName(object, "Kind", id))) return;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT answer;
  VariantInit(&answer);
  HRESULT hr = object->Invoke(id, IID_NULL, HostLocale, DISPATCH_METHOD, &none, &answer, nullptr, nullptr);
  // Any answer but text names no configuration object.
  if (SUCCEEDED(hr) && answer.vt == VT_BSTR) kind = WideToAnsi(answer.bstrVal);
  VariantClear(&answer);
}

}  // namespace kalamos
