// A battle staged frame by frame and written as a recording, so that the viewer's test can
// show it exactly the moments it needs: three robots touching, a shell in open field, hits
// and a destruction, and a danger map whose robot stops drawing and starts again.
//
//   0 to 6 s, a snapshot every 50 ms, on a 30 × 20 field. Nolix (red, id 1), Hunter 2 and
//   Sniper 3 stand touching at about (-5.6, 3.3); Wanderer 4 sways at about (7, -3).
//   Hunter 2 hits Nolix at 1 s and 2 s; Sniper 3 fires at Wanderer 4 (each shell flies 0.45 s)
//   and hits it at 1.5, 2.5, 3.5 s and destroys it at 4 s. A shell is over open floor at
//   3.3 s. Nolix's danger map covers the field's left half; Nolix draws until 3 s and again
//   from 5.5 s. The last snapshot ends the battle: Sniper 3 wins.
import { writeFileSync } from 'node:fs';

export const kStaged = {
  end: 6,
  names: ['Nolix', 'Hunter 2', 'Sniper 3', 'Wanderer 4'],
  hits: 6, // hit events in the whole battle, the destruction's last blow included
  destroyed: 1,
  touchingAt: 2.2, // a moment with no flash near the touching robots
  shellAt: 3.3, // the moment a shell flies over open floor
  drawingAt: 3.5, // Nolix stopped drawing 0.5 s ago: its map still shows
  stoppedAt: 5.0, // 2 s after it stopped: faded out
  resumedAt: 6.0, // drawing again since 5.5 s
  layerName: 'Nolix: danger map',
};

const kShellFlight = 0.45; // s
const kRepairPerSecond = 1.5;

/// The client's own colours for a height on its map: red for danger, green for attraction.
function CellColour(height) {
  const level = Math.trunc(50 + 205 * Math.min(1, Math.abs(height) / 100));
  return height > 0 ? [level, 0, 0] : height < 0 ? [0, level, 0] : [0, 0, 0];
}

function DangerMap() {
  const cells = [];
  for (let x = -14.5; x <= -0.5; x += 1) {
    for (let y = -9.5; y <= 9.5; y += 1) {
      const danger = 120 * Math.exp(-((x + 5.6) ** 2 + (y - 3.3) ** 2) / 12);
      const attraction = 60 * Math.exp(-((x + 11) ** 2 + (y + 5) ** 2) / 10);
      cells.push([x, y, 0.5, 0.5, ...CellColour(Math.round(danger - attraction))]);
    }
  }
  return cells;
}

