// Writes assets/pictures/parts/lettering.svg: the words and numbers the
// pictures need, as outlines of the game's own face (Titan One), so that the
// pictures render the same on every machine without any installed font.
//
// Run once after changing the word list (needs Node.js):
//   npm install @fontsource/titan-one@5.3.0 opentype.js@2.0.0
//   node assets/lettering/make_lettering.js node_modules > assets/pictures/parts/lettering.svg
//
// Every word is a <path> with id "w-<name>", set at 200 px per em, centred
// horizontally on x = 0 with its baseline on y = 0. The comment after each
// path gives its ink box, for placing it.
'use strict';
const fs = require('fs');
const path = require('path');
const modules = process.argv[2] || 'node_modules';
const opentype = require(path.resolve(modules, 'opentype.js'));

const files = path.join(modules, '@fontsource/titan-one/files');
const font = opentype.parse(
    fs.readFileSync(path.join(files, 'titan-one-latin-400-normal.woff')).buffer);

const words = {
    mnemora: 'Mnemora',
    orvanta: 'Orvanta',
    presents: 'presents',
};
for (let n = 1; n <= 12; ++n) words['n' + n] = String(n);

const size = 200;
let out = '<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10">\n';
out += '<!-- Outlines of the Titan One face (SIL Open Font License 1.1), ' +
       '200 px per em, centred on x = 0, baseline y = 0. -->\n<defs>\n';
for (const [name, text] of Object.entries(words)) {
    const advance = font.getAdvanceWidth(text, size);
    const p = font.getPath(text, -advance / 2, 0, size);
    const box = p.getBoundingBox();
    out += `<path id="w-${name}" d="${p.toPathData(1)}"/>\n`;
    out += `<!-- ${name}: x ${box.x1.toFixed(0)}..${box.x2.toFixed(0)}, ` +
           `y ${box.y1.toFixed(0)}..${box.y2.toFixed(0)} -->\n`;
}
out += '</defs>\n</svg>\n';
process.stdout.write(out);
