'use strict';
// The page's worker: runs after the core's own script, in a scope of its
// own that the page gives it. It reads the chosen file for the core and
// gathers the CSV it hands back.
const reader = new FileReaderSync();
// Each read of the file costs far more than its bytes: the core's pieces
// are served from large reads.
const READ_AHEAD = 32 << 20;
// The browser's reasons, in the user's words.
const READ_FAILURES = {
  NotFoundError: 'ファイルが見つかりません',
  NotReadableError: 'ファイルを読めません（選んだ後で変更されたか、読む権限がありません）',
};
const CHANGED = '選んだ後で変更されています（もう一度選んでください）';
let source = null;  // the request: the file, with its size and time when chosen
let offset = 0;  // of the file, read
let ahead = new Uint8Array(0);
let aheadAt = 0;  // of what was read, handed to the core
let failure = '';  // why the file cannot be read, once known
let parts = [];
let queue = Promise.resolve();
const ready = new Promise((resolve) => { Module.onRuntimeInitialized = resolve; });
Module.onAbort = (what) => postMessage({ broken: String(what) });

const reasonFor = (error) => READ_FAILURES[error.name] || error.message || String(error);
// A file written anew since it was chosen. Browsers keep its size and
// time from the choice; Chromium then refuses to read it, and Firefox reads
// slices only as far as that size, but a whole read to the file's true
// end. Another browser may tell the size and time as they are now.
const changed = () => source.file.size !== source.size || source.file.lastModified !== source.lastModified;

// A file of one piece is read whole before the run, which tells by its
// length whether it was written anew.
async function readWhole() {
  try {
    const bytes = new Uint8Array(await source.file.arrayBuffer());
    if (bytes.length !== source.size || changed()) failure = CHANGED;
    ahead = bytes;
    offset = bytes.length;
  } catch (error) {
    failure = reasonFor(error);
  }
}

// The next piece of a larger file; false at its end or when it cannot be read.
function readPiece() {
  if (offset >= source.size) return false;
  if (offset === 0 && changed()) failure = CHANGED;
  if (failure) return false;
  const end = Math.min(offset + READ_AHEAD, source.size);
  try {
    ahead = new Uint8Array(reader.readAsArrayBuffer(source.file.slice(offset, end)));
  } catch (error) {
    failure = reasonFor(error);
    return false;
  }
  // Short: the file shrank since it was chosen.
  if (ahead.length !== end - offset) failure = CHANGED;
  aheadAt = 0;
  offset = end;
  return !failure;
}

Module.readSource = (into, room) => {
  if (failure || (aheadAt === ahead.length && !readPiece())) {
    Module.readFailure = failure;
    return failure ? -1 : 0;
  }
  const n = Math.min(room, ahead.length - aheadAt);
  Module.HEAPU8.set(ahead.subarray(aheadAt, aheadAt + n), into);
  aheadAt += n;
  postMessage({ id: source.id, progress: (offset - ahead.length + aheadAt) / source.size });
  return n;
};
Module.takeCsv = (bytes, size) => { parts.push(Module.HEAPU8.slice(bytes, bytes + size)); };

// One request at a time, in order: a run waits for the reads before it.
onmessage = (event) => {
  const request = event.data;
  queue = queue.then(() => ready).then(() => (request.check ? check(request) : run(request))).catch((error) => {
    // The core stopped short (out of memory, say): the page starts a new worker.
    postMessage({ id: request.id, broken: String(error) });
  });
};
ready.then(() => postMessage({ ready: true, layouts: layouts() }));

// The built-in layouts, the present one first, for the page's choice.
function layouts() {
  const list = [];
  for (let i = 0; i < Module._kartovo_layout_count(); i++) {
    list.push({
      name: Module.UTF8ToString(Module._kartovo_layout_name(i)),
      title: Module.UTF8ToString(Module._kartovo_layout_title(i)),
    });
  }
  return list;
}

// A template the user chose: its size is checked before a byte of it is
// read, so that a large file chosen by mistake is refused at once. Its
// bytes go back to the page, which sends them with each run: a worker
// let go forgets it.
function check(request) {
  const file = request.check;
  let bytes = null;
  if (Module._kartovo_template_room(file.size)) {
    try {
      bytes = new Uint8Array(reader.readAsArrayBuffer(file));
    } catch (error) {
      Module.readFailure = reasonFor(error);
      Module.ccall('kartovo_template_unreadable', null, ['string'], [file.name]);
    }
  }
  const ok = bytes !== null && useTemplate(file.name, bytes);
  const message = ok ? '' : Module.UTF8ToString(Module._kartovo_message());
  postMessage({ id: request.id, checked: { ok, message, name: file.name, bytes: ok ? bytes : null } });
}

function useTemplate(name, bytes) {
  const room = Module._kartovo_template_room(bytes.length);
  if (!room) return false;
  Module.HEAPU8.set(bytes, room);
  return Module.ccall('kartovo_use_template', 'number', ['string'], [name]) === 1;
}

// The layout the request names, or its template.
function useLayout(request) {
  if (request.form) return useTemplate(request.form.name, request.form.bytes);
  if (Module.ccall('kartovo_use_layout', 'number', ['string'], [request.layout]) !== 1) {
    throw new Error(`unknown layout ${request.layout}`);
  }
  return true;
}

async function run(request) {
  source = request;
  offset = 0;
  ahead = new Uint8Array(0);
  aheadAt = 0;
  failure = '';
  parts = [];
  const done = useLayout(request) ? await readAndConvert(request) : refused();
  parts = [];
  ahead = new Uint8Array(0);
  source = null;
  postMessage({ id: request.id, done }, [done.lengths.buffer, done.marks.buffer]);
}

async function readAndConvert(request) {
  if (request.size <= READ_AHEAD) await readWhole();
  return convert(request.file.name);
}

function refused() {
  const none = new Uint32Array(0);
  return { ok: false, message: Module.UTF8ToString(Module._kartovo_message()), lengths: none, marks: none.slice() };
}

function convert(name) {
  const ok = Module.ccall('kartovo_convert', 'number', ['string'], [name]) === 1;
  const rows = ok ? Module._kartovo_row_count() : 0;  // a run that failed has no rows to show
  // Copied before the calls below, which may grow the heap and so move it.
  const lengths = new Uint32Array(Module.HEAPU8.buffer, Module._kartovo_row_lengths(), rows).slice();
  const marks = new Uint32Array(Module.HEAPU8.buffer, Module._kartovo_marks(), rows).slice();
  return {
    ok,
    message: Module.UTF8ToString(Module._kartovo_message()),
    report: ok ? Module.UTF8ToString(Module._kartovo_loss_report()) : '',
    name: Module.UTF8ToString(Module.ccall('kartovo_csv_name', 'number', ['string'], [name])),
    csv: ok ? new Blob(parts, { type: 'text/csv' }) : null,
    lengths,
    marks,
    headRows: Module._kartovo_head_rows(),
    headerRow: Module._kartovo_header_row(),
    encoding: Module._kartovo_encoding(),
    heap: Module.HEAPU8.length,  // it never shrinks
  };
}
