// SPDX-License-Identifier: GPL-3.0-or-later
// Serves the built page (a static folder) on 127.0.0.1, gzip-compressed where that helps, as a static host would.
//
// usage: node serve.js <folder> [port]
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');

const folder = path.resolve(process.argv[2] || '.');
const port = Number(process.argv[3] || 8000);
const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8',
    '.wasm': 'application/wasm', '.png': 'image/png', '.webmanifest': 'application/manifest+json',
};
// Pictures are compressed already.
const compressible = new Set(['.html', '.js', '.css', '.wasm', '.webmanifest']);

const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    const file = path.join(folder, path.normalize(name.endsWith('/') ? `${name}index.html` : name));
    if (!file.startsWith(folder + path.sep)) {
        response.writeHead(403).end();
        return;
    }
    fs.stat(file, (error, stats) => {
        if (error || !stats.isFile()) {
            response.writeHead(404).end();
            return;
        }
        const extension = path.extname(file);
        // Tagged, as a static host does, so that a file the browser holds already is not sent again.
        const tag = `"${stats.size}-${stats.mtimeMs}"`;
        const headers = {'Content-Type': types[extension] || 'application/octet-stream', 'Cache-Control': 'no-cache',
                         ETag: tag};
        if (request.headers['if-none-match'] === tag) {
            response.writeHead(304, headers).end();
            return;
        }
        let body = fs.readFileSync(file);
        if (compressible.has(extension) && /\bgzip\b/.test(request.headers['accept-encoding'] || '')) {
            headers['Content-Encoding'] = 'gzip';
            body = zlib.gzipSync(body, {level: 9});
        }
        response.writeHead(200, headers).end(body);
    });
});
server.on('error', (error) => {
    console.error(`Zubotta: cannot serve on 127.0.0.1:${port}: ${error.code === 'EADDRINUSE' ? 'the port is in use' : error.message}`);
    process.exit(1);
});
server.listen(port, '127.0.0.1', () => console.log(`Zubotta: http://127.0.0.1:${port}/ (Ctrl+C stops)`));
