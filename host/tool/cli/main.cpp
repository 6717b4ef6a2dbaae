// ostrak: a command-line host for the kalamos component. It drives the component through
// IScriptAugment exactly as the host platform does.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "host/tool/cli/Commands.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/model/Model.h"
#include "platform/ComClient.h"
#include "platform/Console.h"

namespace kalamos {
namespace {
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(ArgumentToUtf8(argv[i]));
  return args;
}

// The command names, for messages that must say which there are.
std::string CommandList() {
  std::string list;
  for (const TCommand& command : Commands()) list += std::string(list.empty() ? "" : ", ") + command.Name;
  return Say("commands: ", "команды: ") + list +
         Say(" (ostrak --help, or ostrak help COMMAND, tells more)\n", " (подробнее: ostrak --help или ostrak help КОМАНДА)\n");
}

// Before CLI11 sees the line: an unknown command or option is named, with the commands;
// "help [COMMAND]" becomes "[COMMAND] --help". Returns -1 to go on, else the exit status.
int Screen(std::vector<std::string>& args) {
  size_t i = 1;
  while (i < args.size()) {
    const std::string& a = args[i];
    if (kComServers && a == "--dll") {
      i += 2;
      continue;
    }
    if (kComServers && a.rfind("--dll=", 0) == 0) {
      ++i;
      continue;
    }
    break;
  }
  if (i >= args.size()) {
    Err(Say("ostrak: a command is required; ", "ostrak: не указана команда; ") + CommandList());
    return ExitUsage;
  }
  const std::string word = args[i];
  if (word == "--help" || word == "-h" || word == "--version") return -1;
  if (word == "help") {
    args.erase(args.begin() + long(i));
    if (i < args.size() && FindCommand(args[i])) args.erase(args.begin() + long(i) + 1, args.end());
    else args.erase(args.begin() + long(i), args.end());
    args.push_back("--help");
    return -1;
  }
  if (!word.empty() && word[0] == '-') {
    Err(Say("ostrak: unknown option ", "ostrak: неизвестный ключ ") + word + "; " + CommandList());
    return ExitUsage;
  }
  if (!FindCommand(word)) {
    Err(Say("ostrak: unknown command \"", "ostrak: неизвестная команда \"") + word + "\"; " + CommandList());
    return ExitUsage;
  }
  return -1;
}

// CLI11's words in Russian: its help's headings, the help flag, the option groups.
void Russian(CLI::App& app) {
  auto formatter = app.get_formatter();
  formatter->label("Usage", "Запуск");
  formatter->label("OPTIONS", "КЛЮЧИ");
  formatter->label("SUBCOMMAND", "КОМАНДА");
  formatter->label("SUBCOMMANDS", "КОМАНДЫ");
  formatter->label("Positionals", "Аргументы");
  formatter->label("REQUIRED", "ОБЯЗАТЕЛЬНО");
  formatter->label("Excludes", "Нельзя вместе с");
  formatter->label("Needs", "Требует");
  formatter->label("TEXT", "ТЕКСТ");
  formatter->label("INT", "ЧИСЛО");
  app.set_help_flag("-h,--help", "Вывести эту справку и выйти");
  app.option_defaults()->group("Ключи");
  if (CLI::Option* help = app.get_help_ptr()) help->group("Ключи");
}

// A mistake in the command line, said in Russian: CLI11 has its messages in English only.
std::string RussianParseError(const CLI::ParseError& e) {
  const std::string what = e.what();
  auto is = [&](auto* type) { return dynamic_cast<decltype(type)>(&e) != nullptr; };
  if (is(static_cast<const CLI::ExtrasError*>(nullptr))) {
    const size_t colon = what.find(": ");
    return "лишние аргументы: " + (colon == std::string::npos ? what : what.substr(colon + 2));
  }
  if (is(static_cast<const CLI::RequiredError*>(nullptr))) {
    const size_t at = what.find(" is required");
    if (at != std::string::npos) return "не указан аргумент " + what.substr(0, at);
    return "не хватает аргументов (" + what + ")";
  }
  if (is(static_cast<const CLI::ConversionError*>(nullptr))) return "не то значение: " + what;
  if (is(static_cast<const CLI::ArgumentMismatch*>(nullptr))) return "у ключа нет значения или их не столько: " + what;
  if (is(static_cast<const CLI::ExcludesError*>(nullptr))) return "эти ключи нельзя вместе: " + what;
  return what;
}

// The whole run; main only hands over.
int RunOstrak(int argc, char** argv) {
  // Output is UTF-8 with bare line feeds, byte for byte the same as the native tool's.
  BinaryStandardStreams();
  std::vector<std::string> args = Utf8Arguments(argc, argv);
  if (int status = Screen(args); status >= 0) return status;

  CLI::App app{Say("ostrak: runs the kalamos component's script functions against an information base, "
                   "dumps a configuration as JSON or as lines of text, compares two configurations, packs "
                   "a configuration text into a container, and answers questions about a configuration: "
                   "show, list, find, refs, path, id; mcp serves those questions to AI assistants, lsp helps editors "
                   "with an unpacked folder's modules. Wherever DIR "
                   "stands, a container file of any name may stand instead (it is loaded as DIR/vellum.md would "
                   "be). \"--\" ends the options, so that an argument may begin with \"-\".",
                   "ostrak: вызывает функции компоненты kalamos для информационной базы, выводит конфигурацию "
                   "в JSON или строками текста, сравнивает две конфигурации, упаковывает текст конфигурации в "
                   "контейнер и отвечает на вопросы о конфигурации: show, list, find, refs, path, id; mcp "
                   "отвечает на те же вопросы ИИ-помощникам, lsp помогает редакторам с модулями распакованной "
                   "папки. Вместо КАТАЛОГА (DIR) можно указать файл "
                   "контейнера с любым именем (он загружается так же, как DIR/vellum.md). \"--\" заканчивает "
                   "ключи, чтобы аргумент мог начинаться с \"-\".")};
  app.name("ostrak");
  if (UserReadsRussian()) Russian(app);
  app.require_subcommand(1);
  // Paths begin with "/" on Linux and under Wine; they are never options.
  app.allow_windows_style_options(false);
  TArguments arguments;
  if (kComServers)
    app.add_option("--dll", arguments.Session.DllPath,
                   Say("Load the component from this DLL instead of the registered AddIn.kalamos",
                       "Загрузить компоненту из этой DLL, а не зарегистрированную AddIn.kalamos"));
  app.set_version_flag("--version", [&arguments] {
    std::string version = ComponentFileVersion(arguments.Session.DllPath);
    return "kalamos " + (version.empty() ? Say("(version unknown: component not found)", "(версия неизвестна: компонента не найдена)") : version);
  }, Say("Print the component's file version and exit", "Вывести версию файла компоненты и выйти"));

  std::vector<std::pair<CLI::App*, const TCommand*>> rows;
  for (const TCommand& command : Commands()) {
    CLI::App* sub = app.add_subcommand(command.Name, Say(command.Help, command.HelpRu));
    if (UserReadsRussian()) Russian(*sub), sub->group("Команды");
    command.Options(*sub, arguments);
    rows.emplace_back(sub, &command);
  }

  std::vector<const char*> argvUtf8;
  for (auto& a : args) argvUtf8.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argvUtf8.size()), argvUtf8.data());
  } catch (const CLI::ParseError& e) {
    // Help and the version as CLI11 prints them; a mistake in the line in the user's words.
    if (e.get_exit_code() == 0 || !UserReadsRussian()) return app.exit(e) == 0 ? ExitOk : ExitUsage;
    Err("ostrak: " + RussianParseError(e) + "\nПодробнее: --help\n");
    return ExitUsage;
  }

  if (!arguments.Session.DllPath.empty()) arguments.Session.Source = TComponentSource::Library;
  for (const auto& [sub, command] : rows) {
    if (!*sub) continue;
    // A command that ends before anyone saves the container again reads it in place; a
    // server, which lives on while the file is saved over, reads a copy.
    const std::string name = command->Name;
    ReadContainersInPlace(name != "mcp" && name != "lsp");
    try {
      return command->Run(arguments);
    } catch (const std::bad_alloc&) {
      // Said plainly rather than ended by the runtime without a word.
      Err(Say("ostrak: out of memory\n", "ostrak: не хватает памяти\n"));
      return std::string(command->Name) == "diff" ? ExitTrouble : ExitFailed;
    }
  }
  return ExitUsage;
}

}  // namespace
}  // namespace kalamos

int main(int argc, char** argv) { return kalamos::RunOstrak(argc, argv); }
