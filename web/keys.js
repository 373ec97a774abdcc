// SPDX-License-Identifier: GPL-3.0-or-later
// The page's keys: what a key of the keyboard, of the screen or of a game controller sends the game, which keys the
// page keeps from the browser, and which hole's key button in the picture a touch lands on.
'use strict';

const gameKeys = (() => {
    // The game's virtual-key numbers of the keys it commands with; the browser does nothing of its own for them.
    const commandKeys = {Escape: 27, ' ': 32, F1: 112, F2: 113};
    // The picture's key buttons, in twips: hole h's stands at column h + 0.2 and row 2.6 of the holes' grid.
    const holeButton = {columnWidth: 970, top: 2.6 * 1580, width: 600, height: 750};
    const holeLetters = ['a', 's', 'd', 'f'];

    function virtualKey({key, code}) {
        if (key in commandKeys)
            return commandKeys[key];
        return /^Key[A-Z]$|^Digit[0-9]$/.test(code) ? code.at(-1).charCodeAt(0) : 0;
    }

    // A letter's key as the keyboard types it, in lower case.
    const letterKey = (letter) => ({key: letter, code: `Key${letter.toUpperCase()}`});

    return {
        // What a key sends the game: its virtual key, unless the key is held and repeats, then its character alone.
        events(key, repeat = false) {
            const events = repeat ? [] : [{name: 'key_down', args: [virtualKey(key)]}];
            if ([...key.key].length === 1)
                events.push({name: 'key_press', args: [key.key.codePointAt(0)]});
            return events;
        },

        // Keys with Ctrl, Alt or Meta keep their browser meaning, and reach neither the game nor the menus.
        isShortcut: (event) => event.ctrlKey || event.altKey || event.metaKey,

        // The game's own keys, which the browser must not act on.
        isCommand: ({key}) => key in commandKeys,

        letterKey,

        // The key of the hole whose key button in the picture lies at a point given in twips, or null.
        holeKeyAt(x, y) {
            const hole = [1, 2, 3, 4].find((h) => x >= (h + 0.2) * holeButton.columnWidth &&
                x < (h + 0.2) * holeButton.columnWidth + holeButton.width && y >= holeButton.top &&
                y < holeButton.top + holeButton.height);
            return hole ? letterKey(holeLetters[hole - 1]) : null;
        },
    };
})();

if (typeof module !== 'undefined')
    module.exports = gameKeys;
