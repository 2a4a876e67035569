// What the parts of the page share: the mode, the snapshot drawn and the one to draw next,
// the followed robot and what needs drawing again. Other modules read the bindings and
// change them through the setters, since an import cannot be assigned to.

export const kFrameSeconds = 0.05; // the arena snapshots every 50 ms of battle time

export let mode = null; // 'live' or 'replay', once /info has answered
export let info = null; // /info's answer
export let drawn = null; // the snapshot on the canvas
export let pending = null; // the snapshot to draw at the next frame
export let replay = null; // the replay's controls, in replay
export const dirty = { field: true, chart: true, marks: true, feed: true };
export let follow = null; // the id of the robot the view keeps centred

export function SetMode(value) {
  mode = value;
}
export function SetInfo(value) {
  info = value;
}
export function SetDrawn(value) {
  drawn = value;
}
export function SetPending(value) {
  pending = value;
}
export function SetReplay(value) {
  replay = value;
}
export function SetFollowed(value) {
  follow = value;
}
