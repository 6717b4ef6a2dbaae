#!/usr/bin/env python3
"""`ostrak lsp` spoken to byte by byte, for what no client library sends: requests before
initialize, malformed JSON, a message of 40 MB, a document of broken UTF-8 (in a message and on
disk), positions in UTF-16 past Cyrillic and an emoji, documents outside the workspace, the
lifecycle's exit statuses; and the component's help checked against the Russian README.
    raw-protocol.py SOURCE_DIR OSTRAK
Prints one line per failed check and "N passed, N failed"; exit status 1 on a failure."""
import json
import os
import queue
import re
import subprocess
import sys
import tempfile
import threading
import urllib.parse

src, ostrak = sys.argv[1], sys.argv[2]
passed = failed = 0
os.environ["LANGUAGE"] = "en"


def check(condition, what, detail=None):
    global passed, failed
    if condition:
        passed += 1
    else:
        failed += 1
        print(f"FAIL: {what}")
        if detail is not None:
            print("    " + str(detail)[:1500])


class Server:
    """One `ostrak lsp` process; everything on its standard output must be framed JSON."""

    def __init__(self, *args):
        self.process = subprocess.Popen([ostrak, "lsp", *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.messages = queue.Queue()
        self.notices = []
        threading.Thread(target=self._read, daemon=True).start()
        threading.Thread(target=lambda: self.process.stderr.read(), daemon=True).start()
        self.next_id = 1

    def _read(self):
        out = self.process.stdout
        while True:
            length = None
            while True:
                line = out.readline()
                if not line:
                    self.messages.put(None)
                    return
                line = line.rstrip(b"\r\n")
                if not line:
                    break
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value)
                else:
                    self.messages.put(("not a header", line))
            body = out.read(length)
            try:
                self.messages.put(json.loads(body))
            except ValueError:
                self.messages.put(("not json", body[:200]))

    def send_raw(self, body):
        body = body if isinstance(body, bytes) else body.encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def send(self, message):
        self.send_raw(json.dumps(message, ensure_ascii=False))

    def receive(self, timeout=30):
        """The next answer; notifications are kept aside."""
        while True:
            try:
                message = self.messages.get(timeout=timeout)
            except queue.Empty:
                return "timeout"
            if message is None:
                return "end"
            if isinstance(message, tuple):
                check(False, "standard output holds framed JSON only", message)
                continue
            if "method" in message and "id" not in message:
                self.notices.append(message)
                continue
            return message

    def request(self, method, params=None):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params or {}})
        return self.receive()

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def diagnostics(self, uri):
        """Waits for the server's next diagnostics of uri (a ping request flushes notifications)."""
        self.request("workspace/symbol", {"query": "\uffff"})
        found = [n for n in self.notices if n["method"] == "textDocument/publishDiagnostics" and n["params"]["uri"] == uri]
        return found[-1]["params"]["diagnostics"] if found else None

    def close(self):
        try:
            self.process.stdin.close()
        except OSError:
            pass
        return self.process.wait(timeout=30)


def error_code(answer):
    return answer.get("error", {}).get("code") if isinstance(answer, dict) else answer


work = tempfile.mkdtemp()
os.chdir(work)
made = subprocess.run(["bash", os.path.join(src, "tests/lsp/make-folder.sh"), src, ostrak], capture_output=True, text=True)
if made.returncode != 0:
    print(made.stdout, made.stderr)
    sys.exit(1)
folder = os.path.join(work, "folder")
root = "file://" + urllib.parse.quote(folder)
sale_file = os.path.join(folder, "Документы/РасходнаяНакладная/Модуль документа.txt")
sale = root + "/" + urllib.parse.quote("Документы/РасходнаяНакладная/Модуль документа.txt")
global_uri = root + "/" + urllib.parse.quote("Конфигурация/Торговля/Глобальный модуль.txt")

# --- before initialize, malformed messages ---------------------------------------------------
server = Server()
check(error_code(server.request("textDocument/hover", {})) == -32002, "a request before initialize: ServerNotInitialized")
server.send_raw(b'{"jsonrpc": "2.0", "id": 5, "method": ')
answer = server.receive()
check(error_code(answer) == -32700 and answer.get("id") is None, "malformed JSON: ParseError with a null id", answer)
server.send_raw(b"[1, 2]")
check(error_code(server.receive()) == -32600, "a batch: InvalidRequest")
answer = server.request("initialize", {"processId": None, "rootUri": root, "capabilities": {}})
caps = answer.get("result", {}).get("capabilities", {}) if isinstance(answer, dict) else {}
check(caps.get("textDocumentSync", {}).get("change") == 2 and caps.get("completionProvider") and caps.get("positionEncoding") == "utf-16",
      "initialize advertises incremental sync, completion and UTF-16 positions", answer)
