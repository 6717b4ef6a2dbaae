#!/usr/bin/env python3
"""`ostrak mcp` spoken to line by line, for what no SDK sends: malformed JSON, requests
before initialize, unknown methods, tools and notifications, wrong argument types, a 1 MB
argument, batches, each protocol version's features, input that ends mid-message, the
container changed under a running server, lists answered a page at a time and answers too
large for one message.
    raw-protocol.py SOURCE_DIR OSTRAK
Prints one line per failed check and "N passed, N failed"; exit status 1 on a failure."""
import json
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import zlib

src, ostrak = sys.argv[1], sys.argv[2]
passed = failed = 0
# The checks read the tool's English messages, whatever the locale the suite runs in.
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
    """One `ostrak mcp` process; every line it writes to standard output must be JSON."""

    def __init__(self, config):
        self.process = subprocess.Popen([ostrak, "mcp", config], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.lines = queue.Queue()
        self.sizes = []  # of every line read, in bytes
        self.stderr = b""
        threading.Thread(target=self._read, daemon=True).start()
        self.stderr_reader = threading.Thread(target=self._read_stderr, daemon=True)
        self.stderr_reader.start()
        self.next_id = 100

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line)
        self.lines.put(None)

    def _read_stderr(self):
        self.stderr = self.process.stderr.read()

    def send_raw(self, data):
        self.process.stdin.write(data if isinstance(data, bytes) else data.encode())
        self.process.stdin.flush()

    def send(self, message):
        self.send_raw(json.dumps(message, ensure_ascii=False) + "\n")

    def receive(self, timeout=60):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            return "timeout"
        if line is None:
            return "end"
        self.sizes.append(len(line))
        try:
            return json.loads(line)
        except ValueError:
            check(False, "standard output holds JSON messages only", line[:200])
            return "not json"

    def request(self, method, params=None, **extra):
        self.next_id += 1
        message = {"jsonrpc": "2.0", "id": self.next_id, "method": method}
        if params is not None:
            message["params"] = params
        message.update(extra)
        self.send(message)
        return self.receive()

    def initialize(self, version="2025-06-18"):
        answer = self.request("initialize", {"protocolVersion": version, "capabilities": {},
                                             "clientInfo": {"name": "raw", "version": "1"}})
        self.send({"jsonrpc": "2.0", "method": "notifications/initialized"})
        return answer

    def tool(self, name, arguments):
        return self.request("tools/call", {"name": name, "arguments": arguments})

    def close(self):
        """Ends input; the server's exit status."""
        if not self.process.stdin.closed:
            self.process.stdin.close()
        try:
            status = self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return "did not end"
        # The process may end before its standard error is all read.
        self.stderr_reader.join(timeout=20)
        return status


def error_code(answer):
    return answer.get("error", {}).get("code") if isinstance(answer, dict) else answer


def text_of(answer):
    # An answer that never came is a string saying so: a failed check, not a crash.
    if not isinstance(answer, dict):
        return str(answer)
    return "".join(c.get("text", "") for c in answer.get("result", {}).get("content", []))


def tool_error(answer):
    return isinstance(answer, dict) and answer.get("result", {}).get("isError") is True


def paging_configuration():
    """Text of a configuration with long lists: Большой has 450 attributes that share a synonym
    and refer to the catalogue Районы, and 3 that refer to the enumeration of the same name;
    Широкий has 25,000 attributes (its show_object answer is some 5 MB) and Огромный 60,000
    (some 13 MB)."""
    def attributes(first, count, name, synonym, kind, ref):
        return ",\n".join('{"%d","%s%d","","%s","%s","10","0","%s","0","0","0"}' % (first + i, name, i, synonym, kind, ref)
                          for i in range(count))

    def catalogue(id_, name, params):
        return '{"%s","%s","","%s","0","3","40","1","0","1","0","0","0","0","0","0","0",\n{"Params",\n%s}}' % (
            id_, name, name, params)
    return ('{"TaskItem",\n{"1","Страницы","","","1","0"}},\n{"SbCnts",\n'
            '{"13","Районы","","Районы","0","3","40","1","0","1","0","0","0","0","0","0","0"},\n' +
            catalogue(20, "Большой", attributes(1000, 450, "Р", "Общий синоним", "B", 13) + ",\n" +
                      attributes(1500, 3, "П", "Перечисление", "E", 35)) + ",\n" +
            catalogue(21, "Широкий", attributes(100000, 25000, "Ш", "Широкий реквизит", "S", 0)) + ",\n" +
            catalogue(22, "Огромный", attributes(200000, 60000, "О", "Огромный реквизит", "S", 0)) + "},\n"
            '{"EnumList",\n{"35","Районы","","Районы как перечисление",\n{"EnumVal",\n{"36","Север","","Север"}}}}\n')


