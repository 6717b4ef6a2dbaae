#!/usr/bin/env bash
# Checks of the ostrak tool: pack, call and dump on containers built from text.
# Usage: check-ostrak.sh SOURCE_DIR COMMAND... (COMMAND runs ostrak, e.g. a Wine wrapper and
# ostrak.exe). Prints one line per failed check and a closing "N passed, N failed".
set -u
src=$1; shift
ostrak=("$@")
fixtures=$src/tests/cli/fixtures
expected=$src/tests/cli/expected
# The tool's messages in English, whatever this machine's locale (and Wine's Russian one):
# the checks below read them; those of the user's language set it themselves.
export LANGUAGE=en
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

passed=0; failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $1"; [ -n "${2:-}" ] && printf '%s\n' "$2" | sed 's/^/    /'; }
source "$src/tests/cli/run-tool.sh"
status() { [ "$rc" = "$1" ] && ok || bad "$2: exit status $rc, wanted $1" "$(cat err.txt)"; }
stdout_is() { [ "$(cat out.txt)" = "$1" ] && ok || bad "$2: output differs (exit status $rc)" "$(diff <(printf '%s\n' "$1") out.txt; cat err.txt)"; }
stderr_has() { grep -qF -- "$1" err.txt && ok || bad "$2: no \"$1\" on standard error" "$(cat err.txt)"; }
same_file() { cmp -s "$1" "$2" && ok || bad "$3: $1 and $2 differ" "$(diff "$1" "$2" | head -20)"; }

# --- pack -----------------------------------------------------------------------------------
run pack "$src/samples/demo/config.txt" demo
status 0 "pack of the sample"
head -c 8 demo/vellum.md | od -An -tx1 | tr -d ' \n' | grep -qx d0cf11e0a1b11ae1 && ok || bad "pack writes a compound file"

run pack --oem "$src/samples/demo/config.txt" demo866
status 0 "pack --oem"
iconv -f UTF-8 -t CP1251 "$src/samples/demo/config.txt" > config1251.txt
run pack --raw config1251.txt demoraw
status 0 "pack --raw"

run pack config1251.txt nope
status 1 "pack of a file that is not UTF-8"
stderr_has "is not UTF-8" "pack of a file that is not UTF-8"
printf '{"EnumList",\n{"1","Погода","",\n{"EnumVal",\n{"2","Снег ☃",""}}}}\n' > snow.txt
run pack snow.txt snow
status 1 "pack of a character code page 1251 lacks"
stderr_has "lacks" "pack of a character code page 1251 lacks"
[ ! -e snow/vellum.md ] && ok || bad "a refused pack writes no container"
run pack missing.txt nowhere
status 1 "pack of a missing file"

# --- call -----------------------------------------------------------------------------------
run call demo EnumObjects ДОКУМЕНТ
status 0 "EnumObjects"
stdout_is $'name: Оплата\nname: ПриходнаяНакладная\nname: РасходнаяНакладная' "EnumObjects lists the last object first"
run call demo перечислитьобъекты document
stdout_is $'name: Оплата\nname: ПриходнаяНакладная\nname: РасходнаяНакладная' "Russian name in lower case, kind in English"

run call demo EnumDocTable РасходнаяНакладная
stdout_is 'name: СтавкаНДС, type: 10, kind: Ставка НДС, length: 0, precision: 0, ref: СтавкиНДС
name: Сумма, type: 1, kind: Сумма, length: 15, precision: 2, ref:
name: Цена, type: 1, kind: Цена, length: 15, precision: 2, ref:
name: Количество, type: 1, kind: Количество, length: 12, precision: 3, ref:
name: Товар, type: 11, kind: Товар, length: 0, precision: 0, ref: Номенклатура' "EnumDocTable items and outputs"
run call demo ИзмеренияРегистра остаткитоваров
stdout_is $'name: Товар, type: 11\nname: Склад, type: 11' "register dimensions give name and type only"
run call demo EnumOwnedRefs Номенклатура
stdout_is $'name: ШтрихКоды\nname: ЕдиницыИзмерения' "EnumOwnedRefs"
run call demo EnumValues Приоритеты
status 0 "an empty listing succeeds"
stdout_is "" "an empty listing prints nothing"

run call demo ValueByNum ВидыОплаты 1
stdout_is "result: Бартер" "ValueByNum 1 is the value that stands last"
run call demo ValueByNum ВидыОплаты -1
status 0 "a negative number is an argument, not an option"
stdout_is "result:" "ValueByNum out of range gives empty text"
run call demo ValueByNum --text 2 ВидыОплаты 1
status 1 "--text makes a number text"
stderr_has "1006: Неверный тип параметра" "--text makes a number text"
run call demo EnumValInternal ВидыОплаты наличные
stdout_is 'result: {"E","0","0","400","0","0","       401   "}' "EnumValInternal"
run call demo RefInfo Контрагенты 3
stdout_is "result: 100" "RefInfo selector 3 is field 6"
run call demo ПараметрыСправочника Контрагенты 1
stdout_is "result: 8" "RefInfo by its Russian name"
run call demo SbKindKind Контрагенты
stdout_is "result: Справочник.Контрагенты" "SbKindKind"
run call demo ТипВидаСубконто Сотрудники
stdout_is "result: 0" "SbKindType of a string kind"
run call demo EnumValCount СтавкиНДС
stdout_is "result: 3" "EnumValCount"
run call demo ResetEnum 3
stdout_is "result: 0" "ResetEnum"
run call demo Load
stdout_is "result: 1" "call of Load itself"

