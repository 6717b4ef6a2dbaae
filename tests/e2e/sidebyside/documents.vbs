' Every document with its head and table attributes, through whichever build of the
' component this cscript can load. Usage: cscript //nologo documents.vbs BASE_DIR RESULT_FILE
' (the result is UTF-16; its first line names the process's architecture).
Option Explicit
Dim fso, out, o, doc
Set fso = CreateObject("Scripting.FileSystemObject")
Set out = fso.CreateTextFile(WScript.Arguments(1), True, True)
out.WriteLine "process: " & CreateObject("WScript.Shell").Environment("Process")("PROCESSOR_ARCHITECTURE")
Set o = CreateObject("AddIn.kalamos")
o.Загрузить WScript.Arguments(0)

Do While o.ПеречислитьОбъекты("Документ", doc)
  out.WriteLine "Документ " & doc
  Attributes doc, "head", False
  Attributes doc, "table", True
Loop
out.Close

Sub Attributes(doc, title, tablePart)
  Dim name, kind, synonym, length, precision, ref, more
  Do
    If tablePart Then
      more = o.РеквизитыТаблицы(doc, name, kind, synonym, length, precision, ref)
    Else
      more = o.РеквизитыШапки(doc, name, kind, synonym, length, precision, ref)
    End If
    If more = 0 Then Exit Do
    out.WriteLine "  " & title & ": " & name & " | " & kind & " | " & synonym & " | " & length & " | " & _
      precision & " | " & ref
  Loop
End Sub
