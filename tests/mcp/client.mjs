// The protocol's official TypeScript SDK as a client of `ostrak mcp`: it connects over
// standard input and output, lists the tools, calls each on the demo configuration and on a
// configuration laid out as real ones are, on one with modules and on one with 50,000 attributes,
// and lets the SDK check every structuredContent against the tool's outputSchema.
//   node client.mjs DEMO MODEL MODULES LARGE -- COMMAND [ARGS...]
// The server is started as COMMAND ARGS... mcp CONFIG, in the current directory (so that the
// configurations may be named relative to it, which also suits ostrak.exe under Wine).
import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';
import { AjvJsonSchemaValidator } from '@modelcontextprotocol/sdk/validation/ajv';

const argv = process.argv.slice(2);
const dash = argv.indexOf('--');
if (dash !== 4 || argv.length < 6) {
  console.error('usage: node client.mjs DEMO MODEL MODULES LARGE -- COMMAND [ARGS...]');
  process.exit(2);
}
const [demo, model, modules, large] = argv;
const [command, ...prefix] = argv.slice(5);

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

const expectedTools = ['summary', 'list_objects', 'show_object', 'find', 'where_used', 'resolve_path', 'lookup_id',
  'get_module', 'search_modules', 'list_procedures', 'get_procedure', 'find_callers', 'check_code', 'call_function'];

async function connect(config) {
  const client = new Client({ name: 'kalamos-sdk-test', version: '1.0.0' });
  // The whole environment: the SDK passes on only a few variables by default, and Wine's
  // wrapper needs its own (KALAMOS_WINEARCH).
  const transport = new StdioClientTransport({
    command, args: [...prefix, 'mcp', config], cwd: process.cwd(), env: { ...process.env }, stderr: 'pipe',
  });
  let stderr = '';
  transport.stderr?.on('data', (chunk) => { stderr += chunk; });
  try {
    await client.connect(transport);
  } catch (error) {
    throw new Error(`${error}; the server said: ${stderr}`);
  }
  return { client, stderr: () => stderr };
}

// A call that the SDK validated; the result, or the error the SDK raised.
async function call(client, name, args) {
  try {
    return await client.callTool({ name, arguments: args });
  } catch (error) {
    return { thrown: error };
  }
}

function textOf(result) {
  return (result.content ?? []).filter((c) => c.type === 'text').map((c) => c.text).join('\n');
}

// A successful call: no error from the SDK (which checked the output schema), not isError,
// structured content present and a text block for people.
async function answer(client, name, args, what) {
  const result = await call(client, name, args);
  const ok = !result.thrown && !result.isError && result.structuredContent && textOf(result).length > 0;
  check(ok, `${what}: ${name} answers with structured content the SDK accepts and a text`,
        result.thrown ? String(result.thrown) : result);
  return ok ? result : { structuredContent: {}, content: [] };
}

// A tool error: isError with a message holding each of the words.
async function refusal(client, name, args, words, what) {
  const result = await call(client, name, args);
  const text = result.thrown ? '' : textOf(result);
  check(!result.thrown && result.isError === true && result.structuredContent === undefined && words.every((w) => text.includes(w)),
        `${what}: ${name} answers isError naming ${words.join(', ')}`, result.thrown ? String(result.thrown) : result);
}

