// The component as an automation object: names to dispatch identifiers, Invoke's argument
// order, by-reference outputs, defaults, refusals, and reports turned into exceptions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "resources/StringIds.h"
#include "methods/Functions.h"
#include "shell/Ostrak.h"
#include "tests/support/OleValues.h"
#include "tests/support/CallFixture.h"
#include "tests/support/ContainerBuilder.h"
#include "tests/support/MockDispatch.h"

using namespace kalamos;

namespace {

// A by-reference argument to a variable of the test, as VBScript passes its variables.
VARIANT RefTo(TVariant& variable) {
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_VARIANT;
  ref.pvarVal = variable.Get();
  return ref;
}

VARIANT Omitted() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

// Looks a name up through IDispatch; DISPID_UNKNOWN when refused.
DISPID IdOf(IDispatch* dispatch, const std::string& utf8, HRESULT* hr = nullptr) {
  WideString wide = Utf8ToWide(utf8);
  LPOLESTR names[] = {wide.data()};
  DISPID id = 12345;
  const HRESULT got = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (hr) *hr = got;
  return id;
}

// The outcome of one Invoke.
struct TInvokeOutcome {
  HRESULT Hr = S_OK;
  TVariant Result;
  EXCEPINFO Excep{};
  UINT ArgErr = 999;

  TInvokeOutcome() { std::memset(&Excep, 0, sizeof Excep); }
  ~TInvokeOutcome() {
    SysFreeString(Excep.bstrSource);
    SysFreeString(Excep.bstrDescription);
    SysFreeString(Excep.bstrHelpFile);
  }
  std::string Description() const {
    WideString text = FromBstr(Excep.bstrDescription);
    return WideToUtf8(text.data(), text.size());
  }
};

// Arguments in script order; they go to Invoke last first, as automation passes them.
void InvokeInto(TInvokeOutcome& out, IDispatch* dispatch, DISPID id, std::vector<VARIANT> args,
                WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  out.Hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out.Result.Get(), &out.Excep,
                            &out.ArgErr);
}

class IDispatchFace : public TCallFixture {
protected:
  IDispatchFace() {
    LoadText(SampleConfig());
    EXPECT_EQ(S_OK, Object->QueryInterface(IID_IDispatch, Dispatch.OutVoid()));
  }
  // Calls a function by its name; plain arguments are taken over and freed afterwards,
  // by-reference ones stay the test's.
  void Run(TInvokeOutcome& out, const std::string& name, std::vector<VARIANT> args) {
    const DISPID id = IdOf(Dispatch.Get(), name);
    EXPECT_NE(id, DISPID_UNKNOWN) << name;
    InvokeInto(out, Dispatch.Get(), id, args);
    Free(args);
  }
  static VARIANT Text(const char* utf8) {
    VARIANT v;
    VariantInit(&v);
    TVariant text = TVariant::Utf8(utf8);
    VariantCopy(&v, text.Get());
    return v;
  }
  static VARIANT Int(LONG value) { return Long(value); }
  static VARIANT Copy(const TVariant& value) {
    VARIANT v;
    VariantInit(&v);
    VariantCopy(&v, const_cast<VARIANT*>(value.Get()));
    return v;
  }
  // Frees what Text() made once the call is over.
  static void Free(std::vector<VARIANT>& args) {
    for (VARIANT& v : args)
      if (!(v.vt & VT_BYREF)) VariantClear(&v);
  }

  TComPtr<IDispatch> Dispatch;
};

}  // namespace

