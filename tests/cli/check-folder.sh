#!/usr/bin/env bash
# ostrak unpack and build: a container as a folder and back, a three-way git merge of two
# branches built and loaded, refusals. The same checks run with ostrak.exe under Wine, and the
# unpacked tree must be the one in expected/folder-tree.txt on both, the container built from it
# the one whose digest is expected/folder-built.md5.
# Usage: check-folder.sh SOURCE_DIR COMMAND... (COMMAND runs ostrak, e.g. a Wine wrapper and ostrak.exe)
set -u
src=$1; shift
ostrak=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export HOME=$work/home GIT_CONFIG_NOSYSTEM=1
# The refusals are read in Russian, whatever the locale the suite runs in; one in English too.
export LANGUAGE=ru
mkdir -p "$HOME"

passed=0; failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $1"; [ -n "${2:-}" ] && printf '%s\n' "$2" | sed 's/^/    /'; }
source "$src/tests/cli/run-tool.sh"
status() { [ "$rc" = "$1" ] && ok || bad "$2: exit status $rc, wanted $1" "$(cat err.txt)"; }
stderr_has() { grep -qF -- "$1" err.txt && ok || bad "$2: no \"$1\" on standard error" "$(cat err.txt)"; }
# Every file of a folder with its digest, in a fixed order.
tree_of() { (cd "$1" && find . -type f ! -path './.git/*' | LC_ALL=C sort | while read -r f; do printf '%s %s\n' "$(md5sum <"$f" | cut -c1-32)" "$f"; done); }
crlf() { sed 's/$/\r/'; }
deflate() { python3 -c 'import sys, zlib; c = zlib.compressobj(9, zlib.DEFLATED, -15); sys.stdout.buffer.write(c.compress(sys.stdin.buffer.read()) + c.flush())'; }
form() { python3 -c 'import sys; t = sys.stdin.buffer.read(); sys.stdout.buffer.write(b"\xff" + len(t).to_bytes(2, "little") + t)'; }

# A container shaped like a real one: the sample's description, two documents' modules, a
# form, a print layout, pictures and the storages' lists of what they hold.
printf 'Процедура ОбработкаПроведения()\n\tСообщить("Расход");\n\tА = 1;\n\tБ = 2;\n\tСообщить("Проведён");\nКонецПроцедуры\n' | iconv -f UTF-8 -t CP1251 | crlf | deflate >m200.bin
printf 'Процедура ОбработкаПроведения()\n\tСообщить("Приход");\nКонецПроцедуры\n' | iconv -f UTF-8 -t CP1251 | crlf | deflate >m220.bin
printf 'Перем Глобальная Экспорт;\n' | iconv -f UTF-8 -t CP1251 | crlf | deflate >global.bin
printf '{"Form",{"Кнопка","ОК"}}\n' | iconv -f UTF-8 -t CP1251 | crlf | form >f200.bin
printf '{"Container.Contents",{"DialogEditor","Dialog Stream","Dialog Form",""},{"Moxcel.Worksheet","Page.1","Moxel WorkPlace",""}}' >contents.bin
printf 'MOXCEL\0\1\2\3' >page.bin
printf 'GIF89a\0\0' >gallery.bin
# Real descriptions end their lines with CR LF.
crlf <"$src/samples/demo/config.txt" >config.txt
run pack config.txt base \
  --stream "TypedText/Transact_Number200/MD Programm text=m200.bin" \
  --stream "TypedText/Transact_Number220/MD Programm text=m220.bin" \
  --stream "TypedText/ModuleText_Number1/MD Programm text=global.bin" \
  --stream "Document/Document_Number200/WorkBook/Dialog Stream=f200.bin" \
  --stream "Document/Document_Number200/WorkBook/Page.1=page.bin" \
  --stream "Document/Document_Number200/WorkBook/Container.Contents=contents.bin" \
  --stream "Picture/Gallery=gallery.bin"
status 0 "pack of the test container"

# --- unpack: the tree people and git see ------------------------------------------------------
run unpack base folder
status 0 "unpack"
tree_of folder >tree.txt
diff "$src/tests/cli/expected/folder-tree.txt" tree.txt >/dev/null && ok || bad "the unpacked tree is the expected one" "$(diff "$src/tests/cli/expected/folder-tree.txt" tree.txt | head -20)"
grep -q 'Сообщить("Проведён");' "folder/Документы/РасходнаяНакладная/Модуль документа.txt" && ok || bad "a document's module by the document's name"
[ "$(tr -d '\n' <"folder/Документы/РасходнаяНакладная/Модуль документа.txt" | tr -cd '\r' | wc -c)" = 0 ] && ok || bad "text files have LF line ends"
run unpack base folder
status 0 "unpack over an earlier unpack"
[ "$(tree_of folder)" = "$(cat tree.txt)" ] && ok || bad "unpacking again gives the same bytes"
mkdir other && echo x >other/file
run unpack base other
status 1 "unpack into a folder that is not an unpack"

# --- build: the same streams back; the component loads it ----------------------------------
mkdir built
run build folder built
status 0 "build into a directory"
# The tool writes the container's bytes itself: the same on every system (ostrak.exe too).
[ "$(md5sum <built/vellum.md | cut -c1-32)" = "$(cat "$src/tests/cli/expected/folder-built.md5")" ] && ok ||
  bad "the built container has the expected bytes" "$(md5sum <built/vellum.md)"
