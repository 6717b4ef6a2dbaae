// Differences between two texts, line by line, as a unified diff shows them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalamos {

// The text's lines without their ends ("\n", "\r\n"); a last line without an end counts.
std::vector<std::string_view> SplitLines(std::string_view text);

struct TLineDiff {
  std::string Hunks;   // "@@ -a,b +c,d @@" and the lines marked " ", "-", "+"; empty when equal
  size_t Added = 0, Removed = 0;
};
// The shortest edit between a and b (Myers), in hunks with context lines around each
// change. Past a few thousand differing lines the middle is shown removed and added whole.
// ignoreSpace: lines that differ only in blanks and tabs count as equal (diff -w); the
// hunks show the lines as they stand.
TLineDiff DiffLines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b, size_t context = 3,
                    bool ignoreSpace = false);

}  // namespace kalamos
