// What a client of an in-process COM server asks of the system: COM on its thread, the
// object from a DLL file or through the registry, and the server file's version. Windows
// has COM servers; elsewhere the component is linked in and these calls answer E_NOTIMPL.
#pragma once

#include <string>

#include "platform/Ole.h"

namespace kalamos {

// True where components come as COM servers, false where the component is linked in.
constexpr bool kComServers = KALAMOS_WINDOWS != 0;

// CoInitialize on this thread; true when it succeeded and StopCom is to undo it.
bool StartCom();
void StopCom();

// LoadLibrary of the DLL (a UTF-8 path), its DllGetClassObject and the factory's
// CreateInstance. module receives the library, to be freed by FreeServerLibrary once the
// object is gone. A failure before CreateInstance also says what went wrong in message.
HRESULT CreateFromLibrary(const std::string& dllPath, REFCLSID clsid, REFIID iid, void** object, void*& module,
                          std::string& message);
void FreeServerLibrary(void* module);

// CLSIDFromProgID.
HRESULT ClassOfProgId(const OLECHAR* progId, CLSID& clsid);
// CoCreateInstance of an in-process server.
HRESULT CreateInProcess(REFCLSID clsid, REFIID iid, void** object);

// The file version "a.b.c.d" of the DLL (a UTF-8 path) or, when the path is empty, of the
// in-process server registered for progId; empty when there is none.
std::string ServerFileVersion(const std::string& dllPath, const OLECHAR* progId);

}  // namespace kalamos
