// The battle's story: events and hit points over time, kept apart from the DOM.
//
// The arena tells it; the page only keeps what it is given. /story gives it whole (live, the
// battle so far; in a replay, the whole recording), and each snapshot's `story` carries the
// entries told since the snapshot before, whose time it names as `since`. Live, the entries of
// a snapshot that follows on from the story are appended; those it already holds are passed
// over; after a gap (a stream that skipped snapshots) /story is asked for again. A server
// without /story leaves the stream alone to tell it, from the snapshot the page first sees.
import { ColourOf } from './colour_ramp.js';
import { ShownName } from './names.js';
import { dirty, mode } from './page_state.js';
import { FiniteOr } from './snapshot_input.js';

const kStoryTimeoutMilliseconds = 5000;
// A stream that keeps skipping snapshots (a slow link) must not fetch the whole story at each.
const kStoryRefetchMilliseconds = 5000;
const kStoryEvents = 2000;
const kPointsPerRobot = 1500;
const kStoryRobots = 512;
const kQueuedSnapshots = 400;

export const story = {
  events: [], // in time order, each with `seq`, counting up over the page's life
  omitted: 0, // older events left out, by the server or here
  robots: new Map(), // id → {id, name, colour, armour, points [[time, hp]], joinedAt, ended}
  time: -Infinity, // the battle time the story is told up to
  start: null, // the earliest time it knows
  seq: 0,
  generation: 0, // counts replacements, so that the feed starts over
};
let storyLoading = false;
let storyServed = true; // until /story answers 404
let storyLoaded = false; // from /story, at least once
let queued = []; // snapshots' entries that came while /story was on its way
let fetchedAt = -Infinity; // performance.now() of the last /story asked for
let lacking = false; // entries of skipped snapshots are missing until /story is fetched again

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
  } else if (points.length === 0 || time > points[points.length - 1][0]) {
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
    joinedAt: undefined,
    ended: false,
  };
  story.robots.set(id, robot);
  return robot;
}

/// The robot of that id, or a new one named as `entry` names it (a robot listed by /story or by
/// a snapshot's entries, or, for a story the page joined late, the snapshot's own robot).
function StoryRobot(id, entry) {
  let robot = story.robots.get(id);
  if (!robot && entry) {
    robot = NewStoryRobot(id);
    if (robot) {
      Name(robot, entry);
    }
  }
  return robot;
}

function Name(robot, entry) {
  robot.name = ShownName(entry.name);
  robot.colour = ColourOf(entry.colour);
  robot.armour = FiniteOr(entry.armour, robot.armour);
}

const kKinds = new Set(['joined', 'left', 'hit', 'destroyed']);

function IsEvent(event) {
  return event && kKinds.has(event.kind) && Number.isFinite(event.time) && Number.isInteger(event.robot);
}

/// Appends a told event, checked: it is input from the network.
function AddEvent(event) {
  story.events.push({
    time: event.time,
    kind: event.kind,
    robot: event.robot,
    name: ShownName(event.name),
    by: Number.isInteger(event.by) ? event.by : undefined,
    byName: event.byName === undefined ? undefined : String(event.byName),
    damage: FiniteOr(event.damage, undefined),
    hitPoints: FiniteOr(event.hitPoints, undefined),
    seq: ++story.seq,
  });
  if (story.events.length > kStoryEvents) {
    story.events.shift();
    story.omitted += 1;
  }
  const robot = story.robots.get(event.robot);
  if (robot) {
    if (event.kind === 'joined') {
      robot.joinedAt = event.time;
      robot.ended = false;
    } else if (event.kind === 'left' || event.kind === 'destroyed') {
      robot.ended = true;
    }
  }
}

/// Replaces the story with /story's answer.
export function LoadStory(json) {
  if (!json || typeof json !== 'object' || !Array.isArray(json.events) || !Array.isArray(json.robots)) {
    return false;
  }
  ResetStory();
  for (const entry of json.robots.slice(0, kStoryRobots)) {
    if (!entry || !Number.isInteger(entry.id) || story.robots.has(entry.id)) {
      continue;
    }
    const robot = StoryRobot(entry.id, entry);
    for (const point of Array.isArray(entry.points) ? entry.points : []) {
      if (Array.isArray(point) && Number.isFinite(point[0]) && Number.isFinite(point[1])) {
        AddPoint(robot, point[0], point[1]);
      }
    }
    if (robot.points.length > 0) {
      story.start = Math.min(story.start ?? Infinity, robot.points[0][0]);
    }
  }
  const events = json.events.filter(IsEvent);
  const kept = events.slice(-kStoryEvents);
  story.omitted = Math.max(0, FiniteOr(json.omitted, 0)) + (events.length - kept.length);
  kept.forEach(AddEvent);
  story.time = FiniteOr(json.time, kept.length > 0 ? kept[kept.length - 1].time : -Infinity);
  if (story.start === null && kept.length > 0) {
    story.start = kept[0].time;
  }
  storyLoaded = true;
  Touch();
  return true;
}

