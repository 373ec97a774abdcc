// SPDX-License-Identifier: GPL-3.0-or-later
// The service worker: keeps the whole site of one build in a cache named by its version and serves the page from
// it, so that the game starts and plays with no network.
//
// A page never gets files of two builds. A new build's worker fills its own cache from the network and then waits,
// without skipWaiting: the old build's pages still open may yet fetch files (a sound that comes after the opening
// screen) and must keep getting their own. Once none is open, it becomes the active worker, deletes the old caches
// and serves the next visit all of its build. A reload of the old build's only page keeps that build, as the old
// page is not gone when the reload asks for the new one. clients.claim() only takes the first visit's page, loaded
// from the network, for the cache just filled from the same site.
'use strict';

// The build's version and every file of its site, filled in by web/offline_site.cmake.
const version = 'unbuilt';
const files = [];

// Other sites of the same origin (other folders of one host) keep their caches.
const cachePrefix = `zubotta ${self.registration.scope} `;
const cacheName = cachePrefix + version;

// `no-cache` asks the host whether a file changed (a static host answers an unchanged one with 304), so a stale
// copy in the browser's HTTP cache cannot slip an old file into the new build's cache.
self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(cacheName).then((cache) =>
        cache.addAll(files.map((file) => new Request(file, {cache: 'no-cache'})))));
});

self.addEventListener('activate', (event) => {
    const old = (name) => name.startsWith(cachePrefix) && name !== cacheName;
    event.waitUntil(caches.keys()
        .then((names) => Promise.all(names.filter(old).map((name) => caches.delete(name))))
        .then(() => self.clients.claim()));
});

// The site's folder is its index.html.
self.addEventListener('fetch', (event) => {
    const url = new URL(event.request.url);
    if (event.request.method !== 'GET' || url.origin !== self.location.origin)
        return;
    if (url.pathname.endsWith('/'))
        url.pathname += 'index.html';
    event.respondWith(caches.open(cacheName)
        .then((cache) => cache.match(url.href))
        .then((kept) => kept || fetch(event.request)));
});
