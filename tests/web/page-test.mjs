// Kartovo.html in headless Chromium, opened from disk: one browser, one table
// of files and what the page must show and save for each; the saved bytes
// are held to kartovo-convert's.
//
// usage: node page-test.mjs KARTOVO_HTML KARTOVO_CONVERT WORK_FOLDER
import { execFileSync } from 'node:child_process';
import { appendFileSync, existsSync, mkdirSync, readFileSync, rmSync, truncateSync, unlinkSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { FIREFOX, catchDownloads, convert, openBrowser, openPage, outcome, watchSaves } from './Browser.mjs';

const [pagePath, converter, work] = process.argv.slice(2);
const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const files = path.join(work, 'files');
const downloads = path.join(work, 'downloads');
rmSync(work, { recursive: true, force: true });
mkdirSync(files, { recursive: true });
mkdirSync(downloads, { recursive: true });

let passed = 0;
let failed = 0;
function check(what, ok, detail = '') {
  if (ok) passed++;
  else failed++;
  console.log(`${ok ? 'ok' : 'not ok'} - ${what}${ok || !detail ? '' : `: ${detail}`}`);
}
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

// The export's escapes and quotes, folds inside a character, and CR-only
// line ends, as the console converter's tests have them.
const escapes = path.join(files, 'escapes.vcf');
writeFileSync(escapes, [
  'BEGIN:VCARD', 'VERSION:3.0', 'N:山田\\;;太郎\\,一;;;殿\\\\', 'X-PHONETIC-LAST-NAME:ヤマダ',
  'ADR;TYPE=HOME:;北側\\, 2階;1-2-3\\, 北\\n別棟"A";港区;東京都;〒105-0001;日本',
  'item1.X-ABRELATEDNAMES:花子\\, 一\\;\\\\n', 'item1.X-ABLabel:_$!<Spouse>!$_',
  'NOTE:配偶者印刷: true\\; 子ども印刷: true', 'END:VCARD', '',
].join('\r\n') + ['BEGIN:VCARD', 'N:"引用";符号;;;', 'END:VCARD', ''].join('\r'));
const tenThousand = path.join(files, 'contacts-10000.vcf');
execFileSync('python3', [path.join(root, 'bench/gen_vcards.py'), '10000', '--seed', '1', '-o', tenThousand]);
// Characters code page 932 lacks, in a name and a joint name; a hyphen it
// lacks in a street, which is mended rather than lost.
const lost = path.join(files, 'lost.vcf');
writeFileSync(lost, ['BEGIN:VCARD', 'N:𠮷田;健;;;', 'ADR;TYPE=HOME:;;1‑2;港区;東京都;105-0001;',
  'item12.X-ABRELATEDNAMES:花子😀', 'item12.X-ABLabel:_$!<Spouse>!$_', 'NOTE:配偶者印刷: true', 'END:VCARD',
  'BEGIN:VCARD', 'N:山田;太郎;;;', 'ADR;TYPE=HOME:;;1;;;;', 'END:VCARD', ''].join('\r\n'));
const empty = path.join(files, 'empty.vcf');
writeFileSync(empty, '');
// A value of ten million characters, one field of one row.
const long = path.join(files, 'long.vcf');
writeFileSync(long, `BEGIN:VCARD\r\nN:${'a'.repeat(10_000_000)};;;;\r\nEND:VCARD\r\n`);
const gone = path.join(files, 'gone.vcf');
writeFileSync(gone, 'BEGIN:VCARD\r\nN:a;b;;;\r\nEND:VCARD\r\n');
// Exported again under the same name after it was chosen: longer each time.
const contacts = (n) => 'BEGIN:VCARD\r\nN:a;b;;;\r\nEND:VCARD\r\n'.repeat(n);
const changed = path.join(files, 'changed.vcf');
writeFileSync(changed, contacts(4));
// A print service's form: a note above its header (a line break inside
// quotes), an ID column, a sample row below; UTF-8 with LF alone.
const form = path.join(files, 'form.csv');
writeFileSync(form, '"ご注意\nこの行は消さないでください",,,,\n,姓,名,郵便番号,住所1,住所2\nNO0,見本,花子,100-0001,東京都千代田区1-1,\n');
// Templates the core refuses: one far over its limit, which must be refused
// before it is read (sparse: it takes no room on disk), and one without a header.
const huge = path.join(files, 'huge.csv');
writeFileSync(huge, '');
truncateSync(huge, 3 * 2 ** 30);
const headless = path.join(files, 'headless.csv');
writeFileSync(headless, 'a,b,c\n1,2,3\n');

// What kartovo-convert writes for a file in the case's layout, to hold the
// page's bytes to.
function expectedCsv(source, c) {
  const out = path.join(files, `${path.basename(source)}.expected.csv`);
  const layout = c.form ? ['--template', c.form] : ['--layout', c.layout || 'standard'];
  execFileSync(converter, ['--yes', ...layout, source, out], { stdio: ['ignore', 'ignore', 'inherit'] });
  return out;
}

// The console converter's message for a template it refuses.
function refusal(template) {
  try {
    execFileSync(converter, ['--yes', '--template', template, escapes, path.join(files, 'refused.csv')], { stdio: 'pipe' });
  } catch (error) {
    return error.stderr.toString().trim();
  }
  return '(converted)';
}

const corpus = path.join(root, 'fuzz/corpus/conversion_fuzzer');
const cases = [
  {
    what: 'the sample', file: path.join(root, 'samples/contacts.vcf'), keyboard: true,
    status: '5件の連絡先を変換しました',
    header: ['番号', 'フリガナ', '氏名', '敬称', '郵便番号', '住所1', '住所2', '連名1', '連名2', '連名3', '連名4'],
    cells: [[0, ['1', 'ヤマダ　タロウ', '山田　太郎', '様', '100-0001']], [2, ['3', 'ヨシダ　ケン', '?田　健']],
      [3, ['4', '　', '　', '様', '', '', '']]],
    quoted: [2, 6, 'コーポ"さくら"203'],
    noAddress: ['4'],
    report: '1件の連絡先に、CSVに書けない文字がありました。その文字は「?」になっています。\n' +
      '1件の連絡先は、自宅の住所がないため住所が空になっています。\n・3件目 𠮷田　健：𠮷\n' +
      '・4件目 　：自宅の住所がありません（自宅以外の住所だけ）',
    lost: [[3, 2], [3, 7]],
    filter: ['3', '4'],
    firefox: true,
    screenshots: '',
  },
  // Another layout: UTF-8 with a byte-order mark, 61 columns; the row
  // without an address marked though its cells are many.
  { what: 'another layout', file: path.join(root, 'samples/contacts.vcf'), layout: 'atenashokunin',
    status: '5件の連絡先を変換しました\n書き出した様式：宛名職人用 CSV',
    header: ['番号', '姓', '名', '姓かな', '名かな', '姓名'],
    cells: [[0, ['1', '山田', '太郎', 'ヤマダ', 'タロウ', '山田　太郎']], [2, ['3', '𠮷田', '健']]],
    noAddress: ['4'], report: '1件の連絡先は、自宅の住所がないため住所が空になっています。\n・4件目 　：自宅の住所がありません（自宅以外の住所だけ）',
    screenshots: 'layout-' },
  // A template: its rows first, the one below its header shown as its own.
  { what: 'a template', file: path.join(root, 'samples/contacts.vcf'), form,
    status: '5件の連絡先を変換しました\n書き出した様式：テンプレート「form.csv」\n'
      + 'テンプレートの見出しの行の下に1行あります。見本の行なら、印刷の前に消してください。',
    header: ['番号', '', '姓', '名', '郵便番号', '住所1', '住所2'],
    cells: [[0, ['様式の行', 'NO0', '見本', '花子', '100-0001']], [1, ['1', 'NO1', '山田', '太郎', '100-0001']]],
    noAddress: ['4'], skipped: 'テンプレートの見出しの行より上の 1 行は、表に出していません（CSV にはそのまま入っています）。',
    screenshots: 'template-' },
  { what: 'the escapes', file: escapes, status: '2件の連絡先を変換しました\n住所のない連絡先：1件', dropped: true,
    cells: [[0, ['1', 'ヤマダ　', '山田;　太郎,一', '殿\\', '105-0001', '東京都港区1-2-3, 北　別棟"A"', '北側, 2階', '花子, 一;\\n']]],
    noAddress: ['2'], report: '', firefox: true },
  { what: 'lost characters', file: lost, status: '2件の連絡先を変換しました',
    report: '1件の連絡先に、CSVに書けない文字がありました。その文字は「?」になっています。\n・1件目 𠮷田　健：𠮷、😀',
    cells: [[0, ['1', '　', '?田　健', '様', '105-0001', '東京都港区1－2', '', '花子?']]],
    lost: [[1, 2], [1, 7]], firefox: true },
  ...['cr-multi.vcf', 'emoji-lf.vcf', 'family.vcf', 'folded-end.vcf', 'lenient.vcf'].map((name) => (
    { what: `the fuzzers' ${name}`, file: path.join(corpus, name) })),
  { what: '10,000 contacts', file: tenThousand, status: '10000件の連絡先を変換しました\n住所のない連絡先：1518件',
    rows: 200, more: 9800 },
  { what: 'a value of 10 million characters', file: long, status: '1件の連絡先を変換しました\n住所のない連絡先：1件',
    rows: 1 },
  // The second file's result, not the first's, however their runs end.
  { what: 'a file chosen while another converts', file: lost, during: tenThousand, status: '2件の連絡先を変換しました',
    cells: [[0, ['1', '　', '?田　健']]] },
  { what: 'an empty file', file: empty, status: '0件の連絡先を変換しました\nvCard ファイルではないようです', rows: 0 },
  { what: 'a file that is not a vCard', file: path.join(root, 'docs/screenshot.png'),
    status: '0件の連絡先を変換しました\nvCard ファイルではないようです' },
  { what: 'a file gone before converting', file: gone, afterChoice: () => unlinkSync(gone),
    error: /^ファイル gone\.vcf は開けません。 ファイルが見つかりません $/ },
  { what: 'a file written anew after it was chosen', file: changed, afterChoice: () => appendFileSync(changed, contacts(296)),
    // As each browser can tell: Chromium refuses to read it, Firefox's whole read finds it longer.
    error: /^ファイル changed\.vcf は開けません。 (選んだ後で変更されています|ファイルを読めません（選んだ後で変更されたか)/, firefox: true },
];

const { browser, close } = await openBrowser();
let requests = [];
let problems = [];
try {
  const downloadsCaught = await catchDownloads(browser, downloads);
  const opened = await openPage(browser, pagePath);
  const { page } = opened;
  ({ requests, problems } = opened);
  await page.setViewport({ width: 1280, height: 900 });

  check('the page is one file under 1 MB', readFileSync(pagePath).length < 1_000_000);
  const convertBefore = await page.$eval('#convert', (b) => (b.click(), document.getElementById('status').textContent));
  check('converting before choosing asks for the file', convertBefore === 'ファイルを指定して下さい', convertBefore);

  // Refused with the core's own message, and the layout chosen stays.
  for (const bad of [huge, headless]) {
    const said = await chooseForm(page, bad);
    const wanted = refusal(bad);
    check(`the template ${path.basename(bad)}: refused as kartovo-convert refuses it`,
      said.error && said.text === wanted && said.layout === 'standard', `${JSON.stringify(said)} against ${wanted}`);
  }

  for (const c of cases) {
    const expected = c.error ? null : expectedCsv(c.file, c);
    if (c.form) {
      const said = await chooseForm(page, c.form);
      check(`${c.what}: taken as the layout`, !said.error && said.layout === 'template', JSON.stringify(said));
    } else {
      await page.select('#layout', c.layout || 'standard');
    }
    let result;
    if (c.keyboard) {
      result = await byKeyboard(page, c.file);
    } else if (c.dropped || c.during) {
      if (c.during) await (await page.$('#source')).uploadFile(c.during);
      else await dropFolder(page, files);
      await drop(page, c.file, Boolean(c.during));
      await page.click('#convert');
      result = await outcome(page);
    } else {
      result = await convert(page, c.file, c.afterChoice);
    }

    if (c.error) {
      check(`${c.what}: its message, as an error`, result.error && c.error.test(result.text), result.text);
      const state = await page.$eval('#save', (save) => ({ save: save.disabled, table: document.getElementById('result').hidden }));
      check(`${c.what}: nothing to save, no table`, state.save && state.table, JSON.stringify(state));
      continue;
    }
    check(`${c.what}: the count`, !result.error && (!c.status || result.text === c.status), result.text);

    const table = await page.evaluate(() => ({
      header: Array.from(document.querySelectorAll('#preview thead th'), (th) => th.textContent),
      rows: Array.from(document.querySelectorAll('#preview tbody tr'), (tr) => Array.from(tr.cells, (cell) => cell.textContent)),
      noAddress: Array.from(document.querySelectorAll('#preview tbody tr.no-address th'), (th) => th.textContent),
      more: document.getElementById('more').hidden ? '' : document.getElementById('more').textContent,
      skipped: document.getElementById('skipped').textContent,
      report: document.getElementById('report').hidden ? '' : document.getElementById('report').innerText,
      lost: Array.from(document.querySelectorAll('#preview td.lost'), (td) => [td.parentElement.sectionRowIndex + 1, td.cellIndex]),
    }));
    if (c.report !== undefined) {
      check(`${c.what}: the report of lost characters`, table.report === c.report, JSON.stringify(table.report));
      check(`${c.what}: the cells that lost characters`, same(table.lost, c.lost || []), JSON.stringify(table.lost));
    }
    if (c.header) {
      const shown = table.header.slice(0, c.header.length);
      check(`${c.what}: the columns`, same(shown, c.header), JSON.stringify(shown));
    }
    for (const [row, cells] of c.cells || []) {
      const shown = (table.rows[row] || []).slice(0, cells.length);
      check(`${c.what}: row ${row + 1}'s cells`, same(shown, cells), JSON.stringify(shown));
    }
    if (c.quoted) {
      const [row, cell, text] = c.quoted;
      check(`${c.what}: a quoted cell`, table.rows[row] && table.rows[row][cell] === text, table.rows[row] && table.rows[row][cell]);
    }
    if (c.noAddress) check(`${c.what}: the rows without an address are marked`, same(table.noAddress, c.noAddress), JSON.stringify(table.noAddress));
    if (c.filter) {
      await page.click('#marked-only');
      await page.waitForFunction((n) => document.querySelectorAll('#preview tbody tr').length === n, {}, c.filter.length);
      const listed = await page.$$eval('#preview tbody th', (ths) => ths.map((th) => th.textContent));
      check(`${c.what}: the marked rows alone`, same(listed, c.filter), JSON.stringify(listed));
      await page.click('#marked-only');
    }
    if (c.skipped) check(`${c.what}: the template's rows above its header told of`, table.skipped === c.skipped, table.skipped);
    if (c.rows !== undefined) check(`${c.what}: ${c.rows} rows shown`, table.rows.length === c.rows, String(table.rows.length));
    if (c.more) check(`${c.what}: the rest offered`, table.more === `さらに表示（残り ${c.more} 件）`, table.more);

    const download = downloadsCaught.saved();
    await page.click('#save');
    const saved = await download;
    const wanted = `${path.basename(c.file).replace(/\.[^.]*$/, '')}.csv`;
    check(`${c.what}: saved as ${wanted}`, saved.name === wanted, saved.name);
    const bytesSame = saved.state === 'completed' && readFileSync(saved.file).equals(readFileSync(expected));
    check(`${c.what}: the same bytes as kartovo-convert`, bytesSame, `cmp ${saved.file} ${expected}`);

    if (c.screenshots !== undefined) await screenshots(page, c.screenshots);
  }

  check('no request left the page', requests.length === 0, requests.join(' '));
  check('no script error', problems.length === 0, problems.join(' | '));
} catch (error) {
  check('the run itself', false, error.stack || String(error));
} finally {
  await close();
}
// The same page in Firefox ESR, which the driver reaches without a download
// of its own: the cases the table marks, through the file input.
if (existsSync(FIREFOX)) {
  let firefox = null;
  try {
    firefox = await openBrowser('firefox');
    const opened = await openPage(firefox.browser, pagePath);
    const saved = await watchSaves(opened.page);
    for (const c of cases.filter((c) => c.firefox)) {
      const result = await convert(opened.page, c.file, c.afterChoice);
      if (c.error) {
        check(`Firefox, ${c.what}: its message, as an error`, result.error && c.error.test(result.text), result.text);
        continue;
      }
      check(`Firefox, ${c.what}: the count`, !result.error && result.text === c.status, result.text);
      const shown = await opened.page.evaluate(() => ({
        report: document.getElementById('report').hidden ? '' : document.getElementById('report').innerText,
        lost: Array.from(document.querySelectorAll('#preview td.lost'), (td) => [td.parentElement.sectionRowIndex + 1, td.cellIndex]),
      }));
      check(`Firefox, ${c.what}: the report and the marked cells`, shown.report === c.report && same(shown.lost, c.lost || []),
        JSON.stringify(shown));
      const { name, base64 } = await saved();
      const bytesSame = Buffer.from(base64, 'base64').equals(readFileSync(expectedCsv(c.file, c)));
      check(`Firefox, ${c.what}: saved as kartovo-convert writes it`, bytesSame && name === `${path.basename(c.file, '.vcf')}.csv`, name);
      if (c.screenshots === '') await opened.page.screenshot({ path: path.join(work, 'screenshots', 'firefox.png'), fullPage: true });
    }
    check('Firefox: no request left the page', opened.requests.length === 0, opened.requests.join(' '));
    check('Firefox: no script error', opened.problems.length === 0, opened.problems.join(' | '));
  } catch (error) {
    check('Firefox: the run itself', false, error.stack || String(error));
  } finally {
    if (firefox) await firefox.close();
  }
} else {
  console.log(`# Firefox ESR not found at ${FIREFOX}: its cases skipped`);
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);

// The whole way with the keyboard: Tab to the file button, Enter, the file
// chooser; Tab to "変換", Enter; then Tab reaches "CSVを保存" and the table.
async function byKeyboard(page, file) {
  await page.evaluate(() => document.activeElement && document.activeElement.blur());
  const reached = [];
  const tabTo = async (id) => {
    for (let i = 0; i < 12; i++) {
      await page.keyboard.press('Tab');
      const at = await page.evaluate(() => document.activeElement.id || document.activeElement.className);
      reached.push(at);
      if (at === id) return true;
    }
    return false;
  };
  check('Tab reaches the file button', await tabTo('choose'), reached.join(' '));
  // The file chooser is caught in a session of our own, whose capture is
  // surely on before the key is pressed (puppeteer's may not be yet).
  const session = await page.createCDPSession();
  await session.send('Page.enable');
  await session.send('Page.setInterceptFileChooserDialog', { enabled: true });
  const opened = new Promise((resolve) => session.once('Page.fileChooserOpened', resolve));
  await page.keyboard.press('Enter');
  const { backendNodeId } = await opened;
  await session.send('DOM.setFileInputFiles', { files: [file], backendNodeId });
  await session.detach();
  check('Tab then reaches the layout and the template button', await tabTo('layout') && await tabTo('choose-form'),
    reached.join(' '));
  check('Tab then reaches "変換"', await tabTo('convert'), reached.join(' '));
  await page.keyboard.press('Enter');
  const result = await outcome(page);
  check('Tab then reaches "CSVを保存"', await tabTo('save'), reached.join(' '));
  check('Tab then reaches the table', await tabTo('table-wrap'), reached.join(' '));
  return result;
}

// A drop of the file on the page, as a file manager makes one; `converting`:
// right after "変換" is pressed for the file chosen before, ahead of any answer.
async function drop(page, file, converting) {
  const bytes = readFileSync(file).toString('base64');
  await page.evaluate((name, base64, converting) => {
    const data = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    if (converting) document.getElementById('convert').click();
    const transfer = new DataTransfer();
    transfer.items.add(new File([data], name));
    for (const type of ['dragover', 'drop']) {
      document.body.dispatchEvent(new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: transfer }));
    }
  }, path.basename(file), bytes, converting);
  const name = await page.$eval('#source-name', (output) => output.textContent);
  check('a dropped file is chosen', name === path.basename(file), name);
}

