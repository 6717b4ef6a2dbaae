// The listing cursor protocol over TEnumState: a walk over the children of one parent node.
#include "methods/Calls.h"
#include "metadata/MetaStore.h"
#include "methods/Methods.h"

namespace kalamos {

void RestartWalk(TEnumState& cursor, const TMetaStore& store, const std::string& key,
                 std::optional<std::string_view> parentId) {
  cursor.Key = key;
  cursor.First = -1;
  cursor.Count = 0;
  if (parentId && !store.FindChildren(*parentId, cursor.First, cursor.Count)) {
    cursor.First = -1;
    cursor.Count = 0;
  }
  cursor.Position = cursor.First;
}

bool HasNextChild(const TEnumState& cursor, const TMetaStore& store) {
  if (cursor.Count <= 0 || cursor.Position >= cursor.First + cursor.Count) return false;
  // A cursor left over from an earlier store (Done, then Load of another directory) may
  // point past this store's parent index; such a walk is over rather than out of bounds.
  return cursor.Position >= 0 && cursor.Position < store.ParentCount();
}

std::string_view TakeNextChild(TEnumState& cursor, const TMetaStore& store) {
  std::string_view text = store.TextAt(store.ChildPositionAt(cursor.Position));
  ++cursor.Position;
  return text;
}

}  // namespace kalamos
