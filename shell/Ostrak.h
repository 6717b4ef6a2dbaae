// TOstrak: the component object the host creates, one COM identity.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "metadata/MetaStore.h"
#include "methods/Methods.h"
#include "platform/ComPtr.h"
#include "platform/Ole.h"
#include "shell/AddInLib.h"

// {6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}
extern const CLSID CLSID_Ostrak;

namespace kalamos {

// Fixed texts of the component.
constexpr const char* ComponentTitle = "Scholion";
constexpr const char* ServerName = "AddIn";
constexpr const char* ClassName = "kalamos";
constexpr const char* ClassDescription = "Q9Scholion";
constexpr const char* ProgId = "AddIn.kalamos";

class TOstrak : public IInitDone,
                public IScriptAugment,
                public IDispatch,
#if KALAMOS_WINDOWS
                public IPropertyPage,
#endif
                public TReporter
{
public:
  TOstrak();
  virtual ~TOstrak();
  TOstrak(const TOstrak&) = delete;
  TOstrak& operator=(const TOstrak&) = delete;

  // Objects alive in this module; drives DllCanUnloadNow.
  static LONG LiveObjects();

  // IUnknown, shared by every interface.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IInitDone
  HRESULT STDMETHODCALLTYPE Init(IDispatch* connection) override;
  HRESULT STDMETHODCALLTYPE Done() override;
  HRESULT STDMETHODCALLTYPE GetInfo(SAFEARRAY** info) override;

  // IScriptAugment
  HRESULT STDMETHODCALLTYPE RegisterExtensionAs(BSTR* extensionName) override;
  HRESULT STDMETHODCALLTYPE GetNProps(LONG* count) override;
  HRESULT STDMETHODCALLTYPE FindProp(BSTR name, LONG* number) override;
  HRESULT STDMETHODCALLTYPE GetPropName(LONG number, LONG alias, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE GetPropVal(LONG number, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE SetPropVal(LONG number, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE IsPropReadable(LONG number, BOOL* readable) override;
  HRESULT STDMETHODCALLTYPE IsPropWritable(LONG number, BOOL* writable) override;
  HRESULT STDMETHODCALLTYPE GetNMethods(LONG* count) override;
  HRESULT STDMETHODCALLTYPE FindMethod(BSTR name, LONG* number) override;
  HRESULT STDMETHODCALLTYPE GetMethodName(LONG number, LONG alias, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE GetNParams(LONG number, LONG* count) override;
  HRESULT STDMETHODCALLTYPE GetParamDefValue(LONG number, LONG param, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE HasRetVal(LONG number, BOOL* hasValue) override;
  HRESULT STDMETHODCALLTYPE CallAsProc(LONG number, SAFEARRAY** params) override;
  HRESULT STDMETHODCALLTYPE CallAsFunc(LONG number, VARIANT* result, SAFEARRAY** params) override;

  // IDispatch, for automation clients other than the host (shell/Automation.cpp): the
  // nineteen functions by either name, dispatch identifier = method number, no type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

#if KALAMOS_WINDOWS
  // IPropertyPage: the About page (shell/win/AboutPage.cpp).
  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;
#endif

  // Writes a report to the host's error log, when one is held; while Invoke runs, also
  // keeps it for the caller's exception.
  void ReportError(uint16_t code, unsigned messageId) override;
  // Fills a zeroed EXCEPINFO as a report: code, source "Scholion", the message text.
  // Throws std::bad_alloc; the strings are the caller's to free.
  static void FillReport(EXCEPINFO& info, uint16_t code, unsigned messageId);

  // Fields, in the order the component has always kept them.
#if KALAMOS_WINDOWS
  TComPtr<IPropertyPageSite> PageSite;
#else
  TComPtr<IUnknown> PageSite;
#endif
  LONG PageWidth = 0;
  LONG PageHeight = 0;
  HWND PageWindow = nullptr;
  std::unique_ptr<TMetaStore> Store;
  TComPtr<IErrorLog> ErrorLog;
  TEnumState EnumStates[EnumStateCount];

private:
  // The last report of the running Invoke.
  struct TCapturedReport {
    bool Held = false;
    uint16_t Code = 0;
    unsigned MessageId = 0;
  };

  LONG RefCount = 0;
  TCapturedReport* Capture = nullptr;
};

}  // namespace kalamos
