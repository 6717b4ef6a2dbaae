// No COM servers here: the component is linked into the programs that use it.
#include "platform/ComClient.h"

namespace kalamos {

bool StartCom() { return false; }
void StopCom() {}

HRESULT CreateFromLibrary(const std::string&, REFCLSID, REFIID, void** object, void*& module, std::string& message) {
  if (object) *object = nullptr;
  module = nullptr;
  message = "only the linked-in component exists in this build";
  return E_NOTIMPL;
}

void FreeServerLibrary(void*) {}

HRESULT ClassOfProgId(const OLECHAR*, CLSID& clsid) {
  clsid = IID_NULL;
  return E_NOTIMPL;
}

HRESULT CreateInProcess(REFCLSID, REFIID, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}

std::string ServerFileVersion(const std::string&, const OLECHAR*) { return std::string(); }

}  // namespace kalamos
