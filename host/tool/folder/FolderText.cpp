// The small formats of an unpacked folder: times, line ends, brace checks, file names and the
// manifest.
#include <charconv>
#include <cstdio>

#include "host/tool/folder/Folder.h"
#include "host/tool/folder/Manifest.h"
#include "host/tool/ground/Ground.h"

namespace kalamos {

// Named, not anonymous: the tool's library is compiled as one unit.
namespace folder_text {
constexpr uint64_t TicksPerSecond = 10000000;
constexpr int64_t SecondsTo1970 = 11644473600LL;

// Days since 1970-01-01 of a civil date, and back (Howard Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = int64_t(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

std::string HexOf(const unsigned char* bytes, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < size; ++i) out += digits[bytes[i] >> 4], out += digits[bytes[i] & 15];
  return out;
}
bool FromHex(std::string_view text, unsigned char* bytes, size_t size) {
  if (text.size() != size * 2) return false;
  for (size_t i = 0; i < size; ++i) {
    unsigned value = 0;
    if (std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, value, 16).ptr != text.data() + 2 * i + 2)
      return false;
    bytes[i] = static_cast<unsigned char>(value);
  }
  return true;
}

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (u < 0x20 || u == 0x7F) {
      char code[5];
      std::snprintf(code, sizeof code, "\\x%02x", u);
      out += code;
    } else out += c;
  }
  return out;
}
bool Unescape(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    if (text[i] == '\\') out += '\\';
    else if (text[i] == 't') out += '\t';
    else if (text[i] == 'n') out += '\n';
    else if (text[i] == 'x' && i + 2 < text.size()) {
      unsigned char byte;
      if (!FromHex(text.substr(i + 1, 2), &byte, 1)) return false;
      out += static_cast<char>(byte);
      i += 2;
    } else return false;
  }
  return true;
}

std::vector<std::string_view> Split(std::string_view line, char by) {
  std::vector<std::string_view> parts;
  for (size_t at = 0;;) {
    const size_t next = line.find(by, at);
    parts.push_back(line.substr(at, next - at));
    if (next == std::string_view::npos) return parts;
    at = next + 1;
  }
}

constexpr std::string_view ManifestHead = "ostrak folder 1";
}  // namespace folder_text
using namespace folder_text;

std::string TimeText(uint64_t fileTime) {
  const int64_t seconds = int64_t(fileTime / TicksPerSecond) - SecondsTo1970;
  const uint64_t fraction = fileTime % TicksPerSecond;
  int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) rest += 86400, --days;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02u:%02u:%02u", static_cast<long long>(y), m, d,
                unsigned(rest / 3600), unsigned(rest / 60 % 60), unsigned(rest % 60));
  std::string out = text;
  if (fraction) {
    std::snprintf(text, sizeof text, ".%07llu", static_cast<unsigned long long>(fraction));
    out += text;
  }
  return out;
}

bool ParseTime(std::string_view text, uint64_t& fileTime) {
  // "YYYY-MM-DD HH:MM:SS", then ".fffffff" or nothing.
  if (text.size() != 19 && text.size() != 27) return false;
  auto number = [&](size_t at, size_t digits, unsigned& value) {
    value = 0;
    for (size_t i = at; i < at + digits; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      value = value * 10 + unsigned(text[i] - '0');
    }
    return true;
  };
  unsigned y, mo, d, h, mi, s, high = 0, low = 0;
  if (!number(0, 4, y) || text[4] != '-' || !number(5, 2, mo) || text[7] != '-' || !number(8, 2, d) || text[10] != ' ' ||
      !number(11, 2, h) || text[13] != ':' || !number(14, 2, mi) || text[16] != ':' || !number(17, 2, s))
    return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || y < 1601) return false;
  if (text.size() == 27 && (text[19] != '.' || !number(20, 3, high) || !number(23, 4, low))) return false;
  const uint64_t fraction = uint64_t(high) * 10000 + low;
  const int64_t seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s + SecondsTo1970;
  fileTime = uint64_t(seconds) * TicksPerSecond + fraction;
  return true;
}

