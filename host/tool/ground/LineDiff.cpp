#include "host/tool/ground/LineDiff.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace kalamos {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

namespace {
// Past this many differences the search costs too much memory; such a module was rewritten.
constexpr int MaxEdits = 4000;

enum class TOp : char { Same = ' ', Removed = '-', Added = '+' };

// Myers' greedy search on line numbers, keeping each round's frontier to trace the path back.
// False when the edit is longer than MaxEdits.
bool Shortest(const std::vector<int32_t>& a, const std::vector<int32_t>& b, std::vector<TOp>& script) {
  const int n = int(a.size()), m = int(b.size());
  const int offset = std::min(n + m, MaxEdits) + 1;
  std::vector<int> v(size_t(2 * offset + 1), 0);
  std::vector<std::vector<int>> trace;
  int found = -1;
  for (int d = 0; d <= std::min(n + m, MaxEdits) && found < 0; ++d) {
    trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
    for (int k = -d; k <= d; k += 2) {
      int x = (k == -d || (k != d && v[size_t(offset + k - 1)] < v[size_t(offset + k + 1)])) ? v[size_t(offset + k + 1)]
                                                                                               : v[size_t(offset + k - 1)] + 1;
      int y = x - k;
      while (x < n && y < m && a[size_t(x)] == b[size_t(y)]) ++x, ++y;
      v[size_t(offset + k)] = x;
      if (x >= n && y >= m) {
        found = d;
        break;
      }
    }
  }
  if (found < 0) return false;
  // Back from the end: each round's frontier (as it stood before the round) says where the
  // path came from.
  int x = n, y = m;
  std::vector<TOp> reversed;
  for (int d = found; d > 0; --d) {
    const std::vector<int>& before = trace[size_t(d)];  // frontier of round d-1, k in [-d, d]
    auto at = [&](int k) { return before[size_t(k + d)]; };
    const int k = x - y;
    const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
    const int previousK = down ? k + 1 : k - 1;
    const int previousX = at(previousK), previousY = previousX - previousK;
    while (x > previousX + (down ? 0 : 1) && y > previousY + (down ? 1 : 0)) {
      reversed.push_back(TOp::Same);
      --x, --y;
    }
    reversed.push_back(down ? TOp::Added : TOp::Removed);
    x = previousX, y = previousY;
  }
  while (x > 0 && y > 0) {
    reversed.push_back(TOp::Same);
    --x, --y;
  }
  script.assign(reversed.rbegin(), reversed.rend());
  return true;
}
}  // namespace

namespace {
std::string WithoutBlanks(std::string_view line) {
  std::string key;
  for (char c : line)
    if (c != ' ' && c != '\t') key += c;
  return key;
}
}  // namespace

TLineDiff DiffLines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b, size_t context,
                    bool ignoreSpace) {
  TLineDiff result;
  // What lines are compared by: themselves, or without their blanks.
  std::vector<std::string> blanklessA, blanklessB;
  std::vector<std::string_view> keysA, keysB;
  if (ignoreSpace) {
    for (std::string_view line : a) blanklessA.push_back(WithoutBlanks(line));
    for (std::string_view line : b) blanklessB.push_back(WithoutBlanks(line));
    keysA.assign(blanklessA.begin(), blanklessA.end());
    keysB.assign(blanklessB.begin(), blanklessB.end());
  }
  const std::vector<std::string_view>& ka = ignoreSpace ? keysA : a;
  const std::vector<std::string_view>& kb = ignoreSpace ? keysB : b;
  // Common head and tail need no search.
  size_t head = 0;
  while (head < a.size() && head < b.size() && ka[head] == kb[head]) ++head;
  size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && ka[a.size() - 1 - tail] == kb[b.size() - 1 - tail]) ++tail;
  if (head == a.size() && head == b.size()) return result;

  // Lines as numbers: equal lines, equal numbers.
  std::unordered_map<std::string_view, int32_t> numbers;
  auto numbered = [&](const std::vector<std::string_view>& lines) {
    std::vector<int32_t> out;
    for (size_t i = head; i < lines.size() - tail; ++i)
      out.push_back(numbers.emplace(lines[i], int32_t(numbers.size())).first->second);
    return out;
  };
  const std::vector<int32_t> x = numbered(ka), y = numbered(kb);
  std::vector<TOp> middle;
  if (!Shortest(x, y, middle)) {
    middle.assign(x.size(), TOp::Removed);
    middle.insert(middle.end(), y.size(), TOp::Added);
  }
  std::vector<TOp> script(head, TOp::Same);
  script.insert(script.end(), middle.begin(), middle.end());
  script.insert(script.end(), tail, TOp::Same);

  // Positions in a and b of each step, then hunks: runs of changes closer than 2 * context
  // lines share one.
  std::vector<size_t> ia(script.size() + 1), ib(script.size() + 1);
  for (size_t i = 0; i < script.size(); ++i) {
    ia[i + 1] = ia[i] + (script[i] != TOp::Added);
    ib[i + 1] = ib[i] + (script[i] != TOp::Removed);
    if (script[i] == TOp::Added) ++result.Added;
    if (script[i] == TOp::Removed) ++result.Removed;
  }
  size_t i = 0;
  while (i < script.size()) {
    if (script[i] == TOp::Same) {
      ++i;
      continue;
    }
    size_t start = i >= context ? i - context : 0;
    size_t end = i;
    // Extend while the next change lies within 2 * context unchanged lines.
    for (;;) {
      while (end < script.size() && script[end] != TOp::Same) ++end;
      size_t next = end;
      while (next < script.size() && script[next] == TOp::Same) ++next;
      if (next < script.size() && next - end <= 2 * context) {
        end = next;
        continue;
      }
      end = std::min(end + context, script.size());
      break;
    }
    const size_t countA = ia[end] - ia[start], countB = ib[end] - ib[start];
    // As diff -u numbers them: an empty side names the line before it.
    const size_t fromA = countA ? ia[start] + 1 : ia[start], fromB = countB ? ib[start] + 1 : ib[start];
    result.Hunks += "@@ -" + std::to_string(fromA) + (countA == 1 ? "" : "," + std::to_string(countA)) + " +" +
                    std::to_string(fromB) + (countB == 1 ? "" : "," + std::to_string(countB)) + " @@\n";
    for (size_t s = start; s < end; ++s) {
      result.Hunks += char(script[s]);
      result.Hunks += script[s] == TOp::Added ? b[ib[s]] : a[ia[s]];
      result.Hunks += '\n';
    }
    i = end;
  }
  return result;
}

}  // namespace kalamos
