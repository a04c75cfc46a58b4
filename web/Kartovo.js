// The page's module: the file chosen or dropped, the conversion in a worker
// (so that the page stays alive and shows progress on a large address
// book), the preview of the rows and the saving of the CSV's bytes as they
// came. The worker's part is KartovoWorker.js.
const ui = {};
for (const id of ['source', 'source-name', 'choose', 'layout', 'form', 'form-name', 'choose-form', 'convert', 'save',
  'save-name', 'status', 'progress', 'result', 'summary', 'report', 'marked-only', 'skipped', 'table-wrap', 'preview',
  'more']) {
  ui[id.replace(/-(\w)/g, (_, c) => c.toUpperCase())] = document.getElementById(id);
}
const PAGE_ROWS = 200;
// The marks' bits, as the core sets them: a cell that lost characters,
// one of the first sixteen, and a row without an address.
const LOST_CELLS = 16;
const NO_ADDRESS = 1 << 16;
const CP932 = 0;  // the CSV's encoding, as the core tells it
const FORM = 'template';  // the choice of the template given, among the layouts
// A cell shows no more of its value: a browser takes seconds to lay out
// a line of millions of characters, and no label holds one.
const CELL_CHARACTERS = 1000;
// A WebAssembly heap never shrinks: a worker whose heap grew past this is
// let go after its run, and the next run starts a fresh one.
const LARGE_HEAP = 64 << 20;

let chosen = null;      // the file, with its size and time when chosen
let worker = null;
let workerUrl = null;   // the worker's script, kept for the fresh workers
let workerReady = false;
let requests = 0;       // runs asked for; each answer carries its run's number
let converting = null;  // { id, started, progressTimer } while the worker works
let checking = null;    // { id } while the worker reads a template
let form = null;        // the template taken: its name and bytes
let result = null;      // the last conversion: its CSV and what each row needs
let shown = 0;          // rows of the preview's list on the table

function say(text, isError) {
  ui.status.textContent = text;
  ui.status.classList.toggle('error', Boolean(isError));
  ui.status.setAttribute('role', isError ? 'alert' : 'status');
}

function startWorker() {
  if (!workerUrl) {
    const [core, own] = ['kartovo-core', 'kartovo-worker'].map((id) => document.getElementById(id).textContent);
    // The worker's own code is strict and keeps its names to itself; the core's is neither.
    workerUrl = URL.createObjectURL(new Blob([core, '\n(() => {\n', own, '\n})();\n'], { type: 'text/javascript' }));
  }
  const started = new Worker(workerUrl);
  worker = started;
  workerReady = false;
  // A worker let go may still have messages on their way: they are not heard.
  started.onmessage = (event) => { if (started === worker) onWorkerMessage(event.data); };
  started.onerror = (event) => {
    event.preventDefault();
    if (started === worker) workerBroke(event.message);
  };
}

function stopWorker() {
  if (worker) worker.terminate();
  worker = null;
  workerReady = false;
  checking = null;  // a template being read is read again when chosen again
}

function workerBroke(why) {
  const started = workerReady;
  stopWorker();
  finishConverting();
  say(started
    ? `変換できませんでした（${why || '不明なエラー'}）。もう一度「変換」を押してください。`
    : `このブラウザーでは変換できません（${why || '不明なエラー'}）。`, true);
}

function onWorkerMessage(data) {
  if (data.ready) {
    workerReady = true;
    fillLayouts(data.layouts);
  }
  if (checking && data.id === checking.id) {
    checking = null;
    if (data.broken) workerBroke(data.broken);
    else checked(data.checked);
    return;
  }
  // An answer for a run given up.
  if (data.id !== undefined && (!converting || data.id !== converting.id)) return;
  if (data.broken) workerBroke(data.broken);
  if (data.progress !== undefined) ui.progress.value = data.progress;
  if (data.done) converted(data.done);
}

// A file, a layout or a template chosen while a file converts ends that
// run: its worker is let go, so that the next run need not wait for it.
function giveUp() {
  if (!converting) return false;
  stopWorker();
  finishConverting();
  return true;
}

function choose(file) {
  const givenUp = giveUp();
  chosen = { file, size: file.size, lastModified: file.lastModified };
  ui.sourceName.textContent = file.name;
  clearResult();
  say(givenUp ? '前のファイルの変換を取りやめました。「変換」を押すと、選んだファイルを変換します。' : '');
}

// The built-in layouts, as the core lists them, the present one first and chosen.
function fillLayouts(layouts) {
  if (ui.layout.options.length) return;
  for (const { name, title } of layouts) ui.layout.add(new Option(title, name));
}

// A result in another layout than the one chosen now would be saved wrong.
function layoutChanged() {
  const shown = giveUp() || Boolean(result);
  clearResult();
  say(shown && chosen ? '「変換」を押すと、選んだ様式で変換します。' : '');
}

