// Questions about the model that answer with its own values: objects by name, names close to
// one, where an object is used, an attribute path, text in names. No words but the messages
// of a name that is not there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/tool/model/Model.h"

namespace kalamos {

// A name as people write it: "Name", "Kind.Name" or, for a path, "Kind.Name.Attr.Attr";
// the kind in either language of the kind table, any letter case. Segments are 8-bit 1251.
struct TNameQuery {
  int Kind = -1;                       // -1 when no kind was written
  std::vector<std::string> Segments;   // the object's name first
};
TNameQuery ParseName(const std::string& utf8);

// The objects a query names (its first segment); empty with a message for people, closest
// names included, when there is none.
std::vector<int32_t> ResolveObjects(const TModel& model, const TNameQuery& query, std::string& error);

// Up to most names (UTF-8) close to wanted: holding it, held by it, or a few letters away;
// the closest first.
std::vector<std::string> ClosestNames(const std::vector<std::string_view>& names, std::string_view wanted, size_t most);

// The places that refer to an object (TRefUse, in the model's header), sorted by kind
// (English), object, part, item and how, as UTF-8 bytes.
std::vector<TRefUse> FindUses(const TModel& model, int32_t target);

// One match of find: where, which field, its text.
struct TFindMatch {
  int32_t Object;
  std::string_view Part, Item;
  const char* Field;  // "name", "synonym", "comment"
  std::string_view Text;
};
// Objects and items whose name, synonym or comment holds text (8-bit 1251), ignoring
// letter case; in model order.
std::vector<TFindMatch> FindText(const TModel& model, std::string_view text);

struct TPathStep {
  int32_t Object;          // the object whose attribute this is
  std::string_view Part;   // the sub-section it stands in
  TItem Item;
};
struct TPathResult {
  bool Found = false;
  std::vector<TPathStep> Steps;
  std::string Missing;                  // UTF-8; empty when found
  std::vector<std::string> Candidates;  // UTF-8
  bool Ambiguous = false;               // the object's name alone fits several kinds
  bool Dead = false;                    // the last step's type has no attributes
};
TPathResult ResolvePath(const TModel& model, const TNameQuery& query);

}  // namespace kalamos
