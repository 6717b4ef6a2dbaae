// The whole configuration as typed objects, built once from a loaded store and read-only
// afterwards: every object of every kind with its fields, its sub-sections and their items,
// catalogue ownership, "Refers" lists and typed references resolved to objects. Texts are
// views into the store (8-bit, code page 1251), which the model keeps alive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// After the identifier: field 1 the name, field 2 the comment, field 3 the synonym.
struct TNamed {
  int32_t Position = -1;  // in the store's identifier index
  std::string_view Id, Name, Comment, Synonym;
};

struct TItem : TNamed {
  TValueType Type;
};

// A sub-section of an object ("Head Fields", "Params", "EnumVal", ...). Its items are read
// from the store when asked for (TModel::Items): held whole, a large configuration's items
// would cost more than the store itself.
struct TPart {
  std::string_view Id, Tag;
  int32_t Position = -1;  // in the store's identifier index
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
  std::vector<std::string_view> Fields;    // every field from 4 on, as it stands
  bool Typed = false;                      // a constant or a common attribute: Type holds
  TValueType Type;
  int32_t Owner = -1;                      // a catalogue's owner catalogue (field 4)
  std::string_view OwnerId;                // field 4 of a catalogue, as it stands
  std::vector<int32_t> Owned;              // the catalogues it owns, in the order of the text
  std::vector<TPart> Parts;
  std::vector<TRefersList> Refers;
};

// Where an identifier stands: the object, the sub-section and the item, as far as it goes.
struct TLocation {
  bool Found = false;
  int Kind = -1;             // -1 outside every section
  int32_t Object = -1;
  std::string_view Part, Item;
};

class TModel {
public:
  // Builds the model over a finished store; only running out of memory stops it.
  explicit TModel(std::shared_ptr<const TMetaStore> store);

  const TMetaStore& Store() const { return *Store_; }
  const std::vector<TObject>& Objects() const { return Objects_; }
  const TObject& Object(int32_t index) const { return Objects_[size_t(index)]; }

  // The items of a sub-section in the order of the text, with their references resolved.
  std::vector<TItem> Items(const TPart& part) const;
  // Where the items of a sub-section stand in the store's identifier index, in the order of
  // the text: enough to see that two versions hold the same items, without reading them.
  std::vector<int32_t> ItemPositions(const TPart& part) const;
  // One item, read from the store at its identifier-index position.
  TItem ItemAt(int32_t position) const;

  // The object with this identifier, -1 when none (identifiers compare as text).
  int32_t ObjectById(std::string_view id) const;
  // Objects whose name equals name ignoring letter case (Cyrillic too), of one kind or of
  // any (kind -1), in kind order and then in the order of the text. name is 8-bit 1251.
  std::vector<int32_t> ObjectsNamed(std::string_view name, int kind = -1) const;
  // Where the node with this identifier stands.
  TLocation Locate(std::string_view id) const;

private:
  std::shared_ptr<const TMetaStore> Store_;
  std::vector<TObject> Objects_;
  std::vector<std::pair<std::string_view, int32_t>> ById;  // sorted by identifier

  // The children of a node (identifier-index position) in the order of the text: the parent
  // index keeps each parent's run the other way round.
  struct TRun {
    int32_t First, Count;
  };
  std::vector<TRun> Runs;
  std::vector<int32_t> RunOf;  // per identifier-index position, its run or -1
  class TChildren {
  public:
    TChildren(const TMetaStore* store, int32_t first, int32_t count) : Store(store), First(first), Count(count) {}
    struct TIterator {
      const TMetaStore* Store;
      int32_t At;
      int32_t operator*() const { return Store->ChildPositionAt(At); }
      TIterator& operator++() {
        --At;
        return *this;
      }
      bool operator!=(const TIterator& other) const { return At != other.At; }
    };
    TIterator begin() const { return {Store, First + Count - 1}; }
    TIterator end() const { return {Store, First - 1}; }
    int32_t size() const { return Count; }

  private:
    const TMetaStore* Store;
    int32_t First, Count;
  };
  void IndexRuns();
  TChildren ChildrenOf(int32_t position) const;
  bool HasChildren(int32_t position) const;
  void ReadSection(int kind, std::string_view sectionId);
  void ReadObject(TObject& object);
  void ReadRefers(int32_t position, TRefersList& list) const;
  void Resolve(TValueType& type) const;
};

// Fields 1..max of a stored text, split as QuotedField splits them, into out; returns how many
// there are (at most max).
int SplitFields(std::string_view text, std::string_view* out, int max);
// Every field of a stored text.
std::vector<std::string_view> AllFields(std::string_view text);

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

// A model read from DIR (its vellum.md) or from a container file of any name; on failure
// Model is null and Error says why, for people.
struct TModelResult {
  std::unique_ptr<TModel> Model;
  std::string Error;
};
TModelResult LoadModel(const std::string& path);

}  // namespace kalamos
