#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// "Fix": the two fixed Norwegian settings for a CONFIG.SYS line. Decided by
// the original line alone, so pressing "Fix" again gives the same text: a
// "COUNTRY=" line becomes the Norwegian country line, a "DEVICE=" line for
// DISPLAY.SYS the Norwegian display line (which wins when both apply).
// Nothing when neither applies.
std::optional<QByteArray> fixedLine(QByteArrayView original);
