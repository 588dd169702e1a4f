#pragma once

// Roles screen readers need that Qt's defaults do not give: a plain QFrame
// (the window's bottom panel) is a "border", which AT-SPI reports as a
// frame, a window of its own, and Orca drops the focus events of a frame
// that is not active, so it never spoke the buttons on the panel. Here a
// plain QFrame is a pane, a part of its window. An AlertLabel is a
// notification: a screen reader speaks it as it appears (Orca speaks a
// notification that shows, not an alert or a label), which is how the edit
// dialog's check result is announced (Qt 6.4 has no announcement of its own). The
// edit dialog says when it is modal. Installing it again changes nothing.
void installAccessibleRoles();
