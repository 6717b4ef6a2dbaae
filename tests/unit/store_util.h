// Small helpers shared by the store tests.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/MetaStore.h"
#include "tests/support/ConfigGen.h"

// A store parsed from configuration text as it follows the preamble of a stream.
inline std::unique_ptr<kalamos::TMetaStore> StoreOf(std::string_view text) {
  return std::make_unique<kalamos::TMetaStore>(kalamos::NormaliseStreamBytes(MakeStreamBytes(text)));
}

// "key|link|text" per identifier-index entry, in index order.
inline std::vector<std::string> IdRows(const kalamos::TMetaStore& store) {
  std::vector<std::string> rows;
  for (int32_t i = 0; i < store.IdCount(); ++i) {
    const kalamos::TNodeData& r = store.IdRecordAt(i);
    rows.push_back(std::string(store.IdAt(i)) + "|" + std::string(r.Link) + "|" + std::string(r.Text));
  }
  return rows;
}

// "key>child" per parent-index entry, in index order.
inline std::vector<std::string> ParentRows(const kalamos::TMetaStore& store) {
  std::vector<std::string> rows;
  for (int32_t i = 0; i < store.ParentCount(); ++i)
    rows.push_back(std::string(store.ParentKeyAt(i)) + ">" + std::string(store.ChildIdAt(i)));
  return rows;
}

// The worked example: two sections, a document with head and table fields, an enumeration.
inline const char* const ExampleText =
    "{\"Documents\",\r\n"
    "{\"120\",\"Invoice\",\"Sales invoice\",\r\n"
    "{\"Head Fields\",\r\n"
    "{\"121\",\"Customer\",\"Buyer\"}},\r\n"
    "{\"Table Fields\",\r\n"
    "{\"122\",\"Amount\",\"\"},\r\n"
    "{\"123\",\"Price\",\"\"}}}},\r\n"
    "{\"EnumList\",\r\n"
    "{\"200\",\"Colors\",\"\",\r\n"
    "{\"EnumVal\",\r\n"
    "{\"201\",\"Red\",\"\"}}}}\r\n"
    "}\r\n";
