// Compound files (OLE structured storage): the read path the component needs, with
// HRESULT results and wide names, and a writer for tests and the pack command.
// Windows: StgOpenStorage and friends. Elsewhere: libgsf, plus a shared advisory lock on
// the file while the root storage is open, which stands in for the share mode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Ole.h"

namespace kalamos {

// The eight bytes every compound file begins with.
inline constexpr unsigned char kCompoundFileSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

struct TStorageImpl;
struct TStreamImpl;

// An open storage (root or child); released when destroyed.
class TStorage {
public:
  TStorage();
  ~TStorage();
  TStorage(TStorage&&) noexcept;
  TStorage& operator=(TStorage&&) noexcept;
  bool IsOpen() const { return Impl != nullptr; }
  std::unique_ptr<TStorageImpl> Impl;
};

// An open stream; released when destroyed.
class TStream {
public:
  TStream();
  ~TStream();
  TStream(TStream&&) noexcept;
  TStream& operator=(TStream&&) noexcept;
  bool IsOpen() const { return Impl != nullptr; }
  std::unique_ptr<TStreamImpl> Impl;
};

// StgIsStorageFile: S_OK for a compound file, S_FALSE for another file, a failure code
// when the file cannot be read.
HRESULT IsStorageFile(const WideString& fileName);
// The size of the file on disk: no stream inside it can be longer.
HRESULT FileSize(const WideString& fileName, uint64_t& size);
// StgOpenStorage with STGM_READ | STGM_SHARE_DENY_WRITE: read, and writers refused.
HRESULT OpenRootStorage(const WideString& fileName, TStorage& root);
// IStorage::OpenStorage with STGM_READ | STGM_SHARE_EXCLUSIVE.
HRESULT OpenChildStorage(TStorage& parent, const WideString& name, TStorage& child);
// IStorage::OpenStream with STGM_READ | STGM_SHARE_EXCLUSIVE.
HRESULT OpenChildStream(TStorage& parent, const WideString& name, TStream& stream);
// IStream::Stat (STATFLAG_NONAME): the full 64-bit size.
HRESULT StreamSize(TStream& stream, uint64_t& size);
// IStream::Read of up to count bytes; read receives how many arrived.
HRESULT StreamRead(TStream& stream, void* buffer, uint32_t count, uint32_t& read);

// One entry directly inside a storage.
struct TStorageChild {
  WideString Name;
  bool IsStorage = false;
};
// IStorage::EnumElements: the storage's children, in no promised order.
HRESULT ListChildren(TStorage& storage, std::vector<TStorageChild>& children);

// One entry of a compound file to write: a stream (with its bytes) inside a storage, or a
// bare storage when stream is empty. storage empty means the root; a storage inside
// storages is named by its path, the names parted by "/".
struct TStorageEntry {
  WideString storage;
  WideString stream;
  std::string bytes;
};
// Creates (or replaces) a compound file holding the entries, in order.
HRESULT WriteCompoundFile(const WideString& fileName, const std::vector<TStorageEntry>& entries);

}  // namespace kalamos
