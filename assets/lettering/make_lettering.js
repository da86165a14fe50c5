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

// Path data with one decimal, written here rather than by Path.toPathData,
// which can emit "NaN" for some of this face's quadratic segments.
function pathData(p) {
    const n = (v) => String(Math.round(v * 10) / 10);
    return p.commands.map((c) => {
        switch (c.type) {
        case 'M': case 'L': return `${c.type}${n(c.x)} ${n(c.y)}`;
        case 'Q': return `Q${n(c.x1)} ${n(c.y1)} ${n(c.x)} ${n(c.y)}`;
        case 'C': return `C${n(c.x1)} ${n(c.y1)} ${n(c.x2)} ${n(c.y2)} ${n(c.x)} ${n(c.y)}`;
        default: return 'Z';
        }
    }).join('');
}

const size = 200;
let out = '<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10">\n';
out += '<!-- Outlines of the Titan One face (SIL Open Font License 1.1), ' +
       '200 px per em, centred on x = 0, baseline y = 0. -->\n<defs>\n';
for (const [name, text] of Object.entries(words)) {
    const advance = font.getAdvanceWidth(text, size);
    const p = font.getPath(text, -advance / 2, 0, size);
    const box = p.getBoundingBox();
    out += `<path id="w-${name}" d="${pathData(p)}"/>\n`;
    out += `<!-- ${name}: x ${box.x1.toFixed(0)}..${box.x2.toFixed(0)}, ` +
           `y ${box.y1.toFixed(0)}..${box.y2.toFixed(0)} -->\n`;
}
out += '</defs>\n</svg>\n';
process.stdout.write(out);
