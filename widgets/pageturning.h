#pragma once

class QTabWidget;

// Keyboard page turning for a window made of one tab widget and controls
// beside it:
// - Ctrl+Tab and Ctrl+Shift+Tab turn the page wherever in the window the
//   focus is (a tab widget turns it only while the focus is on it or in a
//   page). From the tab strip the focus stays there; from anywhere else it
//   goes into the new page, as it does from a page.
// - A page that is turned away no longer hands its focus to the next control
//   in the window's chain (a button beside the pages) for the moment before
//   the new page takes it: a screen reader would announce that button.
void installPageTurning(QTabWidget &pages);