TEST_F(IDispatchFace, OneIdentityWhicheverInterfaceIsAsked) {
  IInitDone* initDone = nullptr;
  IScriptAugment* augment = nullptr;
  IUnknown* viaDispatch = nullptr;
  IUnknown* viaInitDone = nullptr;
  ASSERT_EQ(S_OK, Dispatch->QueryInterface(IID_IInitDone, reinterpret_cast<void**>(&initDone)));
  ASSERT_EQ(S_OK, Dispatch->QueryInterface(IID_IScriptAugment, reinterpret_cast<void**>(&augment)));
  ASSERT_EQ(S_OK, Dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaDispatch)));
  ASSERT_EQ(S_OK, initDone->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaInitDone)));
  EXPECT_EQ(viaDispatch, viaInitDone);
  IDispatch* again = nullptr;
  ASSERT_EQ(S_OK, augment->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&again)));
  EXPECT_EQ(again, Dispatch.Get());
  // The fixture's reference, the test's IDispatch and the five handed out here: one count.
  EXPECT_EQ(8u, again->AddRef());
  again->Release();
  for (IUnknown* held : {static_cast<IUnknown*>(initDone), static_cast<IUnknown*>(augment), viaDispatch,
                         viaInitDone, static_cast<IUnknown*>(again)})
    held->Release();
  EXPECT_EQ(3u, Object->AddRef());
  Object->Release();

  UINT count = 7;
  EXPECT_EQ(S_OK, Dispatch->GetTypeInfoCount(&count));
  EXPECT_EQ(0u, count);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(this);
  EXPECT_EQ(E_NOTIMPL, Dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
  EXPECT_EQ(nullptr, info);
}

TEST_F(IDispatchFace, EveryWholeNameInBothLanguagesAndAnyCase) {
  for (int i = 0; i < MethodCount; ++i) {
    const std::string entry = AnsiToUtf8(MethodEntry(i));
    const size_t semicolon = entry.find(';');
    const std::string english = entry.substr(0, semicolon);
    const std::string russian = entry.substr(semicolon + 1);
    for (const std::string& name : {english, russian, AnsiToUtf8(AnsiUpper(Utf8ToAnsi(english))),
                                    AnsiToUtf8(AnsiUpper(Utf8ToAnsi(russian)))})
      EXPECT_EQ(IdOf(Dispatch.Get(), name), i) << name;
  }
  EXPECT_EQ(IdOf(Dispatch.Get(), "перечислитьобъекты"), MethodEnumObjects);
  EXPECT_EQ(IdOf(Dispatch.Get(), "eNUMvALcOUNT"), MethodEnumValCount);
}

TEST_F(IDispatchFace, PiecesAndStrangersAreUnknownNames) {
  // FindMethod would take each of these; automation wants whole names.
  for (const char* name : {"Enum", "Load;Загрузить", "d;З", "Attr", "", "Load ", " Load", "EnumValues2",
                           "Ｌｏａｄ", "Lоad" /* Cyrillic о */}) {
    HRESULT hr = S_OK;
    EXPECT_EQ(IdOf(Dispatch.Get(), name, &hr), DISPID_UNKNOWN) << name;
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME) << name;
  }
  // A parameter name after the member: the member is known, the parameter is not.
  WideString member = Utf8ToWide("ValueByNum"), param = Utf8ToWide("number");
  LPOLESTR names[] = {member.data(), param.data()};
  DISPID ids[2] = {7, 7};
  EXPECT_EQ(DISP_E_UNKNOWNNAME, Dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
  EXPECT_EQ(ids[0], MethodValueByNum);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, Dispatch->GetIDsOfNames(IID_IDispatch, names, 1, 0, ids));
}

TEST_F(IDispatchFace, ArgumentsArriveInScriptOrderWithTheFunctionsAnswer) {
  // Reversed, the number would be the enumeration's name and the call a type error.
  TInvokeOutcome byNumber;
  Run(byNumber, "ValueByNum", {Text("Colors"), Int(1)});
  EXPECT_EQ(S_OK, byNumber.Hr);
  EXPECT_TRUE(IsText(byNumber.Result, "Blue"));

  // VBScript's literal 2 is a VT_I2; smaller whole numbers widen exactly, anything else is
  // left for the function to refuse.
  SHORT small = 2;
  VARIANT smallRef;
  VariantInit(&smallRef);
  smallRef.vt = VT_BYREF | VT_I2;
  smallRef.piVal = &small;
  VARIANT i2 = Long(2), ui1 = Long(0), r8 = Long(0);
  i2.vt = VT_I2;
  i2.iVal = 2;
  ui1.vt = VT_UI1;
  ui1.bVal = 2;
  r8.vt = VT_R8;
  r8.dblVal = 2.0;
  for (const VARIANT& number : {i2, ui1, smallRef}) {
    TInvokeOutcome widened;
    Run(widened, "ValueByNum", {Text("Colors"), number});
    EXPECT_TRUE(IsText(widened.Result, "Green")) << number.vt;
  }
  EXPECT_EQ(small, 2);
  TInvokeOutcome real;
  Run(real, "ValueByNum", {Text("Colors"), r8});
  EXPECT_EQ(DISP_E_EXCEPTION, real.Hr);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));

  EXPECT_TRUE(Quiet());
}

