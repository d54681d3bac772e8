// Debian's Chromium and Firefox ESR, headless, driven by the pinned
// puppeteer-core (Chromium over its DevTools protocol, Firefox over WebDriver
// BiDi), and a static server on 127.0.0.1 for the built page: what the
// browser tests and the benchmark share.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

// the top folder of the tree
export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');

// the path after option `name` on the command line, else `fallback`
export function pathOption(name, fallback) {
  const i = process.argv.indexOf(name);
  return path.resolve(i > 0 ? process.argv[i + 1] : fallback);
}

export const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
export const firefoxPath = process.env.FIREFOX || '/usr/bin/firefox-esr';

// flags that keep Chromium off the network this machine does not have
const chromiumArgs = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-dev-shm-usage',
];

// what keeps Firefox off the network (puppeteer's own preferences do the most)
const firefoxPrefs = {
  'network.captive-portal-service.enabled': false,
  'network.connectivity-service.enabled': false,
  'browser.safebrowsing.update.enabled': false,
  'extensions.getAddons.cache.enabled': false,
  'media.gmp-manager.url': '',
};

// Starts `kind` ('chromium' or 'firefox') with a new empty profile;
// close() ends it and removes the profile.  `downloads`, for Firefox: the
// folder where its downloads go (WebDriver BiDi sets it per browser context,
// in `context`, where the pages are to be opened).  `prefs`: Firefox's
// preferences besides these (Firefox has no emulation of media features:
// `{'ui.prefersReducedMotion': 1}` starts it with reduced motion).
export async function launchBrowser(kind = 'chromium', prefs = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `hybridsim-${kind}-`));
  const browser = kind === 'firefox'
    ? await puppeteer.launch({
      browser: 'firefox',
      executablePath: firefoxPath,
      headless: true,
      userDataDir: profile,
      extraPrefsFirefox: { ...firefoxPrefs, ...prefs },
      timeout: 60000,
    })
    : await puppeteer.launch({
      executablePath: chromiumPath,
      headless: true,
      userDataDir: profile,
      args: chromiumArgs,
      timeout: 60000,
    });
  let context = browser.defaultBrowserContext();
  let downloads = null;
  if (kind === 'firefox') {
    downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'hybridsim-firefox-downloads-'));
    context = await browser.createBrowserContext({ downloadBehavior: { policy: 'allow', downloadPath: downloads } });
  }
  return {
    kind,
    browser,
    context,
    downloads,
    async close() {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
      if (downloads) fs.rmSync(downloads, { recursive: true, force: true });
    },
  };
}

const contentTypes = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
};

// Serves the files of `dir` on 127.0.0.1 at a free port.
export function serveFolder(dir) {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://localhost').pathname);
    const file = path.join(dir, name === '/' ? 'index.html' : name);
    if (!file.startsWith(dir + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end('not found');
      return;
    }
    res.writeHead(200, { 'Content-Type': contentTypes[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      resolve({
        url: `http://127.0.0.1:${port}/index.html`,
        close: () => new Promise((done) => server.close(done)),
      });
    });
  });
}

// A new page in `context` (a browser or one of its contexts) whose console
// errors, page errors, failed requests and dialogs are collected in
// `problems`; `pixelRatio` is the screen's devicePixelRatio; `beforeLoad`,
// if given, runs in the page before its own scripts.
export async function openPage(context, url, problems, timeout = 30000, pixelRatio = 1, beforeLoad = null) {
  const page = await context.newPage();
  if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
  page.on('console', (m) => {
    if (m.type() === 'error') problems.push(`console error: ${m.text()}`);
  });
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  page.on('requestfailed', (r) => {
    // a download handed to the browser ends its request; nothing failed
    if (r.url().startsWith('blob:') && r.failure()?.errorText === 'net::ERR_ABORTED') return;
    problems.push(`failed request: ${r.url()} ${r.failure()?.errorText}`);
  });
  page.on('response', (r) => {
    if (r.status() >= 400) problems.push(`failed request: ${r.url()} status ${r.status()}`);
  });
  page.on('dialog', async (d) => {
    problems.push(`dialog (${d.type()}): ${d.message()}`);
    await d.dismiss();
  });
  await page.setViewport({ width: 1280, height: 900, deviceScaleFactor: pixelRatio });
  await page.goto(url, { waitUntil: 'load', timeout });
  await page.waitForFunction(() => document.body.dataset.ready === 'true', { timeout });
  return page;
}

// --- downloads ---

// Runs `start`, which makes the page download the files `names`, into a new
// folder, and returns the folder once the browser has finished every one of
// them, within `deadline` [ms].  The caller removes the folder.  Chromium
// reports each download complete (a file is there whole, under its name);
// Firefox writes a file to NAME.part and renames it to NAME when it is
// whole, in the folder of its browser context (browser.downloads).
export async function downloads(browser, page, names, start, deadline = 30000) {
  if (browser.kind === 'firefox') return firefoxDownloads(browser.downloads, names, start, deadline);
  const count = names.length;
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'hybridsim-downloads-'));
  const cdp = await page.createCDPSession();
  try {
    let timer;
    const finished = new Promise((resolve, reject) => {
      let left = count;
      cdp.on('Browser.downloadProgress', (e) => {
        if (e.state === 'canceled') reject(new Error('a download was cancelled'));
        else if (e.state === 'completed' && --left === 0) resolve();
      });
      timer = setTimeout(() => reject(new Error(`downloads not finished: ${fs.readdirSync(folder)}`)), deadline);
    });
    finished.catch(() => {});  // awaited below; an early failure is not unhandled
    await cdp.send('Browser.setDownloadBehavior',
                   { behavior: 'allow', downloadPath: folder, eventsEnabled: true });
    await start();
    await finished.finally(() => clearTimeout(timer));
    return folder;
  } catch (e) {
    fs.rmSync(folder, { recursive: true, force: true });
    throw e;
  } finally {
    await cdp.detach();
  }
}

async function firefoxDownloads(into, names, start, deadline) {
  for (const f of fs.readdirSync(into)) fs.rmSync(path.join(into, f), { force: true });
  await start();
  const whole = () => {
    const there = fs.readdirSync(into);
    return !there.some((f) => f.endsWith('.part')) &&
      names.every((n) => there.includes(n) && fs.statSync(path.join(into, n)).size > 0);
  };
  const until = Date.now() + deadline;
  while (!whole()) {
    if (Date.now() > until) throw new Error(`downloads not finished: ${fs.readdirSync(into)}`);
    await new Promise((done) => setTimeout(done, 20));
  }
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'hybridsim-downloads-'));
  for (const n of names) fs.copyFileSync(path.join(into, n), path.join(folder, n));
  return folder;
}
