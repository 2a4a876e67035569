// The battle viewer: draws the snapshots the arena streams (live) or a recording it replays,
// with the battle's story beside and under the field: an event feed and every robot's hit
// points over time. Everything it shows comes from its own server; names and texts go in as
// text, never markup.
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);
  const canvas = $('field');
  const context = canvas.getContext('2d');
  const chartCanvas = $('chart');
  const chartContext = chartCanvas.getContext('2d');
  const marksCanvas = $('seek-marks');
  const marksContext = marksCanvas.getContext('2d');
  const clockLabel = $('clock');
  const overLabel = $('over');
  const banner = $('banner');
  const connectionLabel = $('connection');
  const scoreBody = document.querySelector('#scoreboard tbody');
  const feedList = $('feed');
  const feedNone = $('feed-none');
  const feedOmitted = $('feed-omitted');
  const layerList = $('layers');
  const opacitySlider = $('layer-opacity');
  const zoomLabel = $('zoom-level');
  const followingBox = $('following');
  const followingName = $('following-name');
  const replayBar = $('replay');
  const playButton = $('play');
  const seekBar = $('seek');
  const replayTime = $('replay-time');
  const speedSelect = $('speed');

  const kRobotRadius = 0.4; // field units
  const kMinRobotPixels = 6; // CSS pixels: the least radius a robot is drawn with, to stay legible
  const kTrailSeconds = 0.2; // how far back a shell's trail reaches...
  const kTrailUnits = 2.5; // ...in field units at most
  const kMarginPixels = 14;
  const kRetryMilliseconds = 2000;
  const kStoryTimeoutMilliseconds = 5000;
  const kMinZoom = 0.5; // against the whole field in view
  const kMaxZoom = 60;
  const kFollowZoom = 2.5; // the least zoom following a robot starts with
  const kFrameSeconds = 0.05; // the arena snapshots every 50 ms of battle time
  const kIdleSeconds = 1; // a drawing silent this long fades out...
  const kFadeSeconds = 0.5; // ...over this much battle time
  const kHitFlashSeconds = 0.5;
  const kDestroyedFlashSeconds = 1.5;
  const kThumbPixels = 14; // the seek bar's thumb, as viewer.css sizes it
  // Bounds on what the page keeps, whatever the length of the battle.
  const kFeedEntries = 200;
  const kStoryEvents = 2000;
  const kPointsPerRobot = 1500;
  const kStoryRobots = 512;
  const kQueuedSnapshots = 400;
  const kFloor = [35, 40, 48]; // the field's floor, #232830
  // The drawings' colour scale, from "drawn to" through "no danger" to "high danger": no red in
  // it, so that red robots stay visible on a danger map. viewer.css's #ramp repeats the stops.
  const kRampStops = [[0, [40, 176, 156]], [0.5, [24, 34, 70]], [0.75, [128, 64, 184]],
    [1, [255, 192, 64]]];

  let mode = null; // 'live' or 'replay', once /info has answered
  let info = null; // /info's answer
  let drawn = null; // the snapshot on the canvas
  let pending = null; // the snapshot to draw at the next frame
  let replay = null; // the replay's controls, in replay
  const dirty = { field: true, chart: true, marks: true, feed: true };

  // The view: `zoom` against the whole field in view, `focus` the field point at the canvas's
  // centre; `scale` and the rest follow from them and the canvas at each frame.
  const view = { zoom: 1, focusX: 0, focusY: 0, scale: 1, fitScale: 1, width: 1, height: 1, ratio: 1 };
  let follow = null; // the id of the robot the view keeps centred
  const hiddenLayers = new Set(); // connection ids whose drawing is switched off
  let layerOpacity = Number(opacitySlider.value) / 100;

  // What the last frame drew, for the hook at the end (canvas pixels).
  let drawnLabels = [];
  let drawnRobots = [];
  let drawnShells = [];
  let drawnLayers = [];
  let chartSummary = { robots: 0, from: 0, to: 0 };
  let marksSummary = { hits: 0, destroyed: 0 };
  const labelChoices = new Map(); // robot id → the label position it had, to keep labels still

  // ---- Colours ---------------------------------------------------------------------------

  function Rgb(colour, alpha) {
    const [r, g, b] = colour;
    return alpha === undefined ? `rgb(${r}, ${g}, ${b})` : `rgba(${r}, ${g}, ${b}, ${alpha})`;
  }

  function ColourOf(value) {
    return Array.isArray(value) && value.length === 3 && value.every(Number.isFinite)
      ? value.map((c) => Math.min(255, Math.max(0, Math.round(c)))) : [200, 200, 200];
  }

  /// A robot's colour lightened where it would vanish on the dark page: for lines and names.
  function Readable(colour) {
    const [r, g, b] = colour;
    const light = (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
    if (light >= 0.35) {
      return colour;
    }
    const towardWhite = 0.75 * (0.35 - light) / 0.35 + 0.15;
    return colour.map((c) => Math.round(c + (255 - c) * towardWhite));
  }

  function Ramp(t) {
    for (let i = 1; i < kRampStops.length; ++i) {
      const [to, high] = kRampStops[i];
      const [from, low] = kRampStops[i - 1];
      if (t <= to) {
        const share = (t - from) / (to - from);
        return low.map((c, k) => Math.round(c + (high[k] - c) * share));
      }
    }
    return kRampStops[kRampStops.length - 1][1];
  }
  const kRamp = Array.from({ length: 256 }, (_, i) => Ramp(i / 255));
  const kRampStyles = kRamp.map((colour) => Rgb(colour));

  /// Where a cell's colour lies on the scale. The client draws danger in red and what it is
  /// drawn to in green, brighter for more: the brightness goes up from the middle for danger
  /// and down from it for attraction.
  function RampIndex(r, g, b) {
    const brightness = Math.max(r, g, b) / 255;
    const drawnTo = g > r && g >= b;
    return Math.round(127.5 + (drawnTo ? -127.5 : 127.5) * brightness);
  }

  // ---- The battle's story: events and hit points over time --------------------------------
  //
  // Live, /story gives the battle so far and each snapshot extends it; in a replay /story gives
  // the whole recording. A server without /story leaves the stream alone to tell it, as the
  // arena does: a fall in hit points or a destruction that no event of the snapshot explains
  // is told without a shooter, and a robot is "joined" once it is no longer configuring.

  const story = {
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
    const robot = { id, name: '', colour: [200, 200, 200], armour: 0, points: [],
      state: undefined, hitPoints: undefined, joined: false, joinedAt: undefined, ended: false };
    story.robots.set(id, robot);
    return robot;
  }

  function FiniteOr(value, otherwise) {
    return typeof value === 'number' && Number.isFinite(value) ? value : otherwise;
  }

  const kKinds = new Set(['joined', 'left', 'hit', 'destroyed']);

  /// Replaces the story with /story's answer, checked as it goes: it is input from the network.
  function LoadStory(json) {
    if (!json || typeof json !== 'object' || !Array.isArray(json.events) || !Array.isArray(json.robots)) {
      return false;
    }
    ResetStory();
    for (const entry of json.robots.slice(0, kStoryRobots)) {
      if (!entry || !Number.isInteger(entry.id) || story.robots.has(entry.id)) {
        continue;
      }
      const robot = NewStoryRobot(entry.id);
      robot.name = String(entry.name ?? '');
      robot.colour = ColourOf(entry.colour);
      robot.armour = FiniteOr(entry.armour, 0);
      if (Array.isArray(entry.points)) {
        for (const point of entry.points) {
          if (Array.isArray(point) && Number.isFinite(point[0]) && Number.isFinite(point[1]) &&
              (robot.points.length === 0 || point[0] >= robot.points[robot.points.length - 1][0])) {
            AddPoint(robot, point[0], point[1]);
          }
        }
      }
      if (robot.points.length > 0) {
        robot.hitPoints = robot.points[robot.points.length - 1][1];
        story.start = Math.min(story.start ?? Infinity, robot.points[0][0]);
      }
    }
    const events = json.events.filter((event) => event && kKinds.has(event.kind) &&
      Number.isFinite(event.time) && Number.isInteger(event.robot));
    const kept = events.slice(-kStoryEvents);
    story.omitted = Math.max(0, FiniteOr(json.omitted, 0)) + (events.length - kept.length);
    for (const event of kept) {
      AddEvent({
        time: event.time, kind: event.kind, robot: event.robot, name: String(event.name ?? ''),
        by: Number.isInteger(event.by) ? event.by : undefined,
        byName: event.byName === undefined ? undefined : String(event.byName),
        damage: FiniteOr(event.damage, undefined), hitPoints: FiniteOr(event.hitPoints, undefined),
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
      story.robots.forEach((robot) => { robot.joined = true; });
    }
    // /story names no states: these are what its events imply, so that a robot destroyed
    // between the story and the first snapshot of the stream is still told.
    const lastKind = new Map(kept.map((event) => [event.robot, event.kind]));
    story.robots.forEach((robot) => {
      const kind = lastKind.get(robot.id);
      robot.state = kind === 'destroyed' ? 'destroyed' : kind === 'left' ? 'departed'
        : robot.joined ? 'alive' : undefined;
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
      robots: snapshot.robots.map((robot) => ({ id: robot.id, name: robot.name, colour: robot.colour,
        armour: robot.armour, state: robot.state, hitPoints: robot.hitPoints })),
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
      const by = Number.isInteger(event.by) && (names.has(event.by) || story.robots.has(event.by))
        ? event.by : undefined;
      AddEvent({
        time: FiniteOr(event.time, part.time), kind: event.kind, robot: event.robot,
        name: nameOf(event.robot), by, byName: by === undefined ? undefined : nameOf(by),
        damage: FiniteOr(event.damage, undefined), hitPoints: FiniteOr(event.hitPoints, undefined),
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
        if (consecutive && robot.hitPoints !== undefined && hitPoints < robot.hitPoints &&
            !told.has(`hit:${entry.id}`)) {
          AddEvent({ time: part.time, kind: 'hit', robot: entry.id, name: robot.name,
            damage: robot.hitPoints - hitPoints, hitPoints });
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
  function LoadServerStory() {
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

  function TakeIntoStory(snapshot) {
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
  function EventsUpTo(time) {
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

  // ---- The view: zoom, pan, fit and follow -------------------------------------------------

  function Layout(field) {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const margin = kMarginPixels * ratio;
    const fitScale = Math.max(0.01,
      Math.min((width - 2 * margin) / field.width, (height - 2 * margin) / field.height));
    Object.assign(view, { width, height, ratio, fitScale, scale: fitScale * view.zoom });
  }

  // Field coordinates (origin at the centre, y up) to canvas pixels, and back.
  function ToCanvas(x, y) {
    return [view.width / 2 + (x - view.focusX) * view.scale, view.height / 2 - (y - view.focusY) * view.scale];
  }
  function ToField(px, py) {
    return [view.focusX + (px - view.width / 2) / view.scale, view.focusY - (py - view.height / 2) / view.scale];
  }

  /// Keeps some of the field in view, however far it is panned.
  function ClampFocus() {
    const field = drawn?.field;
    if (field) {
      view.focusX = Math.min(field.width / 2, Math.max(-field.width / 2, view.focusX));
      view.focusY = Math.min(field.height / 2, Math.max(-field.height / 2, view.focusY));
    }
  }

  /// Zooms by `factor` keeping the field point under canvas pixel (px, py) where it is; a
  /// followed robot stays at the centre instead.
  function ZoomAt(px, py, factor) {
    const zoom = Math.min(kMaxZoom, Math.max(kMinZoom, view.zoom * factor));
    if (follow === null) {
      const [x, y] = ToField(px, py);
      const scale = view.fitScale * zoom;
      view.focusX = x - (px - view.width / 2) / scale;
      view.focusY = y + (py - view.height / 2) / scale;
    }
    view.zoom = zoom;
    view.scale = view.fitScale * zoom;
    ClampFocus();
    ShowZoom();
  }

  function ZoomBy(factor) {
    ZoomAt(view.width / 2, view.height / 2, factor);
  }

  function Fit() {
    SetFollow(null);
    view.zoom = 1;
    view.focusX = 0;
    view.focusY = 0;
    ShowZoom();
  }

  function ShowZoom() {
    zoomLabel.textContent = `${Math.round(view.zoom * 100)}%`;
    dirty.field = true;
  }

  function SetFollow(id) {
    follow = id;
    const robot = id === null ? null : drawn?.robots.find((r) => r.id === id);
    followingBox.hidden = id === null;
    followingName.textContent = robot ? robot.name : '';
    if (id !== null && view.zoom < kFollowZoom) {
      view.zoom = kFollowZoom;
      ShowZoom();
    }
    scoreRows.forEach((entry) => entry.row.classList.toggle('followed', entry.id === id));
    dirty.field = dirty.chart = true;
  }

  // ---- Drawing the field -------------------------------------------------------------------

  function RobotPixels() {
    return Math.max(kRobotRadius * view.scale, kMinRobotPixels * view.ratio);
  }

  function LayerFade(layer, time) {
    if (!Number.isFinite(layer.lastDrawn)) {
      return 1; // an arena that does not say when it drew
    }
    const idle = time - layer.lastDrawn - kIdleSeconds;
    return idle <= 0 ? 1 : Math.max(0, 1 - idle / kFadeSeconds);
  }

  function DrawCells(snapshot) {
    drawnLayers = [];
    for (const layer of snapshot.drawings) {
      const opacity = hiddenLayers.has(layer.connection) ? 0 : layerOpacity * LayerFade(layer, snapshot.time);
      drawnLayers.push({ connection: layer.connection, name: LayerName(layer), opacity });
      if (opacity <= 0) {
        continue;
      }
      context.globalAlpha = opacity;
      let style = null;
      for (const [x, y, halfWidth, halfHeight, r, g, b] of layer.cells) {
        // Whole pixels, so that neighbouring cells meet without seams.
        const [left, top] = ToCanvas(x - halfWidth, y + halfHeight);
        const [right, bottom] = ToCanvas(x + halfWidth, y - halfHeight);
        if (right < 0 || bottom < 0 || left > view.width || top > view.height) {
          continue;
        }
        const l = Math.round(left);
        const t = Math.round(top);
        const wanted = kRampStyles[RampIndex(r, g, b)];
        if (wanted !== style) {
          context.fillStyle = style = wanted;
        }
        context.fillRect(l, t, Math.round(right) - l, Math.round(bottom) - t);
      }
    }
    context.globalAlpha = 1;
  }

  function DrawCone(robot) {
    const [x, y] = ToCanvas(robot.x, robot.y);
    const reach = robot.scannerRange * view.scale;
    const half = (robot.scannerFieldOfView * Math.PI) / 360;
    context.beginPath();
    if (half >= Math.PI) {
      context.arc(x, y, reach, 0, 2 * Math.PI);
    } else {
      // The canvas's y runs down: angles turn the other way.
      context.moveTo(x, y);
      context.arc(x, y, reach, -robot.scannerHeading - half, -robot.scannerHeading + half);
      context.closePath();
    }
    context.fillStyle = Rgb(robot.colour, 0.08);
    context.fill();
    context.strokeStyle = Rgb(Readable(robot.colour), 0.3);
    context.lineWidth = view.ratio;
    context.stroke();
  }

  function DrawShell(shell, owners) {
    const [x, y] = ToCanvas(shell.x, shell.y);
    // The trail: where the shell was kTrailSeconds ago, but no longer than a few robots.
    const speed = Math.hypot(shell.vx, shell.vy);
    const back = speed > 0 ? Math.min(kTrailSeconds, kTrailUnits / speed) : 0;
    const [tailX, tailY] = ToCanvas(shell.x - shell.vx * back, shell.y - shell.vy * back);
    const colour = Readable(owners.get(shell.owner) || [255, 255, 255]);
    const radius = Math.max(3.5 * view.ratio, 0.13 * view.scale);
    const trail = context.createLinearGradient(tailX, tailY, x, y);
    trail.addColorStop(0, Rgb(colour, 0));
    trail.addColorStop(1, Rgb(colour, 0.9));
    context.strokeStyle = trail;
    context.lineWidth = radius * 1.4;
    context.lineCap = 'round';
    context.beginPath();
    context.moveTo(tailX, tailY);
    context.lineTo(x, y);
    context.stroke();
    context.fillStyle = '#fff6d5';
    context.strokeStyle = Rgb(colour);
    context.lineWidth = Math.max(1.5 * view.ratio, radius * 0.35);
    context.beginPath();
    context.arc(x, y, radius, 0, 2 * Math.PI);
    context.fill();
    context.stroke();
    drawnShells.push({ id: shell.id, x, y, radius, trail: Math.hypot(x - tailX, y - tailY) });
  }

  function DrawRobot(robot) {
    const [x, y] = ToCanvas(robot.x, robot.y);
    const radius = RobotPixels();
    const [r, g, b] = robot.colour;
    const light = 0.2126 * r + 0.7152 * g + 0.0722 * b < 0.2 * 255;
    context.fillStyle = Rgb(robot.colour);
    // A dark robot gets a light rim, so that it stands out on the dark floor.
    context.strokeStyle = light ? '#c9d1d9' : '#0b0d10';
    context.lineWidth = Math.max(1, 0.12 * radius);
    context.beginPath();
    context.arc(x, y, radius, 0, 2 * Math.PI);
    context.fill();
    context.stroke();
    if (robot.id === follow) {
      context.strokeStyle = '#6fa8ff';
      context.lineWidth = Math.max(2 * view.ratio, 0.1 * radius);
      context.beginPath();
      context.arc(x, y, radius * 1.9, 0, 2 * Math.PI);
      context.stroke();
    }

    // The heading: a bar from halfway out to beyond the rim; the centre keeps the colour.
    const dx = Math.cos(robot.heading);
    const dy = -Math.sin(robot.heading);
    context.strokeStyle = '#f4f6f8';
    context.lineWidth = Math.max(2, 0.22 * radius);
    context.lineCap = 'round';
    context.beginPath();
    context.moveTo(x + dx * radius * 0.5, y + dy * radius * 0.5);
    context.lineTo(x + dx * radius * 1.45, y + dy * radius * 1.45);
    context.stroke();

    drawnRobots.push({ id: robot.id, x, y, radius });
  }

  /// The hit-point bar below a robot, scaled with it; drawn after every body, so that a robot
  /// touching another from above does not hide its bar.
  function DrawHitPoints(robot) {
    const [x, y] = ToCanvas(robot.x, robot.y);
    const bar = HitPointBar(x, y, RobotPixels());
    const share = robot.armour > 0 ? Math.min(1, Math.max(0, robot.hitPoints / robot.armour)) : 0;
    context.fillStyle = '#0b0d10';
    context.fillRect(bar.left - 1, bar.top - 1, bar.width + 2, bar.height + 2);
    context.fillStyle = '#4a2323';
    context.fillRect(bar.left, bar.top, bar.width, bar.height);
    context.fillStyle = share > 0.5 ? '#4fd47a' : share > 0.25 ? '#e8c547' : '#e85b47';
    context.fillRect(bar.left, bar.top, bar.width * share, bar.height);
  }

  /// Under the robot and no wider than it, so that the bars of touching robots do not merge.
  function HitPointBar(x, y, radius) {
    const width = 1.8 * radius;
    const height = Math.max(3 * view.ratio, 0.28 * radius);
    return { left: x - width / 2, top: y + radius * 1.3, width, height };
  }

  /// A cross where a robot was destroyed, in its colour, for the rest of the battle.
  function DrawWreck(robot) {
    const [x, y] = ToCanvas(robot.x, robot.y);
    const size = RobotPixels() * 0.8;
    context.lineCap = 'round';
    for (const [style, width] of [['#0b0d10', 5], [Rgb(Readable(robot.colour), 0.9), 2.5]]) {
      context.strokeStyle = style;
      context.lineWidth = width * view.ratio;
      context.beginPath();
      context.moveTo(x - size, y - size);
      context.lineTo(x + size, y + size);
      context.moveTo(x + size, y - size);
      context.lineTo(x - size, y + size);
      context.stroke();
    }
  }

  /// Flashes where shells hit and where robots were destroyed, for a moment of battle time
  /// after each: drawn from the story, so a replay paused or sought shows them too.
  function DrawFlashes(snapshot) {
    const now = snapshot.time;
    const positions = new Map(snapshot.robots.map((robot) => [robot.id, robot]));
    const radius = RobotPixels();
    for (let i = EventsUpTo(now) - 1; i >= 0; --i) {
      const event = story.events[i];
      const age = now - event.time;
      if (age > kDestroyedFlashSeconds) {
        break;
      }
      const robot = positions.get(event.robot);
      if (!robot || (event.kind !== 'hit' && event.kind !== 'destroyed')) {
        continue;
      }
      const [x, y] = ToCanvas(robot.x, robot.y);
      if (event.kind === 'hit' && age <= kHitFlashSeconds) {
        const share = age / kHitFlashSeconds;
        context.strokeStyle = `rgba(255, 214, 110, ${1 - share})`;
        context.lineWidth = Math.max(2.5 * view.ratio, 0.25 * radius) * (1 - share * 0.5);
        context.beginPath();
        context.arc(x, y, radius * (1.3 + 1.4 * share), 0, 2 * Math.PI);
        context.stroke();
      } else if (event.kind === 'destroyed') {
        const share = age / kDestroyedFlashSeconds;
        context.fillStyle = `rgba(255, 120, 60, ${0.35 * (1 - share)})`;
        context.strokeStyle = `rgba(255, 150, 80, ${1 - share})`;
        context.lineWidth = 3 * view.ratio;
        context.beginPath();
        context.arc(x, y, radius * (1.5 + 3 * share), 0, 2 * Math.PI);
        context.fill();
        context.stroke();
      }
    }
  }

  // ---- Labels that do not overlap ----------------------------------------------------------

  const textWidths = new Map();
  function TextWidth(text) {
    let width = textWidths.get(text);
    if (width === undefined) {
      if (textWidths.size > 1000) {
        textWidths.clear();
      }
      width = context.measureText(text).width;
      textWidths.set(text, width);
    }
    return width;
  }

  function Overlap(a, b) {
    const w = Math.min(a.right, b.right) - Math.max(a.left, b.left);
    const h = Math.min(a.bottom, b.bottom) - Math.max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
  }

  function Box(left, top, width, height) {
    return { left, top, right: left + width, bottom: top + height };
  }

  /// Where a robot's name may go, nearest first: above, below its bar, beside it, at the
  /// corners, then further up or down in steps, joined to it by a leader line.
  function LabelCandidates(x, y, radius, width, height) {
    const gap = 3 * view.ratio;
    const bar = HitPointBar(x, y, radius);
    const above = y - radius * 1.5 - height;
    const below = bar.top + bar.height + gap;
    const list = [
      [x - width / 2, above], [x - width / 2, below],
      [x + radius * 1.6, y - height / 2], [x - radius * 1.6 - width, y - height / 2],
      [x + radius, above - gap], [x - radius - width, above - gap],
      [x + radius, below], [x - radius - width, below],
    ];
    for (let step = 1; step <= 6; ++step) {
      const shift = step * (height + gap);
      list.push([x - width / 2, above - shift], [x - width / 2, below + shift],
        [x + radius * 1.6 + step * width * 0.5, y - height / 2 - shift],
        [x - radius * 1.6 - width - step * width * 0.5, y - height / 2 + shift]);
    }
    return list.map(([left, top], rank) => ({ ...Box(left, top, width, height), rank, leader: rank >= 8 }));
  }

  /// Places the names of the robots on the field, each where it overlaps no other name if it
  /// can, nor another robot, nor leaves the canvas; a name keeps last frame's place while
  /// that stays free, so that names do not hop about as robots move.
  function PlaceLabels(robots) {
    const fontPixels = Math.round(12 * view.ratio);
    context.font = `600 ${fontPixels}px system-ui, sans-serif`;
    const padX = 3 * view.ratio;
    const padY = 2 * view.ratio;
    const height = fontPixels + 2 * padY;
    const bodies = robots.map((robot) => {
      const [x, y] = ToCanvas(robot.x, robot.y);
      const radius = RobotPixels();
      const bar = HitPointBar(x, y, radius);
      return { id: robot.id, x, y, radius, rect: Box(x - radius * 1.45, y - radius * 1.45, radius * 2.9, bar.top + bar.height - y + radius * 1.45) };
    });
    const screen = Box(0, 0, view.width, view.height);
    const placed = [];
    const labels = [];
    bodies.forEach((body, index) => {
      const robot = robots[index];
      const width = TextWidth(robot.name) + 2 * padX;
      const candidates = LabelCandidates(body.x, body.y, body.radius, width, height);
      const previous = labelChoices.get(robot.id);
      let best = null;
      let bestCost = Infinity;
      for (const candidate of candidates) {
        let cost = candidate.rank;
        for (const other of placed) {
          cost += Overlap(candidate, other) > 0 ? 1e6 : 0;
        }
        for (const other of bodies) {
          if (other !== body && Overlap(candidate, other.rect) > 0) {
            cost += 1e3;
          }
        }
        const inside = Overlap(candidate, screen);
        cost += inside < (candidate.right - candidate.left) * height ? 1e4 : 0;
        if (candidate.rank === previous && cost < 1e3) {
          cost = -1; // still free: it stays
        }
        if (cost < bestCost) {
          bestCost = cost;
          best = candidate;
        }
      }
      labelChoices.set(robot.id, best.rank);
      placed.push(best);
      labels.push({ robot, body, box: best });
    });
    for (const id of labelChoices.keys()) {
      if (!robots.some((robot) => robot.id === id)) {
        labelChoices.delete(id);
      }
    }
    return { labels, fontPixels, padX, padY };
  }

  function DrawLabels(robots) {
    const { labels, padX } = PlaceLabels(robots);
    drawnLabels = [];
    context.textAlign = 'left';
    context.textBaseline = 'middle';
    for (const { robot, body, box } of labels) {
      if (box.leader) {
        // From the robot's rim toward the name's nearest point.
        const nearX = Math.min(box.right, Math.max(box.left, body.x));
        const nearY = Math.min(box.bottom, Math.max(box.top, body.y));
        const angle = Math.atan2(nearY - body.y, nearX - body.x);
        context.strokeStyle = '#c9d1d9aa';
        context.lineWidth = view.ratio;
        context.beginPath();
        context.moveTo(body.x + Math.cos(angle) * body.radius * 1.1, body.y + Math.sin(angle) * body.radius * 1.1);
        context.lineTo(nearX, nearY);
        context.stroke();
      }
      context.fillStyle = '#101316c8';
      context.fillRect(box.left, box.top, box.right - box.left, box.bottom - box.top);
      context.fillStyle = Rgb(Readable(robot.colour));
      context.fillRect(box.left, box.top, 2 * view.ratio, box.bottom - box.top);
      context.fillStyle = '#eef1f4';
      context.fillText(robot.name, box.left + padX, (box.top + box.bottom) / 2);
      drawnLabels.push({ id: robot.id, name: robot.name, left: box.left, top: box.top,
        right: box.right, bottom: box.bottom, leader: box.leader });
    }
  }

  function DrawField() {
    dirty.field = false;
    const snapshot = drawn;
    drawnRobots = [];
    drawnShells = [];
    Layout(snapshot.field);
    // A battle's survivors stay where they stood when it ended: the winner among them.
    const onField = snapshot.robots.filter(
      (robot) => robot.state === 'alive' || robot.state === 'survived');
    if (follow !== null) {
      const robot = onField.find((r) => r.id === follow);
      if (robot) {
        view.focusX = robot.x;
        view.focusY = robot.y;
      }
    }
    context.fillStyle = '#101316';
    context.fillRect(0, 0, canvas.width, canvas.height);

    const [left, top] = ToCanvas(-snapshot.field.width / 2, snapshot.field.height / 2);
    const width = snapshot.field.width * view.scale;
    const height = snapshot.field.height * view.scale;
    context.fillStyle = Rgb(kFloor);
    context.fillRect(left, top, width, height);

    // Under the robots: the drawings, then the scanner cones.
    context.save();
    context.beginPath();
    context.rect(left, top, width, height);
    context.clip();
    DrawCells(snapshot);
    onField.forEach(DrawCone);
    context.restore();

    context.strokeStyle = '#9aa5b1';
    context.lineWidth = 3 * view.ratio;
    context.strokeRect(left - 1.5 * view.ratio, top - 1.5 * view.ratio, width + 3 * view.ratio,
                       height + 3 * view.ratio);

    snapshot.robots.filter((robot) => robot.state === 'destroyed').forEach(DrawWreck);
    // Shells under the robots: a shell leaves from its robot's centre, and its trail starts
    // behind it; a robot stays whole in its colour.
    const owners = new Map(snapshot.robots.map((robot) => [robot.id, robot.colour]));
    snapshot.shells.forEach((shell) => DrawShell(shell, owners));
    onField.forEach(DrawRobot);
    onField.forEach(DrawHitPoints);
    DrawFlashes(snapshot);
    // Names only for the robots in view: placing them costs the square of their number.
    const reach = 100 * view.ratio;
    DrawLabels(onField.filter((robot) => {
      const [x, y] = ToCanvas(robot.x, robot.y);
      return x > -reach && y > -reach && x < view.width + reach && y < view.height + reach;
    }));
  }

  // ---- The hit-point chart -----------------------------------------------------------------

  function SizeCanvas(target) {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(target.clientWidth * ratio));
    const height = Math.max(1, Math.round(target.clientHeight * ratio));
    if (target.width !== width || target.height !== height) {
      target.width = width;
      target.height = height;
    }
    return { width, height, ratio };
  }

  /// The battle time the chart and the seek bar span.
  function TimeRange() {
    if (mode === 'replay' && info) {
      return [info.start, Math.max(info.end, info.start + kFrameSeconds)];
    }
    const now = drawn ? drawn.time : 0;
    const start = Math.min(story.start ?? now, now);
    return [start, Math.max(now, start + 10)];
  }

  function NiceStep(span, pixels, least) {
    const rough = span / Math.max(1, pixels / least);
    const power = 10 ** Math.floor(Math.log10(rough));
    return [1, 2, 5, 10].map((m) => m * power).find((step) => step >= rough) ?? 10 * power;
  }

  let chartGeometry = null; // the plot's place in the chart canvas, for clicks

  function DrawChart() {
    dirty.chart = false;
    const { width, height, ratio } = SizeCanvas(chartCanvas);
    const c = chartContext;
    c.fillStyle = '#171a1f';
    c.fillRect(0, 0, width, height);
    const [from, to] = TimeRange();
    const robots = [...story.robots.values()].filter((robot) => robot.points.length > 0);
    const top = 8 * ratio;
    const bottom = height - 16 * ratio;
    const left = 34 * ratio;
    const right = width - 10 * ratio;
    chartGeometry = { left, right, from, to, ratio };
    const most = Math.max(1, ...robots.map((robot) => Math.max(robot.armour,
      ...robot.points.map((point) => point[1]))));
    const X = (time) => left + ((time - from) / (to - from)) * (right - left);
    const Y = (value) => bottom - (value / most) * (bottom - top);

    c.font = `${Math.round(10 * ratio)}px system-ui, sans-serif`;
    c.lineWidth = 1;
    c.strokeStyle = '#2c323a';
    c.fillStyle = '#8a949e';
    c.textAlign = 'right';
    c.textBaseline = 'middle';
    for (const value of [0, most / 2, most]) {
      c.beginPath();
      c.moveTo(left, Math.round(Y(value)) + 0.5);
      c.lineTo(right, Math.round(Y(value)) + 0.5);
      c.stroke();
      c.fillText(String(Math.round(value)), left - 4 * ratio, Y(value));
    }
    c.textAlign = 'center';
    c.textBaseline = 'top';
    const step = NiceStep(to - from, right - left, 70 * ratio);
    for (let tick = Math.ceil(from / step) * step; tick <= to + 1e-9; tick += step) {
      const text = ClockText(tick).replace(/\.0$/, '');
      const half = c.measureText(text).width / 2;
      c.fillText(text, Math.min(width - half - ratio, X(tick)), bottom + 3 * ratio);
    }
    c.save();
    c.translate(10 * ratio, (top + bottom) / 2);
    c.rotate(-Math.PI / 2);
    c.textBaseline = 'middle';
    c.fillText('hit points', 0, 0);
    c.restore();

    c.save();
    c.beginPath();
    c.rect(left, top - 2 * ratio, right - left, bottom - top + 4 * ratio);
    c.clip();
    const end = mode === 'replay' ? to : drawn ? drawn.time : to;
    for (const robot of robots) {
      // Before it joins a robot has no hit points to speak of: its line starts there.
      const joined = robot.joinedAt ?? -Infinity;
      let first = 0;
      while (first + 1 < robot.points.length && robot.points[first + 1][0] <= joined) {
        ++first;
      }
      const points = robot.points.slice(first);
      points[0] = [Math.max(joined, points[0][0]), points[0][1]];
      c.strokeStyle = Rgb(Readable(robot.colour));
      c.lineWidth = (robot.id === follow ? 3 : 1.5) * ratio;
      c.lineJoin = 'round';
      c.beginPath();
      c.moveTo(X(points[0][0]), Y(points[0][1]));
      for (let i = 1; i < points.length; ++i) {
        c.lineTo(X(points[i][0]), Y(points[i - 1][1]));
        c.lineTo(X(points[i][0]), Y(points[i][1]));
      }
      // A robot still in the battle keeps its last value up to now.
      if (!robot.ended) {
        c.lineTo(X(end), Y(points[points.length - 1][1]));
      }
      c.stroke();
    }
    // Destructions: a cross on the line where it ends.
    for (const event of story.events) {
      if (event.kind === 'destroyed' && event.time >= from && event.time <= to) {
        const robot = story.robots.get(event.robot);
        const x = X(event.time);
        const y = Y(0) - 4 * ratio;
        c.strokeStyle = robot ? Rgb(Readable(robot.colour)) : '#ff7a6b';
        c.lineWidth = 2 * ratio;
        const size = 4 * ratio;
        c.beginPath();
        c.moveTo(x - size, y - size);
        c.lineTo(x + size, y + size);
        c.moveTo(x + size, y - size);
        c.lineTo(x - size, y + size);
        c.stroke();
      }
    }
    c.restore();

    if (drawn) {
      const x = Math.round(X(Math.min(to, Math.max(from, drawn.time)))) + 0.5;
      c.strokeStyle = '#e3e8ed';
      c.lineWidth = ratio;
      c.beginPath();
      c.moveTo(x, top - 4 * ratio);
      c.lineTo(x, bottom);
      c.stroke();
    }
    chartSummary = { robots: robots.length, from, to };
  }

  function ChartTime(event) {
    if (!chartGeometry) {
      return null;
    }
    const { left, right, from, to, ratio } = chartGeometry;
    const x = (event.clientX - chartCanvas.getBoundingClientRect().left) * ratio;
    return from + Math.min(1, Math.max(0, (x - left) / (right - left))) * (to - from);
  }

  // ---- The seek bar's marks ----------------------------------------------------------------

  function DrawMarks() {
    dirty.marks = false;
    if (mode !== 'replay') {
      return;
    }
    const { width, height, ratio } = SizeCanvas(marksCanvas);
    const c = marksContext;
    c.clearRect(0, 0, width, height);
    const [from, to] = TimeRange();
    const inset = (kThumbPixels / 2) * ratio;
    const X = (time) => inset + ((time - from) / (to - from)) * (width - 2 * inset);
    const middle = height / 2;
    c.fillStyle = '#2c323a';
    c.fillRect(inset, middle - 3 * ratio, width - 2 * inset, 6 * ratio);
    if (drawn) {
      c.fillStyle = '#3f6ea8';
      c.fillRect(inset, middle - 3 * ratio, X(drawn.time) - inset, 6 * ratio);
    }
    let hits = 0;
    let destroyed = 0;
    for (const event of story.events) {
      if (event.kind === 'hit') {
        c.fillStyle = '#ffc46bcc';
        c.fillRect(Math.round(X(event.time)) - ratio, middle - 6 * ratio, 2 * ratio, 12 * ratio);
        ++hits;
      }
    }
    // Destructions over the hits, taller, with a head.
    for (const event of story.events) {
      if (event.kind === 'destroyed') {
        const x = Math.round(X(event.time));
        c.fillStyle = '#ff5a4a';
        c.fillRect(x - 1.5 * ratio, 2 * ratio, 3 * ratio, height - 4 * ratio);
        c.beginPath();
        c.arc(x, 4 * ratio, 3.5 * ratio, 0, 2 * Math.PI);
        c.fill();
        ++destroyed;
      }
    }
    marksSummary = { hits, destroyed };
  }

  // ---- The event feed ----------------------------------------------------------------------

  const feed = { generation: -1, lastSeq: 0, newestTime: -Infinity };

  function FeedEntry(event) {
    const item = document.createElement('li');
    item.className = event.kind;
    item.dataset.time = String(event.time);
    const time = document.createElement('span');
    time.className = 'time';
    time.textContent = ClockText(event.time);
    const who = (id, name) => {
      const span = document.createElement('span');
      span.className = 'who';
      span.textContent = name;
      const robot = story.robots.get(id);
      if (robot) {
        span.style.color = Rgb(Readable(robot.colour));
      }
      return span;
    };
    const what = document.createElement('span');
    what.className = 'what';
    item.append(time);
    const shooter = event.by !== undefined ? who(event.by, event.byName ?? `robot ${event.by}`) : null;
    if (event.kind === 'hit') {
      const damage = event.damage !== undefined ? ` −${event.damage.toFixed(1)}` : '';
      const left = event.hitPoints !== undefined ? ` → ${event.hitPoints.toFixed(1)} hp` : '';
      what.textContent = `hit${damage}`;
      if (shooter) {
        item.append(shooter, ' ', what, ' ', who(event.robot, event.name), left);
      } else {
        item.append(who(event.robot, event.name), ' ', what, left);
      }
    } else if (event.kind === 'destroyed') {
      what.textContent = 'destroyed';
      if (shooter) {
        item.append(shooter, ' ', what, ' ', who(event.robot, event.name));
      } else {
        item.append(who(event.robot, event.name), ' ', what);
      }
    } else {
      what.textContent = event.kind === 'joined' ? 'joined' : 'left';
      item.append(who(event.robot, event.name), ' ', what);
    }
    return item;
  }

  /// The newest events up to the time on the canvas, newest first, at most kFeedEntries of
  /// them: new ones are put in at the top, and the list is built again only when the time
  /// goes back (a seek) or the story is replaced.
  function UpdateFeed() {
    dirty.feed = false;
    const now = drawn ? drawn.time : Infinity;
    const upTo = EventsUpTo(now);
    const rebuild = feed.generation !== story.generation || now < feed.newestTime;
    let first;
    if (rebuild) {
      feedList.replaceChildren();
      feed.generation = story.generation;
      first = Math.max(0, upTo - kFeedEntries);
    } else {
      first = upTo;
      while (first > 0 && story.events[first - 1].seq > feed.lastSeq) {
        --first;
      }
      if (upTo - first > kFeedEntries) {
        feedList.replaceChildren();
        first = upTo - kFeedEntries;
      }
    }
    if (first < upTo) {
      const fresh = document.createDocumentFragment();
      for (let i = upTo - 1; i >= first; --i) {
        fresh.append(FeedEntry(story.events[i]));
      }
      feedList.prepend(fresh);
      while (feedList.childElementCount > kFeedEntries) {
        feedList.lastElementChild.remove();
      }
    }
    if (upTo > 0) {
      feed.lastSeq = story.events[upTo - 1].seq;
      feed.newestTime = story.events[upTo - 1].time;
    } else {
      feed.lastSeq = 0;
      feed.newestTime = -Infinity;
    }
    feedNone.hidden = feedList.childElementCount > 0;
    const older = story.omitted + Math.max(0, upTo - kFeedEntries);
    feedOmitted.hidden = older === 0;
    feedOmitted.textContent = `${older} earlier event${older === 1 ? '' : 's'} not listed`;
  }

  // ---- Scoreboard, clock and drawing toggles ---------------------------------------------

  function ClockText(seconds) {
    const minutes = Math.floor(seconds / 60);
    const rest = seconds - minutes * 60;
    return `${minutes}:${rest.toFixed(1).padStart(4, '0')}`;
  }

  function ScoreCells(robot) {
    return [
      robot.name, robot.type, robot.state,
      robot.state === 'configuring' ? '' : robot.hitPoints.toFixed(1),
      String(robot.shots), String(robot.hits), robot.damageDealt.toFixed(2),
      robot.damageTaken.toFixed(2), robot.timeAlive.toFixed(1),
      // Only the final snapshot ranks the robots.
      typeof robot.score === 'number' ? robot.score.toFixed(2) : '',
      typeof robot.rank === 'number' ? String(robot.rank) : '',
    ];
  }

  let scoreRows = [];

  /// The robots in id order, or by rank once the battle has ranked them.
  function ScoreOrder(robots) {
    if (!robots.some((robot) => typeof robot.rank === 'number')) {
      return robots;
    }
    const rank = (robot) => (typeof robot.rank === 'number' ? robot.rank : Infinity);
    return [...robots].sort((a, b) => rank(a) - rank(b) || a.id - b.id);
  }

  function UpdateScoreboard(snapshot) {
    const robots = ScoreOrder(snapshot.robots);
    // Rows are rebuilt only when the robots or their order change; otherwise only changed
    // texts are set.
    if (scoreRows.length !== robots.length || scoreRows.some((row, i) => row.id !== robots[i].id)) {
      scoreBody.replaceChildren();
      scoreRows = robots.map((robot) => {
        const row = document.createElement('tr');
        row.dataset.robot = robot.id;
        row.title = `follow ${robot.name} on the field`;
        const cells = ScoreCells(robot).map(() => row.insertCell());
        const swatch = document.createElement('span');
        swatch.className = 'swatch';
        const name = document.createElement('span');
        cells[0].append(swatch, name);
        row.classList.toggle('followed', robot.id === follow);
        scoreBody.append(row);
        return { id: robot.id, row, swatch, name, cells, texts: [] };
      });
    }
    const winner = snapshot.winner ? snapshot.winner.id : null;
    robots.forEach((robot, i) => {
      const entry = scoreRows[i];
      const texts = ScoreCells(robot);
      texts.forEach((text, column) => {
        if (entry.texts[column] !== text) {
          (column === 0 ? entry.name : entry.cells[column]).textContent = text;
        }
      });
      entry.texts = texts;
      entry.swatch.style.background = Rgb(robot.colour);
      entry.row.classList.toggle('gone', robot.state === 'destroyed' || robot.state === 'departed');
      entry.row.classList.toggle('winner', robot.id === winner);
    });
  }

  /// "Nolix: danger map" when the arena knows which robot draws, else the connection.
  function LayerName(layer) {
    const robot = layer.robot;
    return robot && typeof robot.name === 'string' ? `${robot.name}: danger map`
      : `connection ${layer.connection} (${layer.client})`;
  }

  let layerKeys = '';
  let layerStates = new Map(); // connection → its "idle" text element

  function UpdateLayers(snapshot) {
    const keys = snapshot.drawings.map((layer) => `${layer.connection}:${layer.client}:${LayerName(layer)}`).join('|');
    if (keys !== layerKeys) {
      layerKeys = keys;
      layerList.replaceChildren();
      layerStates = new Map();
      if (snapshot.drawings.length === 0) {
        const none = document.createElement('li');
        none.className = 'none';
        none.textContent = 'none';
        layerList.append(none);
      }
      for (const layer of snapshot.drawings) {
        const item = document.createElement('li');
        const label = document.createElement('label');
        const toggle = document.createElement('input');
        toggle.type = 'checkbox';
        toggle.checked = !hiddenLayers.has(layer.connection);
        toggle.dataset.connection = layer.connection;
        toggle.addEventListener('change', () => {
          if (toggle.checked) {
            hiddenLayers.delete(layer.connection);
          } else {
            hiddenLayers.add(layer.connection);
          }
          dirty.field = true;
        });
        const state = document.createElement('span');
        state.className = 'idle';
        label.append(toggle, ` ${LayerName(layer)}`);
        item.append(label, state);
        layerList.append(item);
        layerStates.set(layer.connection, state);
      }
    }
    for (const layer of snapshot.drawings) {
      const state = layerStates.get(layer.connection);
      const text = LayerFade(layer, snapshot.time) < 1 ? 'not drawing' : '';
      if (state && state.textContent !== text) {
        state.textContent = text;
      }
    }
  }

  /// " · NAME wins" or " · draw" when the snapshot names the winner; older ones do not.
  function OutcomeText(snapshot) {
    if (!('winner' in snapshot)) {
      return '';
    }
    return snapshot.winner ? ` · ${snapshot.winner.name} wins` : ' · draw';
  }

  function UpdateBanner(snapshot) {
    if (!snapshot.over) {
      banner.hidden = true;
      return;
    }
    const ranked = ScoreOrder(snapshot.robots).filter((robot) => typeof robot.rank === 'number');
    const headline = !('winner' in snapshot) ? 'Battle over'
      : snapshot.winner ? `${snapshot.winner.name} wins` : 'A draw';
    const podium = ranked.slice(0, 3).map((robot) => `${robot.rank}. ${robot.name}`).join(' · ');
    const text = `${headline}|${podium}`;
    if (banner.dataset.text !== text) {
      banner.dataset.text = text;
      const line = document.createElement('small');
      line.textContent = podium;
      banner.replaceChildren(headline, line);
      line.hidden = podium === '';
    }
    banner.hidden = false;
  }

  /// Whether a snapshot has what the page draws; anything else from the network is dropped.
  function Valid(snapshot) {
    return snapshot && typeof snapshot === 'object' && Number.isFinite(snapshot.time) &&
      snapshot.field && Number.isFinite(snapshot.field.width) && snapshot.field.width > 0 &&
      Number.isFinite(snapshot.field.height) && snapshot.field.height > 0 &&
      Array.isArray(snapshot.robots) && Array.isArray(snapshot.shells) && Array.isArray(snapshot.drawings);
  }

  const kRobotNumbers = ['x', 'y', 'heading', 'scannerHeading', 'scannerRange', 'scannerFieldOfView',
    'hitPoints', 'armour', 'shots', 'hits', 'damageDealt', 'damageTaken', 'timeAlive'];
  const kShellNumbers = ['x', 'y', 'vx', 'vy'];

  /// The snapshot with every figure the page draws made a number, so that a malformed entry
  /// is drawn oddly at worst, never stops the page.
  function Clean(snapshot) {
    snapshot.robots = snapshot.robots.filter((robot) => robot && Number.isInteger(robot.id));
    for (const robot of snapshot.robots) {
      kRobotNumbers.forEach((key) => { robot[key] = FiniteOr(robot[key], 0); });
      robot.colour = ColourOf(robot.colour);
      robot.name = String(robot.name ?? '');
      robot.type = String(robot.type ?? '');
      robot.state = String(robot.state ?? '');
    }
    snapshot.shells = snapshot.shells.filter((shell) => shell && kShellNumbers.every((key) => Number.isFinite(shell[key])));
    snapshot.drawings = snapshot.drawings.filter((layer) => layer && Array.isArray(layer.cells));
    for (const layer of snapshot.drawings) {
      layer.cells = layer.cells.filter((cell) => Array.isArray(cell) && cell.length >= 7);
    }
    return snapshot;
  }

  function Show(snapshot) {
    pending = snapshot;
    clockLabel.textContent = ClockText(snapshot.time);
    overLabel.hidden = !snapshot.over;
    overLabel.textContent =
      snapshot.over ? `Battle over: ${snapshot.over}${OutcomeText(snapshot)}` : '';
    TakeIntoStory(snapshot);
    UpdateScoreboard(snapshot);
    UpdateLayers(snapshot);
    UpdateBanner(snapshot);
    if (follow !== null && !followingName.textContent) {
      followingName.textContent = snapshot.robots.find((robot) => robot.id === follow)?.name ?? '';
    }
  }

  function Parse(text) {
    try {
      const snapshot = JSON.parse(text);
      return Valid(snapshot) ? Clean(snapshot) : null;
    } catch (error) {
      console.warn('not a snapshot:', error);
      return null;
    }
  }

  // ---- The one drawing loop ----------------------------------------------------------------

  function Loop() {
    requestAnimationFrame(Loop);
    if (pending) {
      drawn = pending;
      pending = null;
      dirty.field = dirty.chart = dirty.marks = dirty.feed = true;
    }
    if (!drawn) {
      return;
    }
    if (dirty.field) {
      DrawField();
    }
    if (dirty.chart) {
      DrawChart();
    }
    if (dirty.marks) {
      DrawMarks();
    }
    if (dirty.feed) {
      UpdateFeed();
    }
  }

  // ---- Pointer, wheel and keys -------------------------------------------------------------

  function CanvasPoint(event) {
    const box = canvas.getBoundingClientRect();
    return [(event.clientX - box.left) * view.ratio, (event.clientY - box.top) * view.ratio];
  }

  canvas.addEventListener('wheel', (event) => {
    event.preventDefault();
    const lines = event.deltaMode === 1 ? 40 : event.deltaMode === 2 ? 400 : 1;
    const [px, py] = CanvasPoint(event);
    ZoomAt(px, py, Math.exp(-event.deltaY * lines * 0.0015));
  }, { passive: false });

  // Drag pans, two fingers pinch; a press that does not move clicks (and follows a robot).
  const pointers = new Map();
  let gesture = null;
  canvas.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) {
      return;
    }
    canvas.setPointerCapture(event.pointerId);
    pointers.set(event.pointerId, CanvasPoint(event));
    gesture = { moved: false, start: CanvasPoint(event), distance: null };
  });
  canvas.addEventListener('pointermove', (event) => {
    if (!pointers.has(event.pointerId) || !gesture) {
      return;
    }
    const before = pointers.get(event.pointerId);
    const now = CanvasPoint(event);
    pointers.set(event.pointerId, now);
    if (pointers.size >= 2) {
      const [a, b] = [...pointers.values()];
      const distance = Math.hypot(a[0] - b[0], a[1] - b[1]);
      if (gesture.distance) {
        ZoomAt((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, distance / gesture.distance);
      }
      gesture.distance = distance;
      gesture.moved = true;
      return;
    }
    if (!gesture.moved && Math.hypot(now[0] - gesture.start[0], now[1] - gesture.start[1]) < 4 * view.ratio) {
      return;
    }
    if (!gesture.moved) {
      gesture.moved = true;
      SetFollow(null);
      canvas.classList.add('dragging');
    }
    view.focusX -= (now[0] - before[0]) / view.scale;
    view.focusY += (now[1] - before[1]) / view.scale;
    ClampFocus();
    dirty.field = true;
  });
  const release = (event) => {
    if (!pointers.delete(event.pointerId)) {
      return;
    }
    if (gesture && !gesture.moved && pointers.size === 0 && drawn) {
      // A click on a robot follows it.
      const [px, py] = CanvasPoint(event);
      const hit = drawnRobots.find((robot) => Math.hypot(robot.x - px, robot.y - py) <= robot.radius * 1.5);
      if (hit) {
        SetFollow(hit.id === follow ? null : hit.id);
      }
    }
    if (pointers.size === 0) {
      gesture = null;
      canvas.classList.remove('dragging');
    } else if (gesture) {
      gesture.distance = null;
    }
  };
  canvas.addEventListener('pointerup', release);
  canvas.addEventListener('pointercancel', release);

  $('fit').addEventListener('click', Fit);
  $('zoom-in').addEventListener('click', () => ZoomBy(1.25));
  $('zoom-out').addEventListener('click', () => ZoomBy(0.8));
  $('unfollow').addEventListener('click', () => SetFollow(null));
  scoreBody.addEventListener('click', (event) => {
    const row = event.target.closest('tr');
    if (row) {
      const id = Number(row.dataset.robot);
      SetFollow(id === follow ? null : id);
    }
  });
  opacitySlider.addEventListener('input', () => {
    layerOpacity = Number(opacitySlider.value) / 100;
    dirty.field = true;
  });
  feedList.addEventListener('click', (event) => {
    const item = event.target.closest('li');
    if (item && replay) {
      replay.seek(Number(item.dataset.time));
    }
  });
  chartCanvas.addEventListener('click', (event) => {
    const time = ChartTime(event);
    if (replay && time !== null) {
      replay.seek(time);
    }
  });

  document.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.metaKey || event.altKey) {
      return;
    }
    const target = event.target;
    // Keys typed into a menu or a slider other than the seek bar are theirs.
    if (target instanceof HTMLSelectElement || target instanceof HTMLTextAreaElement ||
        (target instanceof HTMLInputElement && target !== seekBar)) {
      return;
    }
    const actions = {
      f: Fit, F: Fit, '+': () => ZoomBy(1.25), '=': () => ZoomBy(1.25), '-': () => ZoomBy(0.8),
      Escape: () => SetFollow(null),
    };
    if (replay) {
      Object.assign(actions, {
        ' ': replay.toggle, ArrowLeft: () => replay.step(-1), ArrowRight: () => replay.step(1),
        '[': () => replay.faster(-1), ']': () => replay.faster(1),
      });
    }
    const action = actions[event.key];
    if (action) {
      event.preventDefault();
      action();
    }
  });

  const resized = () => {
    dirty.field = dirty.chart = dirty.marks = true;
  };
  window.addEventListener('resize', resized);
  if (window.ResizeObserver) {
    new ResizeObserver(resized).observe(canvas);
  }

  // ---- Connection state ------------------------------------------------------------------

  function SetConnection(text, kind) {
    connectionLabel.textContent = text;
    connectionLabel.className = 'state-' + kind;
  }

  // ---- Live ------------------------------------------------------------------------------

  function StartLive() {
    let source = null;
    const open = () => {
      SetConnection('connecting…', 'connecting');
      source = new EventSource('events');
      source.onopen = () => {
        SetConnection('live', 'live');
        // Whatever happened while the stream was away, /story has it.
        LoadServerStory();
      };
      source.onmessage = (event) => {
        const snapshot = Parse(event.data);
        if (snapshot) {
          Show(snapshot);
        }
      };
      source.onerror = () => {
        // The browser tries again by itself after a lost stream, but not after a refusal
        // (such as a busy viewer); then it is up to us.
        SetConnection('reconnecting…', 'lost');
        if (source.readyState === EventSource.CLOSED) {
          source.close();
          setTimeout(open, kRetryMilliseconds);
        }
      };
    };
    open();
  }

  // ---- Replay ----------------------------------------------------------------------------

  function StartReplay() {
    let source = null;
    let playing = false;
    let seeking = false;
    let frameInFlight = false;
    let stepping = false;
    let wantedTime = null;
    replayBar.hidden = false;
    feedList.classList.add('seekable');
    chartCanvas.classList.add('seekable');
    feedList.title = 'click an event to see it';
    seekBar.min = info.start;
    seekBar.max = info.end;
    seekBar.value = info.start;

    const showTime = (time) => {
      replayTime.textContent = `${time.toFixed(1)} / ${info.end.toFixed(1)} s`;
      if (!seeking) {
        seekBar.value = time;
      }
    };
    const stop = () => {
      if (source) {
        source.close();
        source = null;
      }
      playing = false;
      playButton.textContent = 'Play';
    };
    const lost = () => {
      stop();
      SetConnection('connection lost', 'lost');
      const retry = () => fetch('info').then((reply) => {
        if (!reply.ok) {
          throw new Error(reply.statusText);
        }
        SetConnection('replay', 'replay');
      }).catch(() => setTimeout(retry, kRetryMilliseconds));
      setTimeout(retry, kRetryMilliseconds);
    };
    const play = (from) => {
      stop();
      const start = from >= info.end ? info.start : from;
      source = new EventSource(`events?time=${start}&speed=${speedSelect.value}`);
      playing = true;
      playButton.textContent = 'Pause';
      source.onopen = () => SetConnection('replay', 'replay');
      source.onmessage = (event) => {
        const snapshot = Parse(event.data);
        if (snapshot) {
          Show(snapshot);
          showTime(snapshot.time);
        }
      };
      source.addEventListener('end', () => {
        stop();
        showTime(info.end);
        replayBar.dataset.ended = 'true';
      });
      source.onerror = () => {
        if (source) {
          lost();
        }
      };
      delete replayBar.dataset.ended;
    };
    const getFrame = (time) => fetch(`frame?time=${time}`)
      .then((reply) => (reply.ok ? reply.text() : Promise.reject(new Error(reply.statusText))))
      .then(Parse);
    // One frame at a time while the bar is dragged; the newest wish wins.
    const fetchFrame = (time) => {
      wantedTime = time;
      if (frameInFlight) {
        return;
      }
      frameInFlight = true;
      const asked = wantedTime;
      getFrame(asked)
        .then((snapshot) => {
          if (snapshot && !playing) {
            Show(snapshot);
            showTime(snapshot.time);
          }
        })
        .catch(() => lost())
        .finally(() => {
          frameInFlight = false;
          if (wantedTime !== asked) {
            fetchFrame(wantedTime);
          }
        });
    };
    const seek = (time) => {
      const at = Math.min(info.end, Math.max(info.start, time));
      seekBar.value = at;
      if (playing) {
        play(at);
      } else {
        fetchFrame(at);
      }
    };
    // One snapshot on or back, paused. The recording's frames are kFrameSeconds apart, but
    // not exactly (the last one, rounding): a step that lands on the same frame goes further.
    const step = async (direction) => {
      if (stepping) {
        return;
      }
      stepping = true;
      stop();
      try {
        const from = (pending ?? drawn)?.time ?? Number(seekBar.value);
        for (let reach = 1; reach <= 4; ++reach) {
          const target = Math.min(info.end, Math.max(info.start,
            from + direction * reach * kFrameSeconds + kFrameSeconds / 50));
          const snapshot = await getFrame(target);
          if (!snapshot) {
            break;
          }
          if (snapshot.time !== from || target <= info.start || target >= info.end) {
            Show(snapshot);
            showTime(snapshot.time);
            break;
          }
        }
      } catch {
        lost();
      } finally {
        stepping = false;
      }
    };
    const toggle = () => {
      if (playing) {
        stop();
      } else {
        play(Number(seekBar.value));
      }
    };
    const faster = (direction) => {
      const index = Math.min(speedSelect.options.length - 1,
        Math.max(0, speedSelect.selectedIndex + direction));
      if (index !== speedSelect.selectedIndex) {
        speedSelect.selectedIndex = index;
        speedSelect.dispatchEvent(new Event('change'));
      }
    };

    playButton.addEventListener('click', toggle);
    $('step-back').addEventListener('click', () => step(-1));
    $('step-forward').addEventListener('click', () => step(1));
    seekBar.addEventListener('input', () => {
      seeking = true;
      const time = Number(seekBar.value);
      replayTime.textContent = `${time.toFixed(1)} / ${info.end.toFixed(1)} s`;
      if (!playing) {
        fetchFrame(time);
      }
    });
    seekBar.addEventListener('change', () => {
      seeking = false;
      seek(Number(seekBar.value));
    });
    speedSelect.addEventListener('change', () => {
      if (playing) {
        play(Number(seekBar.value));
      }
    });
    new ResizeObserver(() => { dirty.marks = true; }).observe(marksCanvas);
    replay = { toggle, step, faster, seek };
    SetConnection('replay', 'replay');
    // The whole recording's story first, so that the seek bar shows its marks from the start;
    // without one the replay tells it as it plays.
    fetch('story', { cache: 'no-store' })
      .then((reply) => (reply.ok ? reply.json() : null))
      .catch(() => null)
      .then((json) => {
        if (json) {
          LoadStory(json);
        }
        play(info.start);
      });
  }

  // ---- Start -----------------------------------------------------------------------------

  function Begin() {
    fetch('info')
      .then((reply) => (reply.ok ? reply.json() : Promise.reject(new Error(reply.statusText))))
      .then((answer) => {
        info = answer;
        mode = answer.mode;
        if (mode === 'replay') {
          info.start = FiniteOr(info.start, 0);
          info.end = FiniteOr(info.end, info.start);
          StartReplay();
        } else {
          StartLive();
        }
      })
      .catch(() => {
        SetConnection('no arena: retrying…', 'lost');
        setTimeout(Begin, kRetryMilliseconds);
      });
  }

  // For a person at the console, and for the browser test: what the last frame drew.
  // Positions and sizes are canvas pixels (the canvas's own grid, which getImageData reads;
  // CSS pixels times devicePixelRatio).
  //   scale      canvas pixels per field unit; zoom: against the whole field in view
  //   labels     [{id, name, left, top, right, bottom, leader}]: the robots' name boxes
  //   robots     [{id, x, y, radius}] as drawn; shells [{id, x, y, radius, trail}] (trail: length)
  //   layers     [{connection, name, opacity}]: opacity as drawn, 0 when hidden or faded out
  //   feed       entries in the event feed; chart {robots, from, to}; marks {hits, destroyed}
  //   cellColour(r, g, b): the colour a cell sent as r, g, b is drawn in, at full opacity
  window.viewerState = {
    get mode() { return mode; },
    get snapshot() { return drawn; },
    get scale() { return view.scale; },
    get zoom() { return view.zoom; },
    get follow() { return follow; },
    get labels() { return drawnLabels.map((label) => ({ ...label })); },
    get robots() { return drawnRobots.map((robot) => ({ ...robot })); },
    get shells() { return drawnShells.map((shell) => ({ ...shell })); },
    get layers() { return drawnLayers.map((layer) => ({ ...layer })); },
    get feed() { return feedList.childElementCount; },
    get chart() { return { ...chartSummary }; },
    get marks() { return { ...marksSummary }; },
    floor: kFloor,
    toCanvas: (x, y) => ToCanvas(x, y),
    cellColour: (r, g, b) => [...kRamp[RampIndex(r, g, b)]],
  };

  requestAnimationFrame(Loop);
  Begin();
})();
