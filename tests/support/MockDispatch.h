// Host objects for the tests: IDispatch doubles that know the names they were given,
// answer Invoke through handlers, record every call, and fail the running test on any call
// they did not expect (an unknown member invoked, a locale other than the host's, an
// interface id other than IID_NULL, type information asked for).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Variant.h"
#include "platform/Ole.h"

class TMockDispatch : public IDispatch {
public:
  // One Invoke as the object received it; arguments in rgvarg order (the last one first).
  struct TInvoke {
    DISPID Id = 0;
    WORD Flags = 0;
    std::vector<kalamos::TVariant> Args;
    std::vector<DISPID> Named;
  };
  using THandler = std::function<HRESULT(const TInvoke& call, VARIANT* result)>;

  // The test's own reference; the object is not deleted by Release.
  TMockDispatch() = default;
  virtual ~TMockDispatch() = default;
  TMockDispatch(const TMockDispatch&) = delete;
  TMockDispatch& operator=(const TMockDispatch&) = delete;

  // GetIDsOfNames of name (UTF-8, exact) gives id and answers hr.
  TMockDispatch& Knows(std::string_view name, DISPID id, HRESULT hr = S_OK);
  // GetIDsOfNames of name fails with hr and writes no identifier.
  TMockDispatch& Refuses(std::string_view name, HRESULT hr);
  // Invoke of id runs handler.
  TMockDispatch& OnInvoke(DISPID id, THandler handler);
  // "Kind", called as a method, answers value.
  TMockDispatch& WithKind(kalamos::TVariant value);
  TMockDispatch& WithKind(std::string_view utf8) { return WithKind(kalamos::TVariant::Utf8(utf8)); }

  // A parameter holding this object (one more reference, released with the variant).
  kalamos::TVariant AsParam();

  std::vector<std::string> Probes;  // names asked for, in order (UTF-8)
  std::vector<TInvoke> Invokes;
  ULONG References() const { return Refs; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

private:
  struct TName {
    DISPID Id;
    HRESULT Result;
    bool WritesId;
  };
  std::map<std::string, TName> Names;
  std::map<DISPID, THandler> Handlers;
  ULONG Refs = 1;
};

// Host objects as the host hands them out; each knows "Kind" (id 1) with the object name.
// A catalogue item knows "Level", a document "newLine", a register "DoActIncome".
void MakeCatalogueItem(TMockDispatch& object, std::string_view kind);
void MakeDocument(TMockDispatch& object, std::string_view kind);
void MakeRegister(TMockDispatch& object, std::string_view kind);

// A handler that answers a copy of value.
TMockDispatch::THandler Answer(kalamos::TVariant value);
// A handler that fails with hr.
TMockDispatch::THandler FailWith(HRESULT hr);
