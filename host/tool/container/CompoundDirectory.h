// The directory of a compound file, read from its bytes: the sector size, the FAT and where
// each directory entry lies. What the storage libraries do not give: storages' stamps (read
// and written in place) and where a stream lies in the file, so that it can be read there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>
#include <vector>

#include "platform/Storage.h"

namespace kalamos {

enum class TDirectoryTrouble { None, NotCompound, SectorSize, DifatLoop, FatPastEnd, ChainDamaged, DirectoryPastEnd, NoRoot, TreeDamaged };

class TCompoundDirectory {
public:
  static constexpr uint32_t EndOfChain = 0xFFFFFFFE, NoEntry = 0xFFFFFFFF, MaxSector = 0xFFFFFFFA;
  static constexpr uint8_t StorageType = 1, StreamType = 2, RootType = 5;

  // The header, the FAT (through the DIFAT) and the directory's chain of data, size bytes;
  // the bytes must stay while this is used.
  TDirectoryTrouble Read(const char* data, size_t size);

  size_t SectorSize() const { return Sector; }
  const std::vector<uint32_t>& Fat() const { return Fat_; }
  // Whether the FAT holds every sector the header counts (a broken DIFAT chain leaves some out).
  bool FatWhole() const { return FatWhole_; }
  size_t EntryCount() const { return Entries.size(); }
  // The offset of entry i in the file (0 the root).
  size_t EntryAt(uint32_t i) const { return Entries[i]; }
  uint8_t Type(uint32_t i) const { return uint8_t(Data[Entries[i] + 66]); }
  WideString Name(uint32_t i) const;
  uint32_t U32(size_t at) const;
  uint64_t U64(size_t at) const { return U32(at) | uint64_t(U32(at + 4)) << 32; }
  size_t Offset(uint32_t sector) const { return (size_t(sector) + 1) * Sector; }
  // The entries of a storage's tree of children, each once across calls sharing visited;
  // false (TreeDamaged) when one is out of range or seen before.
  bool Children(uint32_t storage, std::vector<uint32_t>& out, std::set<uint32_t>& visited) const;

private:
  const char* Data = nullptr;
  size_t Size = 0;
  size_t Sector = 512;
  bool FatWhole_ = false;
  std::vector<uint32_t> Fat_;
  std::vector<size_t> Entries;
};

// The offset and size of the stream storage/stream (names compared without letter case) in
// the compound file's bytes, when they lie in one run of sectors, as writers lay out a large
// stream, and at least one byte of the file follows them. False for anything else: a small
// stream (kept in pieces in the mini stream), a fragmented one, a name twice, a damaged
// directory. The caller then reads the stream through the storage library.
bool FindContiguousStream(const char* file, size_t fileSize, std::string_view storage, std::string_view stream,
                          size_t& offset, size_t& size);

}  // namespace kalamos
