// SPDX-License-Identifier: GPL-3.0-or-later
// The page's rules that need no browser: what keys send the game and what the page keeps from the browser
// (web/keys.js), the order the game takes its events in and START's pause (web/event_queue.js), the picture's scale
// and size on computers, phones and tablets (web/picture_layout.js), and when sound is resumed (web/sound_rules.js).
'use strict';
const assert = require('node:assert/strict');
const path = require('node:path');
const test = require('node:test');
const web = (file) => require(path.join(__dirname, '..', '..', 'web', file));
const gameKeys = web('keys.js');
const eventQueue = web('event_queue.js');
const pictureLayout = web('picture_layout.js');
const soundRules = web('sound_rules.js');

const sent = (key, repeat) => gameKeys.events(key, repeat).map(({name, args}) => `${name} ${args}`).join(', ');

test('a key sends its virtual key, then its character; held, its repeats send the character alone', () => {
    assert.equal(sent({key: 's', code: 'KeyS'}), 'key_down 83, key_press 115');
    assert.equal(sent({key: 'S', code: 'KeyS'}, true), 'key_press 83');
    assert.equal(sent({key: ' ', code: 'Space'}), 'key_down 32, key_press 32');
    assert.equal(sent({key: ' ', code: 'Space'}, true), 'key_press 32', 'a held Space starts no second round');
    assert.equal(sent({key: 'F1', code: 'F1'}, true), '', 'a held F1 switches the music once');
    assert.equal(sent({key: 'F2', code: 'F2'}), 'key_down 113');
    assert.equal(sent({key: 'Escape', code: 'Escape'}), 'key_down 27');
    assert.equal(sent({key: '7', code: 'Digit7'}), 'key_down 55, key_press 55');
    assert.equal(sent({key: 'Shift', code: 'ShiftLeft'}), 'key_down 0');
    assert.equal(sent(gameKeys.letterKey('d')), 'key_down 68, key_press 100');
});

test('the page keeps the game\'s command keys from the browser and leaves it its shortcuts', () => {
    for (const key of [' ', 'F1', 'F2', 'Escape'])
        assert.ok(gameKeys.isCommand({key}), key);
    for (const key of ['a', 'F5', 'Tab', 'Enter'])
        assert.ok(!gameKeys.isCommand({key}), key);
    for (const modifier of ['ctrlKey', 'altKey', 'metaKey'])
        assert.ok(gameKeys.isShortcut({key: 'r', [modifier]: true}), modifier);
    assert.ok(!gameKeys.isShortcut({key: 'r', shiftKey: true}));
});

test('a touch on the picture works the hole whose key button it lands on, and no other', () => {
    // Hole h's button: 600 x 750 twips from column h + 0.2 of 970 twips and row 2.6 of 1580.
    const key = (x, y) => (gameKeys.holeKeyAt(x, y) || {key: null}).key;
    for (const [hole, letter] of [[1, 'a'], [2, 's'], [3, 'd'], [4, 'f']]) {
        const left = (hole + 0.2) * 970;
        assert.equal(key(left + 300, 4108 + 375), letter);
        assert.equal(key(left, 4108), letter, 'its top-left corner');
        assert.equal(key(left - 1, 4108 + 375), null, 'just left of it');
        assert.equal(key(left + 600, 4108 + 375), null, 'just right of it');
    }
    assert.equal(key(1464, 4107), null, 'just above');
    assert.equal(key(1464, 4858), null, 'just below');
});

// A queue whose game takes each event until the test lets it go on, as a handler with a wait does.
function queueOnTrial({roundRunning = () => false} = {}) {
    const handed = [];
    const running = [];
    const queue = eventQueue.create({
        deliver: (event) => new Promise((done) => {
            handed.push(event.name === 'tick' ? 'tick' : `${event.name} ${event.args}`);
            running.push(done);
        }),
        roundRunning,
    });
    // Lets the event under way end, and gives the queue its turn.
    const finish = async () => {
        running.shift()();
        await new Promise(setImmediate);
    };
    return {queue, handed, finish};
}

