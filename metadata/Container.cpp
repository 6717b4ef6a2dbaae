// Reading the configuration text out of its compound file.
#include <cstring>

#include "metadata/MetaStore.h"
#include "metadata/MetaStoreImpl.h"
#include "metadata/Scan.h"
#include "platform/Memory.h"
#include "platform/Storage.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw TStoreError(hr, what);
}

}  // namespace

// OEM Cyrillic keeps most letters in 0x80-0xAF, code page 1251 all but Ё in 0xC0-0xFF; the text itself tells which one it is in.
void TOemVote::Count(const char* text, size_t length) {
  if (Ended) return;
  const void* zero = std::memchr(text, 0, length);
  Ended = zero != nullptr;
  const size_t end = zero ? size_t(static_cast<const char*>(zero) - text) : length;
  // A machine word at a time (64-bit arithmetic costs a 32-bit build twice over), each
  // byte's verdict in the low bit of its own lane; a lane holds at most 255 before the
  // lanes are summed.
  constexpr size_t W = sizeof(TWord);
  size_t low = 0, high = 0;
  size_t i = CountWide(text, end, low, high);
  while (i + W <= end) {
    TWord lowLanes = 0, highLanes = 0;
    for (int k = 0; k < 255 && i + W <= end; ++k, i += W) {
      TWord x;
      std::memcpy(&x, text + i, W);
      const TWord b7 = x >> 7, b6 = x >> 6, b5 = x >> 5, b4 = x >> 4;
      highLanes += b7 & b6 & Ones;                  // 0xC0-0xFF
      lowLanes += b7 & ~b6 & ~(b5 & b4) & Ones;     // 0x80-0xAF
    }
    for (size_t k = 0; k < W; ++k) {
      low += (lowLanes >> (8 * k)) & 0xFF;
      high += (highLanes >> (8 * k)) & 0xFF;
    }
  }
  for (; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    low += unsigned(c - 0x80) < 0x30;
    high += c >= 0xC0;
  }
  Low += low;
  High += high;
}

bool LooksLikeOem(const char* text, size_t length) {
  TOemVote vote;
  vote.Count(text, length);
  return vote.Oem();
}

// The start of the text after the host's preamble, its OEM bytes made 1251: the zero byte
// that ends the text for the conversion stands after it already.
size_t NormaliseInPlace(char* bytes, size_t size) {
  const size_t position = size > 3 && bytes[3] == '{' ? 6 : 9;
  if (position < size && LooksLikeOem(bytes + position, size - position)) OemToAnsiInPlace(bytes + position);
  return position;
}

TTextBlock::TTextBlock(size_t bytes) : Data_(static_cast<char*>(AllocateLargeBlock(bytes))), Bytes_(bytes) {
  if (!Data_) throw std::bad_alloc();
}
TTextBlock::TTextBlock(TTextBlock&& other) noexcept
    : Position(other.Position), Data_(other.Data_), Bytes_(other.Bytes_), Size_(other.Size_) {
  other.Data_ = nullptr;
  other.Bytes_ = other.Size_ = 0;
}
TTextBlock& TTextBlock::operator=(TTextBlock&& other) noexcept {
  if (this != &other) {
    this->~TTextBlock();
    new (this) TTextBlock(std::move(other));
  }
  return *this;
}
TTextBlock::~TTextBlock() {
  if (Data_) FreeLargeBlock(Data_, Bytes_);
}

TTextBlock ReadConfigurationBlock(const WideString& name) {
  TConfigurationStream open;
  OpenConfigurationStream(name, open);
  const size_t size = size_t(open.Size);
  TTextBlock block(size + 1);
  ReadStreamPart(open, block.Data(), uint32_t(size));
  // As NormaliseStreamBytes has it: a zero byte ends the text, one is added when none does.
  const bool ended = block.Data()[size - 1] == '\0';
  block.Data()[size] = '\0';
  block.SetSize(ended ? size : size + 1);
  block.Position = NormaliseInPlace(block.Data(), block.Size());
  return block;
}

TTextBuffer NormaliseStreamBytes(std::string bytes) {
  if (bytes.empty()) throw TStoreError(E_FAIL, "the metadata stream is empty");
  // The zero byte ends the text for the conversion; the parser drops it.
  if (bytes.back() != '\0') bytes.push_back('\0');
  TTextBuffer buffer;
  buffer.Bytes = std::move(bytes);
  buffer.Position = NormaliseInPlace(buffer.Bytes.data(), buffer.Bytes.size());
  return buffer;
}

TTextBuffer ReadWholeStream(uint64_t size, const TStreamReader& read) {
  if (size == 0) throw TStoreError(E_FAIL, "the metadata stream is empty");
  // One read of at most 4 GiB - 1, and room for the closing zero byte.
  if (size > 0xFFFFFFFFull || size >= std::string().max_size())
    throw TStoreError(STG_E_INSUFFICIENTMEMORY, "the metadata stream is too large");
  std::string bytes;
  bytes.reserve(static_cast<size_t>(size) + 1);  // the closing zero must not move the text
  bytes.resize(static_cast<size_t>(size));
  uint32_t got = 0;
  HRESULT hr = read(bytes.data(), static_cast<uint32_t>(size), got);
  Check(hr, "the metadata stream cannot be read");
  // Never parse bytes that were not read.
  if (got != size) throw TStoreError(STG_E_READFAULT, "the metadata stream ends early");
  return NormaliseStreamBytes(std::move(bytes));
}

TTextBuffer ReadConfigurationText(const std::string& FileName) {
  return ReadConfigurationText(AnsiToWide(FileName));
}

void OpenConfigurationStream(const WideString& name, TConfigurationStream& open) {
  // S_FALSE (not a compound file) goes on: the open below reports the real failure.
  Check(IsStorageFile(name), "not a configuration file");
  Check(OpenRootStorage(name, open.Root), "the configuration file cannot be opened");
  Check(OpenChildStorage(open.Root, AnsiToWide("Metadata"), open.Metadata), "no storage Metadata");
  Check(OpenChildStream(open.Metadata, AnsiToWide("Main MetaData Stream"), open.Stream),
        "no stream Main MetaData Stream");
  Check(StreamSize(open.Stream, open.Size), "the metadata stream size is unknown");
  // A damaged directory can claim gigabytes; the read would end early anyway, but only
  // after the buffer for them had been allocated and cleared.
  uint64_t fileSize = 0;
  if (SUCCEEDED(FileSize(name, fileSize)) && open.Size > fileSize)
    throw TStoreError(STG_E_READFAULT, "the metadata stream ends early");
  if (open.Size == 0) throw TStoreError(E_FAIL, "the metadata stream is empty");
  if (open.Size > 0xFFFFFFFFull) throw TStoreError(STG_E_INSUFFICIENTMEMORY, "the metadata stream is too large");
}

void ReadStreamPart(TConfigurationStream& open, char* buffer, uint32_t count) {
  uint32_t got = 0;
  Check(StreamRead(open.Stream, buffer, count, got), "the metadata stream cannot be read");
  // Never parse bytes that were not read.
  if (got != count) throw TStoreError(STG_E_READFAULT, "the metadata stream ends early");
}

TTextBuffer ReadConfigurationText(const WideString& name) {
  TConfigurationStream open;
  OpenConfigurationStream(name, open);
  return ReadWholeStream(open.Size, [&](void* buffer, uint32_t count, uint32_t& read) {
    return StreamRead(open.Stream, buffer, count, read);
  });
}

}  // namespace kalamos
