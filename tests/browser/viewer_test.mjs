// The viewer in a real browser: headless Chromium, driven by playwright-core, against the arena
// on 127.0.0.1 with OS-chosen ports: a live battle, a recorded one, and a staged one
// (staged_battle.mjs) replayed to the moments the checks need. Run by ctest:
//   node viewer_test.mjs BOTARENA_PATH OUTPUT_DIRECTORY
// Screenshots go to OUTPUT_DIRECTORY: live_1280x800.png, replay_marks.png, zoom.png,
// layout_800x600.png, hostile_names.png. It exits 77 (skipped) when Chromium or
// playwright-core is missing, unless BOTARENA_REQUIRE_BROWSER=1 (scripts/test sets it) makes
// that a failure.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, openSync, readFileSync } from 'node:fs';
import net from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { LaunchHeadless, LoadChromium } from './headless_chromium.mjs';
import { kStaged, WriteStagedBattle } from './staged_battle.mjs';
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

/// Connects to the drawing port and returns the socket and `draw(items)`, which sends the items
/// one by one, each after the reply to the one before; calls queue behind each other.
async function ConnectDrawing(port) {
  const socket = net.connect({ host: '127.0.0.1', port });
  await new Promise((resolve, reject) => socket.once('connect', resolve).once('error', reject));
  let received = Buffer.alloc(0);
  let wanted = null;
  socket.on('data', (chunk) => {
    received = Buffer.concat([received, chunk]);
    wanted?.();
  });
  const take = (count) =>
    new Promise((resolve) => {
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
  let queue = Promise.resolve();
  const draw = (items) => {
    queue = queue.then(async () => {
      for (const item of items) {
        socket.write(DrawItemFrame(item.id, item.rect, item.code, item.colour));
        const length = (await take(4)).readUInt32LE(0);
        const reply = await take(length);
        assert.equal(reply.readUInt32LE(1), 0, `item ${item.id} is answered with an empty error text`);
      }
    });
    return queue;
  };
  return { socket, draw };
}

// ---- The page -----------------------------------------------------------------------------

let browser; // a context of its own, on a fresh profile
before(async () => {
  browser = await LaunchHeadless(chromium, scratch, { width: 1280, height: 720 });
});
after(async () => {
  await browser?.close();
});

/// A page that fails the test on any request to anywhere but `origin`. `withoutStory` makes
/// /story answer 404, as an arena from before it did.
async function OpenPage(url, { withoutStory = false } = {}) {
  const page = await browser.newPage();
  if (withoutStory) {
    await page.route('**/story', (route) => route.fulfill({ status: 404, body: 'Not Found' }));
  }
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

/// `text` without the marks that set a name apart from the sentence around it.
function Plain(text) {
  return text.replace(/[\u2066-\u2069]/g, '');
}

/// The elements of `selector` that are out of the window or cut off by a box that clips
/// what overflows it; each as the start of its text.
function HiddenElements(page, selector) {
  return page.evaluate((query) => {
    const hiddenPart = (element) => {
      const box = element.getBoundingClientRect();
      if (box.width === 0 || box.left < 0 || box.right > innerWidth || box.top < 0 || box.bottom > innerHeight) {
        return true;
      }
      for (let outer = element.parentElement; outer; outer = outer.parentElement) {
        const clip = outer.getBoundingClientRect();
        if (getComputedStyle(outer).overflowX !== 'visible' && (box.left < clip.left || box.right > clip.right)) {
          return true;
        }
      }
      return false;
    };
    return [...document.querySelectorAll(query)]
      .filter(hiddenPart)
      .map((element) => element.textContent.trim().slice(0, 12));
  }, selector);
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
/// drawn between the snapshot and the pixels. Positions are canvas pixels (viewer.js's
/// window.viewerState).
function ReadFrame(page) {
  return page.evaluate(() => {
    const viewer = window.viewerState;
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
      labels: viewer.labels,
      layers: viewer.layers,
      robots: snapshot.robots
        .filter((robot) => robot.state === 'alive')
        .map((robot) => ({ robot, pixel: pixel(robot.x, robot.y) })),
      cells: snapshot.drawings.flatMap((layer) =>
        layer.cells.map((cell) => ({
          layer: layer.connection,
          cell,
          at: viewer.toCanvas(cell[0], cell[1]),
          pixel: pixel(cell[0], cell[1]),
          drawnAs: viewer.cellColour(cell[4], cell[5], cell[6]),
        })),
      ),
    };
  });
}

function Near(pixel, colour, tolerance = 3) {
  return pixel.every((value, i) => Math.abs(value - colour[i]) <= tolerance);
}

/// The colour of a cell drawn at `opacity` over the floor.
function OverFloor(colour, opacity) {
  return colour.map((value, i) => Math.round(kFloorColour[i] + (value - kFloorColour[i]) * opacity));
}

/// Whether anything but the drawing could be painted over a cell: a robot with its name and
/// hit-point bar, a wreck, a scanner cone, a shell with its trail. Margins are generous.
function Covered(frame, { cell: [x, y], at: [px, py] }) {
  const { snapshot } = frame;
  if (
    frame.labels.some(
      (label) => px >= label.left - 4 && px <= label.right + 4 && py >= label.top - 4 && py <= label.bottom + 4,
    )
  ) {
    return true;
  }
  for (const robot of snapshot.robots.filter((r) => r.state === 'alive' || r.state === 'destroyed')) {
    const dx = x - robot.x;
    const dy = y - robot.y;
    const distance = Math.hypot(dx, dy);
    if (distance < 2.0) {
      return true;
    }
    const turn = Math.atan2(dy, dx) - robot.scannerHeading;
    const off = Math.abs(Math.atan2(Math.sin(turn), Math.cos(turn)));
    if (
      robot.state === 'alive' &&
      distance <= robot.scannerRange + 0.5 &&
      off <= ((robot.scannerFieldOfView / 2 + 8) * Math.PI) / 180
    ) {
      return true;
    }
  }
  // A shell and its trail, at most 2.5 units behind it.
  return snapshot.shells.some((shell) => {
    const speed = Math.hypot(shell.vx, shell.vy) || 1;
    const back = Math.min(2.5, speed * 0.2);
    const along = Math.max(0, Math.min(back, ((shell.x - x) * shell.vx + (shell.y - y) * shell.vy) / speed));
    return Math.hypot(x - (shell.x - (shell.vx / speed) * along), y - (shell.y - (shell.vy / speed) * along)) < 1.0;
  });
}

/// The first clear cell whose pixel is not what its layer's opacity makes of its colour, or
/// null; layers at `opacity` when given, else as the page drew them.
function WrongCell(frame, opacity) {
  const clear = frame.cells.filter((cell) => !Covered(frame, cell));
  if (clear.length === 0) {
    return 'every cell is under something';
  }
  for (const cell of clear) {
    const drawnWith = opacity ?? frame.layers.find((layer) => layer.connection === cell.layer)?.opacity ?? 1;
    const expected = OverFloor(cell.drawnAs, drawnWith);
    if (!Near(cell.pixel, expected)) {
      return `cell at (${cell.cell[0]}, ${cell.cell[1]}) shows ${cell.pixel}, not ${expected}`;
    }
  }
  return null;
}

// ---- Live ---------------------------------------------------------------------------------

const kCellColour = [32, 200, 180];
const kFloorColour = [35, 40, 48]; // #232830, the field's floor
const kCells = [
  [-13.5, 8.5],
  [13.5, 8.5],
  [-13.5, -8.5],
  [13.5, -8.5],
  [0.5, 8.5],
  [0.5, -8.5],
  [-6.5, 0.5],
  [6.5, 0.5],
];

describe('live battle', () => {
  let arena;
  let drawing;
  let redrawing = true;
  let ports;
  let view;

  before(async () => {
    arena = StartArena(
      ['--port', '0', '--http', '0', '--bots', '2', '--opponent', 'wanderer', '--seed', '4'],
      'live_arena.log',
    );
    ports = Ports(await arena.firstLine);
    // Cells 1 to 8 on the map, and one item of another code, which is not drawn.
    const items = kCells.map(([x, y], i) => ({ id: i + 1, rect: [x, y, 0.5, 0.5], code: 8, colour: kCellColour }));
    items.push({ id: 9, rect: [0, 0, 3, 3], code: 5, colour: [255, 0, 255] });
    drawing = await ConnectDrawing(ports.drawing);
    await drawing.draw(items);
    // A client that stops drawing has its layer fade out: this one redraws a cell steadily,
    // as the client's danger map does.
    (async () => {
      while (redrawing && !drawing.socket.destroyed) {
        await drawing.draw(items.slice(0, 1)).catch(() => {});
        await new Promise((resolve) => setTimeout(resolve, 200));
      }
    })();
    view = await OpenPage(ports.url);
    await view.page.setViewportSize({ width: 1280, height: 800 });
  });
  after(async () => {
    redrawing = false;
    drawing?.socket.destroy();
    await view?.page.close();
    arena?.child.kill('SIGTERM');
    await arena?.ended;
  });

  test('the page shows the battle, live, with one scoreboard row a robot', async () => {
    const { page } = view;
    await Eventually(
      async () => {
        const state = await page.textContent('#connection');
        return state === 'live' ? null : `connection shows '${state}'`;
      },
      20,
      'the page connects',
    );
    await Eventually(
      async () => {
        const frame = await ReadFrame(page);
        const rows = await page.locator('#scoreboard tbody tr').count();
        if (!frame) {
          return 'nothing drawn yet';
        }
        return rows === frame.snapshot.robots.length && rows === 2
          ? null
          : `${rows} rows for ${frame.snapshot.robots.length} robots`;
      },
      20,
      'the scoreboard',
    );
    const names = await page.locator('#scoreboard tbody tr td:first-child').allTextContents();
    assert.deepEqual(names, ['Wanderer 1', 'Wanderer 2']);
    const clock = async () => page.textContent('#clock');
    const first = await clock();
    await Eventually(async () => ((await clock()) !== first ? null : 'the clock stands'), 5, 'the clock runs');
    assert.match(await page.textContent('#layers'), /connection \d+ \(Graphics\)/);
  });

  test("pixels carry each robot's colour and each cell's on the scale; the story is told", async () => {
    const { page } = view;
    await Eventually(
      async () => {
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
      },
      15,
      'robot pixels',
    );

    // A cell with nothing drawn over it in the frame: its pixel is its colour on the scale,
    // at its layer's opacity, over the floor.
    await Eventually(
      async () => {
        const frame = await ReadFrame(page);
        if (!frame) {
          return 'nothing drawn';
        }
        if (frame.cells.length !== kCells.length) {
          return `${frame.cells.length} cells drawn, not ${kCells.length}`;
        }
        if (!(frame.layers[0]?.opacity > 0.5)) {
          return `the layer is drawn at opacity ${frame.layers[0]?.opacity}`;
        }
        return WrongCell(frame);
      },
      15,
      'cell pixels',
    );
    // The story so far: both robots joined, once each where /story and the stream meet, and
    // both have a line on the hit-point chart.
    await Eventually(
      async () => {
        const { joins, chart } = await page.evaluate(() => ({
          joins: document.querySelectorAll('#feed li.joined').length,
          chart: viewerState.chart,
        }));
        return joins === 2 && chart.robots === 2 ? null : `${joins} joins listed, ${chart.robots} robots charted`;
      },
      10,
      'the event feed and the chart',
    );
  });

  test("a drawing's toggle hides its cells and shows them again", async () => {
    const { page } = view;
    const toggle = page.locator('#layers input[type=checkbox]');
    assert.equal(await toggle.count(), 1);
    await toggle.uncheck();
    await Eventually(async () => WrongCell(await ReadFrame(page), 0), 10, 'hidden cells show the floor');
    await toggle.check();
    await Eventually(async () => WrongCell(await ReadFrame(page)), 10, 'shown cells show their colour');
    await page.screenshot({ path: join(outputDirectory, 'live_1280x800.png') });
  });

  test('the page reconnects when the arena restarts on its port', async () => {
    const { page } = view;
    redrawing = false;
    drawing.socket.destroy();
    arena.child.kill('SIGTERM');
    assert.equal(await arena.ended, 0);
    await Eventually(
      async () => {
        const state = await page.textContent('#connection');
        return state === 'live' ? `still '${state}'` : null;
      },
      10,
      'the page sees the arena go',
    );
    arena = StartArena(
      ['--port', '0', '--http', String(ports.http), '--bots', '3', '--opponent', 'wanderer', '--seed', '6'],
      'restarted_arena.log',
    );
    await arena.firstLine;
    await Eventually(
      async () => {
        const state = await page.textContent('#connection');
        const rows = await page.locator('#scoreboard tbody tr').count();
        return state === 'live' && rows === 3 ? null : `'${state}' with ${rows} rows`;
      },
      20,
      'the page follows the new battle',
    );
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
    const battle = StartArena(
      [
        '--port',
        '0',
        '--http',
        'off',
        '--bots',
        '3',
        '--opponent',
        'wanderer',
        '--seed',
        '2',
        '--duration',
        '4',
        '--record',
        recording,
        '--summary',
        summaryPath,
      ],
      'recorded_arena.log',
    );
    assert.equal(await battle.ended, 0);
    summary = JSON.parse(readFileSync(summaryPath, 'utf8'));
    replay = StartArena(['--replay', recording, '--http', '0'], 'replay.log');
    const firstLine = await replay.firstLine;
    assert.match(firstLine, /^botarena replaying .* \(\d+ snapshots, 0 s to 4 s\), viewer at /);
    view = await OpenPage(/viewer at (\S+)/.exec(firstLine)[1], { withoutStory: true });
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
    // Without /story, the stream alone told the hit-point chart.
    assert.equal(await page.evaluate(() => viewerState.chart.robots), summary.robots.length);
    assert.equal(await page.textContent('#clock'), '0:04.0');
    const outcome = summary.winner ? `${summary.winner.name} wins` : 'draw';
    assert.equal(Plain(await page.textContent('#over')), `Battle over: duration reached · ${outcome}`);
    const rows = await page
      .locator('#scoreboard tbody tr')
      .evaluateAll((trs) => trs.map((tr) => Array.from(tr.cells, (cell) => cell.textContent)));
    assert.equal(rows.length, summary.robots.length);
    // Ranked, the rows go by rank.
    assert.deepEqual(
      rows.map((row) => Number(row[10])),
      rows.map((_, i) => i + 1),
    );
    summary.robots.forEach((robot) => {
      const [name, type, state, hitPoints, shots, hits, dealt, taken, alive, score, rank] = rows.find(
        (row) => row[0] === robot.name,
      );
      assert.deepEqual(
        [name, type, state, Number(shots), Number(hits), Number(rank)],
        [robot.name, robot.type, robot.state, robot.shots, robot.hits, robot.rank],
      );
      assert.ok(Math.abs(Number(score) - robot.score) <= 0.0051, `${robot.name}: score ${score}`);
      // The table shows rounded figures: each within half its last shown digit.
      const figures = [
        [hitPoints, robot.hitPoints, 0.051],
        [dealt, robot.damageDealt, 0.0051],
        [taken, robot.damageTaken, 0.0051],
        [alive, robot.timeAlive, 0.051],
      ];
      for (const [shown, final, within] of figures) {
        assert.ok(Math.abs(Number(shown) - final) <= within, `${robot.name}: ${shown} for ${final}`);
      }
    });
  });

  test('pause holds the clock and the seek bar shows any moment', async () => {
    const { page } = view;
    await page.click('#play'); // plays again from the start
    await Eventually(
      async () => ((await page.textContent('#clock')) !== '0:04.0' ? null : 'not restarted'),
      10,
      'play restarts an ended replay',
    );
    await page.click('#play');
    const paused = await page.textContent('#clock');
    await new Promise((resolve) => setTimeout(resolve, 400));
    assert.equal(await page.textContent('#clock'), paused, 'the clock holds while paused');
    await page.locator('#seek').evaluate((bar) => {
      bar.value = '2';
      bar.dispatchEvent(new Event('input'));
      bar.dispatchEvent(new Event('change'));
    });
    await Eventually(
      async () => {
        const clock = await page.textContent('#clock');
        return /^0:0(1\.9|2\.0)$/.test(clock) ? null : `clock shows ${clock}`;
      },
      10,
      'seeking to 2 s',
    );
    assert.deepEqual(view.foreign, []);
    assert.deepEqual(view.errors, []);
  });
});

// ---- A staged battle, replayed to the moments that show it ----------------------------------

/// Seeks the paused replay to `time` and waits until the frame of that time is drawn.
async function SeekTo(page, time) {
  await page.locator('#seek').evaluate((bar, at) => {
    bar.value = String(at);
    bar.dispatchEvent(new Event('input'));
    bar.dispatchEvent(new Event('change'));
  }, time);
  await page.waitForFunction((at) => window.viewerState.snapshot?.time === at, time, { timeout: 10000 });
}

describe('replay of a staged battle', () => {
  let replay;
  let view;

  before(async () => {
    const recording = join(scratch, 'staged.jsonl');
    WriteStagedBattle(recording);
    replay = StartArena(['--replay', recording, '--http', '0'], 'staged_replay.log');
    view = await OpenPage(/viewer at (\S+)/.exec(await replay.firstLine)[1]);
    await view.page.setViewportSize({ width: 1280, height: 800 });
  });
  after(async () => {
    await view?.page.close();
    replay?.child.kill('SIGTERM');
    await replay?.ended;
  });

  test('played to its end, it tells its story: events, hit points, marks on the seek bar', async () => {
    const { page } = view;
    await page.selectOption('#speed', '16');
    await page.waitForSelector('#replay[data-ended="true"]', { timeout: 20000 });
    const story = await page.evaluate(() => ({
      chart: viewerState.chart,
      marks: viewerState.marks,
      feed: document.getElementById('feed').textContent,
    }));
    assert.equal(story.chart.robots, kStaged.names.length);
    assert.deepEqual(story.marks, { hits: kStaged.hits, destroyed: kStaged.destroyed });
    assert.match(story.feed, /Sniper 3 destroyed Wanderer 4/);
    // The key steps one frame back.
    await page.evaluate(() => document.activeElement?.blur());
    await page.keyboard.press('ArrowLeft');
    await page.waitForFunction((at) => window.viewerState.snapshot?.time === at, kStaged.end - 0.05);
    await SeekTo(page, 4.05);
    await page.screenshot({ path: join(outputDirectory, 'replay_marks.png') });
  });

  test('names of touching robots do not overlap, and a shell is more than a few pixels', async () => {
    const { page } = view;
    await SeekTo(page, kStaged.touchingAt);
    const labels = await page.evaluate(() => viewerState.labels);
    assert.equal(labels.length, kStaged.names.length);
    for (const [i, a] of labels.entries()) {
      for (const b of labels.slice(i + 1)) {
        const apart = a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
        assert.ok(apart, `${a.name} and ${b.name}: ${JSON.stringify([a, b])}`);
      }
    }
    await SeekTo(page, kStaged.shellAt);
    const shell = await page.evaluate(() => {
      const [drawn] = window.viewerState.shells;
      const reach = Math.ceil(drawn.radius) + 2;
      const pixels = document
        .getElementById('field')
        .getContext('2d')
        .getImageData(Math.round(drawn.x) - reach, Math.round(drawn.y) - reach, 2 * reach, 2 * reach).data;
      let lit = 0;
      for (let i = 0; i < pixels.length; i += 4) {
        lit += Math.max(pixels[i] - 35, pixels[i + 1] - 40, pixels[i + 2] - 48) > 60 ? 1 : 0;
      }
      return { ...drawn, lit };
    });
    assert.ok(shell.lit >= 30 && shell.trail >= 20, JSON.stringify(shell));
  });

  test('the danger map is named after its robot and fades while it draws nothing', async () => {
    const { page } = view;
    const opacity = async (time) => {
      await SeekTo(page, time);
      return page.evaluate(() => window.viewerState.layers[0].opacity);
    };
    assert.match(Plain(await page.textContent('#layers')), new RegExp(kStaged.layerName));
    assert.ok((await opacity(kStaged.drawingAt)) > 0.5, 'shown half a second after its last cell');
    assert.equal(await opacity(kStaged.stoppedAt), 0, 'gone two seconds after');
    assert.ok((await opacity(kStaged.resumedAt)) > 0.5, 'back once it draws again');
  });

  test('the wheel zooms around the pointer; f fits the field again', async () => {
    const { page } = view;
    await SeekTo(page, kStaged.touchingAt);
    const box = await page.locator('#field').boundingBox();
    const before = await page.evaluate(() => ({ scale: viewerState.scale, at: viewerState.toCanvas(-5.6, 3.3) }));
    await page.mouse.move(box.x + before.at[0], box.y + before.at[1]);
    await page.mouse.wheel(0, -600);
    await page.waitForFunction((scale) => window.viewerState.scale > 2 * scale, before.scale);
    const after = await page.evaluate(() => viewerState.toCanvas(-5.6, 3.3));
    assert.ok(Math.hypot(after[0] - before.at[0], after[1] - before.at[1]) < 2, `${after} moved from ${before.at}`);
    await page.screenshot({ path: join(outputDirectory, 'zoom.png') });
    await page.keyboard.press('f');
    await page.waitForFunction((scale) => Math.abs(window.viewerState.scale - scale) < 1e-6, before.scale);
  });

  test('at 800×600 every scoreboard column and the speed menu are in view', async () => {
    const { page } = view;
    await page.setViewportSize({ width: 800, height: 600 });
    await SeekTo(page, kStaged.end);
    const hidden = await HiddenElements(page, '#scoreboard th, #speed');
    assert.deepEqual(hidden, []);
    await page.screenshot({ path: join(outputDirectory, 'layout_800x600.png') });
    assert.deepEqual(view.foreign, []);
    assert.deepEqual(view.errors, []);
  });
});

// ---- Names chosen to break the page ------------------------------------------------------

describe('replay of a battle whose robots have hostile names', () => {
  const kNames = [
    '<img src=x onerror="window.broken=1">', // markup, set as text
    'x'.repeat(5000), // longer than a client may declare: a recording may hold anything
    '\u202Eevil', // a right-to-left override, never closed; it wins and destroys the last
    '🤖'.repeat(16), // 64 bytes of emoji
  ];
  let replay;
  let view;

  before(async () => {
    const recording = join(scratch, 'hostile_names.jsonl');
    WriteStagedBattle(recording, kNames);
    replay = StartArena(['--replay', recording, '--http', '0'], 'hostile_names_replay.log');
    view = await OpenPage(/viewer at (\S+)/.exec(await replay.firstLine)[1]);
    await view.page.setViewportSize({ width: 800, height: 600 });
  });
  after(async () => {
    await view?.page.close();
    replay?.child.kill('SIGTERM');
    await replay?.ended;
  });

  test("are shown as text, cut to a name's length, turning nothing around them; the layout holds", async () => {
    const { page } = view;
    await page.selectOption('#speed', '16');
    await page.waitForSelector('#replay[data-ended="true"]', { timeout: 20000 });
    await page.click('#scoreboard tbody tr:nth-child(2)'); // follows the long name
    const shown = await page.evaluate(() => {
      const destroyed = [...document.querySelectorAll('#feed li')].find((item) => /destroyed/.test(item.textContent));
      const [shooter, what] = [...destroyed.querySelectorAll('.who, .what')].map((span) =>
        span.getBoundingClientRect(),
      );
      return {
        broken: window.broken,
        images: document.querySelectorAll('img').length,
        names: [...document.querySelectorAll('#scoreboard tbody tr')].map((row) => row.cells[0].textContent),
        readsInOrder: what.left >= shooter.right - 1,
        overflow: document.documentElement.scrollWidth - innerWidth,
        wide: [...document.querySelectorAll('body *')]
          .filter((e) => e.getBoundingClientRect().right > innerWidth + 1)
          .map((e) => e.id || e.className || e.tagName)
          .slice(0, 8),
      };
    });
    await page.screenshot({ path: join(outputDirectory, 'hostile_names.png') });
    assert.equal(shown.broken, undefined);
    assert.equal(shown.images, 0);
    assert.ok(shown.names.includes(kNames[0]), JSON.stringify(shown.names));
    assert.ok(
      shown.names.some((name) => name === `${'x'.repeat(63)}…`),
      'the long name is cut',
    );
    assert.ok(shown.readsInOrder, 'the override turned "destroyed" around');
    assert.ok(shown.overflow <= 0, `the page is ${shown.overflow}px too wide: ${shown.wide}`);
    assert.deepEqual(await HiddenElements(page, '#scoreboard th, #speed, #banner, #unfollow'), []);
    assert.deepEqual(view.foreign, []);
    assert.deepEqual(view.errors, []);
  });
});
