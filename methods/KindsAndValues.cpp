// Single answers about the configuration: the value type of an analytic kind, the values of
// an enumeration, and the numeric settings of a catalogue.
#include <string>

#include "metadata/MetaStore.h"
#include "metadata/getInfo.h"
#include "methods/Calls.h"
#include "platform/Text.h"
#include "platform/Variant.h"
#include "resources/StringIds.h"
#include "metadata/Kinds.h"
#include "methods/Methods.h"

namespace kalamos {

namespace {

// Russian literals are kept as UTF-8 and converted once, whatever the compiler's charset.
const std::string& TypeWordOf(char letter) {
  static const std::string catalogue = Utf8ToAnsi(reinterpret_cast<const char*>(u8"Справочник"));
  static const std::string enumeration = Utf8ToAnsi(reinterpret_cast<const char*>(u8"Перечисление"));
  static const std::string document = Utf8ToAnsi(reinterpret_cast<const char*>(u8"Документ"));
  static const std::string none;
  switch (letter) {
    case 'B': return catalogue;
    case 'E': return enumeration;
    case 'O': return document;
    default: return none;
  }
}

// The analytic kind of that name under the first object of the accounting section.
bool FindAnalyticKind(const TMetaStore& store, const std::string& name, std::string_view& text) {
  std::string_view section = store.SectionIdOf(KindBuh);
  if (section.empty()) return false;
  int32_t first = -1;
  int32_t count = 0;
  if (!store.FindChildren(section, first, count) || count <= 0) return false;
  int32_t subPosition = 0;
  if (!store.FindChildByName(store.ChildIdAt(first), "SbKind", subPosition)) return false;
  int32_t kindPosition = 0;
  if (!store.FindChildByName(store.IdAt(subPosition), name, kindPosition)) return false;
  text = store.TextAt(kindPosition);
  return true;
}

struct TEnumValues {
  std::string_view EnumId;
  bool HasValues = false;
  std::string_view ValuesId;  // the "EnumVal" sub-section
  int32_t First = -1;
  int32_t Count = 0;
};

bool FindEnumeration(const TMetaStore& store, const std::string& name, TEnumValues& values) {
  int32_t position = 0;
  if (!store.FindChildByName(store.SectionIdOf(KindEnum), name, position)) return false;
  values.EnumId = store.IdAt(position);
  return true;
}

void FindValues(const TMetaStore& store, TEnumValues& values) {
  int32_t position = 0;
  if (!store.FindChildByName(values.EnumId, "EnumVal", position)) return;
  values.HasValues = true;
  values.ValuesId = store.IdAt(position);
  if (!store.FindChildren(values.ValuesId, values.First, values.Count)) {
    values.First = -1;
    values.Count = 0;
  }
}

}  // namespace

HRESULT SbKindType(TCall& call) {
  std::string_view text;
  if (!FindAnalyticKind(call.Store(), call.ObjectName, text)) return call.Fail(MsgCodeError, IDS_BAD_NAME);
  std::string_view typeField = QuotedField(text, 4);
  char letter = typeField.empty() ? '\0' : typeField[0];
  call.SetLong(letter == 'B' || letter == 'E' || letter == 'O' ? TypeCodeOf(typeField) : 0);
  return S_OK;
}

HRESULT SbKindKind(TCall& call) {
  const TMetaStore& store = call.Store();
  std::string_view text;
  if (!FindAnalyticKind(store, call.ObjectName, text)) return call.Fail(MsgCodeError, IDS_BAD_NAME);
  std::string_view typeField = QuotedField(text, 4);
  std::string answer = TypeWordOf(typeField.empty() ? '\0' : typeField[0]);
  std::string_view reference = QuotedField(text, 7);
  if (reference != "0") {
    // An identifier missing from the index (a damaged text) leaves the name empty.
    answer += '.';
    answer += store.ObjectNameById(reference);
  }
  call.SetText(answer);
  return S_OK;
}

HRESULT EnumValCount(TCall& call) {
  const TMetaStore& store = call.Store();
  TEnumValues values;
  if (!FindEnumeration(store, call.ObjectName, values)) return call.Fail(MsgCodeError, IDS_BAD_NAME);
  FindValues(store, values);
  call.SetLong(values.Count);
  return S_OK;
}

HRESULT ValueByNum(TCall& call) {
  const TMetaStore& store = call.Store();
  TEnumValues values;
  if (!FindEnumeration(store, call.ObjectName, values)) return call.Fail(MsgCodeError, IDS_BAD_NAME);
  VARIANT& number = call.Param(2);
  if (number.vt != VT_I4) return call.Fail(MsgCodeError, IDS_BAD_PARAM_TYPE);
  FindValues(store, values);
  LONG n = number.lVal;
  if (n < 1 || n > values.Count) {
    call.SetText({});
    return S_OK;
  }
  call.SetText(QuotedField(store.TextAt(store.ChildPositionAt(values.First + n - 1)), 1));
  return S_OK;
}

HRESULT EnumValInternal(TCall& call) {
  const TMetaStore& store = call.Store();
  TEnumValues values;
  if (!FindEnumeration(store, call.ObjectName, values)) return call.Fail(MsgCodeError, IDS_BAD_NAME);
  VARIANT& valueName = call.Param(2);
  if (valueName.vt != VT_BSTR) return call.Fail(MsgCodeError, IDS_BAD_PARAM_TYPE);
  FindValues(store, values);
  int32_t position = 0;
  // The lookup ignores letter case itself, so the name goes as the script wrote it.
  if (!values.HasValues || !store.FindChildByName(values.ValuesId, WideToAnsi(valueName.bstrVal), position))
    return call.Fail(MsgCodeError, IDS_BAD_NAME);

  std::string_view valueId = store.IdAt(position);
  std::string form = "{\"E\",\"0\",\"0\",\"";
  form += values.EnumId;
  form += "\",\"0\",\"0\",\"";
  if (valueId.size() < 10) form.append(10 - valueId.size(), ' ');
  form += valueId;
  form += "   \"}";
  call.SetText(form);
  return S_OK;
}

HRESULT RefInfo(TCall& call) {
  // Selector 1..7 to the field of the catalogue's stored text.
  static constexpr int SelectorFields[] = {5, 7, 6, 8, 9, 12, 16};
  const TMetaStore& store = call.Store();
  int32_t position = 0;
  if (!store.FindChildByName(store.SectionIdOf(KindReference), call.ObjectName, position))
    return call.Fail(MsgCodeError, IDS_BAD_NAME);
  VARIANT& selector = call.Param(2);
  if (selector.vt != VT_I4 || selector.lVal < 1 || selector.lVal > 7)
    return call.Fail(MsgCodeError, IDS_BAD_PARAM_TYPE);

  TVariant field;
  field.Get()->bstrVal = AnsiToBstr(QuotedField(store.TextAt(position), SelectorFields[selector.lVal - 1]));
  field.Get()->vt = VT_BSTR;
  TVariant number;
  HRESULT converted = VariantChangeTypeEx(number.Get(), field.Get(), LOCALE_USER_DEFAULT, 0, VT_I4);
  // A setting that is no 32-bit integer is a bad parameter, never an unconverted value.
  if (FAILED(converted) || !number.IsInt()) return call.Fail(MsgCodeError, IDS_BAD_PARAM_TYPE);
  call.SetLong(number.AsInt());
  return S_OK;
}

}  // namespace kalamos
