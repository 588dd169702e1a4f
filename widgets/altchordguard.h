#pragma once

class QApplication;

// An Alt-chord (Alt+L) is a command, never text: when no enabled shortcut
// takes it (its button is disabled, or it names nothing), the key reaches
// the focused field, which would type the letter into a value. This filter
// on the application drops such a key press before any widget sees it.
// Installing it again changes nothing.
void installAltChordGuard(QApplication &application);
