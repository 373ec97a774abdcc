// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser tests and the browser benchmark share: web/serve.js started on a free port and stopped, and
// Debian's chromium launched the same way, with a lasting profile or without.
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

// The built page served as a static host would, ready once the server says where it listens; on a port of its
// own unless told one (a site's service worker belongs to its port).
async function serve(site, port = 0) {
    port = port || await freePort();
    const script = path.join(__dirname, '..', '..', '..', 'web', 'serve.js');
    const server = spawn(process.execPath, [script, site, String(port)], {stdio: ['ignore', 'pipe', 'inherit']});
    await new Promise((resolve, reject) => {
        server.stdout.on('data', (data) => { if (/http:/.test(data)) resolve(); });
        server.on('exit', () => reject(new Error('the page server stopped')));
    });
    return {server, url: `http://127.0.0.1:${port}/`};
}

// Stops the page server, for good once this returns: from then on the page has no network.
async function stop(server) {
    if (server.exitCode !== null || server.signalCode !== null)
        return;
    const exited = new Promise((resolve) => server.once('exit', resolve));
    server.kill();
    await exited;
}

const launchOptions = {
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run'],
};

function launch(chromium) {
    return chromium.launch(launchOptions);
}

// Chromium with a lasting profile in the given folder, as a player's browser has, rather than an incognito one.
function launchWithProfile(chromium, folder, options) {
    return chromium.launchPersistentContext(folder, {...launchOptions, ...options});
}

module.exports = {chromiumPath, freePort, serve, stop, launch, launchWithProfile};
