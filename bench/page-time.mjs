// The benchmark's browser side: Kartovo.html open in headless Chromium for
// the whole run, converting each file run.sh names on standard input.
//
// Input lines: SOURCE, or SOURCE<TAB>SAVE_AS to keep the CSV the page saves.
// Output lines: the milliseconds the page took, as it measures them (from
// "変換" to the count on the page: reading the file, converting, the CSV
// ready to save), a tab, and the KiB by which Chromium's processes grew
// meanwhile at their peak; or "error<TAB>the page's message".
import { copyFileSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { catchDownloads, convert, openBrowser, openPage } from '../tests/web/Browser.mjs';

const [pagePath] = process.argv.slice(2);

// The browser and every process it started, with their resident memory.
function processesOf(root) {
  const parents = new Map();
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
      parents.set(Number(entry), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
    } catch {
      // gone meanwhile
    }
  }
  const family = new Set([root]);
  for (let grew = true; grew;) {
    grew = false;
    for (const [pid, parent] of parents) {
      if (family.has(parent) && !family.has(pid)) {
        family.add(pid);
        grew = true;
      }
    }
  }
  return family;
}

function residentKiB(pids) {
  let total = 0;
  for (const pid of pids) {
    try {
      total += Number(/VmRSS:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);
    } catch {
      // gone meanwhile
    }
  }
  return total;
}

const downloads = mkdtempSync(path.join(tmpdir(), 'kartovo-bench-'));
const { browser, close } = await openBrowser();
try {
  const caught = await catchDownloads(browser, downloads);
  const { page } = await openPage(browser, pagePath);
  for await (const line of readline.createInterface({ input: process.stdin })) {
    const [source, saveAs] = line.split('\t');
    const pids = processesOf(browser.process().pid);
    const before = residentKiB(pids);
    let peak = before;
    const sampler = setInterval(() => { peak = Math.max(peak, residentKiB(pids)); }, 20);
    const result = await convert(page, source);
    clearInterval(sampler);
    peak = Math.max(peak, residentKiB(pids));
    if (result.error) {
      console.log(`error\t${result.text}`);
      continue;
    }
    if (saveAs) {
      const saved = caught.saved();
      await page.click('#save');
      copyFileSync((await saved).file, saveAs);
    }
    console.log(`${result.ms}\t${peak - before}`);
  }
} finally {
  await close();
  rmSync(downloads, { recursive: true, force: true });
}
