// The answers behind show, find, refs, path and id, apart from how they are printed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/tool/answers/Answer.h"
#include "host/tool/answers/Json.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/model/Lookup.h"
#include "host/tool/model/Model.h"

namespace kalamos {

// A type as people write it: "Число 15.2", "Строка 50", "Дата", "Справочник.Контрагенты";
// another letter as it stands.
std::string TypeWords(const TModel& model, const TValueType& type);
void AppendTypeWords(const TModel& model, const TValueType& type, std::string& out);
class TOut;
void AppendTypeWords(const TModel& model, const TValueType& type, TOut& out);
// Whether TypeWords says all that fields 4-7 (letter, length, precision, reference; fields
// points at field 4) say, so that they need not be shown as written too.
bool TypeSaysAll(const TModel& model, const TValueType& type, const std::string_view* fields, size_t count);

// "Документ Счет", or the kind alone for an object without a name.
std::string ObjectWords(const TModel& model, int32_t object);
// A sub-section as people call it ("шапка", "реквизит"); one without words of its own as
// "раздел (TAG)".
std::string PartWordsOf(std::string_view tag);
// The words alone: empty for a tag that has none.
std::string KnownPartWords(std::string_view tag);
// What follows an item's name: "Число 15.2, комментарий "...", синоним "..."" (the type
// only when given).
std::string ItemWords(const TModel& model, const TNamed& node, const TValueType* type);

// The object with everything the model holds about it.
TJson ShowJson(const TModel& model, int32_t object);
// The one shape of a reference to an object in every answer: {"kind", "name", "id"}; null for
// no object. A type's reference the same way, kind and name empty when its identifier names no
// object; null when the type refers to nothing.
TJson ObjectRefJson(const TModel& model, int32_t object);
TJson TypeRefJson(const TModel& model, const TValueType& type);
// Where something stands: {"kind", "object", "part", "item"}.
TJson PlaceJson(const TModel& model, int32_t object, std::string_view part, std::string_view item);
// The schemas of these shapes, made here with them: a reference (or null); the members of a
// place; of anything named ("id", "name", "comment", "synonym"); of a type ("type", "length",
// "precision", "ref").
std::string RefSchema();
std::string PlaceSchemaMembers();
std::string NamedSchemaMembers();
std::string TypeSchemaMembers();

// Objects per kind.
TAnswer AnswerSummary(const TModel& model);
// One object (Name or Kind.Name, UTF-8), with everything the model holds.
TAnswer AnswerShow(const TModel& model, const std::string& name);
// The objects of one kind (either language of the kind table, or the tool's label; every kind
// when empty), in the order of the text: an array of {"kind", "id", "name", "comment", "synonym"}.
TAnswer AnswerList(const TModel& model, const std::string& kind);
TAnswer AnswerFind(const TModel& model, const std::string& text);
// The uses of the objects a name names; with a window, only the uses from offset on, at most
// limit of them, with total set to how many there are in all.
TAnswer AnswerRefs(const TModel& model, const std::string& name, size_t offset = 0, size_t limit = SIZE_MAX,
                   size_t* total = nullptr);
TAnswer AnswerPath(const TModel& model, const std::string& attributePath);
TAnswer AnswerId(const TModel& model, const std::string& id);

// The one object Name or Kind.Name names; -1 with refusal set (status and message, closest
// names included) when there is none or several kinds use the name.
int32_t OneObjectNamed(const TModel& model, const std::string& name, TAnswer& refusal);

}  // namespace kalamos