TEST_F(IDispatchFace, ByReferenceArgumentsAreReadAndOutputsWrittenBack) {
  // VBScript's loop: Do While o.EnumObjects(kind, name) ... Loop, kind and name by reference.
  TVariant kind = TVariant::Utf8("Документ");
  TVariant name = TVariant::Utf8("untouched");
  std::vector<std::string> seen;
  for (int guard = 0; guard < 10; ++guard) {
    TInvokeOutcome step;
    Run(step, "EnumObjects", {RefTo(kind), RefTo(name)});
    ASSERT_EQ(S_OK, step.Hr);
    if (step.Result.AsInt() == 0) break;
    seen.push_back(name.ToUtf8());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"Receipt", "Waybill", "Invoice"}));
  EXPECT_EQ(name.ToUtf8(), "Invoice") << "the closing call writes nothing";
  EXPECT_TRUE(IsText(kind, "Документ"));

  // Six outputs of one head attribute, into slots of either kind; the typed ones keep their type.
  TVariant document = TVariant::Utf8("Invoice"), kindOut, ref;
  BSTR attrName = SysAllocString(OLESTR("old"));
  LONG type = -1, length = -1, precision = -1;
  VARIANT typedName, typedType, typedLength, typedPrecision;
  VariantInit(&typedName);
  typedName.vt = VT_BYREF | VT_BSTR;
  typedName.pbstrVal = &attrName;
  for (auto [slot, target] : {std::pair{&typedType, &type}, {&typedLength, &length}, {&typedPrecision, &precision}}) {
    VariantInit(slot);
    slot->vt = VT_BYREF | VT_I4;
    slot->plVal = target;
  }
  TInvokeOutcome head;
  Run(head, "РеквизитыШапки",
      {RefTo(document), typedName, typedType, RefTo(kindOut), typedLength, typedPrecision, RefTo(ref)});
  EXPECT_EQ(S_OK, head.Hr);
  EXPECT_TRUE(IsLong(head.Result, 1));
  EXPECT_EQ(FromBstr(attrName), Utf8ToWide("Note"));
  EXPECT_EQ(type, 2);
  EXPECT_TRUE(IsText(kindOut, "syn"));
  EXPECT_EQ(length, 25);
  EXPECT_EQ(precision, 0) << "a text has no precision";
  EXPECT_EQ(ref.Type(), VT_BSTR);
  SysFreeString(attrName);

  // A reference to nothing, and one variant referring to another reference: refused, and
  // the argument named, before the function runs.
  VARIANT nowhere;
  VariantInit(&nowhere);
  nowhere.vt = VT_BYREF | VT_I4;
  nowhere.plVal = nullptr;
  VARIANT inner = RefTo(document);
  VARIANT twice;
  VariantInit(&twice);
  twice.vt = VT_BYREF | VT_VARIANT;
  twice.pvarVal = &inner;
  for (const VARIANT& bad : {nowhere, twice}) {
    TInvokeOutcome refused;
    Run(refused, "ValueByNum", {Text("Colors"), bad});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, refused.Hr) << bad.vt;
    EXPECT_EQ(0u, refused.ArgErr);
  }
  EXPECT_TRUE(Quiet());
}

TEST_F(IDispatchFace, AnOutputThatDoesNotFitItsTypedSlotIsAnError) {
  LONG number = 5;
  VARIANT slot;
  VariantInit(&slot);
  slot.vt = VT_BYREF | VT_I4;
  slot.plVal = &number;
  TInvokeOutcome out;
  Run(out, "EnumObjects", {Text("Document"), slot});
  EXPECT_EQ(DISP_E_TYPEMISMATCH, out.Hr) << "a name cannot go into a number, and must not vanish silently";
  EXPECT_EQ(0u, out.ArgErr);
  EXPECT_EQ(5, number);
}

