// The eight listings and their cursors: order, outputs per type, restarts on another name,
// the end-of-list reset, failed calls that leave a walk alone, and ResetEnum.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/StringIds.h"
#include "shell/Ostrak.h"
#include "tests/support/CallFixture.h"

using namespace kalamos;

namespace {

using Strings = std::vector<std::string>;

class Listings : public TCallFixture {
protected:
  Listings() { LoadText(SampleConfig()); }

  // One listing call with seven parameters; the name handed out, or "" at the end.
  std::string Next(LONG method, std::string_view object, size_t params = 7) {
    std::vector<TVariant> values(params);
    values[0] = TVariant::Utf8(object);
    for (size_t i = 1; i < params; ++i) values[i] = TVariant::Utf8("untouched");
    EXPECT_EQ(Call(method, values), S_OK) << object;
    if (Result.AsInt() == 0) {
      for (size_t n = 2; n <= params; ++n) EXPECT_TRUE(IsText(Out(int(n)), "untouched")) << "parameter " << n;
      return "";
    }
    EXPECT_TRUE(IsLong(Result, 1));
    return Out(2).ToUtf8();
  }
  // Every item of a listing until it ends.
  Strings All(LONG method, std::string_view object, size_t params = 7) {
    Strings names;
    for (std::string name; !(name = Next(method, object, params)).empty() && names.size() < 50;)
      names.push_back(name);
    return names;
  }
};

TEST_F(Listings, EachListingWalksItsSubSectionLastItemFirst) {
  struct {
    LONG Method;
    const char* Object;
    Strings Items;
  } cases[] = {
      {MethodEnumDocHead, "Invoice", {"Note", "Total", "Customer"}},
      {MethodEnumDocTable, "invoice", {"Price", "Amount"}},
      {MethodEnumRef, "Clients", {"Mark", "Phone", "Rating"}},
      {MethodEnumRef, "товары", {"Цена"}},
      {MethodEnumRegDim, "Stock", {"Item", "Warehouse"}},
      {MethodEnumRegRes, "STOCK", {"Qty"}},
      {MethodEnumValues, "Colors", {"Blue", "Green", "Red"}},
      {MethodEnumObjects, "DOCUMENT", {"Receipt", "Waybill", "Invoice"}},
      {MethodEnumObjects, "справочник", {"Товары", "Contacts", "Goods", "Contracts", "Clients"}},
      {MethodEnumOwnedRefs, "Clients", {"Contacts", "Contracts"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Method) + " " + c.Object);
    const size_t params = FunctionRows[c.Method].Params;
    EXPECT_EQ(All(c.Method, c.Object, params), c.Items);
    EXPECT_EQ(Last->Size(), params);
    // The ending call put the cursor back, so the list starts over.
    EXPECT_EQ(Next(c.Method, c.Object, params), c.Items.front());
    EXPECT_TRUE(Quiet());
  }
}

TEST_F(Listings, OutputsFollowTheTypeLetter) {
  struct {
    LONG Method;
    const char* Object;
    const char* Name;
    LONG Type, Length, Precision;
    const char* Reference;
  } items[] = {
      {MethodEnumDocHead, "Invoice", "Note", 2, 25, 0, ""},  // S: no precision even when one is written
      {MethodEnumDocHead, "Invoice", "Total", 1, 15, 2, ""},
      {MethodEnumDocHead, "Invoice", "Customer", 11, 0, 0, "Clients"},
      {MethodEnumDocTable, "Invoice", "Price", 0, 0, 0, ""},  // a letter outside the table
      {MethodEnumRef, "Clients", "Mark", 10, 0, 0, ""},       // field 7 is "0"
  };
  for (const auto& item : items) {
    SCOPED_TRACE(item.Name);
    ASSERT_EQ(Next(item.Method, item.Object), item.Name);
    EXPECT_TRUE(IsLong(Out(3), item.Type));
    EXPECT_TRUE(IsText(Out(4), "syn"));
    EXPECT_TRUE(IsLong(Out(5), item.Length));
    EXPECT_TRUE(IsLong(Out(6), item.Precision));
    EXPECT_TRUE(IsText(Out(7), item.Reference));
  }
}

TEST_F(Listings, EmptyListsEndAtOnceAndStayIdle) {
  struct {
    LONG Method;
    const char* Object;
    int Slot;
  } cases[] = {
      {MethodEnumDocHead, "Waybill", 1},    // empty sub-section
      {MethodEnumDocHead, "Receipt", 1},    // no sub-section
      {MethodEnumDocTable, "Waybill", 2},
      {MethodEnumValues, "Bare", 6},
      {MethodEnumValues, "NoValues", 6},
      {MethodEnumObjects, "CONST", 0},      // no section at all
      {MethodEnumObjects, "КАЛЕНДАРЬ", 0},
      {MethodEnumOwnedRefs, "Goods", 7},    // owns nothing, though Contracts and Contacts lie around it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Object);
    for (int round = 0; round < 2; ++round) EXPECT_EQ(Next(c.Method, c.Object), "");
    EXPECT_TRUE(Object->EnumStates[c.Slot].IsIdle());
    EXPECT_TRUE(Quiet());
  }
}

TEST_F(Listings, AnotherNameRestartsButLetterCaseDoesNot) {
  EXPECT_EQ(Next(MethodEnumRef, "Clients"), "Mark");
  EXPECT_EQ(Next(MethodEnumRef, "CLIENTS"), "Phone") << "same key once upper-cased";
  EXPECT_EQ(Next(MethodEnumRef, "Товары"), "Цена");
  EXPECT_EQ(Next(MethodEnumRef, "clients"), "Mark") << "coming back restarts";

  // Kind names: the two halves are different keys.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Next(MethodEnumObjects, "DOCUMENT"), "Receipt");
    EXPECT_EQ(Next(MethodEnumObjects, "REFERENCE"), "Товары");
  }
  EXPECT_EQ(Next(MethodEnumObjects, "REFERENCE"), "Contacts");
  EXPECT_EQ(Next(MethodEnumObjects, "СПРАВОЧНИК"), "Товары");
}

