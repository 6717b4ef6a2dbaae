// Our OLE Automation subset: BSTR, VARIANT and one-dimensional SAFEARRAY, behaving as
// oleaut32 does for the cases the component meets.
#include "platform/posix/OleSubset.h"

#include <cstdlib>
#include <limits>
#include <new>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IErrorLog = {0x3127CA40, 0x446E, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

void* CoTaskMemAlloc(size_t size) { return std::malloc(size); }
void CoTaskMemFree(void* block) { std::free(block); }

// ---- BSTR: a 32-bit byte count, the characters, a zero character; the pointer skips the count.

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > (std::numeric_limits<uint32_t>::max() - sizeof(uint32_t) - sizeof(OLECHAR)) / sizeof(OLECHAR))
    return nullptr;
  size_t bytes = size_t(length) * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  uint32_t prefix = uint32_t(bytes);
  std::memcpy(block, &prefix, sizeof prefix);
  BSTR result = reinterpret_cast<BSTR>(block + sizeof(uint32_t));
  if (text)
    std::memcpy(result, text, bytes);
  else
    std::memset(result, 0, bytes);
  result[length] = 0;
  return result;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  UINT length = 0;
  while (text[length]) ++length;
  return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t));
}

UINT SysStringByteLen(BSTR text) {
  if (!text) return 0;
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t), sizeof prefix);
  return prefix;
}

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

// ---- VARIANT

namespace {

bool IsPlainType(VARTYPE t) {
  switch (t) {
  case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
  case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN:
  case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT: case VT_UINT:
    return true;
  default:
    return false;
  }
}

// The element size of an array of this type, 0 when we do not keep arrays of it.
ULONG ElementSize(VARTYPE t) {
  switch (t) {
  case VT_VARIANT: return sizeof(VARIANT);
  case VT_I1: case VT_UI1: return 1;
  case VT_I2: case VT_UI2: case VT_BOOL: return 2;
  case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
  case VT_R8: case VT_DATE: case VT_CY: return 8;
  default: return 0;
  }
}

bool IsValidVariantType(VARTYPE vt) {
  VARTYPE base = vt & VT_TYPEMASK;
  if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) return false;
  if (vt & (VT_ARRAY | VT_BYREF)) return base == VT_VARIANT || IsPlainType(base);
  return IsPlainType(base);
}

} // namespace

void VariantInit(VARIANTARG* v) {
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* v) {
  if (!v) return E_INVALIDARG;
  if (!IsValidVariantType(v->vt)) return DISP_E_BADVARTYPE;
  if (!(v->vt & VT_BYREF)) {
    if (v->vt & VT_ARRAY) {
      HRESULT hr = SafeArrayDestroy(v->parray);
      if (FAILED(hr)) return hr;
    } else if (v->vt == VT_BSTR) {
      SysFreeString(v->bstrVal);
    } else if (v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) {
      if (v->punkVal) v->punkVal->Release();
    }
  }
  v->vt = VT_EMPTY;
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) {
  if (!dest || !source) return E_INVALIDARG;
  if (!IsValidVariantType(source->vt)) return DISP_E_BADVARTYPE;
  if (dest == source) return S_OK;
  HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) return hr;

  VARIANT copy = *source;
  if (!(source->vt & VT_BYREF)) {
    if (source->vt & VT_ARRAY) {
      hr = SafeArrayCopy(source->parray, &copy.parray);
      if (FAILED(hr)) return hr;
    } else if (source->vt == VT_BSTR) {
      if (source->bstrVal) {
        copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (!copy.bstrVal) return E_OUTOFMEMORY;
      }
    } else if (source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) {
      if (copy.punkVal) copy.punkVal->AddRef();
    }
  }
  *dest = copy;
  return S_OK;
}

namespace {

// The value a by-reference variant points at, borrowed: it owns nothing. A reference to a
// VARIANT is followed once more, as VariantCopyInd does; a third level is refused.
HRESULT Dereference(const VARIANT& source, VARIANT& value) {
  if (!source.byref) return E_INVALIDARG;
  VARTYPE base = source.vt & ~VT_BYREF;
  if (base == VT_VARIANT) {
    const VARIANT& inner = *source.pvarVal;
    if (inner.vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
    if (!IsValidVariantType(inner.vt)) return DISP_E_BADVARTYPE;
    if (inner.vt & VT_BYREF) return Dereference(inner, value);
    value = inner;
    return S_OK;
  }
  VariantInit(&value);
  value.vt = base;
  if (base & VT_ARRAY) {
    value.parray = *source.pparray;
    return S_OK;
  }
  switch (base) {
  case VT_I1: case VT_UI1: value.bVal = *source.pbVal; return S_OK;
  case VT_I2: case VT_UI2: value.iVal = *source.piVal; return S_OK;
  case VT_BOOL: value.boolVal = *source.pboolVal; return S_OK;
  case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: value.lVal = *source.plVal; return S_OK;
  case VT_R4: std::memcpy(&value.fltVal, source.byref, sizeof(float)); return S_OK;
  case VT_R8: case VT_DATE: value.dblVal = *source.pdblVal; return S_OK;
  case VT_CY: std::memcpy(&value.padding_[0], source.byref, 8); return S_OK;
  case VT_BSTR: value.bstrVal = *source.pbstrVal; return S_OK;
  case VT_UNKNOWN: case VT_DISPATCH: value.punkVal = *source.ppunkVal; return S_OK;
  default: return DISP_E_BADVARTYPE;
  }
}

} // namespace

HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* source) {
  if (!dest || !source) return E_INVALIDARG;
  if (!(source->vt & VT_BYREF)) return VariantCopy(dest, source);
  if (!IsValidVariantType(source->vt)) return DISP_E_BADVARTYPE;
  VARIANT value;
  HRESULT hr = Dereference(*source, value);
  if (FAILED(hr)) return hr;
  // Copy first: the destination can be the source itself.
  VARIANT copy;
  VariantInit(&copy);
  if (FAILED(hr = VariantCopy(&copy, &value))) return hr;
  if (FAILED(hr = VariantClear(dest))) {
    VariantClear(&copy);
    return hr;
  }
  *dest = copy;
  return S_OK;
}