TEST_F(IDispatchFace, MissingArgumentsTakeTheHostsDefaults) {
  // SetAttr without its date: the periodic attribute's value object gets today.
  TMockDispatch value;
  value.Knows("setValue", 7).OnInvoke(7, [](const TMockDispatch::TInvoke&, VARIANT*) { return S_OK; });
  TMockDispatch item;
  MakeCatalogueItem(item, "Clients");
  item.Knows("RATING", 60).OnInvoke(60, [&](const TMockDispatch::TInvoke&, VARIANT* result) -> HRESULT {
    VariantCopy(result, value.AsParam().Get());
    return S_OK;
  });
  TVariant object = item.AsParam();
  TVariant today;
  ASSERT_EQ(S_OK, Object->GetParamDefValue(MethodSetAttr, 3, today.Get()));
  // Left off the end, or marked omitted as a script leaves an argument out.
  TInvokeOutcome trailing, marked;
  Run(trailing, "SetAttr", {Copy(object), Text("Rating"), Int(9)});
  Run(marked, "УстановитьРеквизит", {Copy(object), Text("Rating"), Int(9), Omitted()});
  for (TInvokeOutcome* set : {&trailing, &marked}) {
    EXPECT_EQ(S_OK, set->Hr);
    EXPECT_TRUE(IsLong(set->Result, 1));
  }
  ASSERT_EQ(value.Invokes.size(), 2u);
  for (const auto& call : value.Invokes) {
    ASSERT_EQ(call.Args.size(), 2u);
    EXPECT_EQ(call.Args[1].Type(), VT_DATE);
    EXPECT_EQ(call.Args[1].Get()->date, today.Get()->date);
  }
  EXPECT_TRUE(Quiet());
}

TEST_F(IDispatchFace, CallsTheFunctionsCannotTakeAreRefusedBeforeAnythingRuns) {
  const DISPID enumObjects = IdOf(Dispatch.Get(), "EnumObjects");
  TVariant name;
  struct {
    const char* Title;
    DISPID Id;
    WORD Flags;
    int Args;
    bool Named;
    HRESULT Expected;
  } cases[] = {
      {"three arguments for two", enumObjects, DISPATCH_METHOD, 3, false, DISP_E_BADPARAMCOUNT},
      {"a named argument", enumObjects, DISPATCH_METHOD, 2, true, DISP_E_NONAMEDARGS},
      {"a property write", enumObjects, DISPATCH_PROPERTYPUT, 1, false, DISP_E_MEMBERNOTFOUND},
      {"a property read with arguments", enumObjects, DISPATCH_PROPERTYGET, 2, false, DISP_E_MEMBERNOTFOUND},
      {"no such member", MethodCount, DISPATCH_METHOD, 0, false, DISP_E_MEMBERNOTFOUND},
      {"a negative member", -4, DISPATCH_METHOD, 0, false, DISP_E_MEMBERNOTFOUND},
  };
  for (const auto& c : cases) {
    std::vector<VARIANT> args;
    for (int i = 0; i < c.Args; ++i) args.push_back(i == 0 ? Text("Document") : RefTo(name));
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), c.Named ? &named : nullptr, static_cast<UINT>(args.size()), c.Named ? 1u : 0u};
    TVariant result;
    EXPECT_EQ(c.Expected, Dispatch->Invoke(c.Id, IID_NULL, 0, c.Flags, &params, result.Get(), nullptr, nullptr))
        << c.Title;
    EXPECT_EQ(result.Type(), VT_EMPTY) << c.Title;
    Free(args);
  }
  EXPECT_EQ(name.Type(), VT_EMPTY);
  // Nothing ran: the document walk still starts with the first document.
  EXPECT_TRUE(Quiet());
  TInvokeOutcome first;
  Run(first, "EnumObjects", {Text("Document"), RefTo(name)});
  EXPECT_TRUE(IsText(name, "Receipt"));

  TInvokeOutcome wrongInterface;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
            Dispatch->Invoke(MethodEnumObjects, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
}

