// Robots' names as the page shows them. A name is whatever its client or a recording says:
// it is kept to the length a client may declare and kept from turning the text around it.

const kMaxNameCharacters = 64; // a client declares at most 64 bytes

/// `value` as a name: text of at most kMaxNameCharacters characters, cut with "…".
export function ShownName(value) {
  const text = String(value ?? '');
  if (text.length <= kMaxNameCharacters) {
    return text;
  }
  const characters = [];
  for (const character of text) {
    // by code point, stopping early however long the text
    characters.push(character);
    if (characters.length > kMaxNameCharacters) {
      return characters.slice(0, kMaxNameCharacters - 1).join('') + '…';
    }
  }
  return text;
}

/// `name` to be set in a sentence: a right-to-left override in it turns only the name.
export function Isolated(name) {
  return `\u2068${name}\u2069`;
}
