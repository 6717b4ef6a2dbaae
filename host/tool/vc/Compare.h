// Two configurations compared on what they hold: a list of changes that names the things on
// either side and decides on the values the description and the streams write. It has no
// words; diff renders it for people and for scripts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/tool/answers/Contents.h"
#include "host/tool/ground/LineDiff.h"

namespace kalamos {

enum class TChangeOp { Added, Removed, Changed, Renamed };

enum class TChangeOn {
  Object,       // a whole object that one side has
  Name,         // an object's name
  Fact,         // one of an object's own facts (TChange::Fact: its key)
  Description,  // an object's description where nothing finer tells what changed: its lines
  Fields,       // a part's own fields
  Refers,       // the reference lists of a part or of an item
  Item,         // an item of a part
  Stream,       // a module, form or other stream of an object or of the container
};

// A part or an item of an object as one side writes it. Index: its place among its
// neighbours, which names one that has no name of its own.
struct TStep {
  bool IsItem = false;
  TPart Part;
  TItem Item;
  size_t Index = 0;
  int32_t Node() const { return IsItem ? Item.Node : Part.Node; }
  bool Present() const { return Node() >= 0; }
};

struct TChange {
  TChangeOp Op = TChangeOp::Changed;
  TChangeOn On = TChangeOn::Object;
  // The object on each side, -1 where that side has none; both -1: the container's own stream.
  int32_t ObjectA = -1, ObjectB = -1;
  // From the object down to what changed, that included, as the newer side has it (the
  // older one where only it does).
  std::vector<TStep> Steps;
  // What changed on each side (Fields, Refers: the part or the item; Item: the item); not
  // Present on a side that lacks it.
  TStep A, B;
  std::string Fact;  // Fact: its key
  const TPlacedStream *StreamA = nullptr, *StreamB = nullptr;
  // Description, and a module or form whose texts were read on both sides: the line diff.
  bool Texts = false;
  TLineDiff Lines;
  std::string TextA, TextB;  // Description: the lines on each side
  bool ValueChanged = false;  // Item: its value changed (beside its name, when Renamed)
};

// The fields a part writes after its tag or identifier; none where the side lacks it.
std::vector<std::string_view> PartFields(const TModel& model, const TStep& part);

// Objects matched kind by kind, by identifier first and then by name, so that a rename is one
// change and what changed inside it still shows; in the order of the newer side, each removed
// object where it stood, the container's own streams last. An object only one side has is one
// change (its streams with it). ignoreSpace: module and form lines that differ only in blanks
// are equal.
std::vector<TChange> Compare(const TContents& a, const TContents& b, bool ignoreSpace);

}  // namespace kalamos