run call demo EnumRef НетТакого
status 1 "an unknown catalogue fails"
stderr_has "1006: Неверное имя реквизита" "an unknown catalogue is reported"
run call demo SbKindType Склады Лишний
status 2 "too many arguments"
stderr_has "SbKindType takes 1 argument" "too many arguments"
run call demo RefInfo Контрагенты
status 2 "too few arguments"
run call demo NoSuchFunction x
status 2 "unknown function"
stderr_has "unknown function: NoSuchFunction" "unknown function"
run call demo ValueByNum --text 3 ВидыОплаты 1
status 2 "--text past the arguments"

run call nodir EnumObjects ENUM
status 1 "missing directory"
stderr_has "1006: Ошибка при инициализации компоненты" "missing directory is reported by the component"
stderr_has "nodir: no such directory" "missing directory"
mkdir -p plain && echo "not a container" > plain/vellum.md
run call plain EnumObjects ENUM
status 1 "a file that is no container"
stderr_has "not a compound file" "a file that is no container"
mkdir -p empty
run call empty EnumObjects ENUM
stderr_has "vellum.md: no such file" "a directory without vellum.md"

# --- dump -----------------------------------------------------------------------------------
run dump demo
status 0 "dump of the sample"
cp out.txt demo.json
same_file demo.json "$expected/demo.json" "dump of the sample"
run dump demo866
same_file out.txt demo.json "dump of the OEM container equals the ANSI one"
run dump demoraw
same_file out.txt demo.json "dump of the raw-packed container equals the converted one"

run pack "$fixtures/edge.txt" edge
run dump edge
status 0 "dump of the edge cases"
same_file out.txt "$expected/edge.json" "dump of the edge cases"
stderr_has "1006: Неверный тип параметра" "a failing RefInfo is reported while dumping"

# A setting written with digit groups, as people write a thousand: a blank or a no-break
# space between the groups. The Windows build (oleaut32) reads them, so the native one must too.
# (The Cyrillic name keeps the text plainly code page 1251: a lone 0xA0 would look like OEM.)
printf '{"SbCnts",\n{"10","Товары","","","0","1 000","1 000 000","2\xC2\xA0000","12","7","0","0","0","0","0","0","1"}}\n' > groups.txt
run pack groups.txt groups
status 0 "pack of settings with digit groups"
run call groups RefInfo Товары 1
stdout_is "result: 1000" "RefInfo reads a blank between digit groups"
run call groups RefInfo Товары 2
stdout_is "result: 2000" "RefInfo reads a no-break space between digit groups"
run call groups RefInfo Товары 3
stdout_is "result: 1000000" "RefInfo reads several digit groups"

# --- container files of any name -----------------------------------------------------------
cp demo/vellum.md "Версия 5.MD"
run dump "Версия 5.MD"
status 0 "dump of a container file"
same_file out.txt demo.json "dump of a container file equals the directory's"
run call "Версия 5.MD" ValueByNum ВидыОплаты 2
stdout_is "result: Безналичные" "call on a container file"
run dump plain/vellum.md
status 1 "a file that is no container"
stderr_has "plain/vellum.md: not a compound file" "a file that is no container is named as given"
run dump nofile.md
status 1 "a missing file"
stderr_has "nofile.md: no such directory or file" "a missing file"

# --- text -----------------------------------------------------------------------------------
run text demo
status 0 "text of the sample"
cp out.txt demo.txt
same_file demo.txt "$expected/demo.txt" "text of the sample"
run text "Версия 5.MD"
same_file out.txt demo.txt "text of a container file equals the directory's"
run text demo866
same_file out.txt demo.txt "text of the OEM container"
run text edge
status 0 "text of the edge cases"
grep -qxF 'Справочник Items: поля 4-16: "0", "abc", "", "99999999999", "12", "7", "0", "0", "-4", "0", "0", "0", "1"' out.txt \
  && ok || bad "settings that are no numbers show as they stand" "$(grep Items out.txt)"
run text nodir
status 1 "text of a missing directory"

# --- diff -----------------------------------------------------------------------------------
run pack "$fixtures/diff-b.txt" changed
run diff demo "Версия 5.MD"
status 0 "diff of equal configurations"
stdout_is "" "diff of equal configurations prints nothing"
run diff --json demo demo866
status 0 "diff --json of equal configurations"
stdout_is "[]" "diff --json of equal configurations"
run diff demo changed
status 1 "diff of different configurations"
same_file out.txt "$expected/diff.txt" "diff for people"
run diff --json demo changed/vellum.md
status 1 "diff --json of different configurations"
same_file out.txt "$expected/diff.json" "diff --json"
# Independently of the expected file: sorted by path, by code point, and old/new as the op says.
python3 - out.txt <<'PY' && ok || bad "diff --json order and null rules"
import json, sys
changes = json.load(open(sys.argv[1], encoding="utf-8"))
paths = [c["path"] for c in changes]
assert paths == sorted(paths), "not sorted by path"
for c in changes:
    assert c["op"] != "added" or c["old"] is None, c
    assert c["op"] != "removed" or c["new"] is None, c
    assert c["op"] != "changed" or c["old"] != c["new"], c
    if len(c["path"]) == 2 and c["op"] in ("added", "removed"):
        assert set(c["old"] or c["new"]) == {"id", "name"}, c
PY
run diff changed demo
status 1 "diff the other way round"
[ "$(grep -c '^+ ' out.txt)" = "$(grep -c '^- ' "$expected/diff.txt")" ] && ok || bad "what was removed one way is added the other"
run diff demo nodir
status 2 "diff with a side that does not load"
stderr_has "nodir: no such directory or file" "diff names the side that does not load"
run diff demo
status 2 "diff with one side"