run unpack built/vellum.md again
[ "$(tree_of again)" = "$(cat tree.txt)" ] && ok || bad "the built container unpacks to the same tree"
run diff --all base built
status 0 "diff --all finds the built container equal"
"${ostrak[@]}" dump base >dump-base.txt 2>&1
"${ostrak[@]}" dump built >dump-built.txt 2>&1
[ -s dump-base.txt ] && cmp -s dump-base.txt dump-built.txt && ok || bad "the component answers every listing of the built container as of the original" "$(diff dump-base.txt dump-built.txt | head)"

# The folder stands wherever the container does.
"${ostrak[@]}" text --all base >text-base.txt 2>&1
"${ostrak[@]}" text --all folder >text-folder.txt 2>&1
[ -s text-base.txt ] && cmp -s text-base.txt text-folder.txt && ok || bad "text of the folder is text of the container" "$(diff text-base.txt text-folder.txt | head)"
run diff base folder
status 0 "diff of the container and its folder"
run module folder РасходнаяНакладная
grep -q 'Сообщить("Проведён");' out.txt && ok || bad "module reads the folder" "$(cat out.txt err.txt)"
run call folder EnumObjects ДОКУМЕНТ
status 0 "call loads the folder through the component"
grep -q 'РасходнаяНакладная' out.txt && ok || bad "call lists the folder's documents" "$(cat out.txt)"
run show folder --json РасходнаяНакладная
status 0 "show reads the folder"

# A checkout with CR LF line ends builds the same container.
cp -r folder crlf
find crlf -name '*.txt' -exec perl -pi -e 's/\n/\r\n/' {} +
run build crlf crlf.md
status 0 "build of a CR LF checkout"
run unpack crlf.md crlf-again
[ "$(tree_of crlf-again)" = "$(cat tree.txt)" ] && ok || bad "a CR LF checkout builds the same container"

# --- refusals: with file and line, and the target as it was ----------------------------------
cp built/vellum.md before.md
m="folder/Документы/РасходнаяНакладная/Модуль документа.txt"
cp "$m" module.keep
printf 'Сообщить("☃");\n' >>"$m"
run build folder built
status 1 "build of a character code page 1251 lacks"
stderr_has "Модуль документа.txt:7: символ \"☃\"" "the refusal names file, line and character"
LANGUAGE=en run build folder built
stderr_has "Модуль документа.txt:7: character \"☃\" cannot be written in code page 1251" "the refusal in English"
stderr_has "ostrak: the container is not written" "the refusal's last line in English"
cmp -s before.md built/vellum.md && ok || bad "a refused build leaves the container as it was"
[ "$(ls built)" = vellum.md ] && ok || bad "a refused build leaves nothing beside the container" "$(ls built)"
cp module.keep "$m"
echo 'x' >"folder/Документы/Оплата/Модуль документа.txt"
run build folder built
status 1 "build with a module for an object that has none"
stderr_has "которых у объекта не было" "the refusal says a new module cannot be added"
rm "folder/Документы/Оплата/Модуль документа.txt"
mv folder/Контейнер/Picture/Gallery gallery.keep
run build folder built
status 1 "build with a file missing"
stderr_has "Контейнер/Picture/Gallery: файла нет" "the refusal names the missing file"
mv gallery.keep folder/Контейнер/Picture/Gallery
cmp -s before.md built/vellum.md && ok || bad "refused builds leave the container as it was"
run build folder built/
status 0 "build over an existing container"
[ "$(ls built)" = vellum.md ] && ok || bad "a build leaves nothing beside the container" "$(ls built)"

# --- git: two branches change different objects and one module in two places; merged, built, loaded
git init -q repo && cd repo || exit 1
git config user.name test && git config user.email test@localhost && git config core.autocrlf false
"${ostrak[@]}" unpack ../base config >/dev/null 2>&1 || bad "unpack into a repository"
printf '*.txt text eol=lf\n' >.gitattributes
git add -A && git commit -qm base && git branch -q side
sed -i 's/"Расход"/"Расход товара"/' "config/Документы/РасходнаяНакладная/Модуль документа.txt"
sed -i 's/"Приход"/"Приход товара"/' "config/Документы/ПриходнаяНакладная/Модуль документа.txt"
git commit -qam ours
git checkout -q side
sed -i 's/"Проведён"/"Проведён документ"/' "config/Документы/РасходнаяНакладная/Модуль документа.txt"
sed -i 's/"ОК"/"Записать"/' "config/Документы/РасходнаяНакладная/Форма.txt"
sed -i 's/"Товары и услуги"/"Товары, услуги"/' config/Справочники/Номенклатура/Метаданные.txt
git commit -qam theirs
git checkout -q master 2>/dev/null || git checkout -q main
git merge -q --no-edit side >merge.txt 2>&1 && ok || bad "the three-way merge has no conflicts" "$(cat merge.txt; git status --short)"
cd .. || exit 1
run build repo/config merged
status 0 "build of the merged folder"
run module merged РасходнаяНакладная
grep -q 'Расход товара' out.txt && grep -q 'Проведён документ' out.txt && ok || bad "both edits of one module are in the merged container" "$(cat out.txt)"
run module merged ПриходнаяНакладная
grep -q 'Приход товара' out.txt && ok || bad "the other branch's module edit is there"
run find merged "Товары, услуги"
status 0 "the description's edit is in the merged container"
run call merged EnumObjects ДОКУМЕНТ
status 0 "the component loads the merged container"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
