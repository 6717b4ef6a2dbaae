// Module texts the code layer's tests share, written as real modules are.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kalamos::code::samples {

// The lines joined by eol, which ends the last line too.
inline std::string Lines(std::initializer_list<std::string_view> lines, std::string_view eol = "\n") {
  std::string out;
  for (std::string_view line : lines) {
    out += line;
    out += eol;
  }
  return out;
}

// A document module: module variables, a function with defaults, a forward declaration, a
// query text over several lines holding words that are declarations and comments elsewhere,
// nested blocks, a label and a preprocessor line.
inline std::string Document(std::string_view eol = "\n") {
  return Lines({
                   "#ЗагрузитьИзФайла Общий.txt",                                      // 1
                   "// Модуль документа",                                               // 2
                   "Перем глСчетчик Экспорт;",                                          // 3
                   "Перем А, Б Экспорт, В[10];",                                        // 4
                   "",                                                                  // 5
                   "// Проверяет количество.",                                          // 6
                   "//   Второй строкой.",                                              // 7
                   "Функция Проверить(Знач Кол, Режим = -1, Текст = \"а\"\"б\") Экспорт",  // 8
                   "\tЕсли Кол > 0 Тогда",                                              // 9
                   "\t\tВозврат 1;",                                                    // 10
                   "\tИначеЕсли Кол < 0 Тогда",                                         // 11
                   "\t\tСообщить(\"Отрицательное: \" + Кол);",                          // 12
                   "\tИначе",                                                           // 13
                   "\t\tВозврат Проверить(Кол + 1, Режим);",                            // 14
                   "\tКонецЕсли;",                                                      // 15
                   "\tВозврат 0;",                                                      // 16
                   "КонецФункции",                                                      // 17
                   "",                                                                  // 18
                   "Процедура Заполнить(Стр) Далее",                                    // 19
                   "",                                                                  // 20
                   "процедура ВыполнитьЗапрос()",                                       // 21
                   "\tЗапрос = СоздатьОбъект(\"Запрос\");",                             // 22
                   "\tТекст = \"//{{ЗАПРОС(Сформировать)",                              // 23
                   "\t|Функция Сумма = Сумма(Документ.Реализация.Сумма);",              // 24
                   "\t|Процедура; // не комментарий",                                   // 25
                   "\t|Товар = документ.Реализация.Товар;\";",                          // 26
                   "\tЗапрос.Выполнить(Текст);",                                        // 27
                   "\tПока Запрос.Группировка(1) = 1 Цикл",                             // 28
                   "\t\tДля Н = 1 По 10 Цикл",                                          // 29
                   "\t\t\tПопытка",                                                     // 30
                   "\t\t\t\tЗаполнить(Н);",                                             // 31
                   "\t\t\tИсключение",                                                  // 32
                   "\t\t\t\tПрервать;",                                                 // 33
                   "\t\t\tКонецПопытки;",                                               // 34
                   "\t\tКонецЦикла;",                                                   // 35
                   "\tКОНЕЦЦИКЛА;",                                                     // 36
                   "~Метка:",                                                           // 37
                   "\tЕсли Константа.ОсновнаяФирма = Перечисление.Виды.Основной Тогда Перейти ~Метка; КонецЕсли;",  // 38
                   "КонецПроцедуры",                                                    // 39
                   "",                                                                  // 40
                   "Procedure Заполнить(Стр)",                                          // 41
                   "\tДок = СоздатьОбъект(\"Документ.Реализация\");",                   // 42
                   "\tДок.Новый();",                                                    // 43
                   "\tIf Стр <> Undefined Then Док.Перем = Стр; EndIf;",               // 44
                   "EndProcedure",                                                      // 45
                   "",                                                                  // 46
                   "глСчетчик = Проверить(1, , );",                                     // 47
               },
               eol);
}

}  // namespace kalamos::code::samples