# --- modules, forms and other streams -------------------------------------------------------
# Module streams are raw deflate (no header) of code page 1251 text with CR LF line ends.
deflate() { python3 -c 'import sys, zlib; c = zlib.compressobj(9, zlib.DEFLATED, -15); sys.stdout.buffer.write(c.compress(sys.stdin.buffer.read()) + c.flush())'; }
cp1251() { iconv -f UTF-8 -t CP1251 | sed 's/$/\r/'; }
printf 'Процедура ОбработкаПроведения()\n\tДвижения.Остатки.Приход();\n\tСообщить("Проведён");\nКонецПроцедуры\n' | cp1251 | deflate >transact-a.bin
printf 'Процедура ОбработкаПроведения()\n\tДвижения.Остатки.Приход();\n\tСообщить("Проведён ВСД");\nКонецПроцедуры\n' | cp1251 | deflate >transact-b.bin
printf 'Перем глВерсия Экспорт;\nглВерсия = "1.0";\n' | cp1251 | deflate >global.bin
printf 'Процедура ПриОткрытии()\nКонецПроцедуры\n' | cp1251 | deflate >formmodule.bin
# The same module but for blanks: a change diff shows and diff -w does not.
printf 'Процедура  ПриОткрытии()\n\tКонецПроцедуры \n' | cp1251 | deflate >formmodule-w.bin
# A storage's list of what it holds: rewritten whenever the platform saves.
printf '{"Container.Contents",{"TextDocument","MD Programm text","Module text",""}}' | cp1251 >contents-a.txt
printf '{"Container.Contents",{"TextDocument","MD Programm text","Module text",""},{"Moxcel.Worksheet","Page.1","Moxel WorkPlace",""}}' | cp1251 >contents-b.txt
printf '\xd0\xcf\x11\xe0layout' >page-a.bin
printf '\xd0\xcf\x11\xe0layout2' >page-b.bin
printf '{"Form",{"Caption","Входящий ВСД"}}\n' | cp1251 >form-a.txt
printf '{"Form",{"Caption","Входящий ветеринарный документ"}}\n' | cp1251 >form-b.txt
printf '\x01\x02\x03\x04' >guid.bin
common=(--stream "TypedText/ModuleText_Number1/MD Programm text=global.bin" --stream "Metadata/GUIDData=guid.bin"
  --stream "SubList/SubList_Number143/WorkBook/Dialog Stream=form-a.txt"
  --stream "Journal/Journal_Number215/WorkBook/Dialog Stream=form-a.txt")
run pack "$fixtures/vsd-a.txt" vsd-a "${common[@]}" --stream "TypedText/Transact_Number174/MD Programm text=transact-a.bin" \
  --stream "Document/Document_Number174/WorkBook/Dialog Stream=form-a.txt" \
  --stream "Document/Document_Number174/WorkBook/MD Programm text=formmodule.bin" \
  --stream "Document/Document_Number174/WorkBook/Page.1=page-a.bin" \
  --stream "Document/Document_Number174/Container.Contents=contents-a.txt"
status 0 "pack with further streams"
run pack "$fixtures/vsd-b.txt" vsd-b "${common[@]}" --stream "TypedText/Transact_Number174/MD Programm text=transact-b.bin" \
  --stream "Document/Document_Number174/WorkBook/Dialog Stream=form-b.txt" \
  --stream "Document/Document_Number174/WorkBook/MD Programm text=formmodule-w.bin" \
  --stream "Document/Document_Number174/WorkBook/Page.1=page-b.bin" \
  --stream "Document/Document_Number174/Container.Contents=contents-b.txt"
run text vsd-a
status 0 "text of a container with modules"
same_file out.txt "$expected/vsd.txt" "text shows modules and forms under their objects, other streams as digests"
run diff vsd-a vsd-b
status 1 "diff of a rename and a module change"
same_file out.txt "$expected/vsd-diff.txt" "diff: a rename is one change, with the changes inside it and the module's unified diff"
run diff vsd-b vsd-a
grep -qxF '~ Документ ВСД_входящий → ВСД_входящаяПартия' out.txt && grep -qxF '    +	Сообщить("Проведён");' out.txt \
  && ok || bad "diff the other way round renames back" "$(cat out.txt)"
run diff --json vsd-a vsd-b
python3 - out.txt <<'PY' && ok || bad "diff --json of a rename and a module change" "$(cat out.txt)"
import json, sys
changes = json.load(open(sys.argv[1], encoding="utf-8"))
assert [c["path"] for c in changes] == sorted(c["path"] for c in changes)
renamed = [c for c in changes if c["op"] == "renamed" and len(c["path"]) == 2]
assert renamed == [{"op": "renamed", "path": ["DOCUMENT", "ВСД_входящий"], "old": "ВСД_входящаяПартия", "new": "ВСД_входящий"}], renamed
item = next(c for c in changes if c["path"] == ["DOCUMENT", "ВСД_входящий", "Head Fields", "НомерВСД"])
assert item["op"] == "renamed" and item["old"]["name"] == "Номер" and item["new"]["id"] == "177", item
module = next(c for c in changes if c["path"][2:3] == ["streams"] and c["new"]["place"] == "модуль документа")
assert module["op"] == "changed" and module["path"][3] == "TypedText/Transact_Number174/MD Programm text", module
assert '-\tСообщить("Проведён");\n+\tСообщить("Проведён ВСД");' in module["diff"], module["diff"]
assert module["old"]["digest"] != module["new"]["digest"] and module["new"]["place"] == "модуль документа"
form = next(c for c in changes if c["path"][2:3] == ["streams"] and c["new"]["kind"] == "form")
assert form["op"] == "changed" and '+{"Form",{"Caption","Входящий ветеринарный документ"}}' in form["diff"], form
assert not any("Container.Contents" in c["path"][-1] or "GUIDData" in c["path"][-1] for c in changes), changes
assert {(c["op"], c["path"][1]) for c in changes if len(c["path"]) == 2} == {("renamed", "ВСД_входящий"), ("added", "Возврат"), ("removed", "Акт")}
PY
run diff --stat vsd-a vsd-b
stdout_is 'Документ ВСД_входящий: +0 -0 ~7, строк модулей +3 -3
Документ Возврат: добавлен, +1 -0 ~0
Документ Акт: удален, +0 -1 ~0
Итого: объектов добавлено 1, удалено 1, изменено 1; элементов +1 -1 ~7; строк модулей +3 -3' "diff --stat"
# The bookkeeping streams only with --all; blanks only with -w; a print layout by its name.
run diff --all vsd-a vsd-b
digest() { python3 -c 'import zlib, sys, os; print("crc32 %08x, %d байт" % (zlib.crc32(open(sys.argv[1], "rb").read()), os.path.getsize(sys.argv[1])))' "$1"; }
grep -qxF "~ Документ ВСД_входящий: Document/Document_Number174/Container.Contents: $(digest contents-a.txt) → $(digest contents-b.txt)" out.txt \
  && ok || bad "diff --all shows a storage's contents list" "$(grep Container out.txt)"
