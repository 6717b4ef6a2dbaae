// The byte scans of a load, a chunk at a time: sixteen bytes with SSE2 (every 64-bit x86
// processor; a 32-bit build asks the processor once), else a machine word. Only the store's
// own sources include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || (defined(__i386__) && defined(__GNUC__))
#include <emmintrin.h>
#define KALAMOS_SCAN_SSE2
#if defined(__SSE2__)
#define KALAMOS_SSE2
#else
#define KALAMOS_SSE2 __attribute__((target("sse2")))
#endif
#endif

namespace kalamos {

// Whether the SSE2 scans may run here.
inline bool HasSse2() {
#if defined(__SSE2__)
  return true;
#elif defined(KALAMOS_SCAN_SSE2)
  static const bool sse2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") != 0;
  }();
  return sse2;
#else
  return false;
#endif
}

// Machine words: 64-bit arithmetic costs a 32-bit build twice over.
using TWord = size_t;
constexpr TWord Ones = TWord(~TWord(0)) / 0xFF;

// The scan of ordinary bytes is most of a parse: it copies them a chunk at a time, sixteen
// bytes with SSE2 (every 64-bit x86 processor; a 32-bit build asks the processor), else a
// machine word. Writing never overtakes reading, and a whole chunk is stored only when all
// of it is ordinary, so unread bytes stay intact. Each stops at the first control byte,
// brace or where less than a chunk is left, and returns the new length.
using TCopyRun = size_t (*)(const char*& p, const char* end, char* out, size_t length);

// Bytes the arena keeps spare past its end for whole-chunk stores.
constexpr size_t ChunkBytes = 16;

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// High bit set in every byte lane of x that holds a control byte, "{" or "}"; lanes above
// the lowest such one may be set wrongly, the lowest is always right.
inline TWord SpecialLanes(TWord x) {
  constexpr TWord Highs = Ones * 0x80;
  const TWord open = x ^ (Ones * '{'), close = x ^ (Ones * '}');
  return (((x - Ones * 0x20) & ~x) | ((open - Ones) & ~open) | ((close - Ones) & ~close)) & Highs;
}

inline int LowestSetBit64(uint64_t x) {
#if defined(__x86_64__) || defined(_M_X64) || !defined(__i386__)
  return __builtin_ctzll(x);
#else
  const uint32_t low = uint32_t(x);
  return low ? __builtin_ctz(low) : 32 + __builtin_ctz(uint32_t(x >> 32));
#endif
}

inline int LowestSetBit(TWord x) {
  if constexpr (sizeof(TWord) == 8)
    return __builtin_ctzll(x);
  else
    return __builtin_ctz(x);
}

[[maybe_unused]] inline size_t CopyRunWords(const char*& p, const char* end, char* out, size_t length) {
  while (size_t(end - p) >= sizeof(TWord)) {
    TWord x;
    std::memcpy(&x, p, sizeof x);
    const TWord lanes = SpecialLanes(x);
    if (lanes == 0) {
      std::memcpy(out + length, &x, sizeof x);
      p += sizeof x;
      length += sizeof x;
      continue;
    }
    const size_t k = size_t(LowestSetBit(lanes)) / 8;
    // The whole word too when it lands on bytes already read or on themselves (or in an
    // arena of its own, which has a chunk to spare at its end): its bytes after the first
    // k fall beyond the text, which later bytes overwrite.
    const size_t behind = size_t(p - (out + length));
    if (behind >= sizeof x || behind == 0)
      std::memcpy(out + length, &x, sizeof x);
    else
      std::memmove(out + length, p, k);
    p += k;
    return length + k;
  }
  return length;
}
#else
[[maybe_unused]] inline size_t CopyRunWords(const char*&, const char*, char*, size_t length) { return length; }
#endif

#if defined(KALAMOS_SCAN_SSE2)
KALAMOS_SSE2 inline size_t CopyRunSse2(const char*& p, const char* end, char* out, size_t length) {
  // Below 0x20 unsigned is below 0x20 - 0x80 signed once the top bit is flipped.
  const __m128i top = _mm_set1_epi8(char(0x80)), controlBelow = _mm_set1_epi8(char(0x20 - 0x80));
  const __m128i open = _mm_set1_epi8('{'), close = _mm_set1_epi8('}');
  while (size_t(end - p) >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i control = _mm_cmplt_epi8(_mm_xor_si128(x, top), controlBelow);
    const __m128i braces = _mm_or_si128(_mm_cmpeq_epi8(x, open), _mm_cmpeq_epi8(x, close));
    const uint32_t special = uint32_t(_mm_movemask_epi8(_mm_or_si128(control, braces)));
    if (special == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + length), x);
      p += 16;
      length += 16;
      continue;
    }
    const size_t k = size_t(__builtin_ctz(special));
    // As with words: the whole chunk where that overwrites no unread byte.
    const size_t behind = size_t(p - (out + length));
    if (behind >= 16 || behind == 0)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + length), x);
    else
      std::memmove(out + length, p, k);
    p += k;
    return length + k;
  }
  return length;
}
#endif