TEST_F(Listings, ListingsKeepSeparateCursors) {
  EXPECT_EQ(Next(MethodEnumDocHead, "Invoice"), "Note");
  EXPECT_EQ(Next(MethodEnumDocTable, "Invoice"), "Price");
  EXPECT_EQ(Next(MethodEnumRegDim, "Stock", 3), "Item");
  EXPECT_EQ(Next(MethodEnumRegRes, "Stock", 3), "Qty");
  EXPECT_EQ(Next(MethodEnumDocHead, "Invoice"), "Total");
  EXPECT_EQ(Next(MethodEnumDocTable, "Invoice"), "Amount");
  EXPECT_EQ(Next(MethodEnumRegDim, "Stock", 3), "Warehouse");
  EXPECT_EQ(Object->EnumStates[1].Key, "INVOICE");
}

TEST_F(Listings, UnknownNamesFailWithoutDisturbingAWalk) {
  struct {
    LONG Method;
    const char* Known;
    const char* Unknown;
    const char* First;
    const char* Second;
  } cases[] = {
      {MethodEnumDocHead, "Invoice", "Stock", "Note", "Total"},  // a register is no document
      {MethodEnumRef, "Clients", "Colors", "Mark", "Phone"},
      {MethodEnumValues, "Colors", "Nothing", "Blue", "Green"},
      {MethodEnumObjects, "DOCUMENT", "DOCUMENTS", "Receipt", "Waybill"},
      {MethodEnumObjects, "REFERENCE", "Reference:Справочник", "Товары", "Contacts"},
      {MethodEnumOwnedRefs, "Clients", "Invoice", "Contacts", "Contracts"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Unknown);
    EXPECT_EQ(Next(c.Method, c.Known), c.First);
    Result = TVariant::Int(77);
    EXPECT_EQ(Call(c.Method, {TVariant::Utf8(c.Unknown), TVariant::Utf8("untouched")}), E_FAIL);
    EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_NAME));
    EXPECT_TRUE(IsLong(Result, 0));
    EXPECT_TRUE(IsText(Out(2), "untouched"));
    EXPECT_EQ(Next(c.Method, c.Known), c.Second);
    EXPECT_TRUE(Quiet());
  }
}