run text vsd-a
grep -q 'GUIDData\|Container.Contents' out.txt && bad "text leaves the bookkeeping streams out" "$(grep 'GUIDData\|Container' out.txt)" || ok
grep -qE '^Документ ВСД_входящаяПартия: макет 1: crc32 [0-9a-f]{8}, 10 байт$' out.txt && ok || bad "text names a print layout" "$(grep Page out.txt)"
run text --all vsd-a
grep -qE '^Контейнер: Metadata/GUIDData: crc32 b63cfbcd, 4 байт$' out.txt && grep -q 'Container.Contents' out.txt \
  && ok || bad "text --all shows the bookkeeping streams" "$(cat out.txt)"
run diff -w vsd-a vsd-b
grep -q 'модуль формы' out.txt && bad "diff -w takes a change of blanks alone for none" "$(cat out.txt)" || ok
grep -qF '    +	Сообщить("Проведён ВСД");' out.txt && ok || bad "diff -w still shows real changes" "$(cat out.txt)"
run diff --stat --json vsd-a vsd-b
python3 - out.txt <<'PY' && ok || bad "diff --stat --json names objects by their bare names" "$(cat out.txt)"
import json, sys
stat = json.load(open(sys.argv[1], encoding="utf-8"))
assert [o["object"] for o in stat["objects"]] == ["ВСД_входящий", "Возврат", "Акт"], stat
assert stat["objects"][0]["kind"] == "DOCUMENT" and stat["total"]["lines_added"] == 3, stat
PY
run diff --full --json vsd-a vsd-b
python3 - out.txt <<'PY' && ok || bad "diff --full --json: added and removed objects whole, as show --json has them, with their streams" "$(head -c 2000 out.txt)"
import json, sys
changes = {tuple(c["path"]): c for c in json.load(open(sys.argv[1], encoding="utf-8"))}
added, removed = changes[("DOCUMENT", "Возврат")], changes[("DOCUMENT", "Акт")]
assert added["op"] == "added" and added["old"] is None and removed["op"] == "removed" and removed["new"] is None
for whole in (added["new"], removed["old"]):
    assert set(whole) >= {"kind", "id", "name", "comment", "synonym", "fields", "parts", "refers", "streams"}, whole
assert [i["name"] for p in added["new"]["parts"] for i in p["items"]] == ["Причина"], added["new"]["parts"]
assert changes[("DOCUMENT", "ВСД_входящий")] == {"op": "renamed", "path": ["DOCUMENT", "ВСД_входящий"], "old": "ВСД_входящаяПартия", "new": "ВСД_входящий"}
PY
run diff --full vsd-a vsd-b
grep -qxF '    Документ Акт: шапка: Основание (181): Строка 100, поля 8-10: "0", "0", "0"' out.txt \
  && grep -qxF '    Документ Возврат: шапка: Причина (191): Строка 50, поля 8-10: "0", "0", "0"' out.txt \
  && ok || bad "diff --full shows what added and removed objects hold" "$(cat out.txt)"
run diff vsd-a vsd-a
status 0 "a container with modules equals itself"
# A module recompressed differently but with the same text is no change.
printf 'Процедура ОбработкаПроведения()\n\tДвижения.Остатки.Приход();\n\tСообщить("Проведён");\nКонецПроцедуры\n' | cp1251 \
  | python3 -c 'import sys, zlib; c = zlib.compressobj(1, zlib.DEFLATED, -15); sys.stdout.buffer.write(c.compress(sys.stdin.buffer.read()) + c.flush())' >transact-fast.bin
run pack "$fixtures/vsd-a.txt" vsd-fast "${common[@]}" --stream "TypedText/Transact_Number174/MD Programm text=transact-fast.bin" \
  --stream "Document/Document_Number174/WorkBook/Dialog Stream=form-a.txt" \
  --stream "Document/Document_Number174/WorkBook/MD Programm text=formmodule.bin" \
  --stream "Document/Document_Number174/WorkBook/Page.1=page-a.bin" \
  --stream "Document/Document_Number174/Container.Contents=contents-a.txt"
run diff vsd-a vsd-fast
status 0 "the same module text compressed anew"
# Damaged modules: bytes that do not inflate, data cut short, and one that inflates past 64 MB.
printf 'not deflate at all' >garbage.bin
head -c 20 transact-a.bin >cut.bin
python3 -c 'import sys, zlib; c = zlib.compressobj(9, zlib.DEFLATED, -15); sys.stdout.buffer.write(c.compress(b"\x20" * (65 << 20)) + c.flush())' >huge.bin
for bad_module in garbage cut huge; do
  run pack "$fixtures/vsd-a.txt" "vsd-$bad_module" --stream "TypedText/Transact_Number174/MD Programm text=$bad_module.bin"
  run text "vsd-$bad_module"
  status 0 "text of a damaged module ($bad_module)"
  grep -qE '^Документ ВСД_входящаяПартия: модуль документа: поврежден \((не распаковывается|распакованный больше 64 МБ)\), crc32 [0-9a-f]{8}, [0-9]+ байт$' out.txt \
    && ok || bad "a damaged module ($bad_module) is reported in the output" "$(grep 'модуль' out.txt)"