// A folder dropped from the file manager, through the browser's own drop:
// refused by name, not taken for a file.
async function dropFolder(page, folder) {
  const session = await page.createCDPSession();
  const data = { items: [], files: [folder], dragOperationsMask: 1 };
  for (const type of ['dragEnter', 'dragOver', 'drop']) await session.send('Input.dispatchDragEvent', { type, x: 100, y: 100, data });
  await session.detach();
  await page.waitForFunction(() => document.getElementById('status').textContent.includes('フォルダー'), { timeout: 5000 })
    .catch(() => {});
  const said = await page.$eval('#status', (status) => `${status.className} ${status.textContent}`);
  check('a dropped folder is refused as one', said === `error ${path.basename(folder)} はフォルダーです。中の vCard ファイル（.vcf）を選んでください。`, said);
}

// A template given through its button: what the page then says, and the
// layout chosen.
async function chooseForm(page, file) {
  await page.$eval('#status', (status) => { status.textContent = ''; });
  await (await page.$('#form')).uploadFile(file);
  await page.waitForFunction(() => {
    const said = document.getElementById('status').textContent;
    return said && !said.endsWith('読んでいます…');
  }, { timeout: 10000 });
  return page.evaluate(() => {
    const status = document.getElementById('status');
    return { text: status.textContent, error: status.classList.contains('error'), layout: document.getElementById('layout').value };
  });
}

// The page after a conversion, at a desktop's width and a phone's.
async function screenshots(page, prefix) {
  const shots = path.join(work, 'screenshots');
  mkdirSync(shots, { recursive: true });
  await page.screenshot({ path: path.join(shots, `${prefix}desktop.png`), fullPage: true });
  // Not as a mobile device: puppeteer would load the page again, losing the result.
  await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2 });
  await page.screenshot({ path: path.join(shots, `${prefix}phone.png`), fullPage: true });
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
  check('at a phone\'s width, nothing but the table scrolls sideways', overflow <= 0, `${overflow} px too wide`);
  await page.setViewport({ width: 1280, height: 900 });
}