test('the game takes its events one at a time, each to its end, in the order they came, and none before it is ready', async () => {
    const {queue, handed, finish} = queueOnTrial();
    queue.post('key_down', [83]);
    queue.post('key_press', [115]);
    assert.deepEqual(handed, [], 'start-up is not over');
    queue.open();
    queue.post('mouse_down', [1, 10, 20]);
    assert.deepEqual(handed, ['key_down 83']);
    await finish();
    assert.deepEqual(handed, ['key_down 83', 'key_press 115']);
    await finish();
    await finish();
    assert.deepEqual(handed, ['key_down 83', 'key_press 115', 'mouse_down 1,10,20']);
    queue.end();
    queue.post('key_down', [27]);
    assert.equal(handed.length, 3, 'nothing reaches the game once it has ended');
});

test('while a round runs its tick comes whenever no event waits, and a key typed meanwhile comes after it', async () => {
    let round = true;
    const {queue, handed, finish} = queueOnTrial({roundRunning: () => round});
    queue.open();
    assert.deepEqual(handed, ['tick']);
    queue.post('key_press', [97]);
    await finish();
    assert.deepEqual(handed, ['tick', 'key_press 97']);
    await finish();
    assert.deepEqual(handed, ['tick', 'key_press 97', 'tick']);
    round = false;
    await finish();
    assert.equal(handed.length, 3, 'no tick once the round is over');
});

test('a start typed during START\'s pause starts no further pause, while the other keys of the pause come after it', async () => {
    const {queue, handed, finish} = queueOnTrial();
    queue.open();
    queue.post('key_down', [32]);
    queue.post('key_down', [32]);
    queue.post('key_down', [113]);
    queue.post('menu', [0]);
    queue.post('key_press', [115]);
    queue.post('menu', [2]);
    for (let i = 0; i < 3; ++i)
        await finish();
    assert.deepEqual(handed, ['key_down 32', 'key_press 115', 'menu 2']);
    queue.post('key_down', [113]);
    assert.equal(handed.at(-1), 'key_down 113', 'a start after the pause starts a round');
});

const phone = (width, height, ratio, screen = {width, height}) => ({touch: true, ratio, screen, room: {width, height}});
const scaleOf = (device) => pictureLayout.deviceScale(device);
const sizeOf = (device, room) => pictureLayout.shownSize({...device, room, deviceScale: scaleOf(device)});

test('the game\'s scale: on a computer the largest that fits pixel for pixel, on a touch screen the most its screen can ask', () => {
    assert.equal(scaleOf({touch: false, ratio: 1, room: {width: 640, height: 500}, screen: {}}), 1);
    assert.equal(scaleOf({touch: false, ratio: 1, room: {width: 1920, height: 1000}, screen: {}}), 2);
    assert.equal(scaleOf({touch: false, ratio: 2, room: {width: 1920, height: 1000}, screen: {}}), 4);
    assert.equal(scaleOf({touch: false, ratio: 1, room: {width: 300, height: 300}, screen: {}}), 1);
    // Upright asks the most of a phone: 2.925 device pixels per art pixel at 390 CSS pixels and a ratio of 3.
    assert.equal(scaleOf(phone(390, 844, 3)), 3);
    assert.equal(scaleOf(phone(844, 390, 3)), 3, 'started turned');
    assert.equal(scaleOf(phone(750, 340, 3, {width: 844, height: 390})), 3, 'with the browser\'s bars');
    assert.equal(scaleOf(phone(320, 568, 2)), 2);
    assert.equal(scaleOf(phone(430, 932, 3)), 4);
    assert.equal(scaleOf(phone(1180, 820, 2)), 4, 'at most 4, which the text face is drawn for');
});

