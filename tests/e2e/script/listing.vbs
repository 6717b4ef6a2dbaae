' Lists through the component's by-reference outputs, as a VBScript user would.
' Usage: cscript //nologo listing.vbs BASE_DIR RESULT_FILE (the result is UTF-16).
Option Explicit
Dim fso, out, o, name, attrName, attrType, attrKind, attrLength, attrPrecision, attrRef
Set fso = CreateObject("Scripting.FileSystemObject")
Set out = fso.CreateTextFile(WScript.Arguments(1), True, True)
Set o = CreateObject("AddIn.kalamos")

out.WriteLine "load: " & o.Load(WScript.Arguments(0))

out.WriteLine "[EnumObjects Документ]"
Do While o.EnumObjects("Документ", name)
  out.WriteLine "name: " & name
Loop

out.WriteLine "[ПеречислитьОбъекты Обработка]"
Do While o.ПеречислитьОбъекты("Обработка", name)
  out.WriteLine "name: " & name
Loop

out.WriteLine "[РеквизитыШапки расходнаянакладная]"
Do While o.РеквизитыШапки("расходнаянакладная", attrName, attrType, attrKind, attrLength, attrPrecision, attrRef)
  out.WriteLine RTrim("name: " & attrName & ", type: " & attrType & ", kind: " & attrKind & ", length: " & _
    attrLength & ", precision: " & attrPrecision & ", ref: " & attrRef)
Loop

out.WriteLine "[ValueByNum ВидыОплаты 2]"
out.WriteLine "result: " & o.ValueByNum("ВидыОплаты", 2)

out.WriteLine "[EnumObjects Нечто]"
On Error Resume Next
o.EnumObjects "Нечто", name
out.WriteLine Err.Source & " " & Err.Description
On Error GoTo 0
out.Close
