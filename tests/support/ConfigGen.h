// Generator of realistic configuration texts for tests and benchmarks.
//
// A generated text has the shape the host writes: one top-level list per section
// ("TaskItem", "Consts", "SbCnts", "Registers", "Documents", "Journalisters", "EnumList",
// "Buh" and the other tags), each object a numbered list with its quoted fields and its
// sub-sections ("Params", "Props"/"Figures"/"Flds", "Head Fields"/"Table Fields",
// "JournalFld", "EnumVal", and "SbKind" under the one accounting object), lines ended by
// CR LF, text in code page 1251 with Cyrillic synonyms. Attribute lists carry the fields the
// listings read: 1 name, 2 synonym, 4 type letter (N S D E B O), 5 length, 6 precision,
// 7 identifier of the referenced catalogue or enumeration ("0" when none).
//
// Names are deterministic: DocumentName(i) is the name of document i (0-based) and so on,
// so a test or bench can ask for objects it knows to exist. Identifiers are numbered from
// 100 upward in text order. The same shape and seed give the same text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct TConfigShape {
  int Constants = 10;
  int Catalogues = 10, CatalogueParams = 6;
  int Registers = 4, RegisterProps = 3, RegisterFigures = 2, RegisterFlds = 2;
  int Documents = 10, HeadFields = 8, TableFields = 6;
  int Journals = 2, JournalFields = 4;
  int Enums = 5, EnumValues = 5;
  int AnalyticKinds = 5;
  uint32_t Seed = 1;  // varies synonyms, types and lengths, never the names
  // As real files have it: each document's untagged node "0" holding its Refers list, its
  // settings after the node, the tags "CalcVars" and "DocSelRefObj".
  bool RealFiles = false;
};

// A shape of the usual proportions whose text is about `bytes` long (within a few percent
// above 100 KB).
TConfigShape ShapeForSize(size_t bytes, uint32_t seed = 1);

// The benchmarks' document-heavy shape, as real files have it: this many documents of 20
// head and 4 table attributes, the rest as usual.
TConfigShape DocumentsShape(int documents);

// The configuration text in code page 1251, as the stream holds it after its preamble:
// the top-level lists, then the closing brace of the list that encloses them.
std::string GenerateConfigText(const TConfigShape& shape);

// Whole stream bytes: a six-byte preamble whose fourth byte is "{" (so the text starts at
// offset 6), then the text.
std::string MakeStreamBytes(std::string_view text);

// Object and attribute names (code page 1251, Cyrillic) of generated objects, 0-based.
std::string ConstantName(int i);
std::string CatalogueName(int i);
std::string RegisterName(int i);
std::string DocumentName(int i);
std::string JournalName(int i);
std::string EnumName(int i);
std::string AnalyticKindName(int i);
// Name of attribute j of any object (head, table, params, props, figures, journal fields).
// Table fields of documents are named TableFieldName(j) so that head and table differ.
std::string AttributeName(int j);
std::string TableFieldName(int j);
std::string EnumValueName(int j);
