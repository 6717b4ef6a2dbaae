// Compound files on Windows: OLE structured storage itself.
#include "platform/Storage.h"

#include <map>

namespace {

// STGM_READ | STGM_SHARE_DENY_WRITE, direct mode.
constexpr DWORD kRootMode = 0x20;
// STGM_READ | STGM_SHARE_EXCLUSIVE: the only mode children of a storage open in.
constexpr DWORD kChildMode = 0x10;
constexpr DWORD kWriteMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

template <class T> struct TReleaser {
  void operator()(T* object) const {
    if (object) object->Release();
  }
};
template <class T> using TComPtr = std::unique_ptr<T, TReleaser<T>>;

} // namespace

struct TStorageImpl {
  TComPtr<IStorage> Storage;
};

struct TStreamImpl {
  TComPtr<IStream> Stream;
};

TStorage::TStorage() = default;
TStorage::~TStorage() = default;
TStorage::TStorage(TStorage&&) noexcept = default;
TStorage& TStorage::operator=(TStorage&&) noexcept = default;
TStream::TStream() = default;
TStream::~TStream() = default;
TStream::TStream(TStream&&) noexcept = default;
TStream& TStream::operator=(TStream&&) noexcept = default;

HRESULT IsStorageFile(const WideString& fileName) { return StgIsStorageFile(fileName.c_str()); }

HRESULT FileSize(const WideString& fileName, uint64_t& size) {
  size = 0;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(fileName.c_str(), GetFileExInfoStandard, &data)) return HRESULT_FROM_WIN32(GetLastError());
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return S_OK;
}

HRESULT OpenRootStorage(const WideString& fileName, TStorage& root) {
  root.Impl.reset();
  IStorage* storage = nullptr;
  HRESULT hr = StgOpenStorage(fileName.c_str(), nullptr, kRootMode, nullptr, 0, &storage);
  if (FAILED(hr)) return hr;
  root.Impl = std::make_unique<TStorageImpl>();
  root.Impl->Storage.reset(storage);
  return hr;
}

HRESULT OpenChildStorage(TStorage& parent, const WideString& name, TStorage& child) {
  child.Impl.reset();
  if (!parent.Impl) return STG_E_INVALIDHANDLE;
  IStorage* storage = nullptr;
  HRESULT hr = parent.Impl->Storage->OpenStorage(name.c_str(), nullptr, kChildMode, nullptr, 0, &storage);
  if (FAILED(hr)) return hr;
  child.Impl = std::make_unique<TStorageImpl>();
  child.Impl->Storage.reset(storage);
  return hr;
}

HRESULT OpenChildStream(TStorage& parent, const WideString& name, TStream& stream) {
  stream.Impl.reset();
  if (!parent.Impl) return STG_E_INVALIDHANDLE;
  IStream* opened = nullptr;
  HRESULT hr = parent.Impl->Storage->OpenStream(name.c_str(), nullptr, kChildMode, 0, &opened);
  if (FAILED(hr)) return hr;
  stream.Impl = std::make_unique<TStreamImpl>();
  stream.Impl->Stream.reset(opened);
  return hr;
}

HRESULT StreamSize(TStream& stream, uint64_t& size) {
  size = 0;
  if (!stream.Impl) return STG_E_INVALIDHANDLE;
  STATSTG stat{};
  HRESULT hr = stream.Impl->Stream->Stat(&stat, STATFLAG_NONAME);
  if (SUCCEEDED(hr)) size = stat.cbSize.QuadPart;
  return hr;
}

HRESULT StreamRead(TStream& stream, void* buffer, uint32_t count, uint32_t& read) {
  read = 0;
  if (!stream.Impl) return STG_E_INVALIDHANDLE;
  ULONG got = 0;
  HRESULT hr = stream.Impl->Stream->Read(buffer, count, &got);
  read = got;
  // Read answers S_FALSE at the end of the stream; a short count says the same here.
  return FAILED(hr) ? hr : S_OK;
}

HRESULT WriteCompoundFile(const WideString& fileName, const std::vector<TStorageEntry>& entries) {
  IStorage* created = nullptr;
  HRESULT hr = StgCreateDocfile(fileName.c_str(), kWriteMode, 0, &created);
  if (FAILED(hr)) return hr;
  TComPtr<IStorage> root(created);
  std::map<WideString, TComPtr<IStorage>> storages;
  for (const TStorageEntry& entry : entries) {
    IStorage* parent = root.get();
    if (!entry.storage.empty()) {
      auto& slot = storages[entry.storage];
      if (!slot) {
        IStorage* child = nullptr;
        hr = root->CreateStorage(entry.storage.c_str(), kWriteMode, 0, 0, &child);
        if (FAILED(hr)) return hr;
        slot.reset(child);
      }
      parent = slot.get();
    }
    if (entry.stream.empty()) continue;
    IStream* created = nullptr;
    hr = parent->CreateStream(entry.stream.c_str(), kWriteMode, 0, 0, &created);
    if (FAILED(hr)) return hr;
    TComPtr<IStream> stream(created);
    ULONG written = 0;
    if (!entry.bytes.empty()) {
      hr = stream->Write(entry.bytes.data(), static_cast<ULONG>(entry.bytes.size()), &written);
      if (FAILED(hr)) return hr;
      if (written != entry.bytes.size()) return STG_E_WRITEFAULT;
    }
  }
  storages.clear();
  return root->Commit(STGC_DEFAULT);
}