done
grep -qF 'больше 64 МБ' out.txt && ok || bad "a module past 64 MB is named as such"
run diff vsd-a vsd-garbage
status 1 "diff with a damaged module"
grep -qxF '~ Документ ВСД_входящаяПартия: модуль документа: поврежден (не распаковывается)' out.txt && ok || bad "diff names the damaged module" "$(cat out.txt)"
# module and grep: the commands behind get_module and search_modules (tests/mcp checks
# their answers in depth).
run module vsd-a Документ.ВСД_входящаяПартия --from 3 --to 3
stdout_is 'Документ ВСД_входящаяПартия: модуль формы: строк 2, строки 3 нет
Документ ВСД_входящаяПартия: модуль документа: строки 3-3 из 4
  3: 	Сообщить("Проведён");' "module with a line range"
run module vsd-a
status 0 "module without a name: the global module"
grep -qxF '  2: глВерсия = "1.0";' out.txt && ok || bad "module: the global module's lines" "$(cat out.txt)"
run module vsd-a Акт
status 1 "module of an object without modules"
stdout_is 'Документ Акт: модулей нет' "module says there is none"
run module vsd-a Партия
status 1 "module of an unknown object"
stderr_has "no object named Партия; closest: ВСД_входящаяПартия Партии" "module names the closest objects"
for range in "--from 0" "--to -1" "--from 4 --to 2"; do
  run module vsd-a Акт $range
  status 2 "module $range"
done
run module vsd-garbage ВСД_входящаяПартия --json
python3 - out.txt <<'PY' && ok || bad "module --json of a damaged module" "$(cat out.txt)"
import json, sys
answer = json.load(open(sys.argv[1], encoding="utf-8"))
assert answer["kind"] == "DOCUMENT" and answer["truncated"] is False, answer
assert answer["modules"] == [{"place": "модуль документа", "stream": "TypedText/Transact_Number174/MD Programm text",
                              "damaged": "не распаковывается", "total": 0, "first": 1, "lines": []}], answer
PY
run grep vsd-a 'остатки.приход'
status 0 "grep finds a line"
stdout_is 'Документ ВСД_входящаяПартия: модуль документа, строка 2
    1: Процедура ОбработкаПроведения()
>   2: 	Движения.Остатки.Приход();
    3: 	Сообщить("Проведён");
    4: КонецПроцедуры' "grep shows the line among its neighbours"
run_once grep vsd-a 'нет такого'
status 1 "grep that finds nothing"
run grep vsd-garbage 'Проведён' --json
python3 - out.txt <<'PY' && ok || bad "grep --json names what it could not read" "$(cat out.txt)"
import json, sys
answer = json.load(open(sys.argv[1], encoding="utf-8"))
assert answer == {"matches": [], "truncated": False,
                  "damaged": ["Документ ВСД_входящаяПартия: модуль документа: поврежден (не распаковывается)"]}, answer
PY
run grep vsd-a ''
status 2 "grep with no text"
run pack "$fixtures/vsd-a.txt" vsd-bare --stream "bad=guid.bin"
status 0 "a stream at the root"
run pack "$fixtures/vsd-a.txt" vsd-bad --stream "nofile"
status 2 "--stream without a file"

# --- the modules' code: procs, callers, check ----------------------------------------------
printf '%s\n' 'Перем глВерсия Экспорт;' '' '// Пишет в журнал.' 'Процедура Записать(Знач Текст, Уровень = 0) Экспорт' \
  '	Сообщить(Текст);' 'КонецПроцедуры' '' 'Функция ЦенаТовара(Товар) Экспорт' '	Возврат 0;' 'КонецФункции' '' \
  'Процедура Служебная()' 'КонецПроцедуры' | cp1251 | deflate >code-global.bin
printf '%s\n' 'Процедура ОбработкаПроведения()' '	Записать("Проведена", 1);' '	Запрос = "ВЫБРАТЬ' \
  '	|// Функция в тексте запроса' '	|Документ.Реализация.Сумма";' '	Нет = СоздатьОбъект("Справочник.Удаленный");' \
  '	Если Запрос = 1 Тогда' '		Цена = ЦенаТовара(1, 2);' 'КонецПроцедуры' | cp1251 | deflate >code-transact.bin
run pack "$fixtures/real.txt" code --stream "TypedText/ModuleText_Number1/MD Programm text=code-global.bin" \
  --stream "TypedText/Transact_Number200/MD Programm text=code-transact.bin"
status 0 "pack of a configuration with code"
run procs code
stdout_is 'Документ Реализация: модуль документа:1-9: Процедура ОбработкаПроведения()
Конфигурация: глобальный модуль:4-6: Процедура Записать(Знач Текст, Уровень = 0) Экспорт
Конфигурация: глобальный модуль:8-10: Функция ЦенаТовара(Товар) Экспорт
Конфигурация: глобальный модуль:12-13: Процедура Служебная()' "procs of every module, a query string holding Функция no declaration"
run callers code записать
stdout_is 'Документ Реализация: модуль документа:2:2: Записать("Проведена", 1);' "callers of a global export, any letter case"
run callers code Служебная
status 1 "callers of a procedure the global module does not export"
stderr_has "the global module exports no procedure Служебная" "callers says the procedure is not exported"
run check code
status 1 "check with faults"
stdout_is 'Документ Реализация: модуль документа:6:23: предупреждение: В конфигурации нет объекта Справочник.Удаленный [unknown-object]
Документ Реализация: модуль документа:7:2: ошибка: Блок Если не закрыт: нет КонецЕсли [unclosed-block]
Документ Реализация: модуль документа:8:10: предупреждение: Передано аргументов: 2, а у ЦенаТовара параметров: 1 [too-many-arguments]' \
  "check: an unknown object in a string, a block left open, one argument too many"
