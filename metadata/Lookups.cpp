// Questions the script functions ask of a finished store.
#include <algorithm>

#include "metadata/MetaStore.h"
#include "metadata/MetaStoreImpl.h"
#include "metadata/getInfo.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

// Children under one parent up to this many are walked; above it, a name table pays off.
constexpr int32_t WalkLimit = 8;

// Bounds of key in an index whose key at a position is keyAt(position).
template <class KeyAt>
size_t LowerBound(size_t size, const KeyAt& keyAt, std::string_view key) {
  size_t low = 0, high = size;
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (KeyCompare(keyAt(mid), key) < 0)
      low = mid + 1;
    else
      high = mid;
  }
  return low;
}

template <class KeyAt>
size_t UpperBound(size_t size, const KeyAt& keyAt, std::string_view key) {
  size_t low = 0, high = size;
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (KeyCompare(key, keyAt(mid)) < 0)
      high = mid;
    else
      low = mid + 1;
  }
  return low;
}

}  // namespace

bool TMetaStore::FindId(std::string_view id, int32_t& position) const {
  const size_t at = LowerBound(Impl->IdKeys.size(), [&](size_t i) { return Impl->View(Impl->IdKeys[i]); }, id);
  position = int32_t(at);
  return at < Impl->IdKeys.size() && KeyCompare(Impl->View(Impl->IdKeys[at]), id) == 0;
}

std::string_view TMetaStore::IdAt(int32_t position) const {
  if (position < 0 || position >= IdCount()) return {};
  return Impl->View(Impl->IdKeys[size_t(position)]);
}

std::string_view TMetaStore::TextAt(int32_t position) const {
  if (position < 0 || position >= IdCount()) return {};
  return Impl->View(Impl->IdTexts[size_t(position)]);
}

std::string_view TMetaStore::ChildIdAt(int32_t position) const {
  if (position < 0 || position >= ParentCount()) return {};
  return Impl->ChildId(size_t(position));
}

int32_t TMetaStore::ChildPositionAt(int32_t position) const {
  if (position < 0 || position >= ParentCount()) return -1;
  return int32_t(Impl->Parents[size_t(position)].ChildPosition);
}

std::string_view TMetaStore::SectionIdOf(uint8_t kind) const {
  if (kind >= KindCount) return {};
  return SectionIds[kind];
}

bool TMetaStore::FindChildren(std::string_view parentId, int32_t& first, int32_t& count) const {
  const auto& parents = Impl->Parents;
  const TImpl& impl = *Impl;
  if (impl.LastCount > 0 && impl.LastParent == parentId) {
    first = impl.LastFirst;
    count = impl.LastCount;
    return true;
  }
  size_t begin = 0, end = 0;
  if (impl.ParentKeys.empty()) {
    // Every key is the identifier-index key of the parent: the parent's position tells
    // where its run lies. A search by a key spelt otherwise (letter case) finds only the
    // run's first entry, as the search by text below would.
    uint32_t bucket = 0;
    int32_t position = 0;
    if (!parentId.empty()) {
      if (!FindId(parentId, position)) {
        first = -1;
        count = 0;
        return false;
      }
      bucket = uint32_t(position) + 1;
    }
    auto below = [](const TParentEntry& e, uint32_t b) { return e.Parent < b; };
    begin = size_t(std::lower_bound(parents.begin(), parents.end(), bucket, below) - parents.begin());
    if (begin >= parents.size() || parents[begin].Parent != bucket) {
      first = -1;
      count = 0;
      return false;
    }
    end = begin + 1;
    if (impl.ParentKey(begin) == parentId) {
      auto above = [](uint32_t b, const TParentEntry& e) { return b < e.Parent; };
      end = size_t(std::upper_bound(parents.begin() + begin, parents.end(), bucket, above) - parents.begin());
    }
  } else {
    auto keyAt = [&](size_t i) { return impl.ParentKey(i); };
    const size_t at = LowerBound(parents.size(), keyAt, parentId);
    if (at >= parents.size() || KeyCompare(keyAt(at), parentId) != 0) {
      first = -1;
      count = 0;
      return false;
    }
    // The search found the first entry of the case-insensitive run, so nothing lies before
    // it; the run is widened forward by exact key only, and the entry found counts even when
    // it differs from parentId in letter case.
    begin = at;
    end = at + 1;
    const auto& mixed = Impl->MixedRuns;
    if (!std::binary_search(mixed.begin(), mixed.end(), uint32_t(at))) {
      // All keys of the run are spelt alike: its end is found by search, not by walking.
      if (keyAt(at) == parentId) end = UpperBound(parents.size(), keyAt, parentId);
    } else {
      while (end < parents.size() && keyAt(end) == parentId) ++end;
    }
  }
  first = int32_t(begin);
  count = int32_t(end - begin);
  impl.LastParent.assign(parentId);
  impl.LastFirst = first;
  impl.LastCount = count;
  return true;
}

bool TMetaStore::FindChildByName(std::string_view parentId, std::string_view name,
                                 int32_t& position) const {
  int32_t first = 0, count = 0;
  if (!FindChildren(parentId, first, count)) return false;
  const std::string wanted = AnsiUpper(name);
  if (count <= WalkLimit) {
    for (int32_t k = 0; k < count; ++k) {
      position = ChildPositionAt(first + k);
      if (AnsiUpper(ChildName(TextAt(position))) == wanted) return true;
    }
    return false;
  }
  // Same answers as the walk above: the first match in walk order, or where the walk ends.
  const uint64_t key = uint64_t(uint32_t(first)) << 32 | uint32_t(count);
  auto found = Impl->NameTables.find(key);
  if (found == Impl->NameTables.end()) {
    TNameTable table;
    table.First.reserve(size_t(count));
    int32_t at = position;
    for (int32_t k = 0; k < count; ++k) {
      at = ChildPositionAt(first + k);
      std::string childName = AnsiUpper(ChildName(TextAt(at)));
      table.Bytes += childName.capacity() + sizeof(std::string) + sizeof(int32_t) + 2 * sizeof(void*);
      table.First.emplace(std::move(childName), at);
    }
    table.MissPosition = at;
    found = Impl->NameTables.emplace(key, std::move(table)).first;
  }
  const auto hit = found->second.First.find(wanted);
  if (hit == found->second.First.end()) {
    position = found->second.MissPosition;
    return false;
  }
  position = hit->second;
  return true;
}

bool TMetaStore::FindAttribute(uint8_t kind, std::string_view objectName, std::string_view attrName,
                               int32_t& position) const {
  position = -1;
  if (kind >= KindCount) return false;
  int32_t object = -1;
  if (!FindChildByName(SectionIdOf(kind), objectName, object)) return false;
  for (const char* subName : SubSectionNames(kind)) {
    if (!*subName) break;
    int32_t sub = -1, attr = -1;
    if (FindChildByName(IdAt(object), subName, sub) && FindChildByName(IdAt(sub), attrName, attr)) {
      position = attr;
      return true;
    }
  }
  return false;
}

std::string_view TMetaStore::ObjectNameById(std::string_view id) const {
  if (id == "0") return {};
  int32_t position = 0;
  if (!FindId(id, position)) return {};
  return QuotedField(TextAt(position), 1);
}

}  // namespace kalamos