std::string LineEnds(std::string_view text) {
  size_t crlf = 0, lf = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++crlf, ++i;
      else return "asis";
    } else if (text[i] == '\n') ++lf;
  }
  if (crlf && lf) return "asis";
  return crlf ? "crlf" : "lf";
}

std::string ToFileLines(std::string_view text, std::string_view ends) {
  if (ends != "crlf") return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0;;) {
    const size_t pair = text.find("\r\n", at);
    if (pair == std::string_view::npos) return out.append(text.substr(at));
    out.append(text.substr(at, pair - at));
    at = pair + 1;
  }
}

std::string FromFileLines(std::string_view text, std::string_view ends) {
  if (ends == "asis") return std::string(text);
  // A checkout may have either line end: both come back as the container had them.
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  const bool crlf = ends == "crlf";
  for (size_t at = 0;;) {
    const size_t lf = text.find('\n', at);
    if (lf == std::string_view::npos) return out.append(text.substr(at));
    const size_t end = lf > at && text[lf - 1] == '\r' ? lf - 1 : lf;
    out.append(text.substr(at, end - at));
    out.append(crlf ? "\r\n" : "\n");
    at = lf + 1;
  }
}

size_t BraceTrouble(std::string_view text, bool whole, std::string& why) {
  size_t line = 1, quoteLine = 0, depth = 0, closedAt = 0;
  std::vector<size_t> opened;  // the lines of the open braces
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') ++line;
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') ++i;
        else quoted = false;
      }
      continue;
    }
    if (whole && depth == 0 && closedAt && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      why = kalamos::Say("text after the closing brace of the list", "после закрывающей скобки списка ещё текст");
      return line;
    }
    if (c == '"') quoted = true, quoteLine = line;
    else if (c == '{') opened.push_back(line), ++depth;
    else if (c == '}') {
      if (depth == 0) {
        why = kalamos::Say("one closing brace \"}\" too many", "лишняя закрывающая скобка \"}\"");
        return line;
      }
      opened.pop_back();
      if (--depth == 0) closedAt = line;
    } else if (whole && depth == 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      why = kalamos::Say("text outside the list: \"{\" expected", "текст вне списка: ожидалась \"{\"");
      return line;
    }
  }
  if (quoted) {
    why = kalamos::Say("a quote not closed", "кавычка не закрыта");
    return quoteLine;
  }
  if (!opened.empty()) {
    why = kalamos::Say("a brace \"{\" not closed", "скобка \"{\" не закрыта");
    return opened.front();
  }
  if (whole && !closedAt) {
    why = kalamos::Say("no list in braces", "нет списка в фигурных скобках");
    return 1;
  }
  return 0;
}

std::string SafeFileName(std::string_view utf8) {
  std::string out;
  for (char c : utf8) {
    const unsigned char u = static_cast<unsigned char>(c);
    out += (u < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) ? '_' : c;
  }
  for (size_t i = out.size(); i > 0 && (out[i - 1] == '.' || out[i - 1] == ' '); --i) out[i - 1] = '_';
  if (out.empty()) return "_";
  // Windows keeps these names for devices, with any extension and in any letter case.
  std::string stem = out.substr(0, out.find('.'));
  for (char& c : stem) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
  static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
  bool device = false;
  for (const char* name : devices) device = device || stem == name;
  if (stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem[3] >= '0' && stem[3] <= '9')
    device = true;
  return device ? "_" + out : out;
}