run check code Реализация
status 1 "check of one object"
run check code Перемещение
status 0 "check of an object without modules says nothing"
run procs code --json Реализация; cp out.txt procs.json
run callers code --json ЦенаТовара; cp out.txt callers.json
run check code --json; cp out.txt check.json
python3 - <<'PY' && ok || bad "JSON shapes of procs, callers and check"
import json
def load(name): return json.load(open(name, encoding="utf-8"))
p = load("procs.json")["procedures"]
assert p == [{"stream": "TypedText/Transact_Number200/MD Programm text", "kind": "DOCUMENT", "object": "Реализация",
              "place": "модуль документа", "name": "ОбработкаПроведения", "function": False, "export": False,
              "forward": False, "params": [], "line": 1, "end_line": 9}], p
c = load("callers.json")["calls"]
assert c == [{"stream": "TypedText/Transact_Number200/MD Programm text", "kind": "DOCUMENT", "object": "Реализация",
              "place": "модуль документа", "line": 8, "column": 10, "in": "ОбработкаПроведения"}], c
d = load("check.json")["diagnostics"]
assert [(x["code"], x["severity"], x["line"], x["name"]) for x in d] == [
    ("unknown-object", "warning", 6, "Справочник.Удаленный"), ("unclosed-block", "error", 7, d[1]["name"]),
    ("too-many-arguments", "warning", 8, "ЦенаТовара")], d
PY

# The same questions of the unpacked folder: the same answers, each naming its file.
run unpack code code-src
status 0 "unpack of the configuration with code"
run check code-src
stdout_is 'Документы/Реализация/Модуль документа.txt:6:23: предупреждение: В конфигурации нет объекта Справочник.Удаленный [unknown-object]
Документы/Реализация/Модуль документа.txt:7:2: ошибка: Блок Если не закрыт: нет КонецЕсли [unclosed-block]
Документы/Реализация/Модуль документа.txt:8:10: предупреждение: Передано аргументов: 2, а у ЦенаТовара параметров: 1 [too-many-arguments]' \
  "check of an unpacked folder names the files, as grep does"
for question in procs callers check; do
  name=; [ $question = callers ] && name=ЦенаТовара
  run $question code $name --json; cp out.txt from-container.json
  run $question code-src $name --json; cp out.txt from-folder.json
  python3 - <<'PY' && ok || bad "$question: an unpacked folder answers as its container, with the file added" "$(head -c 1500 from-folder.json)"
import json
container, folder = (json.load(open(n, encoding="utf-8")) for n in ("from-container.json", "from-folder.json"))
(key, a), = container.items()
b = folder[key]
assert a and len(a) == len(b), (a, b)
for x, y in zip(a, b):
    assert y.pop("file") == {"TypedText/Transact_Number200/MD Programm text": "Документы/Реализация/Модуль документа.txt",
                             "TypedText/ModuleText_Number1/MD Programm text": "Конфигурация/Склад/Глобальный модуль.txt"}[x["stream"]], y
    assert x == y, (x, y)
PY
done

# --- the configuration model: show, find, refs, path, id -----------------------------------
# model.txt is laid out as real configurations are: field 2 the comment, field 3 the synonym.
run pack "$fixtures/model.txt" model
status 0 "pack of the model fixture"
run show model
status 0 "show without a name"
grep -qxF '  Справочник: 5' out.txt && grep -qxF '  ОбщийРеквизит: 2' out.txt && grep -qxF '  ГрафаОтбора: 1' out.txt \
  && ok || bad "show counts the objects per kind; GenJrnlFldDef holds the common attributes" "$(cat out.txt)"
run show model справочник.СКЛАДЫ
status 0 "show Kind.Name in any letter case"
stdout_is 'Справочник Склады
  идентификатор: 21
  комментарий: "или собственное"
  синоним: "Места хранения"
  подчиненные справочники: Ячейки
  поля 4-16: "0", "3", "40", "1", "0", "1", "0", "0", "0", "0", "0", "0", "0"
  реквизит (Params):
    Район (22): Справочник.Районы, синоним "Район"
    Кладовщик (23): Справочник.Сотрудники, синоним "Кладовщик"
    Метка (26): тип (A)' "show of a catalogue: comment, synonym, owned catalogues, typed attributes, an unknown type letter"
run show model REFERENCE.Ячейки
grep -qxF '  владелец: Справочник Склады' out.txt && ok || bad "show names a catalogue's owner" "$(cat out.txt)"
run show model Документ.Приход
grep -qxF '    Вес (54): Число 10.3, комментарий "нетто", синоним "Вес"' out.txt && grep -qxF '  ссылки: Документ Заказ' out.txt \
  && ok || bad "show of a document: number type, comment and synonym, its Refers list" "$(cat out.txt)"
run show model ОбщиеРеквизиты.Комментарий
grep -qxF '  тип: Строка' out.txt && ok || bad "show of a common attribute gives its type" "$(cat out.txt)"
run show model Склады
status 1 "show of a name two kinds use"
stderr_has "Справочник.Склады Перечисление.Склады" "show of a name two kinds use says which to write"
run show model Склда
status 1 "show of an unknown name"
grep -qE "closest:( \S+)* Склады" err.txt && ok || bad "show of an unknown name offers the closest" "$(cat err.txt)"
run show model Нечто.Склады
status 2 "show with an unknown kind"

