#pragma once

// Height arithmetic of the window's panes when another pane (the list
// check's results) opens below them and takes some of their room.
namespace PaneRoom {

// The browser pane gives up its room down to this many pixels before the
// grid gives up any.
inline constexpr int MinBrowser = 120;

// The grid's height when the grid (gridBefore) and the browser pane
// (browserBefore) are left `total` pixels together: the height it had, as
// long as the browser pane keeps minBrowser, and never less than its share
// in proportion to the heights before.
int gridHeight(int gridBefore, int browserBefore, int total, int minBrowser = MinBrowser);

} // namespace PaneRoom
