#include "widgets/failurereport.h"

#include "loading/failure.h"

#include <QApplication>
#include <QMessageBox>

namespace failurereport {
namespace {

void showMessageBox(const QString &message)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          message);
}

Sink &currentSink()
{
    static Sink sink = showMessageBox;
    return sink;
}

} // namespace

Sink setSink(Sink sink)
{
    return std::exchange(currentSink(), std::move(sink));
}

void report(const QString &message)
{
    currentSink()(message);
}

void report(const std::exception &failure)
{
    if (const auto *own = dynamic_cast<const Failure *>(&failure))
        report(own->message());
    else
        report(QString::fromLocal8Bit(failure.what()));
}

} // namespace failurereport
