// What every command, tool and call of the tool gives back, and how a failure travels: a reader
// returns false (or null) with a message for people that says the real cause; an answer carries
// that message as its Error, with the exit status it ends a command with.
#pragma once

#include <string>

#include "host/tool/answers/Json.h"
#include "host/tool/ground/Ground.h"

namespace kalamos {

// One question answered as the commands print it: Json for --json, Text for people, and the
// exit status (ExitFailed also when nothing was found: find, path and id still answer). When
// there is no answer at all (no such object, a misspelt question, a failed call) Error says
// why, for people.
struct TAnswer {
  int Status = ExitOk;
  TJson Json;
  std::string Text;
  std::string Error;
};
// No answer: the status and what to tell people.
TAnswer Refused(int status, std::string error);
// Prints an answer as the commands do: Error to standard error, else Json or Text; the status.
int PrintAnswer(const TAnswer& answer, bool json);

}  // namespace kalamos
