// Self-registration of the in-process server: the registry entries, the order they are
// written and removed in, and which classes root they go to. The registry itself sits
// behind TClassesRegistry, so that these decisions hold the same for the DLL and its tests.
#pragma once

#include <vector>

#include "platform/Ole.h"

namespace kalamos {

// The two places COM reads classes from: HKEY_LOCAL_MACHINE\Software\Classes, for everyone,
// and HKEY_CURRENT_USER\Software\Classes, for one person (read first by every process of
// theirs that is not elevated).
enum class TClassesRoot { Machine, User };

// How writing one entry ended. A refusal is told apart from other failures: it sends the
// registration to the person's own classes.
enum class TWriteStatus { Written, Denied, Failed };

// One key and its default value, a REG_SZ.
struct TRegistryEntry {
  WideString Key;
  WideString Value;
};

// The registry under one classes root, in this module's view (32- or 64-bit).
class TClassesRegistry {
public:
  virtual ~TClassesRegistry() = default;
  // Creates the key (or opens it) and sets its default value.
  virtual TWriteStatus Write(TClassesRoot root, const TRegistryEntry& entry) = 0;
  // Deletes a key without subkeys; a key that is not there is no error.
  virtual void Delete(TClassesRoot root, const WideString& key) = 0;
  // Whether the view of the other bitness has the key.
  virtual bool OtherViewHas(TClassesRoot root, const WideString& key) = 0;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case digits, as the registry keeps it.
WideString GuidText(const GUID& guid);

// The entries in the order they are written, for a server at modulePath (already quoted).
std::vector<TRegistryEntry> RegistryEntries(const WideString& modulePath);

// Writes every entry under root; the first that cannot be written stops it and is the
// result (an empty value counts as Failed), the ones before it stay.
TWriteStatus WriteEntries(TClassesRegistry& registry, TClassesRoot root, const WideString& modulePath);

// DllRegisterServer: machine-wide, or for this person when the machine's classes refuse us.
HRESULT RegisterServer(TClassesRegistry& registry, const WideString& modulePath);

// Removes the entries under one root; the ProgID's keys only when the other bitness has no
// class there, since both builds share them. Missing keys are fine.
void RemoveEntries(TClassesRegistry& registry, TClassesRoot root);

// DllUnregisterServer: the machine-wide entries and this person's own.
HRESULT UnregisterServer(TClassesRegistry& registry);

// DllInstall: commandLine "user" registers (or removes) for this person alone; empty or
// "machine" does what DllRegisterServer (DllUnregisterServer) does; anything else is
// E_INVALIDARG. Either word in any case.
HRESULT InstallServer(TClassesRegistry& registry, bool install, const OLECHAR* commandLine,
                      const WideString& modulePath);

}  // namespace kalamos