async function demoChecks() {
  const { client } = await connect(demo);
  check(client.getServerVersion()?.name === 'kalamos', 'serverInfo names kalamos', client.getServerVersion());
  check(client.getServerCapabilities()?.tools !== undefined, 'the server offers tools', client.getServerCapabilities());
  check(/Отвечает/.test(client.getInstructions() ?? ''), 'instructions in both languages', client.getInstructions());

  const { tools } = await client.listTools();
  check(JSON.stringify(tools.map((t) => t.name)) === JSON.stringify(expectedTools), 'the tools, in order', tools.map((t) => t.name));
  for (const tool of tools) {
    check(/[A-Za-z]{4}/.test(tool.description) && /[А-Яа-я]{4}/.test(tool.description), `${tool.name}: description in English and Russian`);
    check(tool.inputSchema?.type === 'object' && tool.outputSchema?.type === 'object', `${tool.name}: input and output schemas`);
    check(tool.annotations?.readOnlyHint === true, `${tool.name}: read-only`);
  }

  // The schemas are not vacuous: the SDK's own validator refuses a summary with a wrong member.
  const validator = new AjvJsonSchemaValidator();
  const summarySchema = tools.find((t) => t.name === 'summary').outputSchema;
  check(!validator.getValidator(summarySchema)({ name: 'x', objects: 'many', kinds: [] }).valid,
        "the SDK's validator refuses output that does not fit summary's schema");
  const showSchema = tools.find((t) => t.name === 'show_object').outputSchema;
  check(!validator.getValidator(showSchema)({ kind: 'REFERENCE', id: '1', name: 'x' }).valid,
        "the SDK's validator refuses a show_object answer without its parts");

  let r = await answer(client, 'summary', {}, 'demo');
  check(r.structuredContent.name === 'Торговля' && r.structuredContent.objects === 24, 'summary: Торговля, 24 objects', r.structuredContent);
  check(r.structuredContent.kinds?.find((k) => k.kind === 'DOCUMENT')?.count === 3, 'summary: 3 documents');

  r = await answer(client, 'list_objects', { kind: 'Документ' }, 'demo');
  check(JSON.stringify(r.structuredContent.objects?.map((o) => o.name)) === JSON.stringify(['РасходнаяНакладная', 'ПриходнаяНакладная', 'Оплата']),
        'list_objects: the documents in the order of the text', r.structuredContent);
  r = await answer(client, 'list_objects', { kind: 'reference' }, 'demo');
  check(r.structuredContent.objects?.length === 7, 'list_objects: the kind in English, any case', r.structuredContent);

  r = await answer(client, 'show_object', { name: 'РасходнаяНакладная' }, 'demo');
  const table = r.structuredContent.parts?.find((p) => p.part === 'Table Fields');
  const goods = table?.items?.find((i) => i.name === 'Товар');
  check(goods?.type === 'B' && goods?.ref?.name === 'Номенклатура', 'show_object: Товар refers to the catalogue Номенклатура', table);
  check(textOf(r).includes('Справочник.Номенклатура'), 'show_object: the text says the type as people write it', textOf(r));
  r = await answer(client, 'show_object', { name: 'справочник.номенклатура' }, 'demo');
  check(r.structuredContent.owned?.map((o) => o.name).includes('ЕдиницыИзмерения'), 'show_object: Kind.Name in lower case; owned catalogues', r.structuredContent.owned);

  r = await answer(client, 'find', { text: 'артикул' }, 'demo');
  check(r.structuredContent.matches?.some((m) => m.object === 'Номенклатура' && m.item === 'Артикул' && m.field === 'name'),
        'find: the attribute Артикул of Номенклатура', r.structuredContent);
  r = await answer(client, 'find', { text: 'ничего такого нет' }, 'demo');
  check(Array.isArray(r.structuredContent.matches) && r.structuredContent.matches.length === 0, 'find: nothing found is an empty list, not an error');

  r = await answer(client, 'where_used', { name: 'Склады' }, 'demo');
  check(r.structuredContent.uses?.length === 5, 'where_used: the five uses of Склады', r.structuredContent);
  check(r.structuredContent.uses?.some((u) => u.kind === 'REGISTER' && u.item === 'Склад' && u.how === 'type'),
        'where_used: the register dimension Склад');

  r = await answer(client, 'resolve_path', { path: 'Документ.РасходнаяНакладная.Товар.Артикул' }, 'demo');
  check(r.structuredContent.found === true && r.structuredContent.steps?.length === 2 && r.structuredContent.steps[1].type === 'S',
        'resolve_path: Товар.Артикул found, a string at its end', r.structuredContent);
  r = await answer(client, 'resolve_path', { path: 'Документ.РасходнаяНакладная.Товар.Артикл' }, 'demo');
  check(r.structuredContent.found === false && r.structuredContent.missing === 'Артикл' && r.structuredContent.candidates?.includes('Артикул'),
        'resolve_path: a misspelt attribute is named, with the closest names', r.structuredContent);

  r = await answer(client, 'lookup_id', { id: '141' }, 'demo');
  check(r.structuredContent.found === true && r.structuredContent.object === 'Номенклатура' && r.structuredContent.item === 'Артикул',
        'lookup_id: 141 is Номенклатура.Артикул', r.structuredContent);
  r = await answer(client, 'lookup_id', { id: '999999' }, 'demo');
  check(r.structuredContent.found === false, 'lookup_id: an unknown identifier is found false', r.structuredContent);

  r = await answer(client, 'call_function', { function: 'EnumDocTable', args: ['РасходнаяНакладная'] }, 'demo');
  check(r.structuredContent.items?.length === 5 && r.structuredContent.items[4]?.ref === 'Номенклатура',
        'call_function: a listing walked to its end', r.structuredContent);
  check(textOf(r).startsWith('name: СтавкаНДС, type: 10'), 'call_function: the lines of ostrak call', textOf(r));
  r = await answer(client, 'call_function', { function: 'ЗначениеПоНомеруСтр', args: ['ВидыОплаты', 1] }, 'demo');
  check(r.structuredContent.result === 'Бартер', 'call_function: a number travels as a number', r.structuredContent);
  r = await answer(client, 'call_function', { function: 'EnumDocTable', args: ['РасходнаяНакладная'] }, 'demo');
  check(r.structuredContent.items?.length === 5, 'call_function: the same listing again starts over', r.structuredContent);

  await refusal(client, 'show_object', { name: 'Склад' }, ['Склады'], 'demo');
  await refusal(client, 'where_used', { name: 'Номенклатур' }, ['Номенклатура'], 'demo');
  await refusal(client, 'list_objects', { kind: 'Справочники' }, ['Справочник', 'REFERENCE'], 'demo');
  await refusal(client, 'show_object', { name: 42 }, ['name', 'string'], 'demo');
  await refusal(client, 'show_object', {}, ['missing', 'name'], 'demo');
  await refusal(client, 'find', { text: 'x', count: 3 }, ['count', 'text', 'offset', 'limit'], 'demo');
  await refusal(client, 'call_function', { function: 'ЗначениеПоНомеруСтр', args: ['ВидыОплаты', '1'] }, ['1006'], 'demo');
  await refusal(client, 'call_function', { function: 'Bogus', args: [] }, ['Bogus'], 'demo');
  await refusal(client, 'call_function', { function: 'EnumValues', args: [1.5] }, ['element 1'], 'demo');

  const unknown = await call(client, 'no_such_tool', {});
  check(unknown.thrown?.code === -32602 && String(unknown.thrown).includes('show_object'),
        'an unknown tool is a protocol error -32602 that lists the tools', String(unknown.thrown));
  check((await client.ping()) !== undefined, 'ping');
  await client.close();
}

