// Drives Kartovo.html in the system's Chromium or Firefox ESR, for the page's
// tests and the benchmark: never a browser of puppeteer's own, which would
// be downloaded.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

// Headless, as root without a sandbox, and nothing that reaches out on its
// own: the page's requests are then the only ones there are to count.
// Scrollbars lie over the page, as on a phone, so that a screenshot shows
// the whole width.
const FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--hide-scrollbars'];

export const FIREFOX = process.env.KARTOVO_FIREFOX || '/usr/bin/firefox-esr';

export async function openBrowser(kind = 'chromium') {
  if (kind === 'firefox') {
    // Reached over WebDriver BiDi, with a fresh profile of puppeteer's.
    const browser = await puppeteer.launch({ browser: 'firefox', executablePath: FIREFOX, headless: true });
    return { browser, close: () => browser.close() };
  }
  const profile = mkdtempSync(path.join(tmpdir(), 'kartovo-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.KARTOVO_CHROMIUM || '/usr/bin/chromium',
    headless: false,  // the flag above says it, as this machine's browser wants it
    args: [...FLAGS, `--user-data-dir=${profile}`],
  });
  return {
    browser,
    async close() {
      await browser.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Opens the page from disk, counting every request it or its worker makes
// beyond reading itself and its own blobs.
export async function openPage(browser, pagePath) {
  const page = await browser.newPage();
  const pageUrl = pathToFileURL(pagePath).href;
  const requests = [];
  page.on('request', (request) => {
    const url = request.url();
    if (url !== pageUrl && !url.startsWith('blob:') && !url.startsWith('data:')) requests.push(url);
  });
  const problems = [];
  page.on('pageerror', (error) => problems.push(String(error)));
  page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
  await page.goto(pageUrl);
  return { page, requests, problems };
}

// Chooses the file through the page's file input, does `afterChoice` (to the
// file, say), presses "変換" and waits for the outcome: the status text,
// whether it is an error, and the time the page took, measured inside it.
export async function convert(page, file, afterChoice) {
  const input = await page.$('#source');
  await input.uploadFile(file);
  if (afterChoice) afterChoice();
  await page.click('#convert');
  return outcome(page);
}

export async function outcome(page) {
  await page.waitForFunction(() => {
    const status = document.getElementById('status').textContent;
    return !document.getElementById('convert').hasAttribute('aria-busy') && status && status !== '変換しています…';
  }, { timeout: 120000 });
  // The table fills after the count is shown.
  await page.waitForFunction(() => !document.getElementById('table-wrap').hasAttribute('aria-busy'));
  return page.$eval('#status', (status) => ({
    text: status.textContent,
    error: status.classList.contains('error'),
    ms: Number(status.dataset.ms),
  }));
}

// What "CSVを保存" hands the browser to save, where the driver cannot catch
// the download itself (Firefox): the name, and the bytes as base64. The
// page's CSV is remembered as it is made, so call this before converting.
export async function watchSaves(page) {
  await page.evaluate(() => {
    const make = URL.createObjectURL;
    URL.createObjectURL = (object) => {
      if (object instanceof Blob) window.kartovoLastBlob = object;
      return make.call(URL, object);
    };
  });
  return async () => page.evaluate(async () => {
    let name = null;
    const click = HTMLAnchorElement.prototype.click;
    HTMLAnchorElement.prototype.click = function () { name = this.download; };
    try {
      document.getElementById('save').click();
    } finally {
      HTMLAnchorElement.prototype.click = click;
    }
    const bytes = new Uint8Array(await window.kartovoLastBlob.arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return { name, base64: btoa(text) };
  });
}

// Downloads land in `folder`; `saved()` then waits for the next one and
// gives the name the page suggested and where the bytes are.
export async function catchDownloads(browser, folder) {
  const session = await browser.target().createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allowAndName', downloadPath: folder, eventsEnabled: true });
  const names = new Map();
  const waiting = [];
  session.on('Browser.downloadWillBegin', (event) => names.set(event.guid, event.suggestedFilename));
  session.on('Browser.downloadProgress', (event) => {
    if (event.state !== 'completed' && event.state !== 'canceled') return;
    const resolve = waiting.shift();
    if (resolve) resolve({ name: names.get(event.guid), file: path.join(folder, event.guid), state: event.state });
  });
  return { saved: () => new Promise((resolve) => waiting.push(resolve)) };
}
