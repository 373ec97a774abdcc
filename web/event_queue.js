// SPDX-License-Identifier: GPL-3.0-or-later
// The page's event queue: the game's events handed to it one at a time, each to its end, its waits included, as a
// window's one event thread would, those that arrive meanwhile in their turn; while a round runs, its timer's tick
// whenever no event waits.
'use strict';

const eventQueue = (() => {
    const startKeys = [32, 113];
    const menuStart = 0;

    // A round's start: Space, F2, or the menu's 開始.
    const isStart = (event) => (event.name === 'key_down' && startKeys.includes(event.args[0])) ||
                               (event.name === 'menu' && event.args[0] === menuStart);

    // deliver(event) hands an event to the game and settles once it has run to its end; roundRunning() says whether
    // the timer ticks.
    function create({deliver, roundRunning}) {
        const waiting = [];
        let open = false;
        let busy = false;
        let ended = false;
        let starting = false;

        async function pump() {
            if (busy || !open || ended)
                return;
            busy = true;
            while (!ended) {
                let event = waiting.shift();
                if (!event) {
                    if (!roundRunning())
                        break;
                    event = {name: 'tick', args: []};
                }
                // A start typed while a start's pause runs starts no further pause.
                if (event.duringStart && isStart(event))
                    continue;
                starting = isStart(event);
                try {
                    await deliver(event);
                } catch (error) {
                    if (!ended)
                        throw error;
                }
                starting = false;
            }
            busy = false;
        }

        return {
            post(name, args) {
                waiting.push({name, args, duringStart: starting});
                pump();
            },
            // From the end of the game's start-up on, it takes events.
            open() {
                open = true;
                pump();
            },
            // Once the game has ended, nothing more reaches it.
            end() {
                ended = true;
                waiting.length = 0;
            },
        };
    }

    return {create};
})();

if (typeof module !== 'undefined')
    module.exports = eventQueue;