def walk(server, tool, arguments, member, limit):
    """Every page of a list, from offset 0 along next_offset: the entries, and what went wrong."""
    entries, offset, wrong = [], 0, []
    for _ in range(1000):
        a = server.tool(tool, dict(arguments, offset=offset, limit=limit))
        page = a.get("result", {}).get("structuredContent", {}) if isinstance(a, dict) else {}
        if member not in page:
            return entries, wrong + [a]
        entries += page[member]
        if len(page[member]) > limit or page["offset"] != offset:
            wrong.append({k: v for k, v in page.items() if k != member})
        if not page["truncated"]:
            if page["next_offset"] is not None or len(entries) != page["total"]:
                wrong.append({k: v for k, v in page.items() if k != member})
            return entries, wrong
        if page["next_offset"] != offset + len(page[member]):
            wrong.append({k: v for k, v in page.items() if k != member})
        offset = page["next_offset"]
    return entries, wrong + ["no last page"]


work = tempfile.mkdtemp()
try:
    demo = os.path.join(work, "demo")
    model = os.path.join(work, "model")
    for text, folder in ((os.path.join(src, "samples/demo/config.txt"), demo),
                         (os.path.join(src, "tests/cli/fixtures/model.txt"), model)):
        subprocess.run([ostrak, "pack", text, folder], check=True, capture_output=True)

    # --- before initialize, and bad messages -----------------------------------------------
    s = Server(demo)
    a = s.request("tools/list")
    check(error_code(a) == -32600 and a.get("id") == s.next_id, "a request before initialize: -32600 with its id", a)
    a = s.request("ping")
    check(a.get("result") == {}, "ping before initialize is answered", a)
    s.send_raw("{not json\n")
    a = s.receive()
    check(error_code(a) == -32700 and a.get("id") is None, "malformed JSON: -32700 with id null", a)
    s.send_raw("[1, 2\n")
    check(error_code(s.receive()) == -32700, "a cut batch: -32700")
    s.send_raw("42\n")
    check(error_code(s.receive()) == -32600, "a message that is no object: -32600")
    s.send_raw('{"jsonrpc": "2.0", "id": 9, "method": "ping", "params": ' + "[" * 100000 + "]" * 100000 + "}\n")
    check(error_code(s.receive()) == -32600, "a message nested 100,000 deep: -32600, and the server lives")
    s.send({"id": 5, "method": "ping"})
    a = s.receive()
    check(error_code(a) == -32600 and a.get("id") == 5, "no \"jsonrpc\": -32600 with its id", a)
    s.send({"jsonrpc": "2.0", "id": None, "method": "ping"})
    check(error_code(s.receive()) == -32600, "id null: -32600")
    s.send({"jsonrpc": "2.0", "id": {"x": 1}, "method": "ping"})
    check(error_code(s.receive()) == -32600, "an object as id: -32600")
    s.send({"jsonrpc": "2.0", "id": 6, "method": 7})
    check(error_code(s.receive()) == -32600, "a method that is no string: -32600")
    s.send([{"jsonrpc": "2.0", "id": 7, "method": "ping"}])
    a = s.receive()
    check(error_code(a) == -32600, "a batch before initialize: one -32600", a)
    s.send_raw("\xff\xfe\n".encode("latin-1"))
    check(error_code(s.receive()) == -32700, "bytes that are not UTF-8: -32700")
    s.send_raw("\n   \n")
    a = s.initialize()
    check(a.get("result", {}).get("protocolVersion") == "2025-06-18", "initialize after bad input; blank lines skipped", a)
    a = s.initialize()
    check(error_code(a) == -32600, "a second initialize: -32600", a)

    # --- methods, tools, arguments --------------------------------------------------------
    a = s.request("resources/list")
    check(error_code(a) == -32601 and a.get("id") == s.next_id, "an unknown method: -32601 with its id", a)
    s.send({"jsonrpc": "2.0", "method": "notifications/whatever", "params": {}})
    s.send({"jsonrpc": "2.0", "method": "bogus"})
    s.send({"jsonrpc": "2.0", "method": "notifications/cancelled", "params": {"requestId": 3}})
    a = s.request("ping")
    check(a.get("id") == s.next_id and a.get("result") == {}, "notifications, known or not, are not answered", a)
    s.send({"jsonrpc": "2.0", "id": "text-id", "method": "ping"})
    check(s.receive().get("id") == "text-id", "a string id comes back as it was")
    s.send({"jsonrpc": "2.0", "id": 8, "result": {}})
    check(s.request("ping").get("id") == s.next_id, "a response from the client is read, not answered")
    check(error_code(s.request("tools/list", [1])) == -32602, "params that is no object: -32602")
    a = s.tool("no_such_tool", {})
    check(error_code(a) == -32602 and "show_object" in a["error"]["message"], "an unknown tool: -32602 naming the tools", a)
    check(error_code(s.request("tools/call", {"arguments": {}})) == -32602, "tools/call without a name: -32602")
    check(error_code(s.request("tools/call", {"name": "find", "arguments": ["x"]})) == -32602,
          "arguments that is no object: -32602")
    for name, arguments, words in (
            ("show_object", {"name": ["Склады"]}, ["name", "string", "array"]),
            ("lookup_id", {"id": 141}, ["id", "string", "whole number"]),
            ("find", {}, ["missing", "text"]),
            ("find", {"text": "склад", "txt": "x"}, ["unknown argument", "txt"]),
            ("summary", {"verbose": True}, ["takes no arguments"]),
            ("call_function", {"function": "EnumObjects", "args": "Документ"}, ["args", "array"]),
            ("call_function", {"function": "EnumObjects", "args": [None]}, ["element 1", "null"]),
            ("call_function", {"function": "EnumObjects", "args": [1, 2, 3, 4, 5, 6, 7, 8]}, ["more than 7"]),
            ("call_function", {"function": "ValueByNum", "args": ["ВидыОплаты", 1, 2]}, ["takes 2 arguments", "3 given"]),
            ("call_function", {"function": "EnumObjects", "args": [2 ** 40]}, ["32 bits"]),
            ("show_object", {"name": "Склады.Адрес.Лишнее"}, ["Kind.Name"]),
            ("resolve_path", {"path": "Документ..Товар"}, ["Kind.Name.Attribute"]),
            ("get_module", {"from_line": 0}, ["from_line", "at least 1"]),
            ("get_module", {"to_line": -5}, ["to_line", "at least 1"]),
            ("get_module", {"from_line": 1.5}, ["from_line", "whole number", "fractional"]),
            ("get_module", {"from_line": "3"}, ["from_line", "whole number", "string"]),
            ("get_module", {"from_line": 5, "to_line": 2}, ["comes before"]),
            ("get_module", {"object": "Склады.Адрес"}, ["Kind.Name"]),
            ("search_modules", {"text": ""}, ["empty"])):
        a = s.tool(name, arguments)
        check(tool_error(a) and all(w in text_of(a) for w in words),
              f"{name} {json.dumps(arguments, ensure_ascii=False)[:60]}: isError naming {words}", a)

    huge = "Ж" * (1 << 19)  # 1 MB of UTF-8
    started = time.monotonic()
    a = s.tool("show_object", {"name": huge})
    check(tool_error(a) and len(json.dumps(a)) < 2000, "a 1 MB argument: isError, briefly", str(a)[:300])
    a = s.tool("find", {"text": huge})
    check(tool_error(a), "a 1 MB find: isError", str(a)[:300])
    a = s.tool("get_module", {"from_line": 2 ** 64 - 1, "to_line": 2 ** 64 - 1})
    check(not tool_error(a) and a["result"]["structuredContent"]["modules"] == [],
          "get_module: the largest line number JSON carries is no error", a)
    s.send_raw('{"jsonrpc":"2.0","id":"big","method":"ping","params":{"_meta":{"pad":"' + "x" * (1 << 20) + '"}}}\n')
    check(s.receive().get("id") == "big", "a 1 MB message is read whole")
    check(time.monotonic() - started < 10, "the 1 MB messages take little time")
    a = s.tool("show_object", {"name": "Склады"})
    check(not tool_error(a) and a["result"]["structuredContent"]["name"] == "Склады", "the server goes on after all that", a)
    check(s.close() == 0, "end of input ends the server with status 0")

    # --- versions and their features -----------------------------------------------------
    for asked, answered in (("2025-11-25", "2025-11-25"), ("2025-06-18", "2025-06-18"), ("2025-03-26", "2025-03-26"),
                            ("2024-11-05", "2024-11-05"), ("1999-01-01", "2025-11-25"), ("2026-99-99", "2025-11-25")):
        s = Server(demo)
        a = s.initialize(asked)
        result = a.get("result", {})
        check(result.get("protocolVersion") == answered, f"initialize {asked}: {answered}", a)
        check(result.get("capabilities", {}).get("tools") is not None, f"{asked}: tools offered")
        tools = s.request("tools/list").get("result", {}).get("tools", [])
        structured = answered >= "2025-06-18"
        check(len(tools) == 14 and all(("outputSchema" in t) == structured and ("title" in t) == structured for t in tools),
              f"{asked}: outputSchema and title {'present' if structured else 'absent'}", tools[:1])
        check(all(("annotations" in t) == (answered >= "2025-03-26") for t in tools), f"{asked}: annotations as the version has them")
        a = s.tool("lookup_id", {"id": "141"})
        check(("structuredContent" in a.get("result", {})) == structured and "Артикул" in text_of(a),
              f"{asked}: structuredContent {'present' if structured else 'absent'}, the text always", a)
        s.send([{"jsonrpc": "2.0", "id": "b1", "method": "ping"}, {"jsonrpc": "2.0", "method": "notifications/x"},
                {"jsonrpc": "2.0", "id": "b2", "method": "tools/call", "params": {"name": "summary"}}])
        a = s.receive()
        if answered == "2025-03-26":
            check(isinstance(a, list) and [m.get("id") for m in a] == ["b1", "b2"], "2025-03-26: a batch answered as a batch", a)
            s.send([])
            check(error_code(s.receive()) == -32600, "2025-03-26: an empty batch: -32600")
            s.send([{"jsonrpc": "2.0", "id": "i", "method": "initialize", "params": {"protocolVersion": asked}}])
            a = s.receive()
            check(isinstance(a, list) and error_code(a[0]) == -32600, "2025-03-26: initialize in a batch: -32600", a)
        else:
            check(error_code(a) == -32600 and a.get("id") is None, f"{asked}: a batch is refused with -32600", a)
        check(s.close() == 0, f"{asked}: status 0 at the end of input")

    # --- input that ends mid-message ---------------------------------------------------------
    s = Server(demo)
    s.initialize()
    s.send_raw('{"jsonrpc":"2.0","id":9,"meth')
    s.process.stdin.close()
    a = s.receive()
    check(error_code(a) == -32700, "input that ends mid-message: -32700", a)
    check(s.close() == 0, "input that ends mid-message: status 0")
    s = Server(demo)
    s.send_raw('{"jsonrpc":"2.0","id":1,"method":"ping"}')
    s.process.stdin.close()
    check(s.receive() == {"jsonrpc": "2.0", "id": 1, "result": {}}, "a last message without its newline is answered")
    check(s.close() == 0, "a last message without its newline: status 0")

    # --- the container changes under the server ------------------------------------------
    live = os.path.join(work, "live")
    shutil.copytree(demo, live)
    s = Server(live)
    s.initialize()
    a = s.tool("summary", {})
    check(a["result"]["structuredContent"]["objects"] == 24, "the demo at first", a)
    a = s.tool("call_function", {"function": "EnumObjects", "args": ["Справочник"]})
    check(len(a["result"]["structuredContent"]["items"]) == 7, "the component's view at first", a)
    time.sleep(0.05)
    subprocess.run([ostrak, "pack", os.path.join(src, "tests/cli/fixtures/model.txt"), live], check=True, capture_output=True)
    a = s.tool("summary", {})
    check(a["result"]["structuredContent"]["objects"] == 18, "a changed container is read again before the next call", a)
    a = s.tool("call_function", {"function": "EnumObjects", "args": ["Справочник"]})
    check(len(a["result"]["structuredContent"]["items"]) == 5, "the component loads the changed container too", a)
    a = s.tool("get_module", {})
    check(not tool_error(a) and a["result"]["structuredContent"]["modules"] == [], "no global module at first", a)
    module = os.path.join(work, "global.bin")
    with open(module, "wb") as f:
        packer = zlib.compressobj(9, zlib.DEFLATED, -15)
        f.write(packer.compress("Перем глНовая;\r\n".encode("cp1251")) + packer.flush())
    time.sleep(0.05)
    subprocess.run([ostrak, "pack", os.path.join(src, "tests/cli/fixtures/model.txt"), live,
                    "--stream", "TypedText/ModuleText_Number1/MD Programm text=" + module], check=True, capture_output=True)
    a = s.tool("search_modules", {"text": "ГЛНОВАЯ"})
    check(not tool_error(a) and [m["line"] for m in a["result"]["structuredContent"]["matches"]] == [1],
          "the modules of a changed container are read again too", a)
    os.rename(os.path.join(live, "vellum.md"), os.path.join(live, "gone.md"))
    a = s.tool("show_object", {"name": "Склады"})
    check(tool_error(a) and "no such file" in text_of(a), "a container that went away: isError saying so", a)
    a = s.tool("call_function", {"function": "EnumObjects", "args": ["Справочник"]})
    check(tool_error(a), "call_function without a container: isError", a)
    os.rename(os.path.join(live, "gone.md"), os.path.join(live, "vellum.md"))
    a = s.tool("summary", {})
    check(not tool_error(a) and a["result"]["structuredContent"]["objects"] == 18, "and it is read again when it is back", a)
    check(s.close() == 0, "status 0 after the changes")
    check(b"read again" in s.stderr, "a reload is said on standard error", s.stderr[-300:])

    # --- lists a page at a time, and answers too large for a message ------------------------
    pages = os.path.join(work, "pages")
    with open(os.path.join(work, "pages.txt"), "w", encoding="utf-8") as f:
        f.write(paging_configuration())
    subprocess.run([ostrak, "pack", os.path.join(work, "pages.txt"), pages], check=True, capture_output=True)
    everything = json.loads(subprocess.run([ostrak, "find", pages, "общий синоним", "--json"], check=True,
                                           capture_output=True).stdout)
    check(len(everything) == 450, "the command find still prints every match", len(everything))
    s = Server(pages)
    s.initialize()
    a = s.tool("find", {"text": "ОБЩИЙ СИНОНИМ"})
    page = a["result"]["structuredContent"]
    check(len(page["matches"]) == 200 and page["total"] == 450 and page["offset"] == 0 and page["truncated"] is True
          and page["next_offset"] == 200 and page["matches"] == everything[:200],
          "find: the first 200 of 450 matches, with the total and where the rest start",
          {k: v for k, v in page.items() if k != "matches"})
    lines = text_of(a).splitlines()
    check(len(lines) == 201 and lines[0].endswith('Р0: синоним "Общий синоним"') and "offset 200" in lines[-1],
          "find: the text holds the page's lines and says where the rest start", lines[:1] + lines[-2:])
    for limit in (200, 7):
        entries, wrong = walk(s, "find", {"text": "общий синоним"}, "matches", limit)
        check(entries == everything and not wrong, f"find: pages of {limit} hold every match once, in order",
              wrong or [len(entries)])
    a = s.tool("find", {"text": "общий синоним", "offset": 5000})
    page = a["result"]["structuredContent"]
    check(page["matches"] == [] and page["total"] == 450 and page["truncated"] is False and page["next_offset"] is None
          and "450" in text_of(a) and not tool_error(a), "find: an offset past the end is an empty page that says how many there are", a)
    for arguments, words in (({"limit": 201}, ["limit", "at most 200"]), ({"limit": 0}, ["limit", "at least 1"]),
                             ({"offset": -1}, ["offset", "at least 0"]), ({"offset": "1"}, ["offset", "whole number"])):
        a = s.tool("find", dict(arguments, text="общий"))
        check(tool_error(a) and all(w in text_of(a) for w in words), f"find {arguments}: isError naming {words}", a)

    a = s.tool("where_used", {"name": "Районы", "offset": 440, "limit": 100})
    page = a["result"]["structuredContent"]
    check(page["total"] == 453 and len(page["uses"]) == 13 and page["truncated"] is False,
          "where_used: the last page of the uses of two objects that share a name",
          {k: v for k, v in page.items() if k != "uses"})
    # Two objects' headings stand among the lines: the page's entries come as JSON lines.
    lines = text_of(a).splitlines()
    check([json.loads(line) for line in lines[:-1]] == page["uses"] and "441-453" in lines[-1],
          "where_used: lines that cannot be told apart come as the page's JSON, one a line", lines[:2])
    entries, wrong = walk(s, "where_used", {"name": "Справочник.Районы"}, "uses", 200)
    check(len(entries) == 450 and len({json.dumps(e) for e in entries}) == 450 and not wrong,
          "where_used: pages of one object's uses, every use once", wrong or [len(entries)])
    a = s.tool("list_objects", {"kind": "Справочник", "offset": 1, "limit": 2})
    page = a["result"]["structuredContent"]
    check([o["name"] for o in page["objects"]] == ["Большой", "Широкий"] and page["next_offset"] == 3 and
          text_of(a).startswith("Справочник: объектов 4\n  Большой (20)"),
          "list_objects: a page, its heading line kept", [page, text_of(a)])
    a = s.tool("call_function", {"function": "EnumRef", "args": ["Большой"], "offset": 450})
    page = a["result"]["structuredContent"]
    # EnumRef hands the attributes out from the last.
    check([i["name"] for i in page["items"]] == ["Р2", "Р1", "Р0"] and page["total"] == 453 and page["result"] == 0 and
          text_of(a).startswith("name: Р2,"), "call_function: a listing's items a page at a time", [page, text_of(a)])
    a = s.tool("call_function", {"function": "EnumValCount", "args": ["Районы"]})
    page = a["result"]["structuredContent"]
    check(page["result"] == 1 and page["total"] == 0 and page["truncated"] is False, "call_function: a value, no items to page", a)

    # A page is small; an object of 60,000 attributes cannot be paged and is refused whole.
    check(max(s.sizes) < 100_000, "every page is under 100 KB", max(s.sizes))
    a = s.tool("show_object", {"name": "Широкий"})
    check(not tool_error(a) and len(a["result"]["structuredContent"]["parts"][0]["items"]) == 25000 and
          4_000_000 < s.sizes[-1] < 8 << 20, "show_object: an answer of some 5 MB is answered whole", s.sizes[-1])
    a = s.tool("show_object", {"name": "Огромный"})
    check(tool_error(a) and all(w in text_of(a) for w in ("MB", "more than one message may carry", "name")) and s.sizes[-1] < 2000,
          "show_object: an answer past 8 MB is an isError that says so, briefly", [s.sizes[-1], text_of(a)[:300]])
    a = s.tool("show_object", {"name": "Большой"})
    check(not tool_error(a), "the server goes on after an answer too large", a)
    check(s.close() == 0, "paging: status 0 at the end of input")

    # Batches: each answer fits a message, four of 2.3 MB (text alone in this version) do not.
    s = Server(pages)
    s.initialize("2025-03-26")
    ids = ["w1", "w2", "w3", "w4"]
    s.send([{"jsonrpc": "2.0", "id": i, "method": "tools/call", "params": {"name": "show_object", "arguments": {"name": "Широкий"}}}
            for i in ids] + [{"jsonrpc": "2.0", "id": "p", "method": "ping"}])
    a = s.receive()
    check(isinstance(a, list) and [m.get("id") for m in a] == ids + ["p"] and all("result" in m for m in a[:3]) and
          error_code(a[3]) == -32603 and "alone" in a[3]["error"]["message"] and a[4].get("result") == {} and
          s.sizes[-1] <= 8 << 20, "a batch past 8 MB: the answer that would pass it is refused, the rest answered",
          [s.sizes[-1]] + [{k: v for k, v in m.items() if k != "result"} for m in a] if isinstance(a, list) else a)
    check(s.close() == 0, "batch past the bound: status 0")

    s = Server(os.path.join(work, "nowhere"))
    check(s.initialize().get("result", {}).get("protocolVersion") == "2025-06-18", "a server on a missing directory starts")
    a = s.tool("summary", {})
    check(tool_error(a) and "no such directory" in text_of(a), "and each call says what is wrong", a)
    check(s.close() == 0, "a missing directory: status 0 at the end of input")
finally:
    shutil.rmtree(work, ignore_errors=True)

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
