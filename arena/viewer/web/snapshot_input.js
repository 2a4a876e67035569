// Snapshots as they come from the network, checked before anything draws them. No DOM here.
import { ColourOf } from './colour_ramp.js';
import { ShownName } from './names.js';

export function FiniteOr(value, otherwise) {
  return typeof value === 'number' && Number.isFinite(value) ? value : otherwise;
}

/// Whether a snapshot has what the page draws; anything else from the network is dropped.
function Valid(snapshot) {
  return (
    snapshot &&
    typeof snapshot === 'object' &&
    Number.isFinite(snapshot.time) &&
    snapshot.field &&
    Number.isFinite(snapshot.field.width) &&
    snapshot.field.width > 0 &&
    Number.isFinite(snapshot.field.height) &&
    snapshot.field.height > 0 &&
    Array.isArray(snapshot.robots) &&
    Array.isArray(snapshot.shells) &&
    Array.isArray(snapshot.drawings)
  );
}

const kRobotNumbers = [
  'x',
  'y',
  'heading',
  'scannerHeading',
  'scannerRange',
  'scannerFieldOfView',
  'hitPoints',
  'armour',
  'shots',
  'hits',
  'damageDealt',
  'damageTaken',
  'timeAlive',
];
const kShellNumbers = ['x', 'y', 'vx', 'vy'];

/// The snapshot with every figure the page draws made a number, so that a malformed entry
/// is drawn oddly at worst, never stops the page.
function Clean(snapshot) {
  snapshot.robots = snapshot.robots.filter((robot) => robot && Number.isInteger(robot.id));
  for (const robot of snapshot.robots) {
    kRobotNumbers.forEach((key) => {
      robot[key] = FiniteOr(robot[key], 0);
    });
    robot.colour = ColourOf(robot.colour);
    robot.name = ShownName(robot.name);
    robot.type = String(robot.type ?? '');
    robot.state = String(robot.state ?? '');
  }
  snapshot.shells = snapshot.shells.filter(
    (shell) => shell && kShellNumbers.every((key) => Number.isFinite(shell[key])),
  );
  snapshot.drawings = snapshot.drawings.filter((layer) => layer && Array.isArray(layer.cells));
  for (const layer of snapshot.drawings) {
    layer.cells = layer.cells.filter((cell) => Array.isArray(cell) && cell.length >= 7);
    if (layer.robot && typeof layer.robot === 'object') {
      layer.robot.name = ShownName(layer.robot.name);
    }
  }
  if (snapshot.winner && typeof snapshot.winner === 'object') {
    snapshot.winner.name = ShownName(snapshot.winner.name);
  }
  return snapshot;
}

export function Parse(text) {
  try {
    const snapshot = JSON.parse(text);
    return Valid(snapshot) ? Clean(snapshot) : null;
  } catch (error) {
    console.warn('not a snapshot:', error);
    return null;
  }
}
