// The robots' drawings as layers: their names, their fading once idle, and the list that
// switches each on or off with the opacity they are drawn at.
import { layerList, opacitySlider } from './page_elements.js';
import { Isolated } from './names.js';
import { dirty } from './page_state.js';

const kIdleSeconds = 1; // a drawing silent this long fades out...
const kFadeSeconds = 0.5; // ...over this much battle time

export const hiddenLayers = new Set(); // connection ids whose drawing is switched off
export let layerOpacity = Number(opacitySlider.value) / 100;

export function LayerFade(layer, time) {
  if (!Number.isFinite(layer.lastDrawn)) {
    return 1; // an arena that does not say when it drew
  }
  const idle = time - layer.lastDrawn - kIdleSeconds;
  return idle <= 0 ? 1 : Math.max(0, 1 - idle / kFadeSeconds);
}

/// "Nolix: danger map" when the arena knows which robot draws, else the connection.
export function LayerName(layer) {
  const robot = layer.robot;
  return robot && typeof robot.name === 'string'
    ? `${Isolated(robot.name)}: danger map`
    : `connection ${layer.connection} (${layer.client})`;
}

let layerKeys = '';
let layerStates = new Map(); // connection → its "idle" text element

export function UpdateLayers(snapshot) {
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

opacitySlider.addEventListener('input', () => {
  layerOpacity = Number(opacitySlider.value) / 100;
  dirty.field = true;
});