TEST_F(Listings, ResetEnumRestartsOneSlotOnly) {
  const struct {
    int Slot;
    LONG Method;
    const char* Object;
    const char* First;
  } slots[] = {{0, MethodEnumObjects, "ENUM", "Sizes"},     {1, MethodEnumDocHead, "Invoice", "Note"},
               {2, MethodEnumDocTable, "Invoice", "Price"}, {3, MethodEnumRef, "Clients", "Mark"},
               {4, MethodEnumRegDim, "Stock", "Item"},      {5, MethodEnumRegRes, "Stock", "Qty"},
               {6, MethodEnumValues, "Colors", "Blue"},     {7, MethodEnumOwnedRefs, "Clients", "Contacts"}};
  for (const auto& s : slots) ASSERT_EQ(Next(s.Method, s.Object), s.First);
  for (const auto& s : slots) {
    SCOPED_TRACE(s.Slot);
    EXPECT_EQ(Call(MethodResetEnum, {TVariant::Int(s.Slot)}), S_OK);
    EXPECT_TRUE(IsLong(Result, 0));
    EXPECT_TRUE(Object->EnumStates[s.Slot].IsIdle());
    for (const auto& other : slots) {
      if (other.Slot > s.Slot) {
        EXPECT_FALSE(Object->EnumStates[other.Slot].IsIdle()) << other.Slot;
      }
    }
    EXPECT_EQ(Next(s.Method, s.Object), s.First);
    EXPECT_EQ(Call(MethodResetEnum, {TVariant::Int(s.Slot)}), S_OK) << "resetting an idle cursor";
  }
  EXPECT_TRUE(Quiet());
}

TEST_F(Listings, ResetEnumRefusesOtherSlotsAndTypes) {
  ASSERT_EQ(Next(MethodEnumObjects, "ENUM"), "Sizes");
  VARIANT shortNumber;
  VariantInit(&shortNumber);
  shortNumber.vt = VT_I2;
  shortNumber.iVal = 0;
  std::vector<TVariant> refused = {TVariant::Int(-1), TVariant::Int(8), TVariant::Utf8("0"),
                                   TVariant::Adopt(shortNumber), TVariant()};
  for (const TVariant& slot : refused) {
    Result = TVariant::Int(77);
    EXPECT_EQ(Call(MethodResetEnum, {slot}), E_FAIL) << slot.ToUtf8();
    EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
    EXPECT_TRUE(IsLong(Result, 0));
  }
  EXPECT_EQ(Next(MethodEnumObjects, "ENUM"), "NoValues") << "no cursor changed";
}

TEST_F(Listings, OwnedCataloguesAreFoundAcrossUnrelatedOnes) {
  EXPECT_EQ(Next(MethodEnumOwnedRefs, "Clients"), "Contacts");
  // The search went past Goods and stopped just after Contacts.
  EXPECT_EQ(Object->EnumStates[7].Key, "CLIENTS");
  EXPECT_EQ(Object->EnumStates[7].Position - Object->EnumStates[7].First, 2);
  EXPECT_EQ(Next(MethodEnumOwnedRefs, "Clients"), "Contracts");
  EXPECT_EQ(Next(MethodEnumOwnedRefs, "Clients"), "");
  EXPECT_TRUE(Object->EnumStates[7].IsIdle());
}

// Real files tag the processings' section "CalcVars"; the table's own spelling works too.
TEST_F(Listings, ProcessingsUnderEitherTag) {
  for (const char* tag : {"CalcVars", "Calcvars"}) {
    LoadText(std::string("{\"") + tag + "\",\r\n{\"34\",\"Загрузка\",\"\",\"\"},\r\n{\"35\",\"Выгрузка\",\"\",\"\"}}");
    Strings names;
    for (const char* kind : {"Обработка", "PROCESSING", "обработка"})
      for (std::string name : All(MethodEnumObjects, kind, 2)) names.push_back(name);
    EXPECT_EQ(names, (Strings{"Выгрузка", "Загрузка", "Выгрузка", "Загрузка", "Выгрузка", "Загрузка"})) << tag;
  }
}

}  // namespace
