' Как ошибка компоненты доходит до скрипта: вызов завершается ошибкой, Err.Source — "Scholion",
' Err.Description — текст сообщения (тот же, что компонента пишет в журнал ошибок хоста).
' Запуск: cscript //nologo errors.vbs "C:\Базы\Торговля"
Option Explicit

Dim o, base, value
If WScript.Arguments.Count <> 1 Then
  WScript.Echo "Укажите каталог информационной базы: cscript //nologo errors.vbs ""C:\Базы\Торговля"""
  WScript.Quit 2
End If
base = WScript.Arguments(0)
Set o = CreateObject("AddIn.kalamos")

On Error Resume Next

value = o.ЧислоЗначенийПеречисления("ВидыОплаты")
Report "Вызов до Загрузить"

value = o.Загрузить(base)
Report "Загрузить вернул " & value

' Повторная загрузка не ошибка для скрипта: она возвращает 0, а сообщение
' "Возможен только один вызов Load" получает только журнал ошибок хоста.
value = o.Загрузить(base)
Report "Повторный Загрузить вернул " & value

value = o.ЧислоЗначенийПеречисления("НетТакогоПеречисления")
Report "Неизвестное перечисление"

value = o.ЗначениеПоНомеруСтр("ВидыОплаты", "второй")
Report "Номер значения текстом"

value = o.ЗначениеПоНомеруСтр("ВидыОплаты", 100)
Report "Номер за пределами списка (не ошибка, пустая строка: """ & value & """)"

' Проверяйте Err.Description: под Wine Err.Number у таких ошибок равен 0.
Sub Report(what)
  If Err.Description <> "" Then
    WScript.Echo what & ": ошибка, источник " & Err.Source & ": " & Err.Description
  Else
    WScript.Echo what & ": без ошибки"
  End If
  Err.Clear
End Sub
