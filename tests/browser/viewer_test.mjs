// The viewer in a real browser: headless Chromium, driven by playwright-core, against the arena
// on 127.0.0.1 with OS-chosen ports. Run by ctest:
//   node viewer_test.mjs BOTARENA_PATH OUTPUT_DIRECTORY
// It exits 77 (skipped) when Chromium or playwright-core is missing, unless
// BOTARENA_REQUIRE_BROWSER=1 (scripts/test sets it) makes that a failure.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, openSync, readFileSync } from 'node:fs';
import net from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { LaunchHeadless, LoadChromium } from './headless_chromium.mjs';
import { after, before, describe, test } from 'node:test';

const [botarena, outputDirectory] = process.argv.slice(2);

if (!botarena || !outputDirectory) {
  console.error('usage: node viewer_test.mjs BOTARENA_PATH OUTPUT_DIRECTORY');
  process.exit(2);
}
const chromium = await LoadChromium();
mkdirSync(outputDirectory, { recursive: true });
const scratch = mkdtempSync(join(tmpdir(), 'botarena-viewer-'));

// ---- The arena as a child process ---------------------------------------------------------

/// Starts botarena and resolves with the child and its first line once it is printed.
function StartArena(args, logName) {
  const log = openSync(join(outputDirectory, logName), 'w');
  const child = spawn(botarena, args, { stdio: ['ignore', 'pipe', log] });
  let output = '';
  const firstLine = new Promise((resolve, reject) => {
    child.stdout.on('data', (chunk) => {
      output += chunk;
      const end = output.indexOf('\n');
      if (end >= 0) {
        resolve(output.slice(0, end));
      }
    });
    child.on('exit', (code) => reject(new Error(`botarena ended (${code}) before its first line`)));
  });
  const ended = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  return { child, firstLine, ended, output: () => output };
}

function Ports(firstLine) {
  const robot = Number(/port (\d+) for robots/.exec(firstLine)?.[1]);
  const viewer = /viewer at (http:\/\/127\.0\.0\.1:(\d+)\/)/.exec(firstLine);
  assert.ok(robot > 0, firstLine);
  assert.ok(viewer, firstLine);
  return { robot, drawing: robot + 1, url: viewer[1], http: Number(viewer[2]) };
}

// ---- A drawing client on the arena's wire ---------------------------------------------------

function Uint32(value) {
  const bytes = Buffer.alloc(4);
  bytes.writeUInt32LE(value >>> 0);
  return bytes;
}

function DrawItemFrame(id, [x, y, halfWidth, halfHeight], code, [r, g, b]) {
  const values = [];
  const int = (value) => {
    const bytes = Buffer.alloc(5);
    bytes[0] = 1;
    bytes.writeInt32LE(value, 1);
    values.push(bytes);
  };
  const double = (value) => {
    const bytes = Buffer.alloc(9);
    bytes[0] = 2;
    bytes.writeDoubleLE(value, 1);
    values.push(bytes);
  };
  int(id);
  [x, y, halfWidth, halfHeight, 0.0].forEach(double);
  [code, r, g, b].forEach(int);
  const payload = Buffer.concat(values);
  return Buffer.concat([Uint32(2), Uint32(payload.length), payload]);
}

/// Connects to the drawing port, sends the items one by one and waits for each reply.
async function Draw(port, items) {
  const socket = net.connect({ host: '127.0.0.1', port });
  await new Promise((resolve, reject) => socket.once('connect', resolve).once('error', reject));
  let received = Buffer.alloc(0);
  let wanted = null;
  socket.on('data', (chunk) => {
    received = Buffer.concat([received, chunk]);
    wanted?.();
  });
  const take = (count) => new Promise((resolve) => {
    wanted = () => {
      if (received.length >= count) {
        wanted = null;
        const bytes = received.subarray(0, count);
        received = received.subarray(count);
        resolve(bytes);
      }
    };
    wanted();
  });
  const name = Buffer.from('Graphics');
  socket.write(Buffer.concat([Buffer.from('QTMX'), Uint32(1), Uint32(name.length), name, Uint32(1)]));
  assert.equal((await take(1))[0], 1, 'the drawing handshake is accepted');
  for (const item of items) {
    socket.write(DrawItemFrame(item.id, item.rect, item.code, item.colour));
    const length = (await take(4)).readUInt32LE(0);
    const reply = await take(length);
    assert.equal(reply.readUInt32LE(1), 0, `item ${item.id} is answered with an empty error text`);
  }
  return socket;
}

