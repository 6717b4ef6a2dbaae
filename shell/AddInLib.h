// The host platform's extension interfaces, as the host declares them: slot order and
// calling convention are its, not ours.
#pragma once

#include "platform/Ole.h"

// {AB634001-F13D-11D0-A459-004095E1DAEA}
extern const IID IID_IInitDone;
// {AB634003-F13D-11D0-A459-004095E1DAEA}
extern const IID IID_IScriptAugment;

struct IInitDone : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Init(IDispatch* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE Done() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInfo(SAFEARRAY** info) = 0;
};

struct IScriptAugment : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE RegisterExtensionAs(BSTR* extensionName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNProps(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindProp(BSTR name, LONG* number) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropName(LONG number, LONG alias, BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropVal(LONG number, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPropVal(LONG number, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsPropReadable(LONG number, BOOL* readable) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsPropWritable(LONG number, BOOL* writable) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNMethods(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindMethod(BSTR name, LONG* number) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMethodName(LONG number, LONG alias, BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNParams(LONG number, LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetParamDefValue(LONG number, LONG param, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE HasRetVal(LONG number, BOOL* hasValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE CallAsProc(LONG number, SAFEARRAY** params) = 0;
  virtual HRESULT STDMETHODCALLTYPE CallAsFunc(LONG number, VARIANT* result, SAFEARRAY** params) = 0;
};
