// Drives the component the way the host platform does: create it, Init with a connection
// object, RegisterExtensionAs, and for every script call FindMethod, GetNParams,
// GetParamDefValue for the omitted trailing parameters, HasRetVal and CallAsFunc with a
// one-dimensional SAFEARRAY of VARIANT; Done and Release at the end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/ErrorLogSink.h"
#include "platform/Variant.h"
#include "platform/ComPtr.h"
#include "platform/Ole.h"
#include "shell/AddInLib.h"

namespace kalamos {

// Where the component object comes from.
enum class TComponentSource {
  Direct,      // native build: new TOstrak, linked in
  Registered,  // Windows: CoCreateInstance by the ProgID "AddIn.kalamos"
  Library,     // Windows: LoadLibrary + DllGetClassObject + IClassFactory::CreateInstance
};

struct TSessionOptions {
  TComponentSource Source = KALAMOS_WINDOWS ? TComponentSource::Registered : TComponentSource::Direct;
  std::string DllPath;          // for TComponentSource::Library
  bool OfferErrorLog = true;    // false: the connection answers no IErrorLog
};

// What one script call gave back.
struct TCallOutcome {
  LONG Method = -1;
  HRESULT Result = E_FAIL;
  TVariant Return;
  std::vector<TVariant> Params;  // the host's array after the call, one per parameter
};

class TSession {
public:
  explicit TSession(TSessionOptions options = {});
  ~TSession();
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  // Creates the component, calls Init and RegisterExtensionAs. A failure to create gives
  // that HRESULT and leaves the session unstarted; Init's own result is kept in InitResult
  // (a connection without IErrorLog makes it fail, and the component still works).
  HRESULT Start();
  // Done and the final Release; safe to call twice.
  void End();
  bool Started() const { return static_cast<bool>(Augment); }

  // Text for a failure of Start, for people.
  const std::string& StartError() const { return StartMessage; }
  HRESULT InitResult() const { return InitHr; }
  const WideString& ExtensionName() const { return Extension; }
  IScriptAugment* Component() const { return Augment.Get(); }
  TErrorLogSink& Log() { return *Sink.Get(); }

  // FindMethod; -1 when no function answers to the name.
  LONG FindMethod(const WideString& name);
  LONG FindMethodUtf8(std::string_view name) ;
  // GetNParams; -1 for a number the component refuses.
  LONG ParamCount(LONG method);
  // GetMethodName as UTF-8: alias 0 the English name, else the Russian one.
  std::string MethodName(LONG method, LONG alias);

  // One script call with the given leading parameters; the trailing ones get the
  // component's defaults. More arguments than the function takes give E_INVALIDARG
  // without a call; a number the component refuses gives its HRESULT.
  HRESULT Call(LONG method, const std::vector<TVariant>& args, TCallOutcome& outcome);
  // Load of a directory given in UTF-8; true when the component returned 1.
  bool Load(std::string_view directory, HRESULT* result = nullptr);

private:
  TSessionOptions Options;
  TComPtr<TErrorLogSink> Sink;
  TComPtr<IInitDone> InitDone;
  TComPtr<IScriptAugment> Augment;
  HRESULT InitHr = E_FAIL;
  WideString Extension;
  std::string StartMessage;
  void* Module = nullptr;   // the library of TComponentSource::Library
  bool ComStarted = false;
};

// The component's file version, "major.minor.build.revision". On Windows it is read from
// the version resource of the DLL (dllPath, or the registered one when empty).
std::string ComponentFileVersion(const std::string& dllPath);

}  // namespace kalamos