// ---- SAFEARRAY: the descriptor follows a small header that remembers the element type.

namespace {

struct TArrayBlock {
  VARTYPE type;
  SAFEARRAY array;
};

TArrayBlock* BlockOf(SAFEARRAY* array) {
  return reinterpret_cast<TArrayBlock*>(reinterpret_cast<unsigned char*>(array) - offsetof(TArrayBlock, array));
}

bool ElementOffset(SAFEARRAY* array, const LONG* indices, size_t& offset) {
  int64_t position = int64_t(indices[0]) - array->rgsabound[0].lLbound;
  if (position < 0 || position >= int64_t(array->rgsabound[0].cElements)) return false;
  offset = size_t(position) * array->cbElements;
  return true;
}

} // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count) {
  ULONG size = ElementSize(type);
  if (size == 0 || count > std::numeric_limits<ULONG>::max() / size) return nullptr;
  auto* block = new (std::nothrow) TArrayBlock{};
  if (!block) return nullptr;
  block->type = type;
  SAFEARRAY& a = block->array;
  a.cDims = 1;
  a.fFeatures = FADF_HAVEVARTYPE | (type == VT_VARIANT ? FADF_VARIANT : 0);
  a.cbElements = size;
  a.rgsabound[0].cElements = count;
  a.rgsabound[0].lLbound = lowerBound;
  // Zeroed elements are VT_EMPTY variants and zero numbers.
  a.pvData = count ? std::calloc(count, size) : nullptr;
  if (count && !a.pvData) {
    delete block;
    return nullptr;
  }
  return &a;
}

SAFEARRAY* SafeArrayCreate(VARTYPE type, UINT dims, SAFEARRAYBOUND* bounds) {
  if (dims != 1 || !bounds) return nullptr;
  return SafeArrayCreateVector(type, bounds[0].lLbound, bounds[0].cElements);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (!array) return S_OK;
  if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  TArrayBlock* block = BlockOf(array);
  if (block->type == VT_VARIANT) {
    auto* elements = static_cast<VARIANT*>(array->pvData);
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) VariantClear(&elements[i]);
  }
  std::free(array->pvData);
  delete block;
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** dest) {
  if (!dest) return E_INVALIDARG;
  *dest = nullptr;
  if (!source) return S_OK;
  VARTYPE type = BlockOf(source)->type;
  SAFEARRAY* copy = SafeArrayCreateVector(type, source->rgsabound[0].lLbound, source->rgsabound[0].cElements);
  if (!copy) return E_OUTOFMEMORY;
  if (type == VT_VARIANT) {
    auto* from = static_cast<VARIANT*>(source->pvData);
    auto* to = static_cast<VARIANT*>(copy->pvData);
    for (ULONG i = 0; i < source->rgsabound[0].cElements; ++i) {
      HRESULT hr = VariantCopy(&to[i], &from[i]);
      if (FAILED(hr)) {
        SafeArrayDestroy(copy);
        return hr;
      }
    }
  } else if (source->rgsabound[0].cElements) {
    std::memcpy(copy->pvData, source->pvData, size_t(source->rgsabound[0].cElements) * source->cbElements);
  }
  *dest = copy;
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* array) { return array ? array->cDims : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound) {
  if (!array || !bound) return E_INVALIDARG;
  if (dim != 1) return DISP_E_BADINDEX;
  *bound = array->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound) {
  if (!array || !bound) return E_INVALIDARG;
  if (dim != 1) return DISP_E_BADINDEX;
  *bound = LONG(int64_t(array->rgsabound[0].lLbound) + array->rgsabound[0].cElements - 1);
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, LONG* indices, void* value) {
  if (!array || !indices || !value) return E_INVALIDARG;
  size_t offset;
  if (!ElementOffset(array, indices, offset)) return DISP_E_BADINDEX;
  void* element = static_cast<unsigned char*>(array->pvData) + offset;
  if (BlockOf(array)->type == VT_VARIANT) {
    auto* out = static_cast<VARIANT*>(value);
    VariantInit(out); // whatever the caller had there is not ours to free
    return VariantCopy(out, static_cast<VARIANT*>(element));
  }
  std::memcpy(value, element, array->cbElements);
  return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, LONG* indices, void* value) {
  if (!array || !indices || !value) return E_INVALIDARG;
  size_t offset;
  if (!ElementOffset(array, indices, offset)) return DISP_E_BADINDEX;
  void* element = static_cast<unsigned char*>(array->pvData) + offset;
  if (BlockOf(array)->type == VT_VARIANT) return VariantCopy(static_cast<VARIANT*>(element), static_cast<VARIANT*>(value));
  std::memcpy(element, value, array->cbElements);
  return S_OK;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* array, LONG* indices, void** element) {
  if (!array || !indices || !element) return E_INVALIDARG;
  size_t offset;
  if (!ElementOffset(array, indices, offset)) return DISP_E_BADINDEX;
  *element = static_cast<unsigned char*>(array->pvData) + offset;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (!array || !data) return E_INVALIDARG;
  ++array->cLocks;
  *data = array->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
  if (!array) return E_INVALIDARG;
  if (array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* type) {
  if (!array || !type) return E_INVALIDARG;
  *type = BlockOf(array)->type;
  return S_OK;
}
