// The constant tables of the script surface: methods with their bilingual names and
// parameter counts, and the object kinds. Entries are 8-bit text in code page 1251.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr int MethodCount = 19;

// "English;Russian", as stored; number 0..18.
const std::string& MethodEntry(int number);
// The entry upper-cased with the ANSI upper-casing, as names are matched against it.
const std::string& UpperMethodEntry(int number);
// One half of an entry: the English name, or the Russian one; upper-cased on request.
std::string_view MethodName(int number, bool russian, bool upper = false);
// Parameter count of a method; number 0..18.
uint8_t ParamCount(int number);

// "ENGLISH:RUSSIAN", upper case; kind index 0..16.
const std::string& KindEntry(int kind);
