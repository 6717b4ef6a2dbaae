#!/usr/bin/env bash
# Makes the language server's test workspace in the current directory: the demo configuration
# with a global module and two documents' modules, packed and unpacked into ./folder by the
# tool under test.
#   make-folder.sh SOURCE_DIR COMMAND...   (COMMAND runs ostrak)
set -u
src=$1
shift
# Modules are raw deflate of 1251 text with CR LF line ends, as the platform writes them.
deflate() { python3 -c 'import sys, zlib; c = zlib.compressobj(9, zlib.DEFLATED, -15); sys.stdout.buffer.write(c.compress(sys.stdin.buffer.read()) + c.flush())'; }
cp1251() { iconv -f UTF-8 -t CP1251 | sed 's/$/\r/'; }
cat <<'BSL' | cp1251 | deflate >global.bin
// Пишет в журнал.
// Второй строкой.
Процедура Записать(Знач Текст) Экспорт
КонецПроцедуры

Функция Сумма(А, Б) Экспорт
	Возврат А + Б;
КонецФункции
BSL
cat <<'BSL' | cp1251 | deflate >sale.bin
Перем Остр;

Процедура ОбработкаПроведения()
	Записать("Проведён", 2);
	Итог = Сумма(1, 2);
	Запрос = "ВЫБРАТЬ * ИЗ Справочник.Контрагенты";
	Вид = Перечисление.ВидыОплаты.Бартер;
	Нет = "Справочник.НетТакого";
	Остр = СоздатьОбъект("AddIn.Ostrak");
	Остр.Загрузить("C:\Базы", 1);
	Остр.ЗначениеПоНомеруСтр("ВидыОплаты", 1);
КонецПроцедуры
BSL
printf 'Процедура ОбработкаПроведения()\n\tЗаписать("Приход");\nКонецПроцедуры\n' | cp1251 | deflate >receipt.bin
"$@" pack "$src/samples/demo/config.txt" packed \
  --stream "TypedText/ModuleText_Number1/MD Programm text=global.bin" \
  --stream "TypedText/Transact_Number200/MD Programm text=sale.bin" \
  --stream "TypedText/Transact_Number220/MD Programm text=receipt.bin" >pack.txt 2>&1 \
  || { echo "FAIL: pack of the test configuration"; cat pack.txt; exit 1; }
"$@" unpack packed folder >pack.txt 2>&1 || { echo "FAIL: unpack of the test configuration"; cat pack.txt; exit 1; }
