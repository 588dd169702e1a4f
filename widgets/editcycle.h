#pragma once

class LineList;
class TEndreForm;

// Edits the selected line of a list through the edit dialog: the dialog gets
// the line as original and new text; OK puts the new text in its place, any
// other result leaves the list as it was. With no line selected the lookup
// fails with an IndexError and nothing changes.
void runEditCycle(LineList &list, TEndreForm &dialog);
