// The battle's story: events and hit points over time, kept apart from the DOM.
//
// Live, /story gives the battle so far and each snapshot extends it; in a replay /story gives
// the whole recording. A server without /story leaves the stream alone to tell it, as the
// arena does: a fall in hit points or a destruction that no event of the snapshot explains
// is told without a shooter, and a robot is "joined" once it is no longer configuring.
import { ColourOf } from './colour_ramp.js';
import { ShownName } from './names.js';
import { dirty, mode } from './page_state.js';
import { FiniteOr } from './snapshot_input.js';

const kStoryTimeoutMilliseconds = 5000;
const kStoryEvents = 2000;
const kPointsPerRobot = 1500;
const kStoryRobots = 512;
const kQueuedSnapshots = 400;

export const story = {
  events: [], // in time order, each with `seq`, counting up over the page's life
  omitted: 0, // older events left out, by the server or here
  robots: new Map(), // id → {id, name, colour, armour, points [[time, hp]], state, hitPoints, joined, ended}
  time: -Infinity, // the battle time the story is told up to
  start: null, // the earliest time it knows
  seq: 0,
  generation: 0, // counts replacements, so that the feed starts over
};
let storyLoading = false;
let queued = []; // snapshots that came while /story was on its way

function Touch() {
  dirty.chart = dirty.marks = dirty.feed = true;
}

function ResetStory() {
  story.events = [];
  story.omitted = 0;
  story.robots = new Map();
  story.time = -Infinity;
  story.start = null;
  story.generation += 1;
  Touch();
}

function AddEvent(event) {
  event.seq = ++story.seq;
  story.events.push(event);
  if (story.events.length > kStoryEvents) {
    story.events.shift();
    story.omitted += 1;
  }
}

/// Keeps every other point when a robot has too many: its line still spans the battle.
function Thin(points) {
  while (points.length > kPointsPerRobot) {
    const last = points[points.length - 1];
    const kept = points.filter((_, i) => i % 2 === 0);
    if (kept[kept.length - 1] !== last) {
      kept.push(last);
    }
    points.splice(0, points.length, ...kept);
  }
}

function AddPoint(robot, time, hitPoints) {
  const points = robot.points;
  if (points.length > 0 && points[points.length - 1][0] === time) {
    points[points.length - 1][1] = hitPoints;
  } else {
    points.push([time, hitPoints]);
    Thin(points);
  }
}

function NewStoryRobot(id) {
  if (story.robots.size >= kStoryRobots) {
    // The oldest robot that has left makes room; a full house of running ones refuses.
    const gone = [...story.robots.values()].find((robot) => robot.ended);
    if (!gone) {
      return null;
    }
    story.robots.delete(gone.id);
  }
  const robot = {
    id,
    name: '',
    colour: [200, 200, 200],
    armour: 0,
    points: [],
    state: undefined,
    hitPoints: undefined,
    joined: false,
    joinedAt: undefined,
    ended: false,
  };
  story.robots.set(id, robot);
  return robot;
}

const kKinds = new Set(['joined', 'left', 'hit', 'destroyed']);

/// Replaces the story with /story's answer, checked as it goes: it is input from the network.
export function LoadStory(json) {
  if (!json || typeof json !== 'object' || !Array.isArray(json.events) || !Array.isArray(json.robots)) {
    return false;
  }
  ResetStory();
  for (const entry of json.robots.slice(0, kStoryRobots)) {
    if (!entry || !Number.isInteger(entry.id) || story.robots.has(entry.id)) {
      continue;
    }
    const robot = NewStoryRobot(entry.id);
    robot.name = ShownName(entry.name);
    robot.colour = ColourOf(entry.colour);
    robot.armour = FiniteOr(entry.armour, 0);
    if (Array.isArray(entry.points)) {
      for (const point of entry.points) {
        if (
          Array.isArray(point) &&
          Number.isFinite(point[0]) &&
          Number.isFinite(point[1]) &&
          (robot.points.length === 0 || point[0] >= robot.points[robot.points.length - 1][0])
        ) {
          AddPoint(robot, point[0], point[1]);
        }
      }
    }
    if (robot.points.length > 0) {
      robot.hitPoints = robot.points[robot.points.length - 1][1];
      story.start = Math.min(story.start ?? Infinity, robot.points[0][0]);
    }
  }
  const events = json.events.filter(
    (event) => event && kKinds.has(event.kind) && Number.isFinite(event.time) && Number.isInteger(event.robot),
  );
  const kept = events.slice(-kStoryEvents);
  story.omitted = Math.max(0, FiniteOr(json.omitted, 0)) + (events.length - kept.length);
  for (const event of kept) {
    AddEvent({
      time: event.time,
      kind: event.kind,
      robot: event.robot,
      name: ShownName(event.name),
      by: Number.isInteger(event.by) ? event.by : undefined,
      byName: event.byName === undefined ? undefined : String(event.byName),
      damage: FiniteOr(event.damage, undefined),
      hitPoints: FiniteOr(event.hitPoints, undefined),
    });
    const robot = story.robots.get(event.robot);
    if (robot) {
      if (event.kind === 'joined') {
        robot.joined = true;
        robot.joinedAt = event.time;
        robot.ended = false;
      } else if (event.kind === 'left' || event.kind === 'destroyed') {
        robot.ended = true;
      }
    }
  }
  // Joins older than the kept events are lost with them: then every robot listed is taken to
  // have joined, rather than joining again now.
  if (story.omitted > 0) {
    story.robots.forEach((robot) => {
      robot.joined = true;
    });
  }
  // /story names no states: these are what its events imply, so that a robot destroyed
  // between the story and the first snapshot of the stream is still told.
  const lastKind = new Map(kept.map((event) => [event.robot, event.kind]));
  story.robots.forEach((robot) => {
    const kind = lastKind.get(robot.id);
    robot.state =
      kind === 'destroyed' ? 'destroyed' : kind === 'left' ? 'departed' : robot.joined ? 'alive' : undefined;
  });
  const last = kept.length > 0 ? kept[kept.length - 1].time : -Infinity;
  story.time = FiniteOr(json.time, last);
  if (story.start === null && kept.length > 0) {
    story.start = kept[0].time;
  }
  Touch();
  return true;
}

