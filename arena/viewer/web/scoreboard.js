// The scoreboard's rows and the banner that names the winner once the battle is over.
import { Rgb } from './colour_ramp.js';
import { Isolated } from './names.js';
import { banner, scoreBody } from './page_elements.js';
import { follow } from './page_state.js';

function ScoreCells(robot) {
  return [
    robot.name,
    robot.type,
    robot.state,
    robot.state === 'configuring' ? '' : robot.hitPoints.toFixed(1),
    String(robot.shots),
    String(robot.hits),
    robot.damageDealt.toFixed(2),
    robot.damageTaken.toFixed(2),
    robot.timeAlive.toFixed(1),
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

export function UpdateScoreboard(snapshot) {
  const robots = ScoreOrder(snapshot.robots);
  // Rows are rebuilt only when the robots or their order change; otherwise only changed
  // texts are set.
  if (scoreRows.length !== robots.length || scoreRows.some((row, i) => row.id !== robots[i].id)) {
    scoreBody.replaceChildren();
    scoreRows = robots.map((robot) => {
      const row = document.createElement('tr');
      row.dataset.robot = robot.id;
      row.title = `follow ${Isolated(robot.name)} on the field`;
      const cells = ScoreCells(robot).map(() => row.insertCell());
      const swatch = document.createElement('span');
      swatch.className = 'swatch';
      const name = document.createElement('span');
      name.className = 'name';
      const type = document.createElement('span');
      type.className = 'name';
      cells[0].append(swatch, name);
      cells[1].append(type);
      row.classList.toggle('followed', robot.id === follow);
      scoreBody.append(row);
      return { id: robot.id, row, swatch, texts: [], shown: [name, type, ...cells.slice(2)] };
    });
  }
  const winner = snapshot.winner ? snapshot.winner.id : null;
  robots.forEach((robot, i) => {
    const entry = scoreRows[i];
    const texts = ScoreCells(robot);
    texts.forEach((text, column) => {
      if (entry.texts[column] !== text) {
        entry.shown[column].textContent = text;
      }
    });
    entry.texts = texts;
    entry.swatch.style.background = Rgb(robot.colour);
    entry.row.classList.toggle('gone', robot.state === 'destroyed' || robot.state === 'departed');
    entry.row.classList.toggle('winner', robot.id === winner);
  });
}

/// Marks the followed robot's row.
export function MarkFollowed(id) {
  scoreRows.forEach((entry) => entry.row.classList.toggle('followed', entry.id === id));
}

/// " · NAME wins" or " · draw" when the snapshot names the winner; older ones do not.
export function OutcomeText(snapshot) {
  if (!('winner' in snapshot)) {
    return '';
  }
  return snapshot.winner ? ` · ${Isolated(snapshot.winner.name)} wins` : ' · draw';
}

export function UpdateBanner(snapshot) {
  if (!snapshot.over) {
    banner.hidden = true;
    return;
  }
  const ranked = ScoreOrder(snapshot.robots).filter((robot) => typeof robot.rank === 'number');
  const headline = !('winner' in snapshot)
    ? 'Battle over'
    : snapshot.winner
      ? `${Isolated(snapshot.winner.name)} wins`
      : 'A draw';
  const podium = ranked
    .slice(0, 3)
    .map((robot) => `${robot.rank}. ${Isolated(robot.name)}`)
    .join(' · ');
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
