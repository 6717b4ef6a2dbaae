#!/usr/bin/env python3
"""Both READMEs name every script function in both languages, as the method table has them,
so that neither falls behind the component. Usage: check-readmes.py SOURCE_DIR"""
import re
import sys

src = sys.argv[1]
with open(f"{src}/methods/Functions.def", encoding="utf-8") as f:
    methods = re.findall(r'^KALAMOS_FUNCTION\(\w+,\s*\d+,\s*"(\w+)",\s*"(\w+)"', f.read(), re.M)
passed = failed = 0
if len(methods) != 19:
    print(f"FAILED: methods/Functions.def: {len(methods)} methods read, expected 19")
    failed += 1
for readme in ("README.md", "README.ru.md"):
    with open(f"{src}/{readme}", encoding="utf-8") as f:
        text = f.read()
    for english, russian in methods:
        for name in (english, russian):
            if re.search(rf"(?<!\w){name}(?!\w)", text):
                passed += 1
            else:
                failed += 1
                print(f"FAILED: {readme} does not name {name} ({english};{russian})")
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
