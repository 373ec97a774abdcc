// SPDX-License-Identifier: GPL-3.0-or-later
// Game controllers on the page: the buttons of every pad the browser shows in its standard mapping, read 60 times a
// second while one is connected, become the game's keys; a key is held while any pad holds one of its buttons.
'use strict';

// The standard mapping's buttons, by where they sit whatever their labels.
const padButton = {south: 0, east: 1, west: 2, north: 3, back: 8, start: 9, up: 12, down: 13, left: 14, right: 15};

// The four lanes of a rhythm game, the d-pad and the face buttons mirroring each other, as on the desktop; each key
// as the keyboard types it. South is also a box's OK, Enter. Home belongs to the system; the sticks, the shoulders
// and the triggers do nothing.
const padKeys = [
    {key: 'a', code: 'KeyA', buttons: [padButton.left, padButton.west]},
    {key: 's', code: 'KeyS', buttons: [padButton.down, padButton.south]},
    {key: 'd', code: 'KeyD', buttons: [padButton.up, padButton.north]},
    {key: 'f', code: 'KeyF', buttons: [padButton.right, padButton.east]},
    {key: ' ', code: 'Space', buttons: [padButton.start]},
    {key: 'F1', code: 'F1', buttons: [padButton.back]},
    {key: 'Enter', code: 'Enter', buttons: [padButton.south]},
];
const okKey = padKeys.at(-1);

// As often as browsers read the devices themselves, in milliseconds, by a timer: animation frames would have the page
// make a frame each time, at three times the cost while the game waits.
const readingPace = 16;

const isStandardPad = (pad) => Boolean(pad) && pad.connected && pad.mapping === 'standard';

// The keys the pads hold now, given the pads as getGamepads() shows them, and those that act: each that went from
// held by no pad to held by some, so that a pad the system shows twice (Steam's beside the real one) or a key's two
// buttons at once make one press. While a box is open only its OK acts, and it does nothing else.
function padPresses(pads, heldBefore, boxOpen) {
    const standard = pads.filter(isStandardPad);
    const held = padKeys.filter(({buttons}) =>
        standard.some((pad) => buttons.some((button) => pad.buttons[button] && pad.buttons[button].pressed)));
    const presses = held.filter((key) => !heldBefore.includes(key) && (key === okKey) === boxOpen);
    return {held, presses};
}

// Reads the pads from the first one connected until none is, handing each press to press(key) and each pad that
// connects to connected(); boxOpen() says whether a box of the game is open. Gives the function that stops it for
// good. Where the browser has no pads (a page not served over HTTPS) it does nothing.
function readPads({press, connected, boxOpen}) {
    if (!navigator.getGamepads)
        return () => {};
    let held = [];
    let timer = 0;
    const shown = () => [...navigator.getGamepads()];
    function read() {
        // Chromium takes a press as the player's gesture as the page reads it, so the pads are read before acting.
        const pads = shown();
        const now = padPresses(pads, held, boxOpen());
        held = now.held;
        timer = pads.some(isStandardPad) ? setTimeout(read, readingPace) : 0;
        now.presses.forEach(press);
    }
    function onConnected() {
        connected();
        if (!timer)
            timer = setTimeout(read);
    }
    window.addEventListener('gamepadconnected', onConnected);
    // A pad the browser showed the page before its scripts ran is read from now on.
    if (shown().some(isStandardPad))
        timer = setTimeout(read);
    return () => {
        window.removeEventListener('gamepadconnected', onConnected);
        clearTimeout(timer);
    };
}

if (typeof module !== 'undefined')
    module.exports = {padPresses};
