// SPDX-License-Identifier: GPL-3.0-or-later
// Checks that every relative link and picture of README.md and docs/*.md leads somewhere: to a file of the
// repository, and to a heading of it where the link names one, as the repository's page names headings.
//
// usage: node docs_links.js <the repository's folder>
'use strict';
const fs = require('fs');
const path = require('path');

const root = path.resolve(process.argv[2] || path.join(__dirname, '..'));
const pages = ['README.md', ...fs.readdirSync(path.join(root, 'docs')).filter((name) => name.endsWith('.md'))
    .map((name) => path.join('docs', name))];

// A heading's anchor as the repository's page makes it: in lower case, its punctuation left out, a hyphen a space.
const anchor = (heading) => heading.trim().toLowerCase().replace(/[^\p{L}\p{N}\s_-]/gu, '').replace(/\s/g, '-');

function anchorsOf(file) {
    const text = fs.readFileSync(file, 'utf8').replace(/^```[\s\S]*?^```/gm, '');
    return new Set([...text.matchAll(/^#+\s+(.*)$/gm)].map(([, heading]) => anchor(heading)));
}

const broken = [];
let links = 0;
for (const page of pages) {
    const text = fs.readFileSync(path.join(root, page), 'utf8').replace(/^```[\s\S]*?^```/gm, '');
    for (const [, target] of text.matchAll(/!?\[[^\]]*\]\(([^)\s]+)\)/g)) {
        if (/^[a-z]+:/.test(target))
            continue;
        ++links;
        const [file, heading] = target.split('#');
        const resolved = file ? path.resolve(root, path.dirname(page), file) : path.join(root, page);
        if (!fs.existsSync(resolved))
            broken.push(`${page}: ${target}: no such file`);
        else if (heading !== undefined && !anchorsOf(resolved).has(heading))
            broken.push(`${page}: ${target}: no such heading`);
    }
}
for (const line of broken)
    console.log(`broken: ${line}`);
console.log(`${links} links in ${pages.length} pages, ${broken.length} broken`);
process.exit(broken.length && 1);
