// The rest of the operating system the component touches: its string table, the clock,
// and the modal failure notice.
#pragma once

#include <string>

#include "platform/Ole.h"

namespace kalamos {

// Text of a string resource of the component as 8-bit ANSI text, cut to 254 characters
// (LoadStringA into a buffer of 255). An unknown id gives "".
std::string LoadResourceString(unsigned id);

// Today's local date at midnight as an automation date (days since 30 December 1899).
DATE TodayAsDate();

// A modal notice for the user: MessageBoxA with no owner, no caption and an OK button on
// Windows; standard error elsewhere.
void ShowFailureNotice(const std::string& ansiText);

}  // namespace kalamos
