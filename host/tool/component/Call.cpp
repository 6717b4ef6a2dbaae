#include <charconv>
#include <climits>

#include "host/tool/ground/Ground.h"
#include "host/tool/component/Component.h"
#include "methods/Functions.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
// What each parameter of a function is: its name for output, and whether the component
// writes it back.
struct TParam {
  const char* Name;
  bool Out;
};
// The names of a function's parameters, beside its row in the component's function table:
// one signature a function, in the table's order, as many parameters as the table says.
struct TSignature {
  TMethod Method;
  int Required;  // leading inputs without a default value
  size_t Count;
  TParam Params[7];
};

#define KALAMOS_ATTRIBUTE_ITEM \
  7, {{"object", false}, {"name", true}, {"type", true}, {"kind", true}, {"length", true}, {"precision", true}, {"ref", true}}

constexpr TSignature Signatures[] = {
    {MethodLoad, 0, 1, {{"directory", false}}},
    {MethodHasAttr, 2, 2, {{"object", false}, {"attribute", false}}},
    {MethodSetAttr, 3, 4, {{"object", false}, {"attribute", false}, {"value", false}, {"date", false}}},
    {MethodGetAttr, 2, 4, {{"object", false}, {"attribute", false}, {"value", true}, {"date", false}}},
    {MethodEnumDocHead, 1, KALAMOS_ATTRIBUTE_ITEM},
    {MethodEnumDocTable, 1, KALAMOS_ATTRIBUTE_ITEM},
    {MethodEnumRef, 1, KALAMOS_ATTRIBUTE_ITEM},
    {MethodEnumRegDim, 1, 3, {{"register", false}, {"name", true}, {"type", true}}},
    {MethodEnumRegRes, 1, 3, {{"register", false}, {"name", true}, {"type", true}}},
    {MethodEnumValues, 1, 2, {{"enumeration", false}, {"name", true}}},
    {MethodEnumObjects, 1, 2, {{"kind", false}, {"name", true}}},
    {MethodEnumOwnedRefs, 1, 2, {{"owner", false}, {"name", true}}},
    {MethodSbKindType, 1, 1, {{"name", false}}},
    {MethodSbKindKind, 1, 1, {{"name", false}}},
    {MethodEnumValCount, 1, 1, {{"enumeration", false}}},
    {MethodValueByNum, 2, 2, {{"enumeration", false}, {"number", false}}},
    {MethodEnumValInternal, 2, 2, {{"enumeration", false}, {"value", false}}},
    {MethodResetEnum, 1, 1, {{"slot", false}}},
    {MethodRefInfo, 2, 2, {{"catalogue", false}, {"selector", false}}},
};
#undef KALAMOS_ATTRIBUTE_ITEM

constexpr bool SignaturesMatchFunctions() {
  if (sizeof(Signatures) / sizeof(Signatures[0]) != size_t(MethodCount)) return false;
  for (int m = 0; m < MethodCount; ++m) {
    const TSignature& s = Signatures[m];
    if (s.Method != m || s.Count != FunctionRows[m].Params || s.Required < 0 || size_t(s.Required) > s.Count) return false;
    for (size_t i = 0; i < s.Count; ++i)
      if (s.Params[i].Name == nullptr) return false;
  }
  return true;
}
static_assert(SignaturesMatchFunctions(), "a function's parameter names disagree with methods/Functions.def");

// The method comes from the component's own FindMethod, so it is one of the table's.
const TSignature& SignatureOf(LONG method) { return Signatures[method]; }

// A function that walks a cursor hands out one item per call.
bool IsListing(LONG method) { return MethodInRange(method) && FunctionRows[method].Slot != NoSlot; }

