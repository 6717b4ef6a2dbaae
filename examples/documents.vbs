' Документы конфигурации с реквизитами шапки и табличной части.
' Запуск: cscript //nologo documents.vbs "C:\Базы\Торговля"
' На 64-разрядной Windows так работает 64-разрядный cscript, если зарегистрирована kalamos64.dll;
' с одной kalamos.dll: %windir%\SysWOW64\cscript.exe //nologo documents.vbs "C:\Базы\Торговля"
Option Explicit

Dim o, doc
If WScript.Arguments.Count <> 1 Then
  WScript.Echo "Укажите каталог информационной базы: cscript //nologo documents.vbs ""C:\Базы\Торговля"""
  WScript.Quit 2
End If

Set o = CreateObject("AddIn.kalamos")
On Error Resume Next
o.Загрузить WScript.Arguments(0)
If Err.Number <> 0 Or Err.Description <> "" Then
  WScript.Echo "Не удалось прочитать конфигурацию: " & Err.Description
  WScript.Quit 1
End If
On Error GoTo 0

' Каждый вызов перечисления отдаёт один элемент и возвращает 1; в конце возвращает 0.
Do While o.ПеречислитьОбъекты("Документ", doc)
  WScript.Echo "Документ " & doc
  ListAttributes doc, "Шапка", False
  ListAttributes doc, "Табличная часть", True
Loop

Sub ListAttributes(doc, title, tablePart)
  Dim name, kind, synonym, length, precision, ref, found
  found = False
  Do While NextAttribute(doc, tablePart, name, kind, synonym, length, precision, ref)
    If Not found Then WScript.Echo "  " & title & ":"
    found = True
    WScript.Echo "    " & name & " (" & synonym & "): " & TypeText(kind, length, precision, ref)
  Loop
  If Not found Then WScript.Echo "  " & title & ": нет реквизитов"
End Sub

Function NextAttribute(doc, tablePart, name, kind, synonym, length, precision, ref)
  If tablePart Then
    NextAttribute = o.РеквизитыТаблицы(doc, name, kind, synonym, length, precision, ref)
  Else
    NextAttribute = o.РеквизитыШапки(doc, name, kind, synonym, length, precision, ref)
  End If
End Function

' Код типа: 1 число, 2 строка, 3 дата, 10 перечисление, 11 справочник, 12 документ.
Function TypeText(kind, length, precision, ref)
  Select Case kind
    Case 1
      TypeText = "Число " & length
      If precision > 0 Then TypeText = TypeText & "." & precision
    Case 2: TypeText = "Строка " & length
    Case 3: TypeText = "Дата"
    Case 10: TypeText = "Перечисление." & ref
    Case 11: TypeText = "Справочник." & ref
    Case 12
      TypeText = "Документ"
      If ref <> "" Then TypeText = TypeText & "." & ref
    Case Else: TypeText = "Неопределённый"
  End Select
End Function