async function modelChecks() {
  const { client } = await connect(model);
  await client.listTools();
  let r = await answer(client, 'summary', {}, 'model');
  check(r.structuredContent.kinds?.find((k) => k.kind === 'CONST')?.count === 2, 'summary: two constants', r.structuredContent);
  r = await answer(client, 'list_objects', { kind: 'ОбщийРеквизит' }, 'model');
  check(r.structuredContent.objects?.some((o) => o.name === 'Комментарий' && o.comment === 'Произвольный комментарий к документу'),
        'list_objects: the common attributes with their comments', r.structuredContent);
  await refusal(client, 'show_object', { name: 'Склады' }, ['Справочник.Склады', 'Перечисление.Склады'], 'model: a name two kinds use');
  r = await answer(client, 'show_object', { name: 'Справочник.Склады' }, 'model');
  check(r.structuredContent.comment === 'или собственное' && r.structuredContent.synonym === 'Места хранения',
        'show_object: comment is field 2, synonym field 3', r.structuredContent);
  check(r.structuredContent.parts?.[0]?.items?.find((i) => i.name === 'Метка')?.type === 'A', 'show_object: another type letter as it stands');
  r = await answer(client, 'where_used', { name: 'Районы' }, 'model');
  check(r.structuredContent.uses?.some((u) => u.kind === 'REGISTER' && u.part === 'Props' && u.item === 'Район'),
        'where_used: a register dimension that refers through field 7', r.structuredContent);
  r = await answer(client, 'where_used', { name: 'Заказ' }, 'model');
  check(r.structuredContent.uses?.some((u) => u.how === 'refers'), 'where_used: a Refers list', r.structuredContent);
  r = await answer(client, 'resolve_path', { path: 'Документ.Приход.Склад.Район' }, 'model');
  check(r.structuredContent.found === true && r.structuredContent.steps?.[1]?.ref?.name === 'Районы',
        'resolve_path: through a catalogue to the one it refers to', r.structuredContent);
  r = await answer(client, 'find', { text: 'ИЛИ СОБСТВЕННОЕ' }, 'model');
  check(r.structuredContent.matches?.[0]?.field === 'comment', 'find: letter case ignored, in comments', r.structuredContent);
  r = await answer(client, 'lookup_id', { id: '244' }, 'model');
  check(r.structuredContent.kind === 'REGISTER' && r.structuredContent.part === 'Props', 'lookup_id: a register dimension', r.structuredContent);
  r = await answer(client, 'call_function', { function: 'EnumRegDim', args: ['Остатки'] }, 'model');
  check(r.structuredContent.items?.length === 2, 'call_function: a register\'s dimensions', r.structuredContent);
  await client.close();
}

