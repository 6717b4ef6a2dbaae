#!/usr/bin/env bash
# Runs client.mjs against `ostrak mcp`: packs the demo configuration, the test configuration,
# one with modules and one whose catalogue has 50,000 attributes with the tool under test, then
# lets the SDK client talk to the server.
#   run-client.sh SOURCE_DIR NODE_FOLDER COMMAND...   (COMMAND runs ostrak, e.g. a Wine
#   wrapper and ostrak.exe with --dll)
set -u
# The checks read the tool's English messages, whatever the locale the suite runs in.
export LANGUAGE=en
src=$1 folder=$(cd "$2" 2>/dev/null && pwd || echo "$2")
shift 2
if [ ! -d "$folder/node_modules/@modelcontextprotocol/sdk" ]; then
  echo "FAIL: the SDK is not installed in $folder (tests/mcp/setup.sh does it)"
  exit 1
fi
# The client stands beside the SDK it imports.
cp "$src/tests/mcp/client.mjs" "$folder/client.mjs" || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
"$@" pack "$src/samples/demo/config.txt" demo >pack.txt 2>&1 || { echo "FAIL: pack of the demo"; cat pack.txt; exit 1; }
"$@" pack "$src/tests/cli/fixtures/model.txt" model >pack.txt 2>&1 || { echo "FAIL: pack of the test configuration"; cat pack.txt; exit 1; }
# Modules are raw deflate of 1251 text with CR LF line ends, as the platform writes them.
deflate() { python3 -c 'import sys, zlib; c = zlib.compressobj(9, zlib.DEFLATED, -15); sys.stdout.buffer.write(c.compress(sys.stdin.buffer.read()) + c.flush())'; }
cp1251() { iconv -f UTF-8 -t CP1251 | sed 's/$/\r/'; }
printf 'Процедура ОбработкаПроведения()\n\tДвижения.Остатки.Приход();\n\tСообщить("Проведён");\nКонецПроцедуры\n' | cp1251 | deflate >transact.bin
printf 'Процедура ПриОткрытии()\n\tсообщить("открыта");\n\tЗаписать("открыта", 2);\nКонецПроцедуры\n' | cp1251 | deflate >form.bin
{ for n in $(seq 1 2500); do printf 'Сообщить("строка %d");\n' "$n"; done
  printf '// Пишет в журнал.\nПроцедура Записать(Знач Текст) Экспорт\nКонецПроцедуры\n'; } | cp1251 | deflate >global.bin
printf 'not deflate at all' >garbage.bin
"$@" pack "$src/tests/cli/fixtures/vsd-a.txt" modules --stream "TypedText/Transact_Number174/MD Programm text=transact.bin" \
  --stream "Document/Document_Number174/WorkBook/MD Programm text=form.bin" \
  --stream "TypedText/ModuleText_Number1/MD Programm text=global.bin" \
  --stream "TypedText/Transact_Number180/MD Programm text=garbage.bin" >pack.txt 2>&1 \
  || { echo "FAIL: pack of the configuration with modules"; cat pack.txt; exit 1; }
# 50,000 attributes that share a synonym and refer to one catalogue: find and where_used of
# them answered 13 MB whole, past what the SDK reads in one message.
{
  printf '{"SbCnts",\n{"13","Районы","","Районы","0","3","40","1","0","1","0","0","0","0","0","0","0"},\n'
  printf '{"20","Большой","","Большой","0","3","40","1","0","1","0","0","0","0","0","0","0",\n{"Params",\n'
  seq 0 49999 | awk '{ printf "%s{\"%d\",\"Реквизит%d\",\"\",\"Общий синоним\",\"B\",\"0\",\"0\",\"13\",\"0\",\"0\",\"0\"}",
                             (NR > 1 ? ",\n" : ""), 1000 + $1, $1 }'
  printf '}}}\n'
} >large.txt
"$@" pack large.txt large >pack.txt 2>&1 || { echo "FAIL: pack of the large configuration"; cat pack.txt; exit 1; }
node "$folder/client.mjs" demo model modules large -- "$@"
