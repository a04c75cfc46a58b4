'use strict';
// The page's worker: runs after the core's own script, reads the chosen file
// a piece at a time for the core and gathers the CSV it hands back. The
// page makes the worker's script of this function's text.
function workerMain() {
  const reader = new FileReaderSync();
  // Each read of the file costs far more than its bytes: the core's pieces
  // are served from large reads.
  const READ_AHEAD = 32 << 20;
  // The browser's reasons, in the user's words.
  const READ_FAILURES = {
    NotFoundError: 'ファイルが見つかりません',
    NotReadableError: 'ファイルを読めません（選んだ後で変更されたか、読む権限がありません）',
  };
  let file = null;
  let id = 0;  // of the run, which every message about it carries
  let offset = 0;  // of the file, read
  let ahead = new Uint8Array(0);
  let aheadAt = 0;  // of what was read, handed to the core
  let parts = [];
  const ready = new Promise((resolve) => { Module.onRuntimeInitialized = resolve; });
  Module.onAbort = (what) => postMessage({ broken: String(what) });

  Module.readSource = (into, room) => {
    if (aheadAt === ahead.length) {
      if (offset > 0 && offset >= file.size) return 0;
      try {
        // A file gone since it was chosen can show as empty, and a slice
        // of it reads as nothing: reading it whole tells it from an empty one.
        ahead = new Uint8Array(reader.readAsArrayBuffer(file.size ? file.slice(offset, offset + READ_AHEAD) : file));
      } catch (error) {
        Module.readFailure = READ_FAILURES[error.name] || error.message || String(error);
        return -1;
      }
      aheadAt = 0;
      offset += ahead.length;
      if (ahead.length === 0) return 0;
    }
    const n = Math.min(room, ahead.length - aheadAt);
    Module.HEAPU8.set(ahead.subarray(aheadAt, aheadAt + n), into);
    aheadAt += n;
    postMessage({ id, progress: (offset - ahead.length + aheadAt) / file.size });
    return n;
  };
  Module.takeCsv = (bytes, size) => { parts.push(Module.HEAPU8.slice(bytes, bytes + size)); };

  onmessage = async (event) => {
    await ready;
    try {
      convert(event.data);
    } catch (error) {
      // The core stopped short (out of memory, say): the page starts a new worker.
      postMessage({ id: event.data.id, broken: String(error) });
    }
  };
  ready.then(() => postMessage({ ready: true }));

  function convert(request) {
    ({ file, id } = request);
    offset = 0;
    ahead = new Uint8Array(0);
    aheadAt = 0;
    parts = [];
    const ok = Module.ccall('kartovo_convert', 'number', ['string'], [file.name]) === 1;
    const rows = Module._kartovo_row_count();
    const heap = Module.HEAPU8.buffer;
    const lengths = new Uint32Array(heap, Module._kartovo_row_lengths(), rows).slice();
    const marks = new Uint16Array(heap, Module._kartovo_marks(), rows).slice();
    const done = {
      ok,
      message: Module.UTF8ToString(Module._kartovo_message()),
      report: ok ? Module.UTF8ToString(Module._kartovo_loss_report()) : '',
      name: Module.UTF8ToString(Module.ccall('kartovo_csv_name', 'number', ['string'], [file.name])),
      csv: ok ? new Blob(parts, { type: 'text/csv' }) : null,
      lengths,
      marks,
    };
    parts = [];
    ahead = new Uint8Array(0);
    file = null;
    postMessage({ id, done }, [lengths.buffer, marks.buffer]);
  }
}