TEST_F(IDispatchFace, AReportBecomesTheCallersExceptionAndStillReachesTheLog) {
  TVariant name = TVariant::Utf8("kept");
  TInvokeOutcome out;
  out.Result = TVariant::Int(77);
  Run(out, "EnumObjects", {Text("Nothing"), RefTo(name)});
  EXPECT_EQ(DISP_E_EXCEPTION, out.Hr);
  EXPECT_EQ(MsgCodeError, out.Excep.wCode);
  EXPECT_EQ(0, out.Excep.scode);
  EXPECT_EQ(FromBstr(out.Excep.bstrSource), Utf8ToWide("Scholion"));
  EXPECT_EQ(out.Description(), "Неверное имя реквизита");
  EXPECT_TRUE(IsLong(out.Result, 77)) << "the caller's result stays as it was";
  EXPECT_TRUE(IsText(name, "kept"));
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_NAME));

  // Without room for the exception the failure is still one.
  VARIANT arg = Text("Nothing");
  DISPPARAMS params{&arg, nullptr, 1, 0};
  EXPECT_EQ(DISP_E_EXCEPTION, Dispatch->Invoke(IdOf(Dispatch.Get(), "RefInfo"), IID_NULL, 0, DISPATCH_METHOD, &params,
                                               nullptr, nullptr, nullptr));
  VariantClear(&arg);
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_NAME));

  // A report of a call that succeeds is no exception, and the next failure's exception is
  // its own, not an old report's.
  TInvokeOutcome again;
  Run(again, "Load", {Text("/nowhere")});
  EXPECT_EQ(S_OK, again.Hr);
  EXPECT_TRUE(IsLong(again.Result, 0));
  EXPECT_EQ(nullptr, again.Excep.bstrDescription);
  EXPECT_TRUE(Reported(MsgCodeInfo, IDS_LOAD_TWICE));
  TInvokeOutcome slot;
  Run(slot, "ResetEnum", {Int(8)});
  EXPECT_EQ(DISP_E_EXCEPTION, slot.Hr);
  EXPECT_EQ(slot.Description(), "Неверный тип параметра");
  EXPECT_TRUE(Reported(MsgCodeError, IDS_BAD_PARAM_TYPE));
}

// An object that never met the host: it loads, answers, and reports only to the caller.
TEST(IDispatchWithoutInit, LoadsAndReportsThroughExceptionsAlone) {
  TTempDir dir;
  ASSERT_EQ(S_OK, WriteContainer(dir, "{\"EnumList\",\r\n{\"10\",\"Цвета\",\"\",\r\n{\"EnumVal\",\r\n"
                                      "{\"11\",\"Красный\",\"\"},\r\n{\"12\",\"Синий\",\"\"}}}}\r\n}\r\n",
                                 {.CodePage = 866}));
  TOstrak* object = new TOstrak;
  object->AddRef();
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(S_OK, object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));

  TVariant colors = TVariant::Utf8("цвета");
  TInvokeOutcome early;
  InvokeInto(early, dispatch, IdOf(dispatch, "EnumValCount"), {RefTo(colors)});
  EXPECT_EQ(DISP_E_EXCEPTION, early.Hr);
  EXPECT_EQ(early.Description(), "Компонента не инициализированна");

  TVariant directory = TVariant::Utf8(dir.Utf8());
  TInvokeOutcome load;
  InvokeInto(load, dispatch, IdOf(dispatch, "загрузить"), {RefTo(directory)});
  ASSERT_EQ(S_OK, load.Hr);
  EXPECT_TRUE(load.Result.IsInt() && load.Result.AsInt() == 1) << load.Result.ToUtf8();

  TInvokeOutcome second;
  InvokeInto(second, dispatch, IdOf(dispatch, "ValueByNum"), {RefTo(colors), Long(2)});
  EXPECT_EQ(S_OK, second.Hr);
  EXPECT_EQ(second.Result.ToUtf8(), "Красный");
  EXPECT_EQ(1u, dispatch->Release());
  EXPECT_EQ(0u, object->Release());
}
