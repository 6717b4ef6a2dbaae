// The whole configuration as typed objects, read from the configuration text as it is (a tree
// of its lists, every field kept, nothing made up) and read-only afterwards: every object of
// every kind with its fields, its sub-sections and their items at any depth, catalogue
// ownership, a document's journal, "Refers" lists and typed references resolved. Texts are
// views into the text (8-bit, code page 1251), which the model keeps.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/tool/model/Tree.h"
#include "metadata/MetaStore.h"

namespace kalamos {

// What a typed node says about its value: field 4 the type letter, 5 length, 6 precision,
// 7 the identifier of the referenced object ("0" for none).
struct TValueType {
  std::string_view Letter;     // field 4 as it stands ("N", "S", "D", "E", "B", "O", others)
  int32_t Length = 0;          // 0 when field 5 is not a whole number
  int32_t Precision = 0;       // 0 when field 6 is not a whole number
  std::string_view RefId;      // field 7 as it stands
  int32_t RefObject = -1;      // the object RefId names, -1 when none or not an object
  bool Refers() const { return !RefId.empty() && RefId != "0"; }
};

// After the identifier: field 1 the name, field 2 the comment, field 3 the synonym. A list
// whose first field is no identifier has none of these: its fields are all it says.
// Whether the items of a part with this tag have a type in fields 4-7: always (attributes,
// dimensions, resources, analytic kinds), never (forms, enumeration values, plans and
// accounts keep other things there), or when field 4 is a type letter the platform knows
// (journal columns, sub-sections without words of their own).
enum class TTypedItems { Always, Never, ByLetter };

struct TNamed {
  int32_t Node = -1;  // in the model's tree
  std::string_view Id, Name, Comment, Synonym;
};

struct TItem : TNamed {
  TValueType Type;
};

// A nested list of an object or an item: a sub-section ("Head Fields", "Params", "EnumVal",
// "Plans", ...: Tag), an untagged node with an identifier of its own (Id, such as a
// document's "0" node), or neither (an empty {}). Its items are read from the tree when asked
// for (TModel::Items): held whole, a large configuration's items would cost more than its text.
struct TPart {
  std::string_view Id, Tag;
  int32_t Node = -1;  // in the model's tree
};

// A "Refers" list: identifiers of other objects, held by the object itself (Part and Item
// empty), by one of its sub-sections (Item empty) or by an item.
struct TRefersList {
  std::string_view Part, Item;
  std::vector<std::string_view> Ids;
  std::vector<int32_t> Objects;  // per identifier, the object it names or -1
};

struct TObject : TNamed {
  int Kind = 0;                            // kind index of the kind table
  std::vector<std::string_view> Fields;    // every field from 4 on, as it stands, nested lists passed over
  bool Typed = false;                      // a constant or a common attribute: Type holds
  TValueType Type;
  int32_t Owner = -1;                      // a catalogue's owner catalogue (field 4)
  std::string_view OwnerId;                // field 4 of a catalogue, as it stands
  std::vector<int32_t> Owned;              // the catalogues it owns, in the order of the text
  int32_t Journal = -1;                    // a document's journal (field 8)
  std::vector<int32_t> Documents;          // a journal's documents, in model order
  std::vector<TPart> Parts;
  std::vector<TRefersList> Refers;
};

// Where an identifier stands: the object, the sub-section and the item, as far as it goes
// (for a node deeper down, the item of the object's sub-section that holds it).
struct TLocation {
  bool Found = false;
  int Kind = -1;             // -1 outside every section
  int32_t Object = -1;
  int32_t Node = -1;
  std::string_view Part, Item;
};

// A name, synonym or comment of an object or of an item at any depth, as find searches them.
struct TTextEntry {
  uint32_t Offset = 0;  // in TTextIndex::Upper
  int32_t Node = -1;    // the object's or the item's
  int32_t Object = -1;
  uint8_t Field = 0;    // 0 the name, 1 the synonym, 2 the comment
};
struct TTextIndex {
  std::string Upper;                // every such text upper-cased, each ended by a zero byte
  std::vector<TTextEntry> Entries;  // in model order, each object's before its items'
};

// One place that refers to an object (Target). How: "type" (field 7), "owner" (a catalogue
// it owns), "journal" (a document's field 8), "refers" (a "Refers" list).
struct TRefUse {
  int32_t Object;
  std::string_view Part, Item;
  const char* How;
  int32_t Target = -1;
};

class TModel {
public:
  // Builds the model over the configuration text (as ReadConfigurationText gives it); only
  // running out of memory stops it.
  explicit TModel(TTextBuffer text);
  // The same from a read into a large block, as LoadModel reads a container.
  explicit TModel(TTextBlock text);
  // The description read in place in a mapped container (see TTree).
  TModel(TFileMapping file, size_t offset, size_t size);

  const TTree& Tree() const { return Tree_; }
  const std::vector<TObject>& Objects() const { return Objects_; }
  const TObject& Object(int32_t index) const { return Objects_[size_t(index)]; }