// A whole number that fits in 32 bits; anything else travels as text.
bool WholeNumber(const std::string& text, LONG& value) {
  if (text.empty()) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+') return false;
  long long parsed = 0;
  auto [end, error] = std::from_chars(first, last, parsed);
  if (error != std::errc() || end != last || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<LONG>(parsed);
  return true;
}

std::string OutputsLine(const TSignature& signature, const TCallOutcome& outcome) {
  std::string line;
  for (size_t i = 0; i < signature.Count && i < outcome.Params.size(); ++i) {
    if (!signature.Params[i].Out) continue;
    if (!line.empty()) line += ", ";
    line += signature.Params[i].Name;
    line += ": ";
    line += outcome.Params[i].ToUtf8();
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

std::string NameValue(const std::string& name, const std::string& value) {
  return value.empty() ? name + ":\n" : name + ": " + value + "\n";
}

// Numbers stay numbers, nothing is null, everything else is its text.
TJson ValueJson(const TVariant& value) {
  switch (value.Type()) {
    case VT_EMPTY:
    case VT_NULL:
      return nullptr;
    case VT_I4:
      return value.AsInt();
    case VT_I2:
      return value.Get()->iVal;
    case VT_R8:
      return value.Get()->dblVal;
    default:
      return value.ToUtf8();
  }
}

TJson OutputsJson(const TSignature& signature, const TCallOutcome& outcome) {
  TJson outputs = TJson::object();
  for (size_t i = 0; i < signature.Count && i < outcome.Params.size(); ++i)
    if (signature.Params[i].Out) outputs[signature.Params[i].Name] = ValueJson(outcome.Params[i]);
  return outputs;
}

TCallAnswer Misused(std::string error) { return {Refused(ExitUsage, std::move(error)), {}}; }

// Keeps the component's reports of one call; true when the call failed.
bool CallFailed(HRESULT hr, TSession& session, TCallAnswer& answer) {
  for (TErrorReport& report : session.Log().TakeReports()) answer.Reports.push_back(std::move(report));
  if (FAILED(hr)) answer.Status = ExitFailed;
  return FAILED(hr);
}
TCallAnswer Called(TSession& session, const TCallRequest& request) {
  LONG method = session.FindMethodUtf8(request.Function);
  if (method < 0) return Misused(Say("unknown function: ", "неизвестная функция: ") + request.Function);
  LONG count = session.ParamCount(method);
  if (!MethodInRange(method) || size_t(count) != SignatureOf(method).Count)
    return Misused(Say("the component's function has no known signature: ", "у функции компоненты нет известной сигнатуры: ") +
                   request.Function);
  const TSignature& signature = SignatureOf(method);
  TCallAnswer answer;
  const std::string name = session.MethodName(method, 0);
  answer.Json = TJson{{"function", name}, {"result", nullptr}, {"outputs", TJson::object()}, {"items", TJson::array()}};
  if (method == MethodLoad) {
    // The directory is Load's parameter, and Load has already run.
    if (!request.Args.empty()) return Misused(Say("Load takes no arguments here: its directory is DIR", "Load здесь не принимает аргументов: ее каталог — КАТАЛОГ"));
    answer.Json["result"] = 1;
    answer.Text = "result: 1\n";
    return answer;
  }
  if (request.Args.size() > static_cast<size_t>(count) || request.Args.size() < static_cast<size_t>(signature.Required)) {
    std::string expected = std::to_string(signature.Required);
    if (signature.Required != count) expected += Say(" to ", " до ") + std::to_string(count);
    std::string names;
    for (LONG i = 0; i < count; ++i) names += std::string(i ? ", " : "") + signature.Params[i].Name;
    return Misused(name + Say(" takes ", " принимает аргументов: ") + expected +
                   Say(count == 1 ? " argument" : " arguments", "") + " (" + names + "), " +
                   Say("", "передано ") + std::to_string(request.Args.size()) + Say(" given", ""));
  }
  for (int n : request.TextArgs)
    if (n < 1 || static_cast<size_t>(n) > request.Args.size())
      return Misused("--text " + std::to_string(n) + Say(": there is no argument ", ": нет аргумента ") + std::to_string(n));

  std::vector<TVariant> args;
  for (size_t i = 0; i < request.Args.size(); ++i) {
    bool forced = false;
    for (int n : request.TextArgs) forced = forced || static_cast<size_t>(n) == i + 1;
    LONG number = 0;
    if (!forced && WholeNumber(request.Args[i], number))
      args.push_back(TVariant::Int(number));
    else
      args.push_back(TVariant::Utf8(request.Args[i]));
  }

  TCallOutcome outcome;
  if (!IsListing(method)) {
    if (CallFailed(session.Call(method, args, outcome), session, answer)) return answer;
    answer.Json["result"] = ValueJson(outcome.Return);
    answer.Json["outputs"] = OutputsJson(signature, outcome);
    answer.Text = NameValue("result", outcome.Return.ToUtf8());
    for (size_t i = 0; i < signature.Count && i < outcome.Params.size(); ++i)
      if (signature.Params[i].Out) answer.Text += NameValue(signature.Params[i].Name, outcome.Params[i].ToUtf8());
    return answer;
  }

  // A listing hands out one item per call until it returns 0.
  for (;;) {
    if (CallFailed(session.Call(method, args, outcome), session, answer)) return answer;
    if (!outcome.Return.IsInt() || outcome.Return.AsInt() == 0) {
      answer.Json["result"] = ValueJson(outcome.Return);
      return answer;
    }
    answer.Json["items"].push_back(OutputsJson(signature, outcome));
    answer.Text += OutputsLine(signature, outcome) + "\n";
  }
}

}  // namespace

TCallAnswer CallFunction(TSession& session, const TCallRequest& request) {
  TCallAnswer answer = Called(session, request);
  if (answer.Status != ExitOk) return answer;
  TJson reports = TJson::array();
  for (const TErrorReport& report : answer.Reports)
    reports.push_back(TJson{{"code", report.Code}, {"text", report.Description}});
  answer.Json["reports"] = std::move(reports);
  return answer;
}

int RunCall(const TSessionOptions& options, const TCallRequest& request, bool json) {
  TSession session(options);
  std::string said;
  const bool loaded = StartAndLoad(session, request.Directory, said);
  if (const int status = PrintLoaded(said, loaded); !loaded) return status;
  const TCallAnswer answer = CallFunction(session, request);
  Err(ReportsText(answer.Reports));
  // A call the component failed has its reports alone to say.
  if (answer.Status != ExitOk && answer.Error.empty()) return answer.Status;
  return PrintAnswer(answer, json);
}

}  // namespace kalamos
