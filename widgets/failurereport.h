#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <utility>

// The failure report: a failure raised in a handler ends that handler, is
// shown to the user in a message box, and the event loop goes on. Nothing that
// the handler did before the failure is undone.
namespace failurereport {

using Sink = std::function<void(const QString &message)>;

// Replaces where reports go (tests record them); returns the previous sink.
Sink setSink(Sink sink);

void report(const QString &message);
void report(const std::exception &failure);

// Runs a handler and reports what it throws.
template <typename Handler>
void guarded(Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception &failure) {
        report(failure);
    }
}

} // namespace failurereport