/// Writes the staged battle to `path` as JSON lines, the recording's format, its robots
/// called `names` (in id order).
export function WriteStagedBattle(path, names = kStaged.names) {
  const robots = [
    {
      id: 1,
      name: 'Nolix',
      type: 'Plimb',
      colour: [230, 50, 50],
      x: -6,
      y: 3,
      heading: 0.3,
      armour: 50,
      range: 3,
      view: 60,
    },
    {
      id: 2,
      name: 'Hunter 2',
      type: 'hunter',
      colour: [240, 200, 40],
      x: -5.2,
      y: 3,
      heading: 2.8,
      armour: 50,
      range: 3,
      view: 90,
    },
    {
      id: 3,
      name: 'Sniper 3',
      type: 'sniper',
      colour: [90, 220, 120],
      x: -5.6,
      y: 3.7,
      heading: -0.6,
      armour: 40,
      range: 3,
      view: 40,
    },
    {
      id: 4,
      name: 'Wanderer 4',
      type: 'wanderer',
      colour: [70, 140, 255],
      x: 7,
      y: -3,
      heading: 0,
      armour: 50,
      range: 4,
      view: 60,
    },
  ].map((robot, i) => ({
    ...robot,
    name: names[i],
    hitPoints: robot.armour,
    shots: 0,
    hits: 0,
    damageDealt: 0,
    damageTaken: 0,
    timeAlive: 0,
    state: 'alive',
  }));
  const byId = new Map(robots.map((robot) => [robot.id, robot]));
  // [time, shooter, target, damage]
  const blows = [
    [1.0, 2, 1, 3],
    [2.0, 2, 1, 3],
    [1.5, 3, 4, 16],
    [2.5, 3, 4, 16],
    [3.5, 3, 4, 16],
    [4.0, 3, 4, 16],
  ].sort((a, b) => a[0] - b[0]);
  const cells = DangerMap();
  const lines = [];
  let previous = -Infinity;
  for (let frame = 0; frame <= kStaged.end * 20; ++frame) {
    const time = frame / 20;
    const events = [];
    for (const robot of robots) {
      if (robot.state === 'alive' && time > 0) {
        robot.hitPoints = Math.min(robot.armour, robot.hitPoints + kRepairPerSecond / 20);
        robot.timeAlive = time;
      }
    }
    const wanderer = byId.get(4);
    if (wanderer.state === 'alive') {
      wanderer.x = 7 + 0.3 * Math.sin(time);
    }
    for (const [at, shooterId, targetId, damage] of blows) {
      const fired = shooterId === 3 ? at - kShellFlight : at;
      const shooter = byId.get(shooterId);
      if (fired > previous + 1e-9 && fired <= time + 1e-9) {
        shooter.shots += 1;
      }
      if (at > previous + 1e-9 && at <= time + 1e-9) {
        const target = byId.get(targetId);
        const removed = Math.min(target.hitPoints, damage);
        target.hitPoints -= removed;
        target.damageTaken += removed;
        shooter.hits += 1;
        shooter.damageDealt += removed;
        events.push({
          time: at,
          kind: 'hit',
          robot: targetId,
          by: shooterId,
          damage: Math.round(removed * 1e3) / 1e3,
          hitPoints: Math.round(target.hitPoints * 1e3) / 1e3,
        });
        if (target.hitPoints <= 0) {
          target.state = 'destroyed';
          events.push({ time: at, kind: 'destroyed', robot: targetId, by: shooterId });
        }
      }
    }
    const shells = [];
    for (const [at, shooterId, targetId] of blows) {
      const fired = at - kShellFlight;
      if (shooterId === 3 && time >= fired && time < at) {
        const from = byId.get(shooterId);
        const to = byId.get(targetId);
        const share = (time - fired) / kShellFlight;
        const vx = (to.x - from.x) / kShellFlight;
        const vy = (to.y - from.y) / kShellFlight;
        shells.push({
          id: Math.round(at * 10),
          owner: shooterId,
          x: from.x + (to.x - from.x) * share,
          y: from.y + (to.y - from.y) * share,
          vx,
          vy,
        });
      }
    }
    const drawing = time <= 3 || time >= 5.5;
    const snapshot = {
      time,
      field: { width: 30, height: 20 },
      robots: robots.map((robot) => ({
        id: robot.id,
        name: robot.name,
        type: robot.type,
        colour: robot.colour,
        builtIn: robot.id !== 1,
        state: robot.state,
        x: robot.x,
        y: robot.y,
        heading: robot.heading,
        scannerHeading: robot.heading,
        scannerRange: robot.range,
        scannerFieldOfView: robot.view,
        hitPoints: Math.round(robot.hitPoints * 1e3) / 1e3,
        armour: robot.armour,
        shots: robot.shots,
        hits: robot.hits,
        damageDealt: robot.damageDealt,
        damageTaken: Math.round(robot.damageTaken * 1e3) / 1e3,
        timeAlive: robot.timeAlive,
        distance: 0,
      })),
      shells: shells.map((shell) =>
        Object.fromEntries(
          Object.entries(shell).map(([key, value]) => [
            key,
            typeof value === 'number' ? Math.round(value * 1e4) / 1e4 : value,
          ]),
        ),
      ),
      drawings: [
        {
          connection: 5,
          client: 'Graphics',
          robot: { id: 1, name: names[0] },
          lastDrawn: drawing ? time : Math.min(time, 3),
          cells,
        },
      ],
      events,
    };
    if (frame === kStaged.end * 20) {
      const ranks = new Map([
        [3, 1],
        [2, 2],
        [1, 3],
        [4, 4],
      ]);
      snapshot.over = 'duration reached';
      snapshot.winner = { id: 3, name: names[2] };
      snapshot.robots.forEach((robot) => {
        robot.rank = ranks.get(robot.id);
        robot.score = 5 - robot.rank;
      });
    }
    lines.push(JSON.stringify(snapshot));
    previous = time;
  }
  writeFileSync(path, lines.join('\n') + '\n');
}
