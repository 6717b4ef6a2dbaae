#include "shell/Registration.h"

#include "shell/Ostrak.h"

namespace kalamos {

namespace {

WideString Widen(const char* ascii) {
  WideString text;
  while (*ascii) text.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(*ascii++)));
  return text;
}

void AppendHex(WideString& text, unsigned long value, int digits) {
  static const char Digits[] = "0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
    text.push_back(static_cast<OLECHAR>(Digits[(value >> shift) & 0xF]));
}

// The class keys live under "CLSID\", which the registry keeps apart for 32- and 64-bit
// programs; the ProgID's keys are one for both.
bool IsClassKey(const WideString& key) { return key.rfind(OLESTR("CLSID\\"), 0) == 0; }

// Command-line words compare without regard to ASCII case, as Windows switches do.
bool SameWord(const OLECHAR* text, const char* word) {
  for (; *word; ++text, ++word) {
    OLECHAR c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<OLECHAR>(c - 'A' + 'a');
    if (c != static_cast<OLECHAR>(*word)) return false;
  }
  return *text == 0;
}

}  // namespace

WideString GuidText(const GUID& guid) {
  WideString text(1, '{');
  AppendHex(text, guid.Data1, 8);
  text.push_back('-');
  AppendHex(text, guid.Data2, 4);
  text.push_back('-');
  AppendHex(text, guid.Data3, 4);
  text.push_back('-');
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text.push_back('-');
    AppendHex(text, guid.Data4[i], 2);
  }
  text.push_back('}');
  return text;
}

std::vector<TRegistryEntry> RegistryEntries(const WideString& modulePath) {
  const WideString clsid = GuidText(CLSID_Ostrak);
  const WideString clsidKey = OLESTR("CLSID\\") + clsid;
  const WideString progId = Widen(ProgId);
  const WideString description = Widen(ClassDescription);
  return {
      {clsidKey, description},
      {clsidKey + OLESTR("\\InprocServer32"), modulePath},
      {progId, description},
      {progId + OLESTR("\\Clsid"), clsid},
      {clsidKey + OLESTR("\\ProgID"), progId},
  };
}

TWriteStatus WriteEntries(TClassesRegistry& registry, TClassesRoot root, const WideString& modulePath) {
  for (const TRegistryEntry& entry : RegistryEntries(modulePath)) {
    // An empty module path means the DLL could not learn where it lives.
    const TWriteStatus status = entry.Value.empty() ? TWriteStatus::Failed : registry.Write(root, entry);
    if (status != TWriteStatus::Written) return status;
  }
  return TWriteStatus::Written;
}

HRESULT RegisterServer(TClassesRegistry& registry, const WideString& modulePath) {
  TWriteStatus status = WriteEntries(registry, TClassesRoot::Machine, modulePath);
  // A host that registers us itself runs with the rights of whoever uses it; without an
  // administrator's rights their own classes still take the component.
  if (status == TWriteStatus::Denied) status = WriteEntries(registry, TClassesRoot::User, modulePath);
  return status == TWriteStatus::Written ? S_OK : E_FAIL;
}

void RemoveEntries(TClassesRegistry& registry, TClassesRoot root) {
  // Backwards, so that every key goes after its subkeys; the class keys first, so that the
  // other bitness's question below is about the other build alone.
  const std::vector<TRegistryEntry> entries = RegistryEntries(OLESTR("-"));
  const auto remove = [&](bool classKeys) {
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
      if (IsClassKey(entry->Key) == classKeys) registry.Delete(root, entry->Key);
  };
  remove(true);
  if (!registry.OtherViewHas(root, entries[1].Key)) remove(false);
}

HRESULT UnregisterServer(TClassesRegistry& registry) {
  RemoveEntries(registry, TClassesRoot::Machine);
  RemoveEntries(registry, TClassesRoot::User);
  return S_OK;
}

HRESULT InstallServer(TClassesRegistry& registry, bool install, const OLECHAR* commandLine,
                      const WideString& modulePath) {
  if (!commandLine || !*commandLine || SameWord(commandLine, "machine"))
    return install ? RegisterServer(registry, modulePath) : UnregisterServer(registry);
  if (!SameWord(commandLine, "user")) return E_INVALIDARG;
  if (!install) {
    RemoveEntries(registry, TClassesRoot::User);
    return S_OK;
  }
  return WriteEntries(registry, TClassesRoot::User, modulePath) == TWriteStatus::Written ? S_OK : E_FAIL;
}

}  // namespace kalamos
