// The learning file as the page shows it: the engine's records read back
// (little-endian: score, weight, side, depth, size, isBook, next, reserved,
// keyLow, keyHigh, 4 bytes each, then the position text, its zero and 7 bytes
// of padding), its positions as EPD.

// [{score, weight, side, depth, isBook, text}], or null when the bytes are
// not a whole learning file.
export function learnedRecords(bytes) {
  const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
  const view = new DataView(data.buffer, data.byteOffset, data.byteLength);
  const records = [];
  for (let at = 0; at < data.length;) {
    if (at + 40 > data.length) return null;
    const size = view.getInt32(at + 16, true);
    const end = data.indexOf(0, at + 40);
    if (end < 0 || size !== 48 + (end - at - 40) || at + size > data.length) return null;
    records.push({
      score: view.getInt32(at, true), weight: view.getInt32(at + 4, true), side: view.getInt32(at + 8, true),
      depth: view.getInt32(at + 12, true), isBook: view.getInt32(at + 20, true) === 1,
      text: new TextDecoder().decode(data.subarray(at + 40, end)),
    });
    at += size;
  }
  return records;
}

// The record's position text as EPD: castling letters in the usual order,
// no en-passant square (the text's pawn field only tells positions apart).
export function epdOf(text) {
  const [placement, side = 'w', castling = '-'] = text.split(' ');
  const rights = [...'KQkq'].filter((c) => castling.includes(c)).join('');
  return `${placement} ${side} ${rights || '-'} -`;
}

// The stored search results, deepest first, and the whole file as EPD lines.
export function learnedSummary(records) {
  const searched = records.filter((r) => r.depth > 0).sort((a, b) => b.depth - a.depth);
  const epd = records.map((r) => `${epdOf(r.text)}${r.depth > 0 ? ` acd ${r.depth}; ce ${r.score};` : ''}`
    + ` c0 "${r.isBook ? 'book' : 'searched'} weight ${r.weight}";`).join('\n') + '\n';
  return { positions: records.length, book: records.filter((r) => r.isBook).length, searched, epd };
}
