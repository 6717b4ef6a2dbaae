// What every room of the tool stands on: exit statuses, text in the user's language and
// encoding, the one place output goes out.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace kalamos {

// Exit statuses: the call went through, the component reported a failure (or nothing was
// found), the command line was wrong.
constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
// diff's statuses, as diff(1) has them: equal, different, trouble.
constexpr int ExitTrouble = 2;

// The model and the component keep names in the ANSI code page; the tool speaks UTF-8.
// Through a table of each byte's UTF-8, made from AnsiToUtf8 itself.
std::string U(std::string_view ansi);
// U(ansi) appended to out, without a string of its own: for the lines of large outputs.
void AppendU(std::string& out, std::string_view ansi);
// A UTF-8 path as the file system's, on either system, and back.
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);
// Runs both at once where the standard library has threads (the Windows tool is built without
// them and runs one after the other); an exception of either comes out here, after both ended.
void RunBoth(const std::function<void()>& first, const std::function<void()>& second);
// Words for people in their language (UserReadsRussian): the English or the Russian.
std::string Say(std::string_view english, std::string_view russian);
// Writes UTF-8 text to standard output / standard error unchanged (no newline translation).
void Out(const std::string& text);
void Err(const std::string& text);

}  // namespace kalamos
