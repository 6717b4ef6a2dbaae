// Inside of TMetaStore, shared by the parser, the index builder and the lookups.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "metadata/MetaStore.h"

struct TIdEntry {
  std::string_view Key;
  TNodeData Record;
};

struct TParentEntry {
  std::string_view Key;
  std::string_view Child;
};

// Children of one parent by upper-cased name, built on the first named lookup under a
// parent with many children.
struct TNameTable {
  std::unordered_map<std::string, int32_t> First;  // name -> identifier-index position
  int32_t MissPosition = -1;                      // where a walk that finds nothing ends
  size_t Bytes = 0;
};

// Auto identifiers live apart from the node texts: a node text may still be growing in
// the text arena when an auto identifier has to be written.
class TIdArena {
public:
  std::string_view Add(std::string_view text);
  size_t Bytes() const { return Total; }

private:
  std::vector<std::unique_ptr<char[]>> Blocks;
  size_t Used = 0, Size = 0, Total = 0;
};

struct TMetaStore::TImpl {
  // Node texts and explicit identifiers, compacted in place over the text they were read
  // from (a node text is never longer than what was read for it); never reallocated, so
  // views stay valid.
  std::string Text;
  TIdArena AutoIds;
  std::vector<TIdEntry> Ids;
  std::vector<TParentEntry> Parents;
  // Starts of parent-index runs whose keys are equal but spelt differently (letter case);
  // only there must a run be walked entry by entry.
  std::vector<uint32_t> MixedRuns;
  mutable std::unordered_map<uint64_t, TNameTable> NameTables;

  // Parses Text from start to its end.
  void Parse(size_t start, TMetaStore& store);
  void BuildIndexes(std::vector<std::string_view>& texts);
};

// Index key order: CompareKeys, with a short cut for digit strings, which it orders byte by
// byte anyway.
int KeyCompare(std::string_view a, std::string_view b);
// Name of a child as FindChildByName sees it: from the second character up to two
// characters before the first comma.
std::string_view ChildName(std::string_view text);
