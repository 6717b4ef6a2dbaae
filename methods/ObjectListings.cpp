// EnumObjects, EnumOwnedRefs and ResetEnum: walks over the objects of a kind and the
// catalogues a catalogue owns, and the restart of any listing.
#include "metadata/MetaStore.h"
#include "metadata/getInfo.h"
#include "methods/Calls.h"
#include "resources/StringIds.h"
#include "methods/HostObject.h"
#include "methods/Methods.h"

namespace kalamos {

HRESULT EnumObjects(TCall& call) {
  const TMetaStore& store = call.Store();
  uint8_t kind = 0;
  if (!KindIndexOf(call.ObjectName, kind)) return call.Fail(MsgCodeError, IDS_BAD_NAME);

  TEnumState& cursor = call.State.EnumStates[FunctionRows[MethodEnumObjects].Slot];
  if (cursor.Key != call.ObjectName) {
    // A kind whose section never occurred has no objects.
    std::string_view section = store.SectionIdOf(kind);
    RestartWalk(cursor, store, call.ObjectName,
                section.empty() ? std::nullopt : std::optional<std::string_view>(section));
  }
  if (!HasNextChild(cursor, store)) {
    cursor.Reset();
    return S_OK;
  }
  call.PutText(2, QuotedField(TakeNextChild(cursor, store), 1));
  call.SetLong(1);
  return S_OK;
}

HRESULT EnumOwnedRefs(TCall& call) {
  const TMetaStore& store = call.Store();
  std::string_view section = store.SectionIdOf(KindReference);
  int32_t ownerPosition = 0;
  if (!store.FindChildByName(section, call.ObjectName, ownerPosition))
    return call.Fail(MsgCodeError, IDS_BAD_NAME);
  std::string_view ownerId = store.IdAt(ownerPosition);

  TEnumState& cursor = call.State.EnumStates[FunctionRows[MethodEnumOwnedRefs].Slot];
  if (cursor.Key != call.ObjectName) RestartWalk(cursor, store, call.ObjectName, section);
  while (HasNextChild(cursor, store)) {
    std::string_view text = TakeNextChild(cursor, store);
    if (QuotedField(text, 4) == ownerId) {
      call.PutText(2, QuotedField(text, 1));
      call.SetLong(1);
      return S_OK;
    }
  }
  cursor.Reset();
  return S_OK;
}

HRESULT ResetEnum(TCall& call) {
  VARIANT& slot = call.Param(1);
  if (slot.vt != VT_I4 || slot.lVal < 0 || slot.lVal >= EnumStateCount)
    return call.Fail(MsgCodeError, IDS_BAD_PARAM_TYPE);
  call.State.EnumStates[slot.lVal].Reset();
  return S_OK;
}

}  // namespace kalamos