// run-client.sh packs vsd-a.txt with: a document module and a form module for
// ВСД_входящаяПартия (the form's calls the global module's Записать with one argument too
// many), a global module of 2500 numbered lines and then Записать, a module of Акт that does
// not inflate; the journal ВетДокументы has none.
async function moduleChecks() {
  const { client } = await connect(modules);
  await client.listTools();
  let r = await answer(client, 'get_module', { object: 'Документ.всд_входящаяпартия' }, 'modules');
  const places = r.structuredContent.modules?.map((m) => m.place);
  check(JSON.stringify(places) === JSON.stringify(['модуль формы', 'модуль документа']),
        'get_module: both modules of the document, named by place as text names them', r.structuredContent);
  const transact = r.structuredContent.modules?.[1];
  check(transact?.total === 4 && transact?.first === 1 && transact?.lines?.[2] === '\tСообщить("Проведён");',
        'get_module: the document module whole, from 1251 to UTF-8, line ends gone, tabs kept', transact);
  check(/модуль документа[^\n]*\n.*\n.*\n *3: \tСообщить/.test(textOf(r)), 'get_module: the text numbers the lines', textOf(r));

  r = await answer(client, 'get_module', {}, 'modules');
  const global = r.structuredContent.modules?.[0];
  check(r.structuredContent.object === null && global?.place === 'глобальный модуль' && global?.total === 2503 &&
        global?.lines?.length === 2000 && global?.lines?.[1999] === 'Сообщить("строка 2000");' && r.structuredContent.truncated === true,
        'get_module without object: the global module, cut at 2000 lines and saying so', { ...r.structuredContent, modules: null });
  check(textOf(r).includes('from_line 2001'), 'get_module: the text says where to go on', textOf(r).slice(-200));
  r = await answer(client, 'get_module', { from_line: 2501, to_line: 9999 }, 'modules');
  check(JSON.stringify(r.structuredContent.modules?.[0]?.lines) === JSON.stringify(['// Пишет в журнал.', 'Процедура Записать(Знач Текст) Экспорт', 'КонецПроцедуры']) &&
        r.structuredContent.modules[0].first === 2501 && r.structuredContent.truncated === false,
        'get_module: a range past the end stops at the last line', r.structuredContent);
  r = await answer(client, 'get_module', { to_line: 1 }, 'modules');
  check(r.structuredContent.modules?.[0]?.lines?.length === 1, 'get_module: to_line alone', r.structuredContent);

  r = await answer(client, 'get_module', { object: 'Акт' }, 'modules');
  check(r.structuredContent.modules?.[0]?.damaged === 'не распаковывается' && r.structuredContent.modules[0].lines.length === 0 &&
        textOf(r).includes('поврежден'), 'get_module: a module that does not inflate is said damaged, not an error', r);
  r = await answer(client, 'get_module', { object: 'ВетДокументы' }, 'modules');
  check(r.structuredContent.modules?.length === 0 && textOf(r).includes('модулей нет'),
        'get_module: an object without modules is a clear answer', r);
  await refusal(client, 'get_module', { object: 'ВСД_входящая' }, ['ВСД_входящаяПартия'], 'modules: an unknown object');

  r = await answer(client, 'search_modules', { text: 'СООБЩИТЬ("ПРОВЕДЁН' }, 'modules');
  const hit = r.structuredContent.matches?.[0];
  check(r.structuredContent.matches?.length === 1 && hit?.kind === 'DOCUMENT' && hit?.object === 'ВСД_входящаяПартия' &&
        hit?.place === 'модуль документа' && hit?.line === 3 && hit?.text === '\tСообщить("Проведён");',
        'search_modules: Cyrillic in any letter case (ё too), with object, place and line', r.structuredContent);
  check(JSON.stringify(hit?.before) === JSON.stringify(['Процедура ОбработкаПроведения()', '\tДвижения.Остатки.Приход();']) &&
        JSON.stringify(hit?.after) === JSON.stringify(['КонецПроцедуры']), 'search_modules: two lines before, what there is after', hit);
  check(r.structuredContent.damaged?.length === 1 && r.structuredContent.damaged[0].includes('Акт'),
        'search_modules: the module it could not read is named', r.structuredContent.damaged);
  r = await answer(client, 'search_modules', { text: 'сообщить' }, 'modules');
  const matches = r.structuredContent.matches ?? [];
  check(matches.length === 200 && r.structuredContent.truncated === true, 'search_modules: at most 200 matches, truncated said', matches.length);
  check(matches[0]?.place === 'модуль формы' && matches[1]?.place === 'модуль документа' && matches[2]?.place === 'глобальный модуль' &&
        matches[2]?.object === null && matches[2]?.before?.length === 0 && matches[199]?.line === 198,
        'search_modules: objects first in their order, then the global module', matches.slice(0, 3));
  r = await answer(client, 'list_procedures', { object: 'ВСД_входящаяПартия' }, 'modules');
  const procedures = r.structuredContent.procedures ?? [];
  check(JSON.stringify(procedures.map((p) => [p.place, p.name, p.line, p.end_line])) ===
        JSON.stringify([['модуль формы', 'ПриОткрытии', 1, 4], ['модуль документа', 'ОбработкаПроведения', 1, 4]]) &&
        procedures[0].stream === 'Document/Document_Number174/WorkBook/MD Programm text' && procedures[0].kind === 'DOCUMENT',
        'list_procedures: an object\'s procedures, placed as get_module places modules', procedures);
  r = await answer(client, 'get_procedure', { name: 'записать' }, 'modules');
  check(r.structuredContent.signature === 'Процедура Записать(Знач Текст) Экспорт' && r.structuredContent.line === 2502 &&
        JSON.stringify(r.structuredContent.comment) === JSON.stringify(['Пишет в журнал.']) && r.structuredContent.object === null,
        'get_procedure: the global module\'s procedure, any letter case, with its comment', r.structuredContent);
  r = await answer(client, 'find_callers', { name: 'Записать' }, 'modules');
  check(JSON.stringify(r.structuredContent.calls?.map((c) => [c.object, c.place, c.line, c.column, c.in])) ===
        JSON.stringify([['ВСД_входящаяПартия', 'модуль формы', 3, 2, 'ПриОткрытии']]), 'find_callers: the one call, with where it stands',
        r.structuredContent);
  await refusal(client, 'find_callers', { name: 'НетТакой' }, ['НетТакой'], 'find_callers: a procedure the global module does not export');
  r = await answer(client, 'check_code', {}, 'modules');
  const diagnostics = r.structuredContent.diagnostics ?? [];
  check(diagnostics.some((d) => d.code === 'too-many-arguments' && d.severity === 'warning' && d.line === 3 && d.place === 'модуль формы'),
        'check_code: a call with one argument too many', diagnostics);
  r = await answer(client, 'search_modules', { text: 'нет такого текста' }, 'modules');
  check(r.structuredContent.matches?.length === 0 && r.structuredContent.truncated === false, 'search_modules: nothing found is an empty list');
  r = await answer(client, 'search_modules', { text: '日本' }, 'modules');
  check(r.structuredContent.matches?.length === 0, 'search_modules: letters 1251 lacks match nothing (no "?" stands in)');
  await client.close();
}