/// What the story needs of a snapshot, so that a queue of them stays small.
function StoryPart(snapshot) {
  return {
    time: snapshot.time,
    events: Array.isArray(snapshot.events) ? snapshot.events : [],
    robots: snapshot.robots.map((robot) => ({
      id: robot.id,
      name: robot.name,
      colour: robot.colour,
      armour: robot.armour,
      state: robot.state,
      hitPoints: robot.hitPoints,
    })),
  };
}

/// Extends the story with a snapshot later than it; earlier ones it already tells.
function TellSnapshot(part) {
  if (!(part.time > story.time)) {
    return;
  }
  // Across a gap (a seek forward in a replay) values are taken as they are: what happened
  // in between is not known.
  const consecutive = part.time - story.time <= 1;
  story.time = part.time;
  story.start = story.start ?? part.time;
  const names = new Map(part.robots.map((robot) => [robot.id, String(robot.name)]));
  const nameOf = (id) => names.get(id) ?? story.robots.get(id)?.name ?? `robot ${id}`;
  const told = new Set();
  for (const event of part.events) {
    if (!event || (event.kind !== 'hit' && event.kind !== 'destroyed') || !Number.isInteger(event.robot)) {
      continue;
    }
    const by = Number.isInteger(event.by) && (names.has(event.by) || story.robots.has(event.by)) ? event.by : undefined;
    AddEvent({
      time: FiniteOr(event.time, part.time),
      kind: event.kind,
      robot: event.robot,
      name: nameOf(event.robot),
      by,
      byName: by === undefined ? undefined : nameOf(by),
      damage: FiniteOr(event.damage, undefined),
      hitPoints: FiniteOr(event.hitPoints, undefined),
    });
    told.add(`${event.kind}:${event.robot}`);
  }
  for (const entry of part.robots) {
    if (!Number.isInteger(entry.id)) {
      continue;
    }
    const hitPoints = FiniteOr(entry.hitPoints, 0);
    let robot = story.robots.get(entry.id);
    if (!robot) {
      robot = NewStoryRobot(entry.id);
      if (!robot) {
        continue;
      }
      robot.hitPoints = hitPoints;
      AddPoint(robot, part.time, hitPoints);
    }
    robot.name = String(entry.name);
    robot.colour = ColourOf(entry.colour);
    robot.armour = FiniteOr(entry.armour, robot.armour);
    if (!robot.joined && entry.state !== 'configuring') {
      robot.joined = true;
      robot.joinedAt = part.time;
      AddEvent({ time: part.time, kind: 'joined', robot: entry.id, name: robot.name });
    }
    if (hitPoints !== robot.hitPoints) {
      if (consecutive && robot.hitPoints !== undefined && hitPoints < robot.hitPoints && !told.has(`hit:${entry.id}`)) {
        AddEvent({
          time: part.time,
          kind: 'hit',
          robot: entry.id,
          name: robot.name,
          damage: robot.hitPoints - hitPoints,
          hitPoints,
        });
      }
      robot.hitPoints = hitPoints;
      AddPoint(robot, part.time, hitPoints);
    }
    if (entry.state !== robot.state) {
      // A state first seen (the story came from /story, which names none) is only taken in.
      if (robot.state !== undefined && consecutive) {
        if (entry.state === 'destroyed' && !told.has(`destroyed:${entry.id}`)) {
          AddEvent({ time: part.time, kind: 'destroyed', robot: entry.id, name: robot.name });
        } else if (entry.state === 'departed') {
          AddEvent({ time: part.time, kind: 'left', robot: entry.id, name: robot.name });
          AddPoint(robot, part.time, hitPoints);
        }
      }
      robot.state = entry.state;
    }
    robot.ended = entry.state === 'destroyed' || entry.state === 'departed';
  }
  Touch();
}

/// Live: asks /story for the battle so far; the snapshots that come meanwhile wait for it.
export function LoadServerStory() {
  if (storyLoading) {
    return;
  }
  storyLoading = true;
  const abort = new AbortController();
  const timer = setTimeout(() => abort.abort(), kStoryTimeoutMilliseconds);
  fetch('story', { cache: 'no-store', signal: abort.signal })
    .then((reply) => (reply.ok ? reply.json() : null)) // 404: an arena without a story
    .catch(() => null)
    .then((json) => {
      clearTimeout(timer);
      if (json) {
        LoadStory(json);
      }
      storyLoading = false;
      const waiting = queued;
      queued = [];
      waiting.forEach(TellSnapshot);
    });
}

export function TakeIntoStory(snapshot) {
  // A battle that starts over (a new arena on the port) has a story of its own.
  if (mode === 'live' && snapshot.time < story.time - 1) {
    ResetStory();
    LoadServerStory();
  }
  if (storyLoading) {
    queued.push(StoryPart(snapshot));
    if (queued.length > kQueuedSnapshots) {
      queued.shift();
    }
    return;
  }
  TellSnapshot(StoryPart(snapshot));
}

/// The index of the first event later than `time`.
export function EventsUpTo(time) {
  const events = story.events;
  let low = 0;
  let high = events.length;
  while (low < high) {
    const middle = (low + high) >> 1;
    if (events[middle].time <= time) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}
