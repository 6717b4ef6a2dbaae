#include "host/tool/model/Tree.h"

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kalamos {

bool IsIdentifier(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

namespace {
// The end of a quoted text whose opening quote is at open: the offset of its closing quote,
// or end when it never closes. "" inside stands for one quote.
[[gnu::always_inline]] inline size_t ClosingQuote(std::string_view text, size_t open, size_t end) {
  const char* data = text.data();
  size_t at = open + 1;
#if defined(__SSE2__)
  // Every field of a configuration shown whole passes here: sixteen bytes at a time.
  const __m128i quote = _mm_set1_epi8('"');
  while (at + 16 <= end) {
    const unsigned mask =
        unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), quote)));
    if (mask == 0) {
      at += 16;
      continue;
    }
    at += unsigned(__builtin_ctz(mask));
    if (at + 1 < end && data[at + 1] == '"') {
      at += 2;
      continue;
    }
    return at;
  }
#endif
  for (; at < end; ++at) {
    if (data[at] != '"') continue;
    if (at + 1 < end && data[at + 1] == '"') {
      ++at;
      continue;
    }
    return at;
  }
  return end;
}
}  // namespace

namespace {
// Bit i set when an odd number of bits 0..i of x are: with x the quotes of a block, the
// bytes inside quoted text (the opening quote counted in, the closing one out). A doubled
// quote inside a text leaves it and enters it again with nothing in between.
inline uint64_t PrefixXor(uint64_t x) {
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  x ^= x << 16;
  x ^= x << 32;
  return x;
}
}  // namespace

void TTreeNodes::Reserve(size_t count) {
  if (count <= Capacity) return;
  auto* grown = static_cast<TTreeNode*>(AllocateLargeBlock(count * sizeof(TTreeNode)));
  if (!grown) throw std::bad_alloc();
  if (Count) std::memcpy(grown, Data, Count * sizeof(TTreeNode));
  FreeLargeBlock(Data, Capacity * sizeof(TTreeNode));
  Data = grown;
  Capacity = count;
}

TTree::TTree(std::string text, size_t start) : OwnedString(std::move(text)), Text(OwnedString), Start(start) {
  Build();
}

TTree::TTree(TTextBlock text)
    : OwnedBlock(std::move(text)), Text(OwnedBlock.Data(), OwnedBlock.Size()), Start(OwnedBlock.Position) {
  Build();
}

TTree::TTree(TFileMapping file, size_t offset, size_t size) : OwnedFile(std::move(file)) {
  // As the container's read has it: a zero byte ends the text, one is added when none does.
  char* data = OwnedFile.Data() + offset;
  const bool ended = data[size - 1] == '\0';
  data[size] = '\0';
  const size_t length = ended ? size : size + 1;
  Start = NormaliseInPlace(data, length);
  Text = std::string_view(data, length);
  Build();
}

void TTree::Build() {
  const size_t end = Text.size();
  // The lists the text holds are a few percent of its bytes; room reserved and never used
  // costs no memory.
  Nodes.Reserve(end / 24 + 16);
  Nodes.PushBack({uint32_t(Start), uint32_t(end), -1, -1, -1});
  // Per open list: the list and its last child so far, so that children link in text order.
  std::vector<std::pair<int32_t, int32_t>> open{{Root, -1}};
  auto opened = [&](size_t at) {
    const int32_t n = int32_t(Nodes.size());
    auto& [parent, last] = open.back();
    Nodes.PushBack({uint32_t(at), uint32_t(end), parent, -1, -1});
    if (last < 0) Nodes[size_t(parent)].FirstChild = n;
    else Nodes[size_t(last)].NextSibling = n;
    last = n;
    open.push_back({n, -1});
  };
  auto closed = [&](size_t at) {
    // The brace that closes the list enclosing the whole text (opened before start) closes
    // nothing here.
    if (open.size() > 1) {
      Nodes[size_t(open.back().first)].End = uint32_t(at);
      open.pop_back();
    }
  };
  const char* data = Text.data();
  size_t at = Start;
  bool quoted = false;
#if defined(__SSE2__)
  // Sixty-four bytes at a time: which are quotes and braces, which stand inside quoted text,
  // then the braces outside it one by one. Quotes come every few bytes in a configuration, so
  // a byte at a time spends most of its time deciding where each text ends.
  const __m128i quote = _mm_set1_epi8('"'), openBrace = _mm_set1_epi8('{'), closeBrace = _mm_set1_epi8('}');
  uint64_t carry = 0;  // all ones when the last block ended inside quoted text
  for (; at + 64 <= end; at += 64) {
    uint64_t quotes = 0, opens = 0, braces = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 16 * k));
      const uint64_t q = uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, quote)));
      const uint64_t o = uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, openBrace)));
      const uint64_t c = uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, closeBrace)));
      quotes |= q << (16 * k);
      opens |= o << (16 * k);
      braces |= (o | c) << (16 * k);
    }
    const uint64_t inside = PrefixXor(quotes) ^ carry;
    carry = uint64_t(0) - (inside >> 63);
    for (uint64_t structural = braces & ~inside; structural; structural &= structural - 1) {
      const unsigned bit = unsigned(__builtin_ctzll(structural));
      if (opens >> bit & 1) opened(at + bit);
      else closed(at + bit);
    }
  }
  quoted = carry != 0;
