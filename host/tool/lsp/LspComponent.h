// Our own component as the language server sees it in a module: the variables a script assigns
// it to, the calls of its nineteen functions, and each function's help as the Russian guide
// gives it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code/Module.h"

namespace kalamos {

// The function a name calls (either language, any letter case), -1 for none.
int ComponentFunction(std::string_view name);
// "Загрузить(Каталог)", in the language of the name asked for.
std::string ComponentCall(int function, bool russian);
// The guide's line for a function as Markdown: "`Загрузить(Каталог)` — читает ...", then both names.
std::string ComponentMarkdown(int function);

// A call of one of the functions through a variable that holds the component.
struct TComponentCall {
  int Function = -1;
  int Line = 0, Column = 0;  // of the function's name, as the code model counts
  int Arguments = 0;         // as the code model counts a call's
};

struct TComponentUse {
  std::vector<std::string> Variables;  // folded names assigned СоздатьОбъект("AddIn.Ostrak")
  std::vector<TComponentCall> Calls;
  bool IsVariable(std::string_view name) const;
};
// Where a module uses the component: Имя = СоздатьОбъект("AddIn.Ostrak") (or CreateObject, or the
// ProgID AddIn.kalamos), then Имя.Функция(...).
TComponentUse FindComponentUse(const code::TModule& module);

}  // namespace kalamos