// The core reads the template in the worker, its size first; the page
// keeps what it took, for every run to come.
function chooseForm(file) {
  giveUp();
  clearResult();
  if (!worker && !startWorkerOrSay()) return;
  requests += 1;
  checking = { id: requests };
  say('テンプレートを読んでいます…');
  worker.postMessage({ id: requests, check: file });
}

function checked({ ok, message, name, bytes }) {
  if (!ok) {
    say(message, true);
    return;
  }
  form = { name, bytes };
  let option = Array.from(ui.layout.options).find((o) => o.value === FORM);
  if (!option) {
    option = new Option('', FORM);
    ui.layout.add(option);
  }
  option.textContent = `テンプレート「${name}」に合わせる`;
  ui.layout.value = FORM;
  ui.formName.textContent = name;
  say(`テンプレート「${name}」に合わせて書き出します。`);
}

function startWorkerOrSay() {
  try {
    startWorker();
    return true;
  } catch (error) {
    say(`このブラウザーでは変換できません（${error.message}）。`, true);
    return false;
  }
}

function clearResult() {
  if (result) URL.revokeObjectURL(result.url);
  result = null;
  ui.save.disabled = true;
  ui.saveName.textContent = '';
  ui.summary.textContent = '';
  ui.report.textContent = '';
  ui.skipped.textContent = '';
  ui.result.hidden = true;
}

function convert() {
  if (converting || checking) return;  // the button shows that it waits; a template is read at once
  if (!chosen) {
    say('ファイルを指定して下さい', true);
    return;
  }
  clearResult();
  if (!worker && !startWorkerOrSay()) return;
  say('変換しています…');
  ui.convert.setAttribute('aria-busy', 'true');
  ui.convert.setAttribute('aria-disabled', 'true');
  ui.progress.value = 0;
  requests += 1;
  converting = {
    id: requests,
    started: performance.now(),
    // A quick conversion needs no progress bar; a slow one shows it.
    progressTimer: setTimeout(() => { ui.progress.hidden = false; }, 1000),
  };
  const layout = ui.layout.value === FORM ? { form } : { layout: ui.layout.value || 'standard' };
  worker.postMessage({ id: requests, ...chosen, ...layout });
}

function finishConverting() {
  if (!converting) return;
  clearTimeout(converting.progressTimer);
  ui.progress.hidden = true;
  ui.convert.removeAttribute('aria-busy');
  ui.convert.removeAttribute('aria-disabled');
  ui.status.dataset.ms = (performance.now() - converting.started).toFixed(1);
  converting = null;
}

function converted(done) {
  finishConverting();
  if (done.heap > LARGE_HEAP) stopWorker();
  if (!done.ok) {
    say(done.message, true);
    return;
  }
  const rows = done.lengths.length;
  const starts = new Float64Array(rows);
  for (let i = 1; i < rows; i++) starts[i] = starts[i - 1] + done.lengths[i - 1];
  const marked = [];
  for (let i = done.headRows; i < rows; i++) if (done.marks[i]) marked.push(i);
  // A UTF-8 decoder takes the byte-order mark off the first row.
  const decoder = new TextDecoder(done.encoding === CP932 ? 'shift_jis' : 'utf-8');
  result = { ...done, starts, marked, decoder, url: URL.createObjectURL(done.csv) };
  say(done.message);
  ui.save.disabled = false;
  ui.saveName.textContent = done.name;
  const noAddress = marked.filter((i) => done.marks[i] & NO_ADDRESS).length;
  ui.summary.textContent = noAddress
    ? `郵便番号も住所もない連絡先が ${noAddress} 件あります（「住所なし」の行）。このままでは宛名ラベルを作れません。`
    : '';
  // The window's words, with the cells that show "?" marked below.
  ui.report.textContent = done.report;
  ui.skipped.textContent = done.headerRow
    ? `テンプレートの見出しの行より上の ${done.headerRow} 行は、表に出していません（CSV にはそのまま入っています）。`
    : '';
  ui.markedOnly.checked = false;
  ui.markedOnly.disabled = marked.length === 0;
  ui.result.hidden = false;
  showRows(true).catch(fail);
}

// Where the n-th row the table lists stands in the CSV: every row below
// the header (a template's own, then the contacts'), or the marked ones only.
function listed() {
  const marked = ui.markedOnly.checked ? result.marked : null;
  const first = result.headerRow + 1;
  return marked
    ? { length: marked.length, at: (n) => marked[n] }
    : { length: result.lengths.length - first, at: (n) => first + n };
}

async function readRows(indices) {
  const texts = await Promise.all(indices.map((i) =>
    result.csv.slice(result.starts[i], result.starts[i] + result.lengths[i]).arrayBuffer()));
  return texts.map((bytes) => csvCells(result.decoder.decode(bytes)));
}

// The table says it is busy while its rows are read from the CSV.
function showRows(fromStart) {
  ui.tableWrap.setAttribute('aria-busy', 'true');
  return fillRows(fromStart).finally(() => ui.tableWrap.removeAttribute('aria-busy'));
}

