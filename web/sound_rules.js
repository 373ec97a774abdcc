// SPDX-License-Identifier: GPL-3.0-or-later
// When the page's sound is to be resumed, and what the notice beside the game says of it.
'use strict';

const soundRules = (() => ({
    // Browsers let a page sound only after the player's first key, click or touch, and a phone's system may take the
    // sound away (a call, a locked screen: "interrupted"): whatever holds it, the next one brings it back, while the
    // page is shown and its sound not closed for good.
    resumable: (state, hidden) => !hidden && state !== 'running' && state !== 'closed',

    // Said until the sound runs; nothing where there is no sound to wait for (no WebAudio, no context made) or once
    // the game has ended. A game controller that could not start it is said to.
    notice({silent, state, ended, touch, padCannotSound}) {
        if (silent || ended || state === 'running')
            return '';
        const pad = padCannotSound ? ': a game controller cannot start it in this browser' : '';
        return `Sound starts with your first ${touch ? 'touch' : 'key or click'}${pad}.`;
    },
}))();

if (typeof module !== 'undefined')
    module.exports = soundRules;
