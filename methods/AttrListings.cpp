// The six attribute listings: head and table attributes of a document, attributes of a
// catalogue, dimensions and resources of a register, values of an enumeration.
#include <charconv>

#include "metadata/MetaStore.h"
#include "metadata/getInfo.h"
#include "methods/Calls.h"
#include "resources/StringIds.h"
#include "methods/Methods.h"

namespace kalamos {

namespace {

// What each listing walks: a sub-section (by its place in the kind table) of an object.
struct TListing {
  TMethod Method;
  TKind Kind;
  int SubSection;
};

constexpr TListing Listings[] = {
    {MethodEnumDocHead, KindDocument, 0}, {MethodEnumDocTable, KindDocument, 1}, {MethodEnumRef, KindReference, 0},
    {MethodEnumRegDim, KindRegister, 0},  {MethodEnumRegRes, KindRegister, 1},   {MethodEnumValues, KindEnum, 0},
};

const TListing& ListingOf(LONG method) {
  for (const TListing& listing : Listings)
    if (listing.Method == method) return listing;
  // The function table sends only these methods here.
  return Listings[0];
}

// A length or precision that is no decimal integer counts as 0.
LONG DecimalOf(std::string_view text) {
  LONG value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

}  // namespace

LONG TypeCodeOf(std::string_view typeField) {
  if (typeField.empty()) return 0;
  switch (typeField[0]) {
    case 'N': return 1;
    case 'S': return 2;
    case 'D': return 3;
    case 'E': return 10;
    case 'B': return 11;
    case 'O': return 12;
    default: return 0;
  }
}

TValueType ValueTypeOf(std::string_view nodeText) {
  TValueType type;
  type.Code = TypeCodeOf(QuotedField(nodeText, 4));
  if (type.Code == 1 || type.Code == 2) type.Length = DecimalOf(QuotedField(nodeText, 5));
  if (type.Code == 1) type.Precision = DecimalOf(QuotedField(nodeText, 6));
  return type;
}

HRESULT AttrListing(TCall& call) {
  const TListing& listing = ListingOf(call.Method);
  const TMetaStore& store = call.Store();

  // Runs on every call, so that a wrong name never disturbs a listing in progress.
  int32_t objectPosition = 0;
  if (!store.FindChildByName(store.SectionIdOf(listing.Kind), call.ObjectName, objectPosition))
    return call.Fail(MsgCodeError, IDS_BAD_NAME);

  TEnumState& cursor = call.State.EnumStates[FunctionRows[call.Method].Slot];
  if (cursor.Key != call.ObjectName) {
    int32_t subPosition = 0;
    if (store.FindChildByName(store.IdAt(objectPosition), KindRows[listing.Kind].SubSections[listing.SubSection],
                              subPosition)) {
      RestartWalk(cursor, store, call.ObjectName, store.IdAt(subPosition));
    } else {
      RestartWalk(cursor, store, call.ObjectName, std::nullopt);
    }
  }
  if (!HasNextChild(cursor, store)) {
    cursor.Reset();
    return S_OK;
  }

  std::string_view text = TakeNextChild(cursor, store);
  call.PutText(2, QuotedField(text, 1));
  call.PutText(4, QuotedField(text, 2));
  TValueType type = ValueTypeOf(text);
  call.PutLong(3, type.Code);
  call.PutLong(5, type.Length);
  call.PutLong(6, type.Precision);
  call.PutText(7, store.ObjectNameById(QuotedField(text, 7)));
  call.SetLong(1);
  return S_OK;
}

}  // namespace kalamos
