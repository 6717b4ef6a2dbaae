// Compound files on Windows: OLE structured storage itself.
#include "platform/Storage.h"

#include <functional>
#include <map>

#include "platform/ComPtr.h"

namespace kalamos {

namespace {

// STGM_READ | STGM_SHARE_DENY_WRITE, direct mode.
constexpr DWORD kRootMode = 0x20;
// STGM_READ | STGM_SHARE_EXCLUSIVE: the only mode children of a storage open in.
constexpr DWORD kChildMode = 0x10;
constexpr DWORD kWriteMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

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
  root.Impl->Storage.Reset(storage);
  return hr;
}

HRESULT OpenChildStorage(TStorage& parent, const WideString& name, TStorage& child) {
  child.Impl.reset();
  if (!parent.Impl) return STG_E_INVALIDHANDLE;
  IStorage* storage = nullptr;
  HRESULT hr = parent.Impl->Storage->OpenStorage(name.c_str(), nullptr, kChildMode, nullptr, 0, &storage);
  if (FAILED(hr)) return hr;
  child.Impl = std::make_unique<TStorageImpl>();
  child.Impl->Storage.Reset(storage);
  return hr;
}

HRESULT OpenChildStream(TStorage& parent, const WideString& name, TStream& stream) {
  stream.Impl.reset();
  if (!parent.Impl) return STG_E_INVALIDHANDLE;
  IStream* opened = nullptr;
  HRESULT hr = parent.Impl->Storage->OpenStream(name.c_str(), nullptr, kChildMode, 0, &opened);
  if (FAILED(hr)) return hr;
  stream.Impl = std::make_unique<TStreamImpl>();
  stream.Impl->Stream.Reset(opened);
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

HRESULT ListChildren(TStorage& storage, std::vector<TStorageChild>& children) {
  children.clear();
  if (!storage.Impl) return STG_E_INVALIDHANDLE;
  IEnumSTATSTG* opened = nullptr;
  HRESULT hr = storage.Impl->Storage->EnumElements(0, nullptr, 0, &opened);
  if (FAILED(hr)) return hr;
  TComPtr<IEnumSTATSTG> elements(opened);
  STATSTG stat{};
  while (elements->Next(1, &stat, nullptr) == S_OK) {
    if (stat.pwcsName && (stat.type == STGTY_STORAGE || stat.type == STGTY_STREAM))
      children.push_back({WideString(stat.pwcsName), stat.type == STGTY_STORAGE});
    CoTaskMemFree(stat.pwcsName);
    stat = STATSTG{};
  }
  return S_OK;
}

HRESULT WriteCompoundFile(const WideString& fileName, const std::vector<TStorageEntry>& entries) {
  IStorage* created = nullptr;
  HRESULT hr = StgCreateDocfile(fileName.c_str(), kWriteMode, 0, &created);
  if (FAILED(hr)) return hr;
  TComPtr<IStorage> root(created);
  std::map<WideString, TComPtr<IStorage>> storages;
  // A storage's path, made one level at a time: "A/B" is B inside A.
  std::vector<WideString> made;
  std::function<IStorage*(const WideString&)> storageAt = [&](const WideString& path) -> IStorage* {
    if (path.empty()) return root.Get();
    auto found = storages.find(path);
    if (found != storages.end()) return found->second.Get();
    const size_t slash = path.find_last_of(L'/');
    IStorage* parent = storageAt(slash == WideString::npos ? WideString() : path.substr(0, slash));
    if (!parent) return nullptr;
    const WideString leaf = slash == WideString::npos ? path : path.substr(slash + 1);
    IStorage* child = nullptr;
    if (FAILED(hr = parent->CreateStorage(leaf.c_str(), kWriteMode, 0, 0, &child))) return nullptr;
    storages[path].Reset(child);
    made.push_back(path);
    return child;
  };
  for (const TStorageEntry& entry : entries) {
    IStorage* parent = storageAt(entry.storage);
    if (!parent) return FAILED(hr) ? hr : STG_E_CANTSAVE;
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
  // Inner storages are released before the ones that hold them.
  for (auto path = made.rbegin(); path != made.rend(); ++path) storages.erase(*path);
  return root->Commit(STGC_DEFAULT);
}

}  // namespace kalamos
