// A configuration as text and diff read it: the model of its description and every stream
// of its container, each stream given to the object whose identifier its storage names
// ("Document/Document_Number174/WorkBook/…" belongs to the object 174).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/tool/answers/Json.h"
#include "host/tool/model/Model.h"
#include "host/tool/ground/Out.h"
#include "host/tool/answers/Queries.h"
#include "host/tool/container/Streams.h"

namespace kalamos {

enum class TStreamKind { Module, Form, Other };

// What a stream is to the configuration, apart from the words for it: the decisions are made
// on this, the words are for people.
enum class TStreamRole {
  Placed,        // an object's module, form or help text, or a print layout: named by its place
  GlobalModule,  // the configuration's own module
  Layout,        // a print layout (placed too)
  Unplaced,      // no place known: the words are its path
};

struct TPlacedStream {
  const TContainerStream* Stream = nullptr;
  TStreamKind Kind = TStreamKind::Other;
  TStreamRole Role = TStreamRole::Unplaced;
  int32_t Object = -1;  // -1: the configuration's own (the global module) or the container's
  std::string Words;    // "модуль документа", "форма списка", ...; for other streams the path
  std::string Key;      // the path with the identifier put as "*": the same place in another version
};

// A module's or form's text, UTF-8, control characters but tabs and line ends shown as "?".
// Damaged when a module does not inflate (Why says how); other streams have no text.
struct TStreamText {
  bool Damaged = false;
  std::string Why, Text;
};
TStreamText TextOfStream(const TPlacedStream& stream);
// The same text left in code page 1251, where letter case is one byte's business.
TStreamText AnsiTextOfStream(const TPlacedStream& stream);

struct TContents {
  std::unique_ptr<TModel> Model;
  std::vector<TContainerStream> Streams;
  std::vector<TPlacedStream> Placed;  // modules, forms, other streams of each object in turn
  // The streams of an object (-1: of the configuration and the container), in the order
  // they are shown: modules, forms, the others, each by path.
  std::vector<const TPlacedStream*> StreamsOf(int32_t object) const;

private:
  friend bool LoadContents(const std::string&, TContents&, std::string&, bool);
  std::map<int32_t, std::vector<size_t>> ByObject;
};
// DIR (its vellum.md) or a container file; false with a message for people. Without all, the
// containers' bookkeeping streams (IsBookkeeping) are left out.
bool LoadContents(const std::string& path, TContents& contents, std::string& error, bool all = false);
// The same for a command: the message goes to standard error.
bool LoadContentsOrSay(const std::string& path, TContents& contents);
// What the platform keeps for itself beside what people made: each storage's list of what it
// holds (Container.Contents), its editor's settings (Container.Profile), the objects' GUIDs.
// They change whenever the platform saves, and say nothing a person changed.
bool IsBookkeeping(std::string_view path);

// Where a stream stands, found from its path alone: kind, owning identifier (empty when
// none), words, key, and what it is (role, when asked).
void PlaceOf(const std::string& path, TStreamKind& kind, std::string& id, std::string& words, std::string& key,
             TStreamRole* role = nullptr);

// What people read of an object, for text and diff: its own facts (key for scripts, label
// and value for people), then its sub-sections' items.
struct TFact {
  std::string Key, Label, Value;
  TJson Raw;  // the value for scripts: the text itself, or a list of fields or names
  // What the value is made of, as the description writes it (identifiers, not the names they
  // stand for): two versions differ in a fact when this differs.
  std::string Basis;
};
// raw: with the values for scripts (Raw); without, Raw of the lists stays empty.
std::vector<TFact> ObjectFacts(const TModel& model, int32_t object, bool raw = true);
// How many bytes a form's stream spends on its length before the text (0 when it has none).
size_t FormPrefix(std::string_view bytes);
// A part as people call it: its tag's words, "узел ID" for an untagged node, "список N" for a
// list with neither (index: its place among its object's or item's parts).
std::string PartLabel(const TPart& part, size_t index);
// An item's name, or "#N" (its place, from 1) for an item that has none. 8-bit 1251.
std::string ItemLabel(const TItem& item, size_t index);
// An identifier as people read it: the object, or the object with the part and item that hold
// the node ("Документ Счет: шапка: Склад"); the identifier itself when it names nothing.
std::string IdWords(const TModel& model, std::string_view id);
// A "Refers" list's identifiers as IdWords names them, "пусто" for none.
std::string RefersWords(const TModel& model, int32_t node);
// A node as people find it, from its object down: "Бухгалтерия: план счетов: Основной: счет:
// 62"; empty for a node of no object.
std::string NodeWords(const TModel& model, int32_t node);
// An item's words after its name: type, comment, synonym, the fields after the type.
std::string ItemValue(const TModel& model, const TItem& item);
// An item for scripts: id, name, comment, synonym, type, length, precision, ref, fields.
TJson ItemJson(const TModel& model, const TItem& item);

// The lines `ostrak text` prints: an object's description and its streams; the
// configuration's and the container's own streams.
void ObjectText(const TContents& contents, int32_t object, std::string& out);
void ObjectText(const TContents& contents, int32_t object, TOut& out);
// The description's part of it alone.
void DescriptionText(const TModel& model, int32_t object, std::string& out);
void DescriptionText(const TModel& model, int32_t object, TOut& out);
void ContainerText(const TContents& contents, std::string& out);
// Words that name a stream's owner: "Документ Счет", "Конфигурация" or "Контейнер".
std::string OwnerWords(const TContents& contents, const TPlacedStream& stream);
// "crc32 1a2b3c4d, 512 байт"
std::string DigestWords(const TContainerStream& stream);

// The module texts of one object (Name or Kind.Name; empty: the configuration's own, the
// global module), lines from..to (1-based, inclusive) of each, at most ModuleLinesShown of
// each: {"kind", "object" (null for the configuration), "modules": [{"place", "stream",
// "damaged", "total", "first", "lines"}], "truncated"}. No module is an answer with status
// ExitFailed; a misspelt or unknown object is an Error.
constexpr size_t ModuleLinesShown = 2000;
TAnswer AnswerModule(const TContents& contents, const std::string& object, size_t from, size_t to);
// Lines of every module holding text (UTF-8; letter case ignored, Cyrillic too), in the order
// of the objects, then the configuration's own: {"matches": [{"kind", "object", "place",
// "line", "text", "before", "after"}], "truncated", "damaged"}; at most GrepMost matches, each
// with GrepContext lines around it. Nothing found: status ExitFailed.
constexpr size_t GrepMost = 200, GrepContext = 2;
TAnswer AnswerGrep(const TContents& contents, const std::string& text);

}  // namespace kalamos
