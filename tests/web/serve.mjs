// A small static server for the web edition's site folder, for playing it
// locally and for the browser tests: 127.0.0.1 only (a secure context, so the
// service worker runs), the right types for wasm and the manifest, no
// compression (Content-Length is the file's size, which the page's progress
// bar reads), and "no-cache" so a rebuilt site is picked up at once.
//   node serve.mjs SITE_DIR [--port N]
import {createReadStream, promises as fsp} from 'node:fs';
import {createServer} from 'node:http';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

const types = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.mjs': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8',
    '.json': 'application/json',
    '.webmanifest': 'application/manifest+json',
    '.wasm': 'application/wasm',
    '.png': 'image/png',
    '.svg': 'image/svg+xml',
    '.ico': 'image/x-icon',
};

// Starts serving `dir`; resolves to { url, close(), sent } where `sent` maps
// each file name to the bytes sent for it so far.
export async function startServer(dir, {port = 0, host = '127.0.0.1', quiet = true} = {}) {
    const root = path.resolve(dir);
    const sent = new Map();
    const server = createServer(async (req, res) => {
        if (req.method !== 'GET' && req.method !== 'HEAD') {
            res.writeHead(405, {Allow: 'GET, HEAD'}).end();
            return;
        }
        let name;
        try {
            name = decodeURIComponent(new URL(req.url, 'http://localhost').pathname);
        } catch {
            res.writeHead(400).end();
            return;
        }
        if (name.endsWith('/')) name += 'index.html';
        const file = path.resolve(root, '.' + name);
        // Nothing outside the site folder, whatever the request says.
        if (file !== root && !file.startsWith(root + path.sep)) {
            res.writeHead(403).end();
            return;
        }
        let stat;
        try {
            stat = await fsp.stat(file);
        } catch {
            stat = null;
        }
        if (!stat || !stat.isFile()) {
            if (!quiet) console.log(`404 ${req.url}`);
            res.writeHead(404, {'Content-Type': 'text/plain'}).end('not found\n');
            return;
        }
        res.writeHead(200, {
            'Content-Type': types[path.extname(file).toLowerCase()] || 'application/octet-stream',
            'Content-Length': stat.size,
            'Cache-Control': 'no-cache',
        });
        if (req.method === 'HEAD') {
            res.end();
            return;
        }
        const key = path.relative(root, file);
        const stream = createReadStream(file);
        stream.on('data', (chunk) => sent.set(key, (sent.get(key) || 0) + chunk.length));
        stream.on('error', () => res.destroy());
        stream.pipe(res);
        if (!quiet) console.log(`200 ${req.url} ${stat.size}`);
    });
    const sockets = new Set();
    server.on('connection', (s) => {
        sockets.add(s);
        s.on('close', () => sockets.delete(s));
    });
    await new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(port, host, resolve);
    });
    const address = server.address();
    return {
        url: `http://${host}:${address.port}/`,
        sent,
        // Stops at once, cutting open keep-alive connections too, so the
        // site is really gone for a browser that had it open.
        close: () => new Promise((resolve) => {
            server.close(() => resolve());
            for (const s of sockets)
                s.destroy();
        }),
    };
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
    const args = process.argv.slice(2);
    const portAt = args.indexOf('--port');
    const port = portAt >= 0 ? Number(args.splice(portAt, 2)[1]) : 8080;
    const dir = args[0];
    if (!dir) {
        console.error('usage: node serve.mjs SITE_DIR [--port N]');
        process.exit(2);
    }
    try {
        if (!(await fsp.stat(path.join(dir, 'index.html'))).isFile()) throw new Error();
    } catch {
        console.error(`no web site in ${dir} (build it with "make web")`);
        process.exit(1);
    }
    const {url} = await startServer(dir, {port, quiet: false});
    console.log(`Serving ${path.resolve(dir)} at ${url} (Ctrl+C ends)`);
}