check(error_code(server.request("initialize", {"rootUri": root, "capabilities": {}})) == -32600, "initialize twice: InvalidRequest")
server.notify("initialized", {})
check(error_code(server.request("textDocument/noSuchThing", {})) == -32601, "an unknown method: MethodNotFound")
check(error_code(server.request("$/someRequest", {})) == -32601, "an unknown $/ request: MethodNotFound")

# A message of 40 MB is read past, refused, and the server goes on.
server.send_raw(b'{"jsonrpc":"2.0","id":77,"method":"workspace/symbol","params":{"query":"' + b"x" * (40 << 20) + b'"}}')
answer = server.receive(timeout=60)
check(error_code(answer) == -32600 and "bytes" in answer.get("error", {}).get("message", ""), "a 40 MB message: refused", answer)
answer = server.request("workspace/symbol", {"query": "Записать"})
check(isinstance(answer, dict) and any(s["name"] == "Записать" for s in answer.get("result", [])),
      "after the huge message the server answers again", answer)

# Nested a hundred thousand deep: refused before the library sees it (it copies values recursively).
server.send_raw(b'{"jsonrpc":"2.0","id":78,"method":"workspace/symbol","params":' + b"[" * 100000 + b"]" * 100000 + b"}")
check(error_code(server.receive()) == -32600, "a message nested 100,000 deep: InvalidRequest, and the server lives")

# Broken UTF-8 inside a message is no JSON: ParseError, and the server goes on.
server.send_raw(b'{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"' + sale.encode() +
                b'","languageId":"bsl","version":1,"text":"\xff\xfe \xd0"}}}')
check(error_code(server.receive()) == -32700, "a document of broken UTF-8 in a message: ParseError")

# --- positions in UTF-16 ---------------------------------------------------------------------
text = open(sale_file, encoding="utf-8").read().replace('\tИтог = Сумма(1, 2);', '\tИ = "😀ж"; Итог = Сумма(1, 2);')
server.notify("textDocument/didOpen", {"textDocument": {"uri": sale, "languageId": "bsl", "version": 1, "text": text}})
line = text.split("\n")[4]
character = len(line[: line.index("Сумма")].encode("utf-16-le")) // 2 + 2
answer = server.request("textDocument/definition", {"textDocument": {"uri": sale}, "position": {"line": 4, "character": character}})
result = answer.get("result") if isinstance(answer, dict) else None
check(result and result["uri"] == global_uri and result["range"]["start"] == {"line": 5, "character": 8},
      "definition from after an emoji counts UTF-16 units", answer)
diagnostics = server.diagnostics(sale) or []
arguments = [d for d in diagnostics if d["code"] == "too-many-arguments"]
check(len(arguments) == 2 and arguments[0]["range"]["start"] == {"line": 3, "character": 1}
      and arguments[1]["range"] == {"start": {"line": 9, "character": 6}, "end": {"line": 9, "character": 15}},
      "too many arguments to Записать and to the component's Загрузить, placed in UTF-16", diagnostics)
# An incremental change in the middle of a Cyrillic line: "Записать(" becomes "Сумма(".
server.notify("textDocument/didChange", {"textDocument": {"uri": sale, "version": 2}, "contentChanges": [
    {"range": {"start": {"line": 3, "character": 1}, "end": {"line": 3, "character": 9}}, "text": "Сумма"}]})
diagnostics = server.diagnostics(sale) or []
check([d["range"]["start"]["line"] for d in diagnostics if d["code"] == "too-many-arguments"] == [9],
      "after the change the call takes as many arguments as Сумма has", diagnostics)