std::string WriteManifest(const TManifest& manifest) {
  std::string out(ManifestHead);
  out += '\n';
  for (const TManifestEntry& entry : manifest.Entries) {
    if (entry.Storage) {
      out += entry.Path.empty() ? "root\t" : "storage\t" + Escape(entry.Path) + "\t";
      out += entry.Stamp.Modified ? TimeText(entry.Stamp.Modified) : "-";
      out += '\t';
      out += entry.Stamp.ClassId == TStorageStamp{}.ClassId ? "-" : HexOf(entry.Stamp.ClassId.data(), 16);
      if (entry.Stamp.Created) out += "\tcreated=" + TimeText(entry.Stamp.Created);
    } else {
      out += "stream\t" + Escape(entry.Path) + "\t" + Escape(entry.File) + "\t" + entry.How;
      for (const auto& [key, value] : entry.Options) out += "\t" + key + "=" + Escape(value);
    }
    out += '\n';
  }
  return out;
}

bool ReadManifest(const std::string& text, TManifest& manifest, size_t& line, std::string& why) {
  manifest.Entries.clear();
  line = 0;
  std::vector<std::string_view> lines = Split(text, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::string_view row : lines) {
    ++line;
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    if (line == 1) {
      if (row != ManifestHead) return why = kalamos::Say("the first line is not \"", "первая строка не \"") + std::string(ManifestHead) + "\"", false;
      continue;
    }
    const std::vector<std::string_view> fields = Split(row, '\t');
    TManifestEntry entry;
    const bool root = fields[0] == "root";
    const size_t storageFields = root ? 3 : 4;
    if ((root || fields[0] == "storage") && (fields.size() == storageFields || fields.size() == storageFields + 1)) {
      entry.Storage = true;
      const size_t at = root ? 1 : 2;
      if (!root && !Unescape(fields[1], entry.Path)) return why = kalamos::Say("a wrong path", "неверная запись пути"), false;
      if (fields[at] != "-" && !ParseTime(fields[at], entry.Stamp.Modified)) return why = kalamos::Say("a wrong time", "неверное время"), false;
      if (fields.size() > storageFields &&
          (fields.back().substr(0, 8) != "created=" || !ParseTime(fields.back().substr(8), entry.Stamp.Created)))
        return why = kalamos::Say("a wrong creation time", "неверное время создания"), false;
      if (fields[at + 1] != "-" && !FromHex(fields[at + 1], entry.Stamp.ClassId.data(), 16))
        return why = kalamos::Say("a wrong class id", "неверный идентификатор класса"), false;
    } else if (fields[0] == "stream" && fields.size() >= 4) {
      if (!Unescape(fields[1], entry.Path) || !Unescape(fields[2], entry.File)) return why = kalamos::Say("a wrong path", "неверная запись пути"), false;
      entry.How = std::string(fields[3]);
      if (entry.How != "bytes" && entry.How != "module" && entry.How != "form" && entry.How != "description")
        return why = kalamos::Say("an unknown kind of stream \"", "неизвестный вид потока \"") + entry.How + "\"", false;
      for (size_t i = 4; i < fields.size(); ++i) {
        const size_t equals = fields[i].find('=');
        std::string value;
        if (equals == std::string_view::npos || !Unescape(fields[i].substr(equals + 1), value))
          return why = kalamos::Say("a wrong option", "неверный параметр"), false;
        entry.Options[std::string(fields[i].substr(0, equals))] = value;
      }
    } else {
      return why = kalamos::Say("a line not understood", "непонятная строка"), false;
    }
    manifest.Entries.push_back(std::move(entry));
  }
  if (line == 0) return why = kalamos::Say("the manifest is empty", "манифест пуст"), false;
  return true;
}


std::string KindFolder(int kind) {
  // In the kind table's order.
  static const char* const folders[] = {"Конфигурация", "ГрафыОтбора", "ОбщиеРеквизиты", "Нумераторы", "Константы",
                                        "Справочники", "Регистры", "Документы", "ЖурналыДокументов", "Перечисления",
                                        "Отчеты", "ЖурналыРасчетов", "Календари", "Расчеты", "Обработки",
                                        "ГруппыРасчетов", "Бухгалтерия"};
  return kind >= 0 && kind < int(std::size(folders)) ? folders[kind] : "Прочее";
}

}  // namespace kalamos
