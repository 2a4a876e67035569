// The event feed beside the field: the story's events up to the time on the canvas.
import { ClockText } from './clock_text.js';
import { Readable, Rgb } from './colour_ramp.js';
import { feedList, feedNone, feedOmitted } from './page_elements.js';
import { dirty, drawn } from './page_state.js';
import { EventsUpTo, story } from './story.js';

const kFeedEntries = 200;

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
export function UpdateFeed() {
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