run refs model Справочник.Склады
status 0 "refs"
stdout_is 'Справочник Склады (21):
  Бухгалтерия: вид субконто: Склады (тип)
  Константа ОсновнойСклад (тип)
  ЖурналДокументов Складские: графа: Склад (список Refers)
  Документ Заказ: шапка: Склад (тип)
  Документ Приход: шапка: Склад (тип)
  Справочник Ячейки (подчиненный справочник)
  Регистр Остатки: измерение: Склад (тип)' "refs finds types, constants, analytic kinds, owned catalogues and Refers lists"
run refs demo Склады
[ "$(grep -c '(тип)' out.txt)" = 5 ] && ok || bad "refs finds all five uses of Склады in the sample" "$(cat out.txt)"
run refs model Склады
grep -qxF 'Перечисление Склады (35):' out.txt && grep -qxF '  ссылок нет' out.txt && ok || bad "refs of a name two kinds use lists each" "$(cat out.txt)"

run find model "ИЛИ ФИЗИЧЕСКОЕ"
status 0 "find"
stdout_is 'Справочник Контрагенты: реквизит: ВидЛица: синоним "Юридическое или физическое лицо"' "find ignores letter case in Cyrillic"
run find model -- -основание
stdout_is 'Документ Приход: шапка: Основание: синоним "Документ-основание"' "-- ends the options"
run find model "собственное"
stdout_is 'Справочник Склады: комментарий "или собственное"' "find looks into comments"
run_once find model Нигде
status 1 "find without a match"

run path model документ.приход.СКЛАД.район
status 0 "path"
stdout_is 'документ.приход.СКЛАД.район
  Склад: Справочник.Склады (Документ Приход: шапка)
  Район: Справочник.Районы (Справочник Склады: реквизит)' "path follows references"
run path model Документ.Приход.Склад.Райн
status 1 "path with a wrong name"
grep -qF 'Райн: нет такого реквизита у Справочник Склады; ближайшие: Район' out.txt && grep -qF 'Стандартные реквизиты' out.txt \
  && ok || bad "path names what is missing, the closest names and the standard attributes" "$(cat out.txt)"
run path model Документ.Приход.Вес.Грамм
status 1 "path through a number"
run path demo Документ.РасходнаяНакладная.Товар.Артикул
stdout_is 'Документ.РасходнаяНакладная.Товар.Артикул
  Товар: Справочник.Номенклатура (Документ РасходнаяНакладная: табличная часть)
  Артикул: Строка 25 (Справочник Номенклатура: реквизит)' "path searches the table part too"

# list: a kind's objects in the configuration's order; every kind without one.
run list model справочник
status 0 "list of a kind"
[ "$(head -1 out.txt)" = "Справочник: объектов 5" ] && [ "$(grep -c '^  ' out.txt)" = 5 ] \
  && ok || bad "list names the kind and one line per object" "$(cat out.txt)"
run list model
status 0 "list of every kind"
[ "$(grep -c '^  ' out.txt)" = "$(grep -o '"id"' <("${ostrak[@]}" list model --json) | wc -l)" ] \
  && ok || bad "list without a kind lists every object once, as its JSON does" "$(cat out.txt)"
run list model Нечто
status 2 "list of an unknown kind"
stderr_has "Справочник (REFERENCE)" "list of an unknown kind names the kinds"
run pack "$fixtures/real.txt" real
run show real Бухгалтерия
status 0 "the nameless accounting object answers to its kind"
[ "$(head -1 out.txt)" = "Бухгалтерия" ] && ok || bad "show of the nameless object by its kind" "$(cat out.txt)"
run show real справочник
status 1 "a kind word with no object of its own"
stderr_has "ostrak list DIR справочник" "show of a kind word points to list"

# Messages in the user's language: Russian when the environment asks for it, on any system.
LANGUAGE=ru run show model Склда
status 1 "a Russian user's unknown name"
stderr_has "ostrak: нет объекта с именем Склда; ближайшие:" "messages in Russian when LANGUAGE asks for it"
LANGUAGE=ru run list
status 2 "a Russian user's command line without DIR"
stderr_has "не указан аргумент DIR" "CLI11's own messages in Russian"
LANGUAGE=ru run --help
grep -q '^Запуск: ostrak \[КЛЮЧИ\] КОМАНДА' out.txt && grep -q '^  list  *Перечислить объекты' out.txt \
  && ok || bad "--help in Russian" "$(head -5 out.txt)"