// ---- The page -----------------------------------------------------------------------------

let browser; // a context of its own, on a fresh profile
before(async () => {
  browser = await LaunchHeadless(chromium, scratch, { width: 1280, height: 720 });
});
after(async () => {
  await browser?.close();
});

/// A page that fails the test on any request to anywhere but `origin`.
async function OpenPage(url) {
  const page = await browser.newPage();
  const origin = new URL(url).origin;
  const foreign = [];
  page.on('request', (request) => {
    if (!request.url().startsWith(origin) && !request.url().startsWith('data:')) {
      foreign.push(request.url());
    }
  });
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url);
  return { page, foreign, errors };
}

/// Polls `probe` (which returns a failure text or null) until it passes or the time is up.
async function Eventually(probe, seconds, what) {
  const deadline = Date.now() + seconds * 1000;
  let failure = 'never probed';
  while (Date.now() < deadline) {
    failure = await probe();
    if (failure === null) {
      return;
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  assert.fail(`${what}: ${failure}`);
}

/// Everything the pixel checks need from one drawn frame, read in one go so that no frame is
/// drawn between the snapshot and the pixels.
function ReadFrame(page) {
  return page.evaluate(() => {
    const viewer = window.botarenaViewer;
    const snapshot = viewer.snapshot;
    if (!snapshot) {
      return null;
    }
    const context = document.getElementById('field').getContext('2d');
    const pixel = (x, y) => {
      const [px, py] = viewer.toCanvas(x, y);
      return Array.from(context.getImageData(Math.floor(px), Math.floor(py), 1, 1).data.slice(0, 3));
    };
    return {
      snapshot,
      robots: snapshot.robots.filter((robot) => robot.state === 'alive')
        .map((robot) => ({ robot, pixel: pixel(robot.x, robot.y) })),
      cells: snapshot.drawings.flatMap((layer) => layer.cells.map((cell) => ({
        layer: layer.connection, cell, pixel: pixel(cell[0], cell[1]),
      }))),
    };
  });
}

function Near(pixel, colour, tolerance = 3) {
  return pixel.every((value, i) => Math.abs(value - colour[i]) <= tolerance);
}

/// Whether anything but the drawing could be painted at (x, y): a robot with its name and
/// hit-point bar, a scanner cone, a shell with its trail. Margins are generous.
function Covered(snapshot, x, y) {
  for (const robot of snapshot.robots.filter((r) => r.state === 'alive')) {
    const dx = x - robot.x;
    const dy = y - robot.y;
    const distance = Math.hypot(dx, dy);
    if (distance < 2.0) {
      return true;
    }
    const turn = Math.atan2(dy, dx) - robot.scannerHeading;
    const off = Math.abs(Math.atan2(Math.sin(turn), Math.cos(turn)));
    if (distance <= robot.scannerRange + 0.5 && off <= (robot.scannerFieldOfView / 2 + 8) * Math.PI / 180) {
      return true;
    }
  }
  return snapshot.shells.some((shell) => Math.hypot(x - shell.x, y - shell.y) < 2.5);
}

// ---- Live ---------------------------------------------------------------------------------

const kCellColour = [32, 200, 180];
const kFloorColour = [35, 40, 48]; // #232830, the field's floor
const kCells = [[-13.5, 8.5], [13.5, 8.5], [-13.5, -8.5], [13.5, -8.5], [0.5, 8.5], [0.5, -8.5],
  [-6.5, 0.5], [6.5, 0.5]];

describe('live battle', () => {
  let arena;
  let drawing;
  let ports;
  let view;

  before(async () => {
    arena = StartArena(['--port', '0', '--http', '0', '--bots', '2', '--opponent', 'wanderer',
      '--seed', '4'], 'live_arena.log');
    ports = Ports(await arena.firstLine);
    // Cells 1 to 8 on the map, and one item of another code, which is not drawn.
    const items = kCells.map(([x, y], i) => ({ id: i + 1, rect: [x, y, 0.5, 0.5], code: 8, colour: kCellColour }));
    items.push({ id: 9, rect: [0, 0, 3, 3], code: 5, colour: [255, 0, 255] });
    drawing = await Draw(ports.drawing, items);
    view = await OpenPage(ports.url);
  });
  after(async () => {
    drawing?.destroy();
    await view?.page.close();
    arena?.child.kill('SIGTERM');
    await arena?.ended;
  });

  test('the page shows the battle, live, with one scoreboard row a robot', async () => {
    const { page } = view;
    await Eventually(async () => {
      const state = await page.textContent('#connection');
      return state === 'live' ? null : `connection shows '${state}'`;
    }, 20, 'the page connects');
    await Eventually(async () => {
      const frame = await ReadFrame(page);
      const rows = await page.locator('#scoreboard tbody tr').count();
      if (!frame) {
        return 'nothing drawn yet';
      }
      return rows === frame.snapshot.robots.length && rows === 2 ? null
        : `${rows} rows for ${frame.snapshot.robots.length} robots`;
    }, 20, 'the scoreboard');
    const names = await page.locator('#scoreboard tbody tr td:first-child').allTextContents();
    assert.deepEqual(names, ['Wanderer 1', 'Wanderer 2']);
    const clock = async () => page.textContent('#clock');
    const first = await clock();
    await Eventually(async () => ((await clock()) !== first ? null : 'the clock stands'), 5, 'the clock runs');
    assert.match(await page.textContent('#layers'), /connection \d+ \(Graphics\)/);
  });

  test('canvas pixels carry each robot\'s colour and the drawn cells\' colour', async () => {
    const { page } = view;
    await Eventually(async () => {
      const frame = await ReadFrame(page);
      if (!frame || frame.robots.length !== 2) {
        return 'no frame with both robots';
      }
      for (const { robot, pixel } of frame.robots) {
        if (!Near(pixel, robot.colour)) {
          return `${robot.name} at (${robot.x}, ${robot.y}) shows ${pixel}, not ${robot.colour}`;
        }
      }
      return null;
    }, 15, 'robot pixels');

    // A cell with nothing drawn over it in the frame: its pixel is the cell's colour exactly.
    await Eventually(async () => {
      const frame = await ReadFrame(page);
      if (!frame) {
        return 'nothing drawn';
      }
      if (frame.cells.length !== kCells.length) {
        return `${frame.cells.length} cells drawn, not ${kCells.length}`;
      }
      const clear = frame.cells.filter(({ cell }) => !Covered(frame.snapshot, cell[0], cell[1]));
      if (clear.length === 0) {
        return 'every cell is under something';
      }
      const wrong = clear.find(({ pixel }) => !Near(pixel, kCellColour));
      return wrong ? `cell at (${wrong.cell[0]}, ${wrong.cell[1]}) shows ${wrong.pixel}` : null;
    }, 15, 'cell pixels');
    await page.screenshot({ path: join(outputDirectory, 'viewer.png') });
  });

  test('a drawing\'s toggle hides its cells and shows them again', async () => {
    const { page } = view;
    const toggle = page.locator('#layers input[type=checkbox]');
    assert.equal(await toggle.count(), 1);
    const cellPixels = async (colour) => {
      const frame = await ReadFrame(page);
      const clear = frame.cells.filter(({ cell }) => !Covered(frame.snapshot, cell[0], cell[1]));
      if (clear.length === 0) {
        return 'every cell is under something';
      }
      const wrong = clear.find(({ pixel }) => !Near(pixel, colour));
      return wrong ? `cell at (${wrong.cell[0]}, ${wrong.cell[1]}) shows ${wrong.pixel}, not ${colour}` : null;
    };
    await toggle.uncheck();
    await Eventually(() => cellPixels(kFloorColour), 10, 'hidden cells show the floor');
    await toggle.check();
    await Eventually(() => cellPixels(kCellColour), 10, 'shown cells show their colour');
  });

  test('the page reconnects when the arena restarts on its port', async () => {
    const { page } = view;
    drawing.destroy();
    arena.child.kill('SIGTERM');
    assert.equal(await arena.ended, 0);
    await Eventually(async () => {
      const state = await page.textContent('#connection');
      return state === 'live' ? `still '${state}'` : null;
    }, 10, 'the page sees the arena go');
    arena = StartArena(['--port', '0', '--http', String(ports.http), '--bots', '3',
      '--opponent', 'wanderer', '--seed', '6'],
      'restarted_arena.log');
    await arena.firstLine;
    await Eventually(async () => {
      const state = await page.textContent('#connection');
      const rows = await page.locator('#scoreboard tbody tr').count();
      return state === 'live' && rows === 3 ? null : `'${state}' with ${rows} rows`;
    }, 20, 'the page follows the new battle');
    assert.equal(await page.locator('#layers input').count(), 0, 'the old drawing went with its arena');
    assert.deepEqual(view.foreign, [], 'the page loaded nothing from elsewhere');
    assert.deepEqual(view.errors, []);
  });
});

// ---- Replay -------------------------------------------------------------------------------

describe('replay', () => {
  let summary;
  let replay;
  let view;

  before(async () => {
    const recording = join(scratch, 'battle.jsonl');
    const summaryPath = join(scratch, 'summary.json');
    const battle = StartArena(['--port', '0', '--http', 'off', '--bots', '3', '--opponent', 'wanderer',
      '--seed', '2',
      '--duration', '4', '--record', recording, '--summary', summaryPath], 'recorded_arena.log');
    assert.equal(await battle.ended, 0);
    summary = JSON.parse(readFileSync(summaryPath, 'utf8'));
    replay = StartArena(['--replay', recording, '--http', '0'], 'replay.log');
    const firstLine = await replay.firstLine;
    assert.match(firstLine, /^botarena replaying .* \(\d+ snapshots, 0 s to 4 s\), viewer at /);
    view = await OpenPage(/viewer at (\S+)/.exec(firstLine)[1]);
  });
  after(async () => {
    await view?.page.close();
    replay?.child.kill('SIGTERM');
    await replay?.ended;
  });

  test('a recorded battle played to its end shows the final scoreboard', async () => {
    const { page } = view;
    await page.selectOption('#speed', '4');
    await page.waitForSelector('#replay[data-ended="true"]', { timeout: 20000 });
    assert.equal(await page.textContent('#clock'), '0:04.0');
    const outcome = summary.winner ? `${summary.winner.name} wins` : 'draw';
    assert.equal(await page.textContent('#over'), `Battle over: duration reached · ${outcome}`);
    const rows = await page.locator('#scoreboard tbody tr').evaluateAll((trs) =>
      trs.map((tr) => Array.from(tr.cells, (cell) => cell.textContent)));
    assert.equal(rows.length, summary.robots.length);
    summary.robots.forEach((robot, i) => {
      const [name, type, state, hitPoints, shots, hits, dealt, taken, alive, score, rank] = rows[i];
      assert.deepEqual([name, type, state, Number(shots), Number(hits), Number(rank)],
        [robot.name, robot.type, robot.state, robot.shots, robot.hits, robot.rank]);
      assert.ok(Math.abs(Number(score) - robot.score) <= 0.0051, `${robot.name}: score ${score}`);
      // The table shows rounded figures: each within half its last shown digit.
      const figures = [[hitPoints, robot.hitPoints, 0.051], [dealt, robot.damageDealt, 0.0051],
        [taken, robot.damageTaken, 0.0051], [alive, robot.timeAlive, 0.051]];
      for (const [shown, final, within] of figures) {
        assert.ok(Math.abs(Number(shown) - final) <= within, `${robot.name}: ${shown} for ${final}`);
      }
    });
  });

  test('pause holds the clock and the seek bar shows any moment', async () => {
    const { page } = view;
    await page.click('#play'); // plays again from the start
    await Eventually(async () => ((await page.textContent('#clock')) !== '0:04.0' ? null : 'not restarted'),
      10, 'play restarts an ended replay');
    await page.click('#play');
    const paused = await page.textContent('#clock');
    await new Promise((resolve) => setTimeout(resolve, 400));
    assert.equal(await page.textContent('#clock'), paused, 'the clock holds while paused');
    await page.locator('#seek').evaluate((bar) => {
      bar.value = '2';
      bar.dispatchEvent(new Event('input'));
      bar.dispatchEvent(new Event('change'));
    });
    await Eventually(async () => {
      const clock = await page.textContent('#clock');
      return /^0:0(1\.9|2\.0)$/.test(clock) ? null : `clock shows ${clock}`;
    }, 10, 'seeking to 2 s');
    assert.deepEqual(view.foreign, []);
    assert.deepEqual(view.errors, []);
  });
});
