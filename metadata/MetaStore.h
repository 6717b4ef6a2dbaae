// The metadata store: the configuration text of a container, parsed once into nodes held in
// an identifier index and a parent index, and the lookups the script functions ask of it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/Kinds.h"
#include "platform/Ole.h"

namespace kalamos {

// Construction failed; Result is the HRESULT of the container call that failed (or of the
// check that refused the stream).
class TStoreError : public std::runtime_error {
public:
  TStoreError(HRESULT result, const std::string& what) : std::runtime_error(what), Result(result) {}
  HRESULT Result;
};

// The configuration text as read from the container: the stream's bytes (plus the appended
// zero byte) and the read position where the text starts.
struct TTextBuffer {
  std::string Bytes;
  size_t Position = 0;
};

// Reads the stream "Main MetaData Stream" of storage "Metadata" out of the compound file
// FileName (8-bit ANSI path; a backslash is a directory separator) and normalises it.
// Throws TStoreError.
TTextBuffer ReadConfigurationText(const std::string& FileName);
// The same for a file name in UTF-16, as tools have it.
TTextBuffer ReadConfigurationText(const WideString& FileName);

// The text in a large block of the system's (platform/Memory.h), for a reader that keeps it
// whole: its pages are not cleared before the read fills them, and are large ones where the
// system gives them. Bytes up to Size() hold the normalised text, from Position on.
class TTextBlock {
public:
  TTextBlock() = default;
  // Room for bytes; throws std::bad_alloc.
  explicit TTextBlock(size_t bytes);
  TTextBlock(TTextBlock&& other) noexcept;
  TTextBlock& operator=(TTextBlock&& other) noexcept;
  ~TTextBlock();
  char* Data() const { return Data_; }
  size_t Size() const { return Size_; }
  void SetSize(size_t size) { Size_ = size; }
  size_t Position = 0;

private:
  char* Data_ = nullptr;
  size_t Bytes_ = 0, Size_ = 0;
};
// What ReadConfigurationText reads, normalised the same way, into a block.
TTextBlock ReadConfigurationBlock(const WideString& FileName);
// The normalisation of those reads, for a stream's bytes read some other way: size bytes,
// the last of them the zero byte that ends the text. Returns where the text starts.
size_t NormaliseInPlace(char* bytes, size_t size);

// Normalises raw stream bytes the way ReadConfigurationText does once they are read: the
// appended zero byte, the start offset, and the conversion from the OEM code page when the
// text is in it. Throws TStoreError for an empty stream.
TTextBuffer NormaliseStreamBytes(std::string bytes);

// Reads a whole stream of size bytes through read (buffer, count, bytes read) and
// normalises it. Throws TStoreError when the size is 4 GiB or more, when read fails or
// delivers fewer bytes than asked for, and for an empty stream.
using TStreamReader = std::function<HRESULT(void* buffer, uint32_t count, uint32_t& read)>;
TTextBuffer ReadWholeStream(uint64_t size, const TStreamReader& read);

// One identifier-index entry's record. Views point into the store's own memory.
struct TNodeData {
  std::string_view Link;  // the parent
  std::string_view Text;  // the node's stored text
};

class TMetaStore {
public:
  // Reads, parses and indexes the container at FileName. Throws TStoreError, or
  // std::bad_alloc when memory runs out; nothing is leaked either way.
  explicit TMetaStore(const std::string& FileName);
  // Parses and indexes an already normalised buffer, from its read position.
  explicit TMetaStore(const TTextBuffer& buffer);
  // The same, keeping the node texts in the buffer's own memory instead of a copy.
  explicit TMetaStore(TTextBuffer&& buffer);
  virtual ~TMetaStore();
  TMetaStore(const TMetaStore&) = delete;
  TMetaStore& operator=(const TMetaStore&) = delete;

  int32_t LastAutoId = 32000;
  std::array<std::string, KindCount> SectionIds;

  // Accessors on the two indexes.
  bool FindId(std::string_view id, int32_t& position) const;
  std::string_view IdAt(int32_t position) const;
  std::string_view TextAt(int32_t position) const;
  std::string_view ChildIdAt(int32_t position) const;
  // The identifier-index position of that child, as FindId(ChildIdAt(position)) gives it.
  int32_t ChildPositionAt(int32_t position) const;

  // Lookups.
  std::string_view SectionIdOf(uint8_t kind) const;
  bool FindChildren(std::string_view parentId, int32_t& first, int32_t& count) const;
  // position is left unchanged when the parent has no children.
  bool FindChildByName(std::string_view parentId, std::string_view name, int32_t& position) const;
  bool FindAttribute(uint8_t kind, std::string_view objectName, std::string_view attrName,
                     int32_t& position) const;
  std::string_view ObjectNameById(std::string_view id) const;

  // Sizes and raw entries, for tests, tools and benchmarks.
  int32_t IdCount() const;
  int32_t ParentCount() const;
  TNodeData IdRecordAt(int32_t position) const;
  std::string_view ParentKeyAt(int32_t position) const;
  // Bytes the store holds now, the name tables that lookups built so far included.
  size_t MemoryUsed() const;

  // Declared in MetaStoreImpl.h, which only the store's own sources include.
  struct TImpl;

private:
  std::unique_ptr<TImpl> Impl;
};

// The section tag of a kind, from the kind table.
constexpr const char* SectionTag(int kind) { return KindRows[kind].SectionTag; }
// Sub-section names of a kind, up to three, empty where there are none.
constexpr const char* const (&SubSectionNames(int kind))[3] { return KindRows[kind].SubSections; }

}  // namespace kalamos