if [ ${#ostrak[@]} = 1 ]; then
  # The locale alone decides natively; under Wine its own Russian locale stands.
  LANGUAGE= LC_ALL= LC_MESSAGES= LANG=ru_RU.UTF-8 run show model Склда
  stderr_has "нет объекта с именем Склда" "messages in Russian under LANG=ru_RU.UTF-8"
  LANGUAGE= LC_ALL= LC_MESSAGES= LANG=C run show model Склда
  stderr_has "no object named Склда" "messages in English under LANG=C"
fi

run id model 244
stdout_is '244: Регистр Остатки: измерение: Район' "id of a register dimension"
run id model 21
stdout_is '21: Справочник Склады' "id of an object"
run id model 999999
status 1 "id that is not there"

# The JSON shapes, checked here without expected files.
json() { run "$@"; cp out.txt "$1.json"; }
json refs model --json Склады
json path model --json Документ.Приход.Склад.Район
cp path.json path-found.json
json path model --json Документ.Приход.Склад.Райн
json id model --json 244
cp id.json id-found.json
json id model --json 999999
json find model --json лицо
json show model --json Справочник.Склады
cp show.json show-catalogue.json
json show model --json Константа.ОсновнойСклад
python3 - <<'PY' && ok || bad "JSON shapes of refs, path, id, find and show"
import json
def load(name): return json.load(open(name, encoding="utf-8"))
refs = load("refs.json")
keys = lambda e: (e["kind"], e["object"], e["part"], e["item"], e["how"], e["to"]["kind"], e["to"]["name"])
assert refs == sorted(refs, key=keys), "refs not sorted"
assert all(set(e) >= {"kind", "object", "part", "item", "how"} for e in refs)
assert {e["how"] for e in refs} == {"type", "owner", "refers"}, refs
assert {"kind": "REFERENCE", "object": "Ячейки", "part": "", "item": "", "how": "owner"}.items() <= refs[[e["object"] for e in refs].index("Ячейки")].items()
assert any(e["kind"] == "DOCJOURNAL" and e["part"] == "JournalFld" and e["item"] == "Склад" and e["how"] == "refers" for e in refs)
assert any(e["kind"] == "CONST" and e["part"] == "" and e["item"] == "" and e["how"] == "type" for e in refs)
assert any(e["kind"] == "REGISTER" and e["part"] == "Props" and e["item"] == "Склад" for e in refs)
assert {e["to"]["kind"] for e in refs} == {"REFERENCE"}, "the enumeration Склады has no uses"
p = load("path-found.json")
assert p["found"] is True and p["missing"] is None and p["candidates"] == []
assert [s["name"] for s in p["steps"]] == ["Склад", "Район"]
s = p["steps"][0]
assert s == {"name": "Склад", "kind": "DOCUMENT", "object": "Приход", "part": "Head Fields", "type": "B",
             "length": 0, "precision": 0, "ref": {"kind": "REFERENCE", "name": "Склады", "id": "21"}}, s
assert p["steps"][1]["ref"] == {"kind": "REFERENCE", "name": "Районы", "id": "13"}
# One shape of a reference wherever it stands: the uses' targets, a show's owner and items.
assert all(set(e["to"]) == {"kind", "name", "id"} for e in refs)
p = load("path.json")
assert p["found"] is False and p["missing"] == "Райн" and "Район" in p["candidates"] and len(p["steps"]) == 1
i = load("id-found.json")
assert i == {"found": True, "kind": "REGISTER", "object": "Остатки", "part": "Props", "item": "Район"}, i
assert load("id.json")["found"] is False
f = load("find.json")
assert all(set(e) == {"kind", "object", "part", "item", "field", "text"} for e in f)
assert {"kind": "REFERENCE", "object": "Контрагенты", "part": "Params", "item": "ВидЛица", "field": "synonym",
        "text": "Юридическое или физическое лицо"} in f
assert any(e["kind"] == "ENUM" and e["part"] == "EnumVal" and e["item"] == "Физическое" for e in f)
c = load("show-catalogue.json")
assert c["kind"] == "REFERENCE" and c["id"] == "21" and c["comment"] == "или собственное" and c["synonym"] == "Места хранения"
assert c["owned"][0]["name"] == "Ячейки" and c["owner"] is None and set(c["owned"][0]) == {"kind", "name", "id"}
item = c["parts"][0]["items"][0]
assert c["parts"][0]["part"] == "Params" and item["name"] == "Район" and item["ref"]["name"] == "Районы" and item["type"] == "B"
k = load("show.json")
assert k["kind"] == "CONST" and k["type"] == "B" and k["ref"]["name"] == "Склады" and k["parts"] == []
PY

# --- defects a new user met -----------------------------------------------------------------
run pack "$fixtures" packed
status 1 "pack of a directory"
stderr_has "is a directory" "pack of a directory"
run pack --raw "$src/samples/demo/config.txt" rawutf8
status 0 "pack --raw of UTF-8 still packs"
stderr_has "probably not code page 1251" "pack --raw of UTF-8 Cyrillic warns"
run pack --raw config1251.txt raw1251
[ ! -s err.txt ] && ok || bad "pack --raw of 1251 text does not warn" "$(cat err.txt)"
mkdir -p folder/vellum.md
run dump folder
status 1 "a directory named vellum.md"
stderr_has "folder/vellum.md: is a directory" "a directory named vellum.md"
run show folder
stderr_has "folder/vellum.md: is a directory" "the model's reader says the same"
# Unreadable for an ordinary user; root reads everything, so root checks as nobody. Not
# under Wine, whose prefix belongs to the user who made it.
mkdir -p locked && cp demo/vellum.md locked/ && chmod 000 locked/vellum.md && chmod 755 "$work" locked
as_user=()
if [ "$(id -u)" = 0 ]; then command -v setpriv >/dev/null && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups); fi
if [ ${#ostrak[@]} = 1 ] && { [ "$(id -u)" != 0 ] || [ ${#as_user[@]} -gt 0 ]; }; then
  "${as_user[@]}" "${ostrak[@]}" show locked >out.txt 2>err.txt; rc=$?
  status 1 "an unreadable container"
  stderr_has "locked/vellum.md: permission denied" "an unreadable container"
fi
run bogus demo
status 2 "an unknown command"
stderr_has 'unknown command "bogus"' "an unknown command is named"
stderr_has "show, list, find, refs, path, id" "an unknown command lists the commands"
run --bogus
status 2 "an unknown option"
stderr_has "unknown option --bogus" "an unknown option is named"
run help
status 0 "help"
grep -qF "Usage: ostrak" out.txt && ok || bad "help shows the help"
run help path
grep -qF "standard attributes" out.txt && ok || bad "help path shows the command's help"
run text model
grep -qx 'Бухгалтерия' out.txt && ! grep -q ' $' out.txt && ok || bad "text ends no line with a blank" "$(grep -n ' $' out.txt)"

# --- options --------------------------------------------------------------------------------
run --help
status 0 "--help"
for word in call dump text diff pack show find refs path id --version; do grep -qF -- "$word" out.txt && ok || bad "--help mentions $word"; done
run --version
status 0 "--version"
version=$(sed -n 's/^project(kalamos VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
stdout_is "kalamos $version" "--version is the component's file version"
run
status 2 "no command"
run call demo
status 2 "call without a function"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