#endif
  for (; at < end; ++at) {
    const char c = data[at];
    if (c == '"') quoted = !quoted;
    else if (quoted) continue;
    else if (c == '{') opened(at);
    else if (c == '}') closed(at);
  }
}

std::string_view TTree::Raw(int32_t n) const {
  const TTreeNode& node = Nodes[size_t(n)];
  const size_t last = node.End < Text.size() ? node.End + 1 : Text.size();
  return Text.substr(node.Begin, last - node.Begin);
}

size_t TTree::ReadField(size_t at, size_t end, std::string_view& field) const {
  if (Text[at] == '"') {
    const size_t close = ClosingQuote(Text, at, end);
    field = Text.substr(at + 1, close - at - 1);
    return close < end ? close + 1 : end;
  }
  size_t stop = at;
  while (stop < end && Text[stop] != ',' && Text[stop] != '{' && Text[stop] != '}' &&
         static_cast<unsigned char>(Text[stop]) >= 0x20)
    ++stop;
  size_t last = stop;
  while (last > at && Text[last - 1] == ' ') --last;
  field = Text.substr(at, last - at);
  return stop;
}

void TTree::Fields(int32_t n, std::vector<std::string_view>& out) const {
  out.clear();
  if (n == Root) return;
  // Every field of every item passes here when a configuration is shown whole: one pass,
  // the next nested list's offset at hand.
  const TTreeNode& node = Nodes[size_t(n)];
  const char* data = Text.data();
  size_t at = node.Begin + 1;
  const size_t end = node.End;
  int32_t child = node.FirstChild;
  size_t childAt = child >= 0 ? Nodes[size_t(child)].Begin : end;
  bool expect = true;  // a comma now would end an empty field
  while (at < end) {
    const unsigned char c = static_cast<unsigned char>(data[at]);
    if (c == '"') {
      const size_t close = ClosingQuote(Text, at, end);
      out.emplace_back(data + at + 1, close - at - 1);
      at = close < end ? close + 1 : end;
      // Nearly always a comma and the next field's quote follow.
      if (at + 1 < end && data[at] == ',' && data[at + 1] == '"') {
        ++at;
        continue;
      }
      expect = false;
    } else if (c == ',') {
      if (expect) out.emplace_back();
      expect = true;
      ++at;
    } else if (at == childAt) {
      at = size_t(Nodes[size_t(child)].End) + 1;
      child = Nodes[size_t(child)].NextSibling;
      childAt = child >= 0 ? Nodes[size_t(child)].Begin : end;
      expect = false;
    } else if (c <= ' ') {
      ++at;
    } else {
      std::string_view field;
      const size_t next = ReadField(at, end, field);
      out.push_back(field);
      expect = false;
      at = next > at ? next : at + 1;
    }
  }
}

std::vector<std::string_view> TTree::Fields(int32_t n) const {
  std::vector<std::string_view> out;
  Fields(n, out);
  return out;
}

std::string_view TTree::FirstField(int32_t n) const {
  if (n == Root) return {};
  const TTreeNode& node = Nodes[size_t(n)];
  size_t at = node.Begin + 1;
  while (at < node.End && (static_cast<unsigned char>(Text[at]) < 0x20 || Text[at] == ' ')) ++at;
  if (at >= node.End || Text[at] == '{' || Text[at] == ',') return {};
  std::string_view field;
  ReadField(at, node.End, field);
  return field;
}

bool TTree::FirstFieldIs(int32_t n, std::string_view quoted) const {
  if (n == Root) return false;
  const TTreeNode& node = Nodes[size_t(n)];
  size_t at = node.Begin + 1;
  while (at < node.End && (static_cast<unsigned char>(Text[at]) < 0x20 || Text[at] == ' ')) ++at;
  const size_t end = at + quoted.size() + 2;
  if (end > node.End || Text[at] != '"' || Text[end - 1] != '"') return false;
  if (Text.substr(at + 1, quoted.size()) != quoted) return false;
  // A doubled quote would go on with the field.
  return end == node.End || Text[end] != '"';
}

bool TTree::MoreThanFirstField(int32_t n) const {
  if (n == Root) return false;
  const TTreeNode& node = Nodes[size_t(n)];
  if (node.FirstChild >= 0) return true;
  size_t at = node.Begin + 1;
  while (at < node.End && (static_cast<unsigned char>(Text[at]) < 0x20 || Text[at] == ' ')) ++at;
  if (at >= node.End) return false;
  std::string_view field;
  at = ReadField(at, node.End, field);
  while (at < node.End && (static_cast<unsigned char>(Text[at]) < 0x20 || Text[at] == ' ')) ++at;
  return at < node.End && Text[at] == ',';
}

std::vector<int32_t> TTree::Children(int32_t n) const {
  std::vector<int32_t> out;
  for (int32_t c = Nodes[size_t(n)].FirstChild; c >= 0; c = Nodes[size_t(c)].NextSibling) out.push_back(c);
  return out;
}

}  // namespace kalamos
