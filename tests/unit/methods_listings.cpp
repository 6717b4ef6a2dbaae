// The eight listings and their cursors: order, outputs per type, restarts on another name,
// the end-of-list reset, failed calls that leave a walk alone, and ResetEnum.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/StringIds.h"
#include "shell/Ostrak.h"
#include "tests/support/CallFixture.h"

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
      {4, "Invoice", {"Note", "Total", "Customer"}},
      {5, "invoice", {"Price", "Amount"}},
      {6, "Clients", {"Mark", "Phone", "Rating"}},
      {6, "товары", {"Цена"}},
      {7, "Stock", {"Item", "Warehouse"}},
      {8, "STOCK", {"Qty"}},
      {9, "Colors", {"Blue", "Green", "Red"}},
      {10, "DOCUMENT", {"Receipt", "Waybill", "Invoice"}},
      {10, "справочник", {"Товары", "Contacts", "Goods", "Contracts", "Clients"}},
      {11, "Clients", {"Contacts", "Contracts"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Method) + " " + c.Object);
    size_t params = c.Method == 7 || c.Method == 8 ? 3 : c.Method >= 9 ? 2 : 7;
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
      {4, "Invoice", "Note", 2, 25, 0, ""},          // S: no precision even when one is written
      {4, "Invoice", "Total", 1, 15, 2, ""},
      {4, "Invoice", "Customer", 11, 0, 0, "Clients"},
      {5, "Invoice", "Price", 0, 0, 0, ""},         // a letter outside the table
      {6, "Clients", "Mark", 10, 0, 0, ""},         // field 7 is "0"
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
      {4, "Waybill", 1},   // empty sub-section
      {4, "Receipt", 1},   // no sub-section
      {5, "Waybill", 2},
      {9, "Bare", 6},
      {9, "NoValues", 6},
      {10, "CONST", 0},    // no section at all
      {10, "КАЛЕНДАРЬ", 0},
      {11, "Goods", 7},    // owns nothing, though Contracts and Contacts lie around it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Object);
    for (int round = 0; round < 2; ++round) EXPECT_EQ(Next(c.Method, c.Object), "");
    EXPECT_TRUE(Object->EnumStates[c.Slot].IsIdle());
    EXPECT_TRUE(Quiet());
  }
}

TEST_F(Listings, AnotherNameRestartsButLetterCaseDoesNot) {
  EXPECT_EQ(Next(6, "Clients"), "Mark");
  EXPECT_EQ(Next(6, "CLIENTS"), "Phone") << "same key once upper-cased";
  EXPECT_EQ(Next(6, "Товары"), "Цена");
  EXPECT_EQ(Next(6, "clients"), "Mark") << "coming back restarts";

  // Kind names: the two halves are different keys.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Next(10, "DOCUMENT"), "Receipt");
    EXPECT_EQ(Next(10, "REFERENCE"), "Товары");
  }
  EXPECT_EQ(Next(10, "REFERENCE"), "Contacts");
  EXPECT_EQ(Next(10, "СПРАВОЧНИК"), "Товары");
}

TEST_F(Listings, ListingsKeepSeparateCursors) {
  EXPECT_EQ(Next(4, "Invoice"), "Note");
  EXPECT_EQ(Next(5, "Invoice"), "Price");
  EXPECT_EQ(Next(7, "Stock", 3), "Item");
  EXPECT_EQ(Next(8, "Stock", 3), "Qty");
  EXPECT_EQ(Next(4, "Invoice"), "Total");
  EXPECT_EQ(Next(5, "Invoice"), "Amount");
  EXPECT_EQ(Next(7, "Stock", 3), "Warehouse");
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
      {4, "Invoice", "Stock", "Note", "Total"},      // a register is no document
      {6, "Clients", "Colors", "Mark", "Phone"},
      {9, "Colors", "Nothing", "Blue", "Green"},
      {10, "DOCUMENT", "DOCUMENTS", "Receipt", "Waybill"},
      {10, "REFERENCE", "Reference:Справочник", "Товары", "Contacts"},
      {11, "Clients", "Invoice", "Contacts", "Contracts"},
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
  } slots[] = {{0, 10, "ENUM", "Sizes"},       {1, 4, "Invoice", "Note"}, {2, 5, "Invoice", "Price"},
               {3, 6, "Clients", "Mark"},       {4, 7, "Stock", "Item"},   {5, 8, "Stock", "Qty"},
               {6, 9, "Colors", "Blue"},        {7, 11, "Clients", "Contacts"}};
  for (const auto& s : slots) ASSERT_EQ(Next(s.Method, s.Object), s.First);
  for (const auto& s : slots) {
    SCOPED_TRACE(s.Slot);
    EXPECT_EQ(Call(17, {TVariant::Int(s.Slot)}), S_OK);
    EXPECT_TRUE(IsLong(Result, 0));
    EXPECT_TRUE(Object->EnumStates[s.Slot].IsIdle());
    for (const auto& other : slots) {
      if (other.Slot > s.Slot) {
        EXPECT_FALSE(Object->EnumStates[other.Slot].IsIdle()) << other.Slot;
      }
    }
    EXPECT_EQ(Next(s.Method, s.Object), s.First);
    EXPECT_EQ(Call(17, {TVariant::Int(s.Slot)}), S_OK) << "resetting an idle cursor";
  }
  EXPECT_TRUE(Quiet());
}

TEST_F(Listings, ResetEnumRefusesOtherSlotsAndTypes) {
  ASSERT_EQ(Next(10, "ENUM"), "Sizes");
  VARIANT shortNumber;
  VariantInit(&shortNumber);
  shortNumber.vt = VT_I2;
  shortNumber.iVal = 0;
  std::vector<TVariant> refused = {TVariant::Int(-1), TVariant::Int(8), TVariant::Utf8("0"),
                                   TVariant::Adopt(shortNumber), TVariant()};
  for (const TVariant& slot : refused) {
    Result = TVariant::Int(77);
    EXPECT_EQ(Call(17, {slot}), E_FAIL) << slot.ToUtf8();
    EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
    EXPECT_TRUE(IsLong(Result, 0));
  }
  EXPECT_EQ(Next(10, "ENUM"), "NoValues") << "no cursor changed";
}

TEST_F(Listings, OwnedCataloguesAreFoundAcrossUnrelatedOnes) {
  EXPECT_EQ(Next(11, "Clients"), "Contacts");
  // The search went past Goods and stopped just after Contacts.
  EXPECT_EQ(Object->EnumStates[7].Key, "CLIENTS");
  EXPECT_EQ(Object->EnumStates[7].Position - Object->EnumStates[7].First, 2);
  EXPECT_EQ(Next(11, "Clients"), "Contracts");
  EXPECT_EQ(Next(11, "Clients"), "");
  EXPECT_TRUE(Object->EnumStates[7].IsIdle());
}

}  // namespace
