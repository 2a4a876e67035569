// The tournament's results.html in a real browser: scripts/tournament runs two clients (the same
// botpilot under two names) over two seeds of 5 s, then headless Chromium, driven by
// playwright-core, opens the page from its file and checks that every chart drew both series
// and that the page asked for nothing beyond its own file. Run by ctest:
//   node tournament_report_test.mjs PYTHON TOURNAMENT BOTARENA BOTPILOT OUTPUT_DIRECTORY
// It exits 77 (skipped) when Chromium or playwright-core is missing, unless
// BOTARENA_REQUIRE_BROWSER=1 (scripts/test sets it) makes that a failure.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { LaunchHeadless, LoadChromium } from './headless_chromium.mjs';
import { after, before, test } from 'node:test';

const [python, tournament, botarena, botpilot, outputDirectory] = process.argv.slice(2);
const kCharts = ['chart-score', 'chart-accuracy', 'chart-placements'];

if (!outputDirectory) {
  console.error('usage: node tournament_report_test.mjs PYTHON TOURNAMENT BOTARENA BOTPILOT OUTPUT_DIRECTORY');
  process.exit(2);
}
const chromium = await LoadChromium();
mkdirSync(outputDirectory, { recursive: true });
const scratch = mkdtempSync(join(tmpdir(), 'botarena-tournament-'));
const results = join(outputDirectory, 'tournament');

let browser;
let report;
before(async () => {
  rmSync(results, { recursive: true, force: true });
  const run = spawnSync(
    python,
    [
      tournament,
      '--seeds',
      '2',
      '--duration',
      '5',
      '--jobs',
      '2',
      '--arena',
      botarena,
      '--client',
      botpilot,
      '--name',
      'first',
      '--client',
      botpilot,
      '--name',
      'second',
      '--out',
      results,
    ],
    { stdio: ['ignore', 'pipe', 'pipe'], encoding: 'utf8', timeout: 100000 },
  );
  console.log(run.stdout, run.stderr);
  assert.equal(run.status, 0, 'scripts/tournament ran every battle');
  report = JSON.parse(readFileSync(join(results, 'results.json'), 'utf8'));
  browser = await LaunchHeadless(chromium, scratch, { width: 800, height: 720 });
});
after(async () => {
  await browser?.close();
});

test('results.html draws each chart with both clients and loads nothing else', async () => {
  const page = await browser.newPage();
  const url = pathToFileURL(join(results, 'results.html')).href;
  // Anything but the page itself is blocked, and fails the test.
  const foreign = [];
  await page.route('**/*', (route) => {
    if (route.request().url() === url) {
      return route.continue();
    }
    foreign.push(route.request().url());
    return route.abort();
  });
  page.on('request', (request) => {
    if (!request.url().startsWith('file:')) {
      foreign.push(request.url());
    }
  });
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url);

  for (const id of kCharts) {
    const chart = page.locator(`#${id}`);
    assert.equal(await chart.count(), 1, `one #${id}`);
    // Drawn marks have an area on the page, and each client's series has its own colour.
    const marks = await chart.locator('.mark').evaluateAll((rects) =>
      rects.map((rect) => {
        const box = rect.getBoundingClientRect();
        return { width: box.width, height: box.height, fill: rect.getAttribute('fill') };
      }),
    );
    assert.ok(marks.length > 0, `#${id} has marks`);
    for (const mark of marks) {
      assert.ok(mark.width > 0 && mark.height > 0, `#${id}: a mark of ${mark.width}×${mark.height}`);
    }
    assert.equal(new Set(marks.map((mark) => mark.fill)).size, 2, `#${id}: two series`);
  }
  // Per battle: one mark a client and seed in the per-battle charts.
  for (const id of ['chart-score', 'chart-accuracy']) {
    const expected = report.clients
      .flatMap((client) => client.battles)
      .filter((battle) => battle.ok && (id !== 'chart-accuracy' || battle.accuracy !== null)).length;
    assert.equal(await page.locator(`#${id} .mark`).count(), expected, `#${id}: a mark a battle`);
  }
  const rows = await page.locator('#comparison tbody tr').count();
  assert.ok(rows > 0, 'the comparison of the two clients is shown');
  assert.equal(await page.locator('#battles tbody tr').count(), 4, 'a row a client and seed');
  // Readable at 800 px: the page itself never scrolls sideways.
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  assert.ok(overflow <= 0, `the page is ${overflow} px too wide`);
  await page.screenshot({ path: join(outputDirectory, 'tournament.png'), fullPage: true });
  assert.deepEqual(foreign, [], 'the page loaded nothing from elsewhere');
  assert.deepEqual(errors, []);
  await page.close();
});
