// Microsoft's Language Server Protocol library (the one VS Code's clients are built on) as a
// client of `ostrak lsp`: one server for the whole run, driven through every feature on the
// unpacked test configuration that make-folder.sh writes.
//   node client.mjs FOLDER -- COMMAND [ARGS...]
// The server is started as COMMAND ARGS... lsp, in the current directory; the workspace comes
// from the client's rootUri and workspaceFolders.
import { spawn } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import protocol from 'vscode-languageserver-protocol/node.js';

const {
  createProtocolConnection, StreamMessageReader, StreamMessageWriter, InitializeRequest, InitializedNotification,
  DidOpenTextDocumentNotification, DidChangeTextDocumentNotification, DidChangeWatchedFilesNotification,
  PublishDiagnosticsNotification, DocumentSymbolRequest, DefinitionRequest, ReferencesRequest, HoverRequest,
  CompletionRequest, WorkspaceSymbolRequest, ShutdownRequest, ExitNotification, RegistrationRequest,
  TextDocumentSyncKind, FileChangeType,
} = protocol;

const argv = process.argv.slice(2);
if (argv[1] !== '--' || argv.length < 3) {
  console.error('usage: node client.mjs FOLDER -- COMMAND [ARGS...]');
  process.exit(2);
}
const folder = resolve(argv[0]);
const [command, ...prefix] = argv.slice(2);

let passed = 0;
let failed = 0;
function check(condition, what, detail) {
  if (condition) {
    passed++;
  } else {
    failed++;
    console.log(`FAIL: ${what}`);
    if (detail !== undefined) console.log(`    ${typeof detail === 'string' ? detail : JSON.stringify(detail)}`.slice(0, 2000));
  }
}

const rootUri = pathToFileURL(folder).href;
const uriOf = (file) => pathToFileURL(resolve(folder, file)).href;
const sale = uriOf('Документы/РасходнаяНакладная/Модуль документа.txt');
const receipt = uriOf('Документы/ПриходнаяНакладная/Модуль документа.txt');
const global = uriOf('Конфигурация/Торговля/Глобальный модуль.txt');

const child = spawn(command, [...prefix, 'lsp'], { cwd: process.cwd(), env: { ...process.env }, stdio: ['pipe', 'pipe', 'pipe'] });
let stderr = '';
child.stderr.on('data', (chunk) => { stderr += chunk; });
const exited = new Promise((done) => child.on('exit', (code) => done(code)));
const connection = createProtocolConnection(new StreamMessageReader(child.stdout), new StreamMessageWriter(child.stdin));

// The latest diagnostics of each document, and whoever waits for the next.
const diagnostics = new Map();
const waiting = new Map();
connection.onNotification(PublishDiagnosticsNotification.type, (params) => {
  diagnostics.set(params.uri, params);
  (waiting.get(params.uri) ?? []).forEach((done) => done(params));
  waiting.delete(params.uri);
});
let registered = [];
connection.onRequest(RegistrationRequest.type, (params) => { registered = params.registrations; return null; });
connection.listen();
function nextDiagnostics(uri) {
  return new Promise((done, fail) => {
    waiting.set(uri, [...(waiting.get(uri) ?? []), done]);
    setTimeout(() => fail(new Error(`no diagnostics of ${uri} in 20 s; the server said: ${stderr}`)), 20000).unref();
  });
}
const at = (uri, line, character) => ({ textDocument: { uri }, position: { line, character } });
const labels = (items) => (Array.isArray(items) ? items : items?.items ?? []).map((i) => i.label);
const hoverText = (hover) => (hover?.contents?.value ?? '');

