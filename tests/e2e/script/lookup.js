// The functions that answer with their return value, and an error caught as an exception.
// Usage: cscript //nologo lookup.js BASE_DIR RESULT_FILE (the result is UTF-16).
var fso = new ActiveXObject("Scripting.FileSystemObject");
var out = fso.CreateTextFile(WScript.Arguments(1), true, true);
var o = new ActiveXObject("AddIn.kalamos");

out.WriteLine("load: " + o.Загрузить(WScript.Arguments(0)));
out.WriteLine("[ValueByNum ВидыОплаты 2]");
out.WriteLine("result: " + o.ЗначениеПоНомеруСтр("ВидыОплаты", 2));
out.WriteLine("[EnumValCount видыоплаты]");
out.WriteLine("result: " + o.enumvalcount("видыоплаты"));
out.WriteLine("[EnumValInternal ВидыОплаты бартер]");
out.WriteLine("result: " + o.EnumValInternal("ВидыОплаты", "бартер"));
out.WriteLine("[RefInfo Контрагенты 3]");
out.WriteLine("result: " + o.RefInfo("Контрагенты", 3));
out.WriteLine("[EnumObjects Нечто]");
try {
  o.EnumObjects("Нечто");
  out.WriteLine("no error");
} catch (e) {
  out.WriteLine(e.description);
}
out.Close();
