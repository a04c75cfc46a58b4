// The preview's reading of one row of the CSV, as the page decoded it: the
// line end taken off, then the cells, quoted or not as the layout writes
// them. A quoted cell may hold commas, line breaks and quotes written
// doubled; a quote that opens no cell is text. Searched for rather than
// matched by a pattern, whose repeat overflows the stack on a value of
// millions of characters.
function csvCells(line) {
  const ending = line.endsWith('\r\n') ? 2 : Number(line.endsWith('\n'));
  const row = line.slice(0, line.length - ending);
  const found = [];
  for (let at = 0; ;) {
    let text = '';
    if (row[at] === '"') {
      for (at += 1; ;) {
        const quote = row.indexOf('"', at);
        if (quote < 0) return [...found, text + row.slice(at)];  // a quote never closed: the rest is the cell's
        text += row.slice(at, quote);
        at = quote + 1;
        if (row[at] !== '"') break;
        text += '"';
        at += 1;
      }
    }
    const comma = row.indexOf(',', at);
    found.push(text + row.slice(at, comma < 0 ? row.length : comma));
    if (comma < 0) return found;
    at = comma + 1;
  }
}
