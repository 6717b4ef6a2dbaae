#include "host/ErrorLogSink.h"

#include <utility>

#include "platform/Text.h"

namespace kalamos {

namespace {
std::string Utf8Of(BSTR text) {
  return text ? WideToUtf8(text, SysStringLen(text)) : std::string();
}
}  // namespace

TErrorLogSink::TErrorLogSink(bool offerErrorLog) : OffersErrorLog(offerErrorLog) {}

HRESULT STDMETHODCALLTYPE TErrorLogSink::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch))
    *object = static_cast<IDispatch*>(this);
  else if (OffersErrorLog && IsEqualIID(riid, IID_IErrorLog))
    *object = static_cast<IErrorLog*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TErrorLogSink::AddRef() { return ++RefCount; }

ULONG STDMETHODCALLTYPE TErrorLogSink::Release() {
  ULONG left = --RefCount;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE TErrorLogSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TErrorLogSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TErrorLogSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
  for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TErrorLogSink::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                                 UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE TErrorLogSink::AddError(LPCOLESTR propName, EXCEPINFO* excep) {
  if (!excep) return E_POINTER;
  TErrorReport report;
  report.Code = excep->wCode;
  report.Source = Utf8Of(excep->bstrSource);
  report.Description = Utf8Of(excep->bstrDescription);
  if (excep->bstrDescription)
    report.WideDescription.assign(excep->bstrDescription, SysStringLen(excep->bstrDescription));
  report.HadPropertyName = propName != nullptr;
  Entries.push_back(std::move(report));
  return S_OK;
}

std::vector<TErrorReport> TErrorLogSink::TakeReports() {
  std::vector<TErrorReport> taken;
  taken.swap(Entries);
  return taken;
}

}  // namespace kalamos
