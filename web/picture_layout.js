// SPDX-License-Identifier: GPL-3.0-or-later
// The picture's scale, size and place on the page: the game's device scale, chosen at its start, and the picture
// shown in the room the page has, sharp in it, on whole device pixels. Rooms are in CSS pixels, sizes on the screen
// in device pixels; ratio is the device pixel ratio.
'use strict';

const pictureLayout = (() => {
    // The width and height of the picture the page shows, in the game's logical pixels.
    const shownWidth = 400;
    const shownHeight = 437;
    // The text face is drawn for scales up to 4; a larger one would show the same art bigger at the cost of memory
    // as its square, which enlarging does as well.
    const maximumScale = 4;

    // How many device pixels per art pixel a room takes, fractions included.
    const fitting = ({width, height}, ratio) => Math.min(width / shownWidth, height / shownHeight) * ratio;

    // The fewest CSS pixels that are whole device pixels too: browsers round a position or a size to either, some
    // at each box it lies in, and resample a picture that is not whole in both.
    const gridStep = (ratio) => [1, 2, 3, 4, 5, 8, 16].find((q) => Number.isInteger(q * ratio)) || 1 / ratio;

    return {
        shownWidth,
        shownHeight,

        // A computer's: the largest whole scale at which the picture, shown pixel for pixel, fits the room it has
        // now. A touch screen's: the smallest whole scale at or above the most it can ask, in the room it has now or
        // its whole screen either way up, so that a turn or a browser's bars only reduce it.
        deviceScale({touch, room, screen, ratio}) {
            const turned = {width: screen.height, height: screen.width};
            const scale = touch ? Math.ceil(Math.max(...[room, screen, turned].map((r) => fitting(r, ratio))) - 1e-6)
                                : Math.floor(fitting(room, ratio));
            return Math.max(1, Math.min(maximumScale, scale));
        },

        // The picture's size on the screen, and whether it is resampled. A computer shows it pixel for pixel at the
        // device scale, or enlarged by the largest whole factor that fits, so each art pixel stays a whole square; in
        // less room it keeps a whole number of device pixels per art pixel and shrinks smoothly only below one. A
        // touch screen takes all its room, on the grid, unless a whole factor fills nine tenths of it.
        shownSize({touch, room, ratio, deviceScale}) {
            const fits = fitting(room, ratio);
            if (!touch) {
                const whole = Math.floor(fits);
                const perArtPixel = whole >= deviceScale ? deviceScale * Math.floor(whole / deviceScale) : whole || fits;
                return {width: Math.round(shownWidth * perArtPixel), height: Math.round(shownHeight * perArtPixel),
                        smooth: perArtPixel < 1};
            }
            const step = gridStep(ratio);
            const onGrid = (length) => Math.round(Math.floor(length / step + 1e-6) * step * ratio);
            const onTheGrid = (length) => onGrid(length / ratio) === length;
            const whole = deviceScale * Math.floor(fits / deviceScale);
            if (whole >= 0.9 * fits && onTheGrid(shownWidth * whole) && onTheGrid(shownHeight * whole))
                return {width: shownWidth * whole, height: shownHeight * whole, smooth: false};
            const width = onGrid(fits * shownWidth / ratio);
            const height = Math.min(onGrid(room.height), onGrid(width * shownHeight / shownWidth / ratio + step / 2));
            return {width, height, smooth: true};
        },

        // Where a picture of this many CSS pixels stands, centred on a box of the page, on the grid.
        centred(box, {width, height}, ratio) {
            const step = gridStep(ratio);
            const snap = (at) => Math.round(at / step) * step;
            return {left: snap(box.left + (box.width - width) / 2), top: snap(box.top + (box.height - height) / 2)};
        },
    };
})();

if (typeof module !== 'undefined')
    module.exports = pictureLayout;