# The component's help says what the Russian README says.
server.notify("textDocument/didChange", {"textDocument": {"uri": sale, "version": 3}, "contentChanges": [{"text": text + "\nОстр."}]})
answer = server.request("textDocument/completion", {"textDocument": {"uri": sale}, "position": {"line": text.count("\n") + 1, "character": 5}})
items = answer.get("result", []) if isinstance(answer, dict) else []
readme = " ".join(open(os.path.join(src, "README.ru.md"), encoding="utf-8").read().split())
check(len(items) == 38, "nineteen functions by two names after Остр.", len(items))
for item in items:
    first = item.get("documentation", {}).get("value", "").split("\n")[0]
    check(" ".join(first.split()) in readme, f"{item['label']}: its help is the Russian README's line", first)

# --- outside the workspace, broken files on disk ----------------------------------------------
outside = "file://" + urllib.parse.quote(os.path.join(work, "elsewhere.txt"))
server.notify("textDocument/didOpen", {"textDocument": {"uri": outside, "languageId": "bsl", "version": 1, "text": "Записать(1, 2, 3);"}})
check(server.request("textDocument/definition", {"textDocument": {"uri": outside}, "position": {"line": 0, "character": 2}}).get("result") is None,
      "a document outside the workspace: no definition")
check(server.request("textDocument/documentSymbol", {"textDocument": {"uri": outside}}).get("result") == [],
      "a document outside the workspace: no symbols")
check(server.diagnostics(outside) == [], "a document outside the workspace: no diagnostics")
receipt_file = os.path.join(folder, "Документы/ПриходнаяНакладная/Модуль документа.txt")
receipt_text = open(receipt_file, "rb").read()
with open(receipt_file, "wb") as f:
    f.write(b"\xd0\x9f\xd1\x80\xd0\xbe\xd1\x86\xd0\xb5\xd0\xb4\xd1\x83\xd1\x80\xd0\xb0 \xff\xfe\xc0(\n\xd0 \xe2\x82\n")
receipt = root + "/" + urllib.parse.quote("Документы/ПриходнаяНакладная/Модуль документа.txt")
server.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": receipt, "type": 2}]})
answer = server.request("textDocument/documentSymbol", {"textDocument": {"uri": receipt}})
check(isinstance(answer, dict) and "result" in answer, "a module file of broken UTF-8 read again: answered", answer)
answer = server.request("textDocument/hover", {"textDocument": {"uri": receipt}, "position": {"line": 1, "character": 1}})
check(isinstance(answer, dict) and "result" in answer, "hover in broken UTF-8: answered", answer)
# (A folder with such a file no longer builds into a container: put back for the next server.)
with open(receipt_file, "wb") as f:
    f.write(receipt_text)

# --- the lifecycle ----------------------------------------------------------------------------
check(server.request("shutdown").get("result", "none") is None, "shutdown answers null")
check(error_code(server.request("textDocument/hover", {})) == -32600, "a request after shutdown: InvalidRequest")
server.notify("exit", {})
check(server.close() == 0, "exit after shutdown: status 0")

server = Server(folder)
server.request("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
answer = server.request("workspace/symbol", {"query": "контрагенты"})
check(isinstance(answer, dict) and any(s["name"] == "Контрагенты" and s["location"]["uri"].endswith(
    urllib.parse.quote("Справочники/Контрагенты/Метаданные.txt")) for s in answer.get("result", [])),
      "FOLDER of the command line is the workspace when the client names none", answer)
server.notify("exit", {})
check(server.close() == 1, "exit without shutdown: status 1")

# A container stands for the workspace, read only: an open document is checked against it.
server = Server(os.path.join(work, "packed"))
server.request("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
loose = "file://" + urllib.parse.quote(os.path.join(work, "loose.txt"))
server.notify("textDocument/didOpen", {"textDocument": {"uri": loose, "languageId": "bsl", "version": 1,
                                                        "text": "Записать(1, 2);\nА = Справочник.Нет;"}})
diagnostics = server.diagnostics(loose) or []
check([d["code"] for d in diagnostics] == ["too-many-arguments"], "a container: the global module's procedures known", diagnostics)
answer = server.request("textDocument/hover", {"textDocument": {"uri": loose}, "position": {"line": 0, "character": 2}})
check("Пишет в журнал." in str(answer.get("result")), "a container: hover on its global procedure", answer)
server.request("shutdown")
server.notify("exit", {})
check(server.close() == 0, "a container: served to the end")

server = Server()
server.process.stdin.write(b"Content-Length: nine\r\n\r\n{}")
server.process.stdin.flush()
check(error_code(server.receive()) == -32600, "a header without a length: an error before closing")
check(server.close() == 1, "and the server ends")

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
