// The parser and the indexes: raw stream bytes are normalised and parsed into a store, then
// the store is checked for consistency and asked the questions the script functions ask.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "metadata/MetaStore.h"
#include "platform/Text.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kalamos;

namespace {

// A child's name as the lookups see it, written out plainly: from the second character up
// to two before the first comma (an absent comma counts as one at the end).
std::string NameOf(std::string_view text) {
  size_t comma = text.find(',');
  if (comma == std::string_view::npos) comma = text.size();
  if (comma < 2) return {};
  return AnsiUpper(text.substr(1, comma - 2));
}

// The first child of parentId whose name is name, by walking the run one by one.
bool WalkForChild(const TMetaStore& store, std::string_view parentId, const std::string& name, int32_t& position) {
  int32_t first = -1, count = 0;
  if (!store.FindChildren(parentId, first, count)) return false;
  for (int32_t k = 0; k < count; ++k) {
    int32_t at = -1;
    if (store.FindId(store.ChildIdAt(first + k), at) && NameOf(store.TextAt(at)) == name) {
      position = at;
      return true;
    }
  }
  return false;
}

void CheckStore(const TMetaStore& store) {
  const int32_t ids = store.IdCount();
  const int32_t parents = store.ParentCount();
  // One parent entry per recorded node; a repeated identifier keeps one identifier entry.
  FUZZ_CHECK(ids <= parents);
  FUZZ_CHECK(store.LastAutoId >= 32000);
  for (int32_t i = 0; i < parents; ++i) {
    int32_t at = -1;
    FUZZ_CHECK(store.FindId(store.ChildIdAt(i), at));
    int32_t first = -1, count = 0;
    FUZZ_CHECK(store.FindChildren(store.ParentKeyAt(i), first, count));
    FUZZ_CHECK(first >= 0 && count >= 1 && first + count <= parents);
  }
  for (int32_t i = 0; i < ids; ++i) {
    int32_t at = -1;
    FUZZ_CHECK(store.FindId(store.IdAt(i), at) && at == i);
  }
  for (int kind = 0; kind < KindCount; ++kind) FUZZ_CHECK(store.SectionIdOf(uint8_t(kind)).size() <= 5);
  FUZZ_CHECK(store.SectionIdOf(KindCount).empty());

  // Name lookups agree with a plain walk, for names that exist and one that does not; a
  // few parents are enough, the large runs use the name tables.
  int32_t checked = 0;
  for (int32_t i = 0; i < parents && checked < 16; i += 1 + parents / 16, ++checked) {
    const std::string_view parent = store.ParentKeyAt(i);
    int32_t at = -1;
    const std::string names[] = {NameOf(store.TextAt(store.FindId(store.ChildIdAt(i), at) ? at : -1)),
                                 "NO SUCH NAME"};
    for (const std::string& name : names) {
      int32_t expected = -1, position = -1;
      const bool walked = WalkForChild(store, parent, name, expected);
      FUZZ_CHECK(store.FindChildByName(parent, name, position) == walked);
      if (walked) FUZZ_CHECK(position == expected);
    }
  }
  for (int kind = 0; kind < KindCount; ++kind) {
    int32_t position = -1;
    store.FindAttribute(uint8_t(kind), "A", "B", position);
    FUZZ_CHECK(position >= -1 && position < ids);
  }
  if (ids > 0) store.ObjectNameById(store.IdAt(ids - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  TTextBuffer buffer;
  try {
    buffer = NormaliseStreamBytes(bytes);
  } catch (const TStoreError&) {
    FUZZ_CHECK(size == 0);  // only an empty stream is refused
    return 0;
  }
  FUZZ_CHECK(!buffer.Bytes.empty() && buffer.Bytes.back() == '\0');
  FUZZ_CHECK(buffer.Bytes.size() == size || buffer.Bytes.size() == size + 1);
  FUZZ_CHECK(buffer.Position == 6 || buffer.Position == 9);
  CheckStore(TMetaStore(buffer));
  // The same bytes read from offset 0 as well: the start offset hides the first bytes from
  // the parser otherwise.
  TTextBuffer whole;
  whole.Bytes = std::move(bytes);
  CheckStore(TMetaStore(whole));
  return 0;
}
