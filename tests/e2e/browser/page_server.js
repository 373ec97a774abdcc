// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser tests and the browser benchmark share: web/serve.js started on a free port, and Debian's
// chromium launched the same way.
'use strict';
const net = require('net');
const path = require('path');
const {spawn} = require('child_process');

const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';

async function freePort() {
    return new Promise((resolve, reject) => {
        const probe = net.createServer();
        probe.on('error', reject);
        probe.listen(0, '127.0.0.1', () => {
            const {port} = probe.address();
            probe.close(() => resolve(port));
        });
    });
}

// The built page served as a static host would, ready once the server says where it listens.
async function serve(site) {
    const port = await freePort();
    const script = path.join(__dirname, '..', '..', '..', 'web', 'serve.js');
    const server = spawn(process.execPath, [script, site, String(port)], {stdio: ['ignore', 'pipe', 'inherit']});
    await new Promise((resolve, reject) => {
        server.stdout.on('data', (data) => { if (/http:/.test(data)) resolve(); });
        server.on('exit', () => reject(new Error('the page server stopped')));
    });
    return {server, url: `http://127.0.0.1:${port}/`};
}

function launch(chromium) {
    return chromium.launch({
        executablePath: chromiumPath,
        args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
               '--disable-sync', '--no-first-run'],
    });
}

module.exports = {chromiumPath, freePort, serve, launch};
