// Symbols of the component's string table (resources/Strings.def).
#pragma once

enum TStringId : unsigned {
#define KALAMOS_STRING(id, symbol, text) symbol = id,
#include "resources/Strings.def"
#undef KALAMOS_STRING
};
