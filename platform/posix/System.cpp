// The string table, the clock and the failure notice for the native build.
#include "platform/System.h"

#include <cstdio>
#include <ctime>
#include <unordered_map>

#include "Version.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

// The same table the .rc compiles, converted to 1251 once and cut as LoadStringA would.
const std::unordered_map<unsigned, std::string>& StringTable() {
  static const std::unordered_map<unsigned, std::string> table = [] {
    std::unordered_map<unsigned, std::string> t;
#define KALAMOS_STRING(id, symbol, text) t.emplace(id, Utf8ToAnsi(text).substr(0, 254));
#include "resources/Strings.def"
#undef KALAMOS_STRING
    return t;
  }();
  return table;
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

} // namespace

std::string LoadResourceString(unsigned id) {
  const auto& table = StringTable();
  auto it = table.find(id);
  return it == table.end() ? std::string() : it->second;
}

DATE TodayAsDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // 1899-12-30 lies 25569 days before 1970-01-01.
  return static_cast<DATE>(DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + 25569);
}

void ShowFailureNotice(const std::string& ansiText) {
  std::string line = AnsiToUtf8(ansiText);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kalamos