// run-client.sh packs a catalogue Большой whose 50,000 attributes Реквизит0... share the
// synonym "Общий синоним" and refer to the catalogue Районы. Whole, find and where_used of them
// answered 13 MB, and the SDK dropped the connection: it reads no message past 10 MB.
async function largeChecks() {
  const { client } = await connect(large);
  const { tools } = await client.listTools();
  for (const name of ['list_objects', 'find', 'where_used', 'call_function']) {
    const tool = tools.find((t) => t.name === name);
    check(tool?.inputSchema?.properties?.limit?.maximum === 200 && tool?.inputSchema?.properties?.offset?.minimum === 0 &&
          tool?.outputSchema?.required?.includes('next_offset') && /offset/.test(tool?.description) && /за вызов/.test(tool?.description),
          `${name}: offset and limit, said in both languages`, tool);
  }
  const place = (m) => `${m.object}.${m.item}`;
  let r = await answer(client, 'find', { text: 'общий синоним' }, 'large');
  let page = r.structuredContent;
  check(page.matches?.length === 200 && page.total === 50000 && page.truncated === true && page.next_offset === 200 &&
        place(page.matches[0]) === 'Большой.Реквизит0' && place(page.matches[199]) === 'Большой.Реквизит199',
        'find: the first 200 of 50,000 matches in one message, with the total', { ...page, matches: page.matches?.length });
  check(textOf(r).split('\n').length === 202 && textOf(r).includes('offset 200'), 'find: the text is the page and says where to go on',
        textOf(r).slice(-200));
  r = await answer(client, 'find', { text: 'общий синоним', offset: page.next_offset }, 'large');
  check(place(r.structuredContent.matches?.[0] ?? {}) === 'Большой.Реквизит200' && r.structuredContent.next_offset === 400,
        'find: next_offset gives the next page', { ...r.structuredContent, matches: r.structuredContent.matches?.length });
  r = await answer(client, 'find', { text: 'общий синоним', offset: 49990, limit: 50 }, 'large');
  page = r.structuredContent;
  check(page.matches?.length === 10 && place(page.matches[9]) === 'Большой.Реквизит49999' && page.truncated === false &&
        page.next_offset === null, 'find: the last page, nothing after it', { ...page, matches: page.matches?.length });
  // The uses come sorted by name as text: Реквизит0, Реквизит1, Реквизит10, Реквизит100 ...
  r = await answer(client, 'where_used', { name: 'Районы', offset: 1, limit: 3 }, 'large');
  check(JSON.stringify(r.structuredContent.uses?.map((u) => u.item)) === JSON.stringify(['Реквизит1', 'Реквизит10', 'Реквизит100']) &&
        r.structuredContent.total === 50000 && r.structuredContent.next_offset === 4 &&
        textOf(r).startsWith('Справочник Районы (13):\n') && textOf(r).split('\n')[1].endsWith(': Реквизит1 (тип)'),
        'where_used: a page of 50,000 uses in their order, under the heading', [{ ...r.structuredContent, uses: r.structuredContent.uses?.length }, textOf(r)]);
  // An object cannot be paged: at 17 MB it is refused with a word on what to ask instead.
  await refusal(client, 'show_object', { name: 'Большой' }, ['MB', 'more than one message may carry', 'find'], 'large');
  await refusal(client, 'find', { text: 'общий', limit: 1000 }, ['limit', 'at most 200'], 'large');
  check((await client.ping()) !== undefined, 'large: the connection outlives every answer');
  await client.close();
}

try {
  await demoChecks();
  await modelChecks();
  await moduleChecks();
  await largeChecks();
} catch (error) {
  failed++;
  console.log(`FAIL: the client stopped: ${error?.stack ?? error}`);
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