  // The items of a sub-section in the order of the text, with their references resolved
  // ("Refers" lists are no items).
  std::vector<TItem> Items(const TPart& part) const;
  // The nodes of those items: enough to see that two versions hold the same items.
  std::vector<int32_t> ItemNodes(const TPart& part) const;
  // One item, read from its node; from its fields already read (all of them, identifier too).
  TItem ItemAt(int32_t node) const;
  TItem ItemFrom(int32_t node, const std::vector<std::string_view>& all) const;
  // The same, with what the item's sub-section says of types (TypedItems of its tag) known.
  TItem ItemFrom(int32_t node, const std::vector<std::string_view>& all, TTypedItems typed) const;
  // The nested lists of an item (or any node) that are neither items nor "Refers" lists.
  std::vector<TPart> PartsOf(int32_t node) const;
  // The list at node as a part: its tag, or its identifier when its first field is one.
  TPart PartAt(int32_t node) const;
  // The identifiers a "Refers" list at node names: its own fields after the tag, then the
  // first field of each of its lists ({"1109"}, or a numbered node).
  std::vector<std::string_view> RefersIds(int32_t node) const;
  // A node's fields after the identifier (all of them when it has none).
  std::vector<std::string_view> FieldsOf(int32_t node) const;

  // The object with this identifier, -1 when none (identifiers compare as text).
  int32_t ObjectById(std::string_view id) const;
  // Objects whose name equals name ignoring letter case (Cyrillic too), of one kind or of
  // any (kind -1), in kind order and then in the order of the text. name is 8-bit 1251.
  std::vector<int32_t> ObjectsNamed(std::string_view name, int kind = -1) const;
  // Where the node with this identifier stands; "0" names no node (several lists use it).
  TLocation Locate(std::string_view id) const;
  // The object a node belongs to, -1 when none.
  int32_t ObjectOfNode(int32_t node) const;
  // What find searches and what where-used answers from, made at their first use: a large
  // configuration is read through once, not at every question.
  const TTextIndex& TextIndex() const;
  // Every use of every object, by the object used, then by kind (English), object, part, item
  // and how, as their UTF-8 sorts.
  const std::vector<TRefUse>& Uses() const;
  size_t MemoryUsed() const;

private:
  void Build();
  TTree Tree_;
  std::vector<TObject> Objects_;
  // Objects by identifier, a repeated one naming the later object: asked for at every
  // reference of every item.
  std::unordered_map<std::string_view, int32_t> ById;
  // Every numbered node, sorted; made at the first question that needs it.
  mutable std::vector<std::pair<std::string_view, int32_t>> NodesById;
  mutable std::once_flag NodesIndexed;
  void IndexNodes() const;
  mutable TTextIndex Texts;
  mutable std::once_flag TextsIndexed;
  mutable std::vector<TRefUse> UsesOf;
  mutable std::once_flag UsesIndexed;
  void IndexUses() const;
  std::vector<std::pair<int32_t, int>> Sections;                // section node, kind
  std::vector<std::pair<int32_t, int32_t>> ByNode;              // object node, object; sorted

  void ReadSection(int kind, int32_t section);
  void ReadObject(TObject& object);
  void Resolve(TValueType& type) const;
};

// The kind whose objects a section with this tag holds (letter case ignored, the spellings
// of real files too), -1 when it is no section.
int KindOfSectionTag(std::string_view tag);

// The kind whose objects a section holds. The sections "GenJrnlFldDef" and "DocSelRefobj"
// hold the common attributes and the selection columns, the other way round from the kind
// table's pairing, which the component keeps for EnumObjects.
int ModelKindOfSection(int sectionKind);
// The kind index for a kind name: either half of a kind table entry or the tool's own label
// ("Справочник", "ОбщийРеквизит"), any letter case; name is 8-bit 1251. -1 when none.
int KindOfName(std::string_view name);
// The English half of a kind table entry ("REFERENCE"), and the tool's Russian label
// ("Справочник"), in UTF-8.
std::string KindEnglish(int kind);
std::string KindRussian(int kind);

// A node whose first field is "Refers" holds a list of identifiers.
bool IsRefersList(const TTree& tree, int32_t node);
// The lists of a part with this tag name other nodes by their first field ("Refers", an
// account's "AccSbCnts"): they are references, not identities.
bool HoldsReferences(std::string_view tag);
TTypedItems TypedItems(std::string_view tag);

// Whether LoadModel may read the description in place, in the container mapped whole (off
// until set). Only for a process that ends before the file could be saved over: a mapped
// file cut short under it would fault.
void ReadContainersInPlace(bool allowed);

// A model read from DIR (its vellum.md), a container file of any name or a folder unpack wrote;
// null on failure, with error saying why for people (the reader's own reason).
std::unique_ptr<TModel> LoadModel(const std::string& path, std::string& error);

}  // namespace kalamos