/// Appends a snapshot's entries, told at `time`; `robots` are the snapshot's own.
function Append({ time, told, robots }) {
  story.time = time;
  story.start = story.start ?? time;
  const listed = (key) => (Array.isArray(told[key]) ? told[key] : []);
  for (const entry of listed('robots')) {
    if (entry && Number.isInteger(entry.id)) {
      const robot = StoryRobot(entry.id, entry);
      if (robot) {
        Name(robot, entry);
      }
    }
  }
  listed('events').filter(IsEvent).forEach(AddEvent);
  for (const point of listed('points')) {
    if (Array.isArray(point) && Number.isInteger(point[0]) && Number.isFinite(point[1]) && Number.isFinite(point[2])) {
      const robot = StoryRobot(
        point[0],
        robots.find((entry) => entry.id === point[0]),
      );
      if (robot) {
        AddPoint(robot, point[1], point[2]);
      }
    }
  }
  Touch();
}

/// What becomes of a snapshot's entries: 'append' them, 'pass' over them (the story holds them
/// already), or 'reload' the story (it lacks some that came before them).
function Fate(part) {
  const since = part.told.since;
  if (since === undefined) {
    // The battle's first telling: /story holds it, unless nothing was told then.
    const empty = story.events.length === 0 && story.robots.size === 0 && story.omitted === 0;
    return !storyLoaded || empty ? 'append' : 'pass';
  }
  if (since === story.time || story.time === -Infinity) {
    return 'append';
  }
  if (part.time <= story.time) {
    return 'pass';
  }
  // Across a gap only the whole story can fill in what is missing; in a replay, or without
  // /story, what happened in between stays untold.
  return mode === 'live' && storyServed ? 'reload' : 'append';
}

/// Appends what follows on from the story. At a gap it asks /story again and keeps the rest
/// for it, or when it asked only a moment ago, appends on and asks again later.
function TakeParts(parts) {
  for (let i = 0; i < parts.length; ++i) {
    const fate = Fate(parts[i]);
    if (fate === 'reload' && performance.now() - fetchedAt >= kStoryRefetchMilliseconds) {
      queued = parts.slice(i);
      LoadServerStory();
      return;
    }
    lacking ||= fate === 'reload';
    if (fate !== 'pass') {
      Append(parts[i]);
    }
  }
  if (lacking && performance.now() - fetchedAt >= kStoryRefetchMilliseconds) {
    LoadServerStory();
  }
}

/// Live: asks /story for the battle so far; the snapshots that come meanwhile wait for it.
export function LoadServerStory() {
  if (storyLoading) {
    return;
  }
  storyLoading = true;
  fetchedAt = performance.now();
  lacking = false;
  const abort = new AbortController();
  const timer = setTimeout(() => abort.abort(), kStoryTimeoutMilliseconds);
  fetch('story', { cache: 'no-store', signal: abort.signal })
    .then((reply) => {
      storyServed = reply.status !== 404; // an arena without a story
      return reply.ok ? reply.json() : null;
    })
    .catch(() => null)
    .then((json) => {
      clearTimeout(timer);
      if (json) {
        LoadStory(json);
      }
      storyLoading = false;
      const waiting = queued;
      queued = [];
      TakeParts(waiting);
    });
}

export function TakeIntoStory(snapshot) {
  // A battle that starts over (a new arena on the port) has a story of its own.
  if (mode === 'live' && snapshot.time < story.time - 1) {
    ResetStory();
    storyLoaded = false;
    queued = [];
    LoadServerStory();
  }
  // A replay's /story holds the whole recording already.
  if (!snapshot.story || typeof snapshot.story !== 'object' || (mode === 'replay' && storyLoaded)) {
    return;
  }
  const part = {
    time: snapshot.time,
    told: snapshot.story,
    // Names for robots a story joined late has not met.
    robots: snapshot.robots.map(({ id, name, colour, armour }) => ({ id, name, colour, armour })),
  };
  if (storyLoading) {
    queued.push(part);
    if (queued.length > kQueuedSnapshots) {
      queued.shift();
    }
    return;
  }
  TakeParts([part]);
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
