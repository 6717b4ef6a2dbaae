// The configuration text as a tree of its lists, every byte kept: each list knows where it
// stands in the text, its parent and its nested lists in the order of the text; its fields
// are read from the text when asked for. Quotes are honoured ("" stands for a quote), so a
// brace inside a name is text. Nothing is invented: a list has no identifier but what its
// own first field says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/MetaStore.h"
#include "platform/FileMapping.h"
#include "platform/Memory.h"

namespace kalamos {

struct TTreeNode {
  uint32_t Begin = 0, End = 0;  // offsets of "{" and of its "}" (the text's end when never closed)
  int32_t Parent = -1, FirstChild = -1, NextSibling = -1;
};

// The nodes of a large text: millions of them, in a block of their own whose pages come in
// large pieces (a vector's would be faulted in 4 KiB at a time).
class TTreeNodes {
public:
  TTreeNodes() = default;
  ~TTreeNodes() { FreeLargeBlock(Data, Capacity * sizeof(TTreeNode)); }
  TTreeNodes(const TTreeNodes&) = delete;
  TTreeNodes& operator=(const TTreeNodes&) = delete;
  // Room for count nodes; the pages not written are never taken from the system.
  void Reserve(size_t count);
  void PushBack(const TTreeNode& node) {
    if (Count == Capacity) Reserve(Capacity * 2 + 64);
    Data[Count++] = node;
  }
  TTreeNode& operator[](size_t i) { return Data[i]; }
  const TTreeNode& operator[](size_t i) const { return Data[i]; }
  size_t size() const { return Count; }
  size_t capacity() const { return Capacity; }

private:
  TTreeNode* Data = nullptr;
  size_t Count = 0, Capacity = 0;
};

class TTree {
public:
  // text: the configuration text as the container holds it, from start on (code page 1251).
  TTree(std::string text, size_t start);
  // The same text as the container's read left it in a block (its Position the start).
  explicit TTree(TTextBlock text);
  // The description stream read in place in the container file mapped whole: size bytes at
  // offset, normalised as the container's read would leave them (the byte after them is
  // written, in this process only).
  TTree(TFileMapping file, size_t offset, size_t size);
  // Views into the text point at it where it stands.
  TTree(const TTree&) = delete;
  TTree& operator=(const TTree&) = delete;

  // Node 0 stands for the whole text: the top-level lists are its children.
  static constexpr int32_t Root = 0;
  size_t Size() const { return Nodes.size(); }
  const TTreeNode& Node(int32_t n) const { return Nodes[size_t(n)]; }
  // The list as written, braces included; two lists alike byte for byte are the same.
  std::string_view Raw(int32_t n) const;
  // The list's fields in the order of the text, quotes taken off, nested lists passed over.
  void Fields(int32_t n, std::vector<std::string_view>& out) const;
  std::vector<std::string_view> Fields(int32_t n) const;
  // The first field alone, quotes taken off; empty when the list starts with a nested list.
  std::string_view FirstField(int32_t n) const;
  // Whether the first field is this quoted text, read without taking the field apart (a
  // test made of every list of a large configuration).
  bool FirstFieldIs(int32_t n, std::string_view quoted) const;
  // Whether anything follows the first field: a list that is a number alone names no node.
  bool MoreThanFirstField(int32_t n) const;
  // The nested lists of n, in the order of the text.
  std::vector<int32_t> Children(int32_t n) const;
  bool HasChildren(int32_t n) const { return Nodes[size_t(n)].FirstChild >= 0; }
  size_t MemoryUsed() const { return Text.size() + Nodes.size() * sizeof(TTreeNode); }

private:
  // The text is one of the owners' (a string from a test or a tool, a block from a read, a
  // mapped file).
  std::string OwnedString;
  TTextBlock OwnedBlock;
  TFileMapping OwnedFile;
  std::string_view Text;
  size_t Start;
  void Build();
  TTreeNodes Nodes;
  // Reads one field at at (a quoted text or a bare word); returns where it ends.
  size_t ReadField(size_t at, size_t end, std::string_view& field) const;
};

// True when text is one or more decimal digits: an identifier as the text writes it.
bool IsIdentifier(std::string_view text);

}  // namespace kalamos