test('a computer shows whole factors; a touch screen fills its room on whole CSS and device pixels', () => {
    const computer = {touch: false, ratio: 1, screen: {}, room: {width: 640, height: 500}};
    assert.deepEqual(sizeOf(computer, {width: 640, height: 500}), {width: 400, height: 437, smooth: false});
    assert.deepEqual(sizeOf(computer, {width: 1920, height: 1000}), {width: 800, height: 874, smooth: false},
                     'enlarged twice');
    assert.deepEqual(sizeOf(computer, {width: 300, height: 300}), {width: 275, height: 300, smooth: true},
                     'shrunk below one');
    const cases = [[phone(390, 844, 3), {width: 390, height: 620}], [phone(844, 390, 3), {width: 620, height: 322}],
                   [phone(412, 915, 2.625), {width: 412, height: 680}], [phone(320, 568, 2), {width: 320, height: 380}],
                   [phone(720, 280, 3, {width: 780, height: 360}), {width: 480, height: 212}]];
    for (const [device, room] of cases) {
        const {width, height, smooth} = sizeOf(device, room);
        const where = `${room.width}x${room.height} at ${device.ratio}`;
        assert.ok(width <= room.width * device.ratio && height <= room.height * device.ratio, `${where}: within its room`);
        assert.ok(Math.max(width / (room.width * device.ratio), height / (room.height * device.ratio)) > 0.97,
                  `${where}: fills it, ${width}x${height}`);
        assert.ok(Math.abs(width / height - 400 / 437) < 0.01, `${where}: its shape kept`);
        assert.ok(Number.isInteger(width / device.ratio) && Number.isInteger(height / device.ratio) || device.ratio % 1,
                  `${where}: whole CSS pixels`);
        assert.ok(smooth, `${where}: reduced from the game's scale`);
    }
    const grid = sizeOf(phone(412, 915, 2.625), {width: 412, height: 680});
    assert.ok(Number.isInteger(grid.width / 21) && Number.isInteger(grid.height / 21), 'on the grid of 8 CSS pixels');
    // A whole factor that fills nine tenths of the room shows each art pixel as a plain square; one that fills
    // less gives way to the picture enlarged by it and reduced to the room.
    assert.deepEqual(sizeOf(phone(820, 1180, 2), {width: 820, height: 900}), {width: 1600, height: 1748, smooth: false});
    assert.deepEqual(sizeOf(phone(1024, 1366, 2), {width: 1024, height: 1150}), {width: 2048, height: 2238, smooth: true});
    assert.deepEqual(pictureLayout.shownSize({touch: true, ratio: 1, room: {width: 1000, height: 731}, deviceScale: 1}),
                     {width: 669, height: 731, smooth: true}, 'a computer that showed its touch screen late');
    const placed = pictureLayout.centred({left: 0.4, top: 44, width: 412, height: 680}, {width: 408, height: 448}, 2.625);
    assert.deepEqual(placed, {left: 0, top: 160}, 'centred on the grid');
});

test('sound resumes from any state but running, while the page is shown; the notice says what starts it', () => {
    for (const state of ['suspended', 'interrupted'])
        assert.ok(soundRules.resumable(state, false), state);
    assert.ok(!soundRules.resumable('running', false));
    assert.ok(!soundRules.resumable('closed', false));
    assert.ok(!soundRules.resumable('suspended', true), 'hidden, it waits to be shown');
    const notice = (facts) => soundRules.notice({silent: false, state: 'suspended', ended: false, touch: false,
                                                 padCannotSound: false, ...facts});
    assert.equal(notice({}), 'Sound starts with your first key or click.');
    assert.equal(notice({touch: true, state: 'interrupted'}), 'Sound starts with your first touch.');
    assert.equal(notice({padCannotSound: true}),
                 'Sound starts with your first key or click: a game controller cannot start it in this browser.');
    for (const facts of [{state: 'running'}, {ended: true}, {silent: true}])
        assert.equal(notice(facts), '', JSON.stringify(facts));
});