async function fillRows(fromStart) {
  const current = result;
  const list = listed();
  if (fromStart) {
    shown = 0;
    const [header] = await readRows([result.headerRow]);
    if (current !== result) return;
    const head = document.createElement('tr');
    for (const name of ['番号', ...header]) {
      const th = document.createElement('th');
      th.scope = 'col';
      th.textContent = name;
      head.append(th);
    }
    ui.preview.tHead.replaceChildren(head);
    ui.preview.tBodies[0].replaceChildren();
  }
  const indices = [];
  for (let n = shown; n < Math.min(list.length, shown + PAGE_ROWS); n++) indices.push(list.at(n));
  const rows = await readRows(indices);
  if (current !== result) return;
  const body = document.createDocumentFragment();
  rows.forEach((cells, k) => body.append(tableRow(indices[k], cells)));
  const first = body.firstChild;
  ui.preview.tBodies[0].append(body);
  if (!fromStart && first) scrollTableTo(first);
  shown += indices.length;
  const left = list.length - shown;
  // The button goes with the last rows: the focus goes to the table
  // rather than to the top of the page.
  if (left <= 0 && document.activeElement === ui.more) ui.tableWrap.focus({ preventScroll: true });
  ui.more.hidden = left <= 0;
  ui.more.textContent = `さらに表示（残り ${left} 件）`;
}

// Rows added below are shown from the first, under the table's header.
function scrollTableTo(row) {
  const header = ui.preview.tHead.getBoundingClientRect().height;
  ui.tableWrap.scrollTop += row.getBoundingClientRect().top - ui.tableWrap.getBoundingClientRect().top - header;
}

// Row `index` of the CSV, its cells and their marks: a contact's, by its
// number, or a template's own.
function tableRow(index, texts) {
  const contact = index - result.headRows + 1;
  const marks = contact > 0 ? result.marks[index] : 0;
  const tr = document.createElement('tr');
  if (contact <= 0) tr.className = 'kept';
  if (marks & NO_ADDRESS) tr.className = 'no-address';
  const number = document.createElement('th');
  number.scope = 'row';
  number.textContent = contact > 0 ? contact : '様式の行';
  tr.append(number);
  texts.forEach((text, cell) => {
    const td = document.createElement('td');
    td.textContent = text.length > CELL_CHARACTERS ? `${text.slice(0, CELL_CHARACTERS)}…` : text;
    if (cell < LOST_CELLS && marks & (1 << cell)) td.className = 'lost';
    tr.append(td);
  });
  return tr;
}

function save() {
  if (!result) return;
  const link = document.createElement('a');
  link.href = result.url;
  link.download = result.name;
  document.body.append(link);
  link.click();
  link.remove();
}

function fail(error) {
  say(`問題が起きました（${error && error.message ? error.message : error}）。`, true);
}

ui.choose.addEventListener('click', () => ui.source.click());
ui.source.addEventListener('change', () => {
  if (ui.source.files.length) choose(ui.source.files[0]);
  ui.source.value = '';
});
ui.chooseForm.addEventListener('click', () => ui.form.click());
ui.form.addEventListener('change', () => {
  if (ui.form.files.length) chooseForm(ui.form.files[0]);
  ui.form.value = '';
});
ui.layout.addEventListener('change', layoutChanged);
ui.convert.addEventListener('click', convert);
ui.save.addEventListener('click', save);
ui.more.addEventListener('click', () => showRows(false).catch(fail));
ui.markedOnly.addEventListener('change', () => showRows(true).catch(fail));

// A file dropped anywhere on the page is chosen, the last one of several,
// as the window takes it.
const dragging = (on) => document.body.classList.toggle('dragging', on);
document.addEventListener('dragover', (event) => {
  if (!event.dataTransfer.types.includes('Files')) return;
  event.preventDefault();
  event.dataTransfer.dropEffect = 'copy';
  dragging(true);
});
document.addEventListener('dragleave', (event) => { if (!event.relatedTarget) dragging(false); });
document.addEventListener('drop', (event) => {
  event.preventDefault();
  dragging(false);
  const { files, items } = event.dataTransfer;
  if (!files.length) return;
  const file = files[files.length - 1];
  if (isFolder(items)) say(`${file.name} はフォルダーです。中の vCard ファイル（.vcf）を選んでください。`, true);
  else choose(file);
});
// A folder comes among the dropped files as one that cannot be read; only
// its entry, to be asked during the drop, tells it apart.
function isFolder(items) {
  const files = Array.from(items || []).filter((item) => item.kind === 'file');
  const last = files[files.length - 1];
  const entry = last && last.webkitGetAsEntry ? last.webkitGetAsEntry() : null;
  return Boolean(entry && entry.isDirectory);
}
window.addEventListener('error', (event) => fail(event.error || event.message));
window.addEventListener('unhandledrejection', (event) => fail(event.reason));

startWorkerOrSay();
