// SPDX-License-Identifier: GPL-3.0-or-later
// The page's reading of game controllers (web/gamepad.js): which keys the buttons of all pads press, read by read.
'use strict';
const assert = require('node:assert/strict');
const path = require('node:path');
const test = require('node:test');
const {padPresses} = require(path.join(__dirname, '..', '..', 'web', 'gamepad.js'));

const south = 0, east = 1, west = 2, back = 8, start = 9, up = 12, left = 14, home = 16;

// A pad as getGamepads() shows it, holding the given buttons of its 17.
function pad(held, {mapping = 'standard', connected = true} = {}) {
    return {mapping, connected, buttons: Array.from({length: 17}, (_, b) => ({pressed: held.includes(b)}))};
}

// The keys pressed at each of a run of reads, each given the pads as shown then; boxOpen says which reads find a
// box open.
function play(reads, boxOpen = () => false) {
    let held = [];
    return reads.map((pads, at) => {
        const now = padPresses(pads, held, boxOpen(at));
        held = now.held;
        return now.presses.map(({key}) => key).join();
    });
}

test('each button presses its key as it goes down, and held it is one press', () => {
    assert.deepEqual(play([[pad([left])], [pad([left])], [pad([])], [pad([up, start, back])], [pad([east])]]),
                     ['a', '', '', 'd, ,F1', 'f']);
});

test('a key\'s two buttons, or two pads, make one press while any of them holds it', () => {
    // The d-pad and its face button mirror each other.
    assert.deepEqual(play([[pad([left])], [pad([left, west])], [pad([west])], [pad([])], [pad([west])]]),
                     ['a', '', '', '', 'a']);
    // A pad the system shows twice: the same press arrives on both, and on one a read late.
    assert.deepEqual(play([[pad([south]), pad([])], [pad([south]), pad([south])], [pad([]), pad([south])],
                           [pad([south]), pad([south])], [pad([]), pad([])], [pad([]), pad([south])]]),
                     ['s', '', '', '', '', 's']);
});

test('with a box open south is its OK and nothing else, and other buttons do nothing', () => {
    const open = (at) => at >= 1 && at <= 3;
    assert.deepEqual(play([[pad([])], [pad([east, start])], [pad([south])], [pad([south])], [pad([south])]], open),
                     ['', '', 'Enter', '', '']);
    // South held as the box closes works no hole.
    assert.deepEqual(play([[pad([south])], [pad([south])]], (at) => at === 0), ['Enter', '']);
    assert.deepEqual(play([[pad([south])]]), ['s']);
});

test('Home, the shoulders, the triggers, the sticks and pads not in the standard mapping press nothing', () => {
    assert.deepEqual(play([[pad([home, 4, 5, 6, 7, 10, 11])], [pad([south], {mapping: ''})],
                           [null, pad([south], {connected: false})], [pad([south], {mapping: 'xr-standard'})]]),
                     ['', '', '', '']);
});
