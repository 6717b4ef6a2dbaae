// Reading the configuration text out of its compound file.
#include <cstring>

#if defined(__SSE2__) || (defined(__i386__) && defined(__GNUC__))
#include <emmintrin.h>
#endif

#include "metadata/MetaStore.h"
#include "metadata/MetaStoreImpl.h"
#include "platform/Storage.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw TStoreError(hr, what);
}

#if defined(__SSE2__) || (defined(__i386__) && defined(__GNUC__))
#if defined(__SSE2__)
#define KALAMOS_SSE2
#else
#define KALAMOS_SSE2 __attribute__((target("sse2")))
#endif
// The vote's counts sixteen bytes at a time; returns where it stopped, less than sixteen
// bytes before end. A byte with its top bit flipped compares as signed: 0xC0-0xFF above
// 0x3F, 0x80-0xAF from 0 to 0x2F.
KALAMOS_SSE2 size_t CountSse2(const char* text, size_t end, size_t& low, size_t& high) {
  const __m128i top = _mm_set1_epi8(char(0x80)), highFrom = _mm_set1_epi8(0x3F);
  const __m128i lowBelow = _mm_set1_epi8(0x30), lowAbove = _mm_set1_epi8(-1);
  size_t i = 0;
  while (i + 16 <= end) {
    __m128i lowLanes = _mm_setzero_si128(), highLanes = _mm_setzero_si128();
    for (int k = 0; k < 255 && i + 16 <= end; ++k, i += 16) {
      const __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), top);
      // A lane that matches is all ones: subtracting it adds one.
      highLanes = _mm_sub_epi8(highLanes, _mm_cmpgt_epi8(x, highFrom));
      lowLanes = _mm_sub_epi8(lowLanes, _mm_and_si128(_mm_cmpgt_epi8(x, lowAbove), _mm_cmplt_epi8(x, lowBelow)));
    }
    const __m128i lowSums = _mm_sad_epu8(lowLanes, _mm_setzero_si128());
    const __m128i highSums = _mm_sad_epu8(highLanes, _mm_setzero_si128());
    low += size_t(_mm_cvtsi128_si32(lowSums)) + size_t(_mm_cvtsi128_si32(_mm_srli_si128(lowSums, 8)));
    high += size_t(_mm_cvtsi128_si32(highSums)) + size_t(_mm_cvtsi128_si32(_mm_srli_si128(highSums, 8)));
  }
  return i;
}
#endif

// Where a processor has SSE2 (every 64-bit x86 one; a 32-bit build asks), sixteen bytes at
// a time; the rest is left to the word-at-a-time count.
size_t CountWide(const char* text, size_t end, size_t& low, size_t& high) {
#if defined(__SSE2__)
  return CountSse2(text, end, low, high);
#elif defined(__i386__) && defined(__GNUC__)
  static const bool sse2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") != 0;
  }();
  return sse2 ? CountSse2(text, end, low, high) : 0;
#else
  (void)text, (void)end, (void)low, (void)high;
  return 0;
#endif
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
  using TWord = size_t;
  constexpr size_t W = sizeof(TWord);
  constexpr TWord Ones = TWord(~TWord(0)) / 0xFF;
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

TTextBuffer NormaliseStreamBytes(std::string bytes) {
  if (bytes.empty()) throw TStoreError(E_FAIL, "the metadata stream is empty");
  // The zero byte ends the text for the conversion; the parser drops it.
  if (bytes.back() != '\0') bytes.push_back('\0');
  TTextBuffer buffer;
  buffer.Position = bytes.size() > 3 && bytes[3] == '{' ? 6 : 9;
  buffer.Bytes = std::move(bytes);
  if (buffer.Position < buffer.Bytes.size()) {
    char* text = buffer.Bytes.data() + buffer.Position;
    if (LooksLikeOem(text, buffer.Bytes.size() - buffer.Position)) OemToAnsiInPlace(text);
  }
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