#if defined(KALAMOS_SCAN_SSE2)
// Sixty-four bytes moved as four chunks, all read before any is written.
KALAMOS_SSE2 inline void Copy64(char* to, const char* from) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 32));
  const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 48));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), a);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), b);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 32), c);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 48), d);
}

// The parse's view of sixteen bytes at a time: which of them end a run of ordinary bytes,
// and the code-page vote's counts as TOemVote::Count keeps them (0xC0-0xFF high, 0x80-0xAF
// low), a lane each, which Sum adds up before a lane can overflow (at most 255 chunks).
struct TBlockLanes {
  __m128i High, Low, Zeros;

  KALAMOS_SSE2 TBlockLanes() : High(_mm_setzero_si128()), Low(_mm_setzero_si128()), Zeros(_mm_setzero_si128()) {}

  // Bit i set for a control byte, "{" or "}" at at[i].
  KALAMOS_SSE2 uint64_t Specials(const char* at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    // With the top bit flipped bytes compare as signed: control bytes below 0x20 - 0x80,
    // 0x80-0xAF from 0 to 0x2F, 0xC0-0xFF above 0x3F.
    const __m128i flipped = _mm_xor_si128(x, _mm_set1_epi8(char(0x80)));
    const __m128i control = _mm_cmplt_epi8(flipped, _mm_set1_epi8(char(0x20 - 0x80)));
    const __m128i braces =
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('{')), _mm_cmpeq_epi8(x, _mm_set1_epi8('}')));
    // A lane that matches is all ones: subtracting it adds one.
    High = _mm_sub_epi8(High, _mm_cmpgt_epi8(flipped, _mm_set1_epi8(0x3F)));
    Low = _mm_sub_epi8(Low, _mm_and_si128(_mm_cmpgt_epi8(flipped, _mm_set1_epi8(-1)),
                                          _mm_cmplt_epi8(flipped, _mm_set1_epi8(0x30))));
    Zeros = _mm_or_si128(Zeros, _mm_cmpeq_epi8(x, _mm_setzero_si128()));
    return uint64_t(uint32_t(_mm_movemask_epi8(_mm_or_si128(control, braces))));
  }
  // Whether a zero byte was among the bytes seen.
  KALAMOS_SSE2 bool SawZero() const { return _mm_movemask_epi8(Zeros) != 0; }
  // Adds the counts to low and high and starts the lanes again.
  KALAMOS_SSE2 void Sum(size_t& low, size_t& high) {
    const __m128i lowSums = _mm_sad_epu8(Low, _mm_setzero_si128());
    const __m128i highSums = _mm_sad_epu8(High, _mm_setzero_si128());
    low += size_t(_mm_cvtsi128_si32(lowSums)) + size_t(_mm_cvtsi128_si32(_mm_srli_si128(lowSums, 8)));
    high += size_t(_mm_cvtsi128_si32(highSums)) + size_t(_mm_cvtsi128_si32(_mm_srli_si128(highSums, 8)));
    High = Low = _mm_setzero_si128();
  }
};
#endif

#if defined(__SSE2__)
// Called directly, so that it can be inlined.
struct TCopyRunSse2 {
  size_t operator()(const char*& p, const char* end, char* out, size_t length) const {
    return CopyRunSse2(p, end, out, length);
  }
};
inline TCopyRunSse2 ChosenCopyRun() { return {}; }
#else
inline TCopyRun ChosenCopyRun() {
#if defined(KALAMOS_SCAN_SSE2)
  return HasSse2() ? TCopyRun(CopyRunSse2) : TCopyRun(CopyRunWords);
#else
  return CopyRunWords;
#endif
}
#endif

#if defined(KALAMOS_SCAN_SSE2)
// The vote's counts sixteen bytes at a time; returns where it stopped, less than sixteen
// bytes before end. A byte with its top bit flipped compares as signed: 0xC0-0xFF above
// 0x3F, 0x80-0xAF from 0 to 0x2F.
KALAMOS_SSE2 inline size_t CountSse2(const char* text, size_t end, size_t& low, size_t& high) {
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
inline size_t CountWide(const char* text, size_t end, size_t& low, size_t& high) {
#if defined(KALAMOS_SCAN_SSE2)
  if (HasSse2()) return CountSse2(text, end, low, high);
#endif
  (void)text, (void)end, (void)low, (void)high;
  return 0;
}

}  // namespace kalamos