try {
  const init = await connection.sendRequest(InitializeRequest.type, {
    processId: process.pid, rootUri, workspaceFolders: [{ uri: rootUri, name: 'folder' }],
    capabilities: { workspace: { didChangeWatchedFiles: { dynamicRegistration: true } } },
  });
  const caps = init.capabilities;
  check(caps.textDocumentSync?.change === TextDocumentSyncKind.Incremental && caps.definitionProvider && caps.referencesProvider &&
        caps.hoverProvider && caps.documentSymbolProvider && caps.workspaceSymbolProvider && caps.completionProvider,
        'initialize advertises every feature', caps);
  await connection.sendNotification(InitializedNotification.type, {});

  // --- diagnostics as the document opens ----------------------------------------------------
  const text = readFileSync(resolve(folder, 'Документы/РасходнаяНакладная/Модуль документа.txt'), 'utf8');
  const opened = nextDiagnostics(sale);
  await connection.sendNotification(DidOpenTextDocumentNotification.type, { textDocument: { uri: sale, languageId: 'bsl', version: 1, text } });
  const first = await opened;
  const described = first.diagnostics.map((d) => `${d.code}@${d.range.start.line}:${d.range.start.character}/${d.severity}`);
  check(JSON.stringify(described) === JSON.stringify(['too-many-arguments@3:1/2', 'unknown-object@7:8/2', 'too-many-arguments@9:6/2']),
        'diagnostics: the call with an argument too many, the unknown catalogue, the component call with one too many', described);
  check(registered.some((r) => r.method === 'workspace/didChangeWatchedFiles'), 'the server asks to hear of files changed on disk', registered);

  // --- outline, definition, references --------------------------------------------------------
  const symbols = await connection.sendRequest(DocumentSymbolRequest.type, { textDocument: { uri: sale } });
  check(JSON.stringify(symbols.map((s) => [s.name, s.kind, s.range.start.line, s.range.end.line])) ===
        JSON.stringify([['ОбработкаПроведения', 12, 2, 11], ['Остр', 13, 0, 0]]), 'documentSymbol: the procedure and the module variable', symbols);
  let definition = await connection.sendRequest(DefinitionRequest.type, at(sale, 3, 3));
  check(definition?.uri === global && definition.range.start.line === 2 && definition.range.start.character === 10,
        'definition: a call goes to the global module\'s export', definition);
  definition = await connection.sendRequest(DefinitionRequest.type, at(sale, 5, 25));
  check(definition?.uri === uriOf('Справочники/Контрагенты/Метаданные.txt'), 'definition: "Справочник.Контрагенты" in a string goes to the catalogue\'s file', definition);
  definition = await connection.sendRequest(DefinitionRequest.type, at(sale, 6, 22));
  check(definition?.uri === uriOf('Перечисления/ВидыОплаты/Метаданные.txt'), 'definition: Перечисление.ВидыОплаты goes to the enumeration\'s file', definition);
  const references = await connection.sendRequest(ReferencesRequest.type, { ...at(global, 2, 12), context: { includeDeclaration: true } });
  check(JSON.stringify(references.map((r) => [r.uri, r.range.start.line]).sort()) ===
        JSON.stringify([[global, 2], [receipt, 1], [sale, 3]].sort()), 'references: the declaration and the calls in both documents', references);

  // --- hover ----------------------------------------------------------------------------------
  let hover = await connection.sendRequest(HoverRequest.type, at(sale, 3, 3));
  check(hoverText(hover).includes('Процедура Записать(Знач Текст) Экспорт') && hoverText(hover).includes('Пишет в журнал.'),
        'hover on a call: the signature and the comment above the procedure', hover);
  hover = await connection.sendRequest(HoverRequest.type, at(sale, 5, 30));
  check(['Справочник Контрагенты', 'Покупатели и поставщики', 'КредитныйЛимит', 'Число 15.2'].every((w) => hoverText(hover).includes(w)),
        'hover on a catalogue: kind, comment, attributes with their types', hover);
  hover = await connection.sendRequest(HoverRequest.type, at(sale, 9, 9));
  check(hoverText(hover).includes('`Загрузить(Каталог)` — читает описание конфигурации'), 'hover on the component\'s function: the guide\'s line', hover);

  // --- completion, after an incremental change ------------------------------------------------
  const changed = nextDiagnostics(sale);
  await connection.sendNotification(DidChangeTextDocumentNotification.type, {
    textDocument: { uri: sale, version: 2 },
    contentChanges: [{ range: { start: { line: 11, character: 0 }, end: { line: 11, character: 0 } },
      text: '\tА = "Справочник.";\n\tБ = Перечисление.ВидыОплаты.;\n\tОстр.;\n\t\n\tЗаписать(1, 2, 3);\n' }],
  });
  const second = await changed;
  check(second.version === 2 && second.diagnostics.some((d) => d.range.start.line === 15 && d.code === 'too-many-arguments'),
        'diagnostics follow the change', second);
  let items = labels(await connection.sendRequest(CompletionRequest.type, at(sale, 11, 17)));
  check(items.includes('Контрагенты') && items.includes('Фирмы') && !items.includes('ВидыОплаты'), 'completion in a string after Справочник.: catalogues', items);
  items = labels(await connection.sendRequest(CompletionRequest.type, at(sale, 12, 29)));
  check(JSON.stringify(items.sort()) === JSON.stringify(['Бартер', 'Безналичные', 'Наличные']), 'completion after Перечисление.ВидыОплаты.: its values', items);
  const component = await connection.sendRequest(CompletionRequest.type, at(sale, 13, 6));
  items = labels(component);
  check(items.length === 38 && items.includes('Загрузить') && items.includes('Load') && items.includes('ПараметрыСправочника'),
        'completion after Остр.: the nineteen functions by both names', items);
  const load = (Array.isArray(component) ? component : []).find((i) => i.label === 'ЗначениеПоНомеруСтр');
  check(load?.detail === 'ЗначениеПоНомеруСтр(Перечисление, Номер)', 'a function\'s item shows its parameters', load);
  items = labels(await connection.sendRequest(CompletionRequest.type, at(sale, 14, 1)));
  check(['ОбработкаПроведения', 'Записать', 'Сумма', 'Если', 'КонецЦикла'].every((w) => items.includes(w)),
        'completion elsewhere: the module\'s procedures, global exports, keywords', items);

  // --- workspace symbols, files changed on disk -----------------------------------------------
  const found = await connection.sendRequest(WorkspaceSymbolRequest.type, { query: 'сумм' });
  check(found.some((s) => s.name === 'Сумма' && s.location.uri === global), 'workspace/symbol: a procedure by a piece of its name', found);
  const objects = await connection.sendRequest(WorkspaceSymbolRequest.type, { query: 'ВидыОпл' });
  check(objects.some((s) => s.name === 'ВидыОплаты' && s.location.uri === uriOf('Перечисления/ВидыОплаты/Метаданные.txt')),
        'workspace/symbol: an object by name', objects);
  writeFileSync(resolve(folder, 'Документы/ПриходнаяНакладная/Модуль документа.txt'),
                'Процедура ОбработкаПроведения()\n\tСумма(1, 2);\nКонецПроцедуры\n');
  await connection.sendNotification(DidChangeWatchedFilesNotification.type, { changes: [{ uri: receipt, type: FileChangeType.Changed }] });
  const callers = await connection.sendRequest(ReferencesRequest.type, { ...at(global, 5, 10), context: { includeDeclaration: false } });
  check(callers.some((r) => r.uri === receipt && r.range.start.line === 1), 'a file changed on disk is read again', callers);

  await connection.sendRequest(ShutdownRequest.type);
  await connection.sendNotification(ExitNotification.type);
  check(await exited === 0, 'exit after shutdown: status 0');
} catch (error) {
  check(false, 'the session runs to its end', `${error}; the server said: ${stderr}`);
  child.kill();
}
connection.dispose();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
