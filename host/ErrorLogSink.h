// The host's connection object as the component sees it in Init: an IDispatch that hands
// out an IErrorLog, which keeps every report the component writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Ole.h"

namespace kalamos {

// One AddError call, as the host received it.
struct TErrorReport {
  uint16_t Code = 0;         // EXCEPINFO::wCode, the host message code
  std::string Source;        // UTF-8
  std::string Description;   // UTF-8
  WideString WideDescription;
  bool HadPropertyName = false;  // the component passes none
};

// Reference-counted; created with a count of 1, destroyed at the last Release.
class TErrorLogSink : public IDispatch, public IErrorLog {
public:
  // offerErrorLog = false gives a connection that answers no IErrorLog, as some hosts do.
  explicit TErrorLogSink(bool offerErrorLog = true);
  TErrorLogSink(const TErrorLogSink&) = delete;
  TErrorLogSink& operator=(const TErrorLogSink&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: the connection has no members of its own.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

  // IErrorLog
  HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR propName, EXCEPINFO* excep) override;

  IDispatch* Connection() { return static_cast<IDispatch*>(this); }
  const std::vector<TErrorReport>& Reports() const { return Entries; }
  // Hands over the reports gathered so far and forgets them.
  std::vector<TErrorReport> TakeReports();
  void Clear() { Entries.clear(); }
  ULONG References() const { return RefCount; }

private:
  virtual ~TErrorLogSink() = default;
  ULONG RefCount = 1;
  bool OffersErrorLog;
  std::vector<TErrorReport> Entries;
};

}  // namespace kalamos
