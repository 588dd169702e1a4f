#include "widgets/failurereport.h"

#include "loading/failure.h"
#include "widgets/designfont.h"

#include <QCoreApplication>
#include <QApplication>
#include <QMessageBox>

#include <new>

namespace failurereport {
namespace {

// A path is one word to the reader: between its characters a word joiner
// keeps the box from wrapping the line after a slash or a backslash.
QString withPathsKeptWhole(const QString &message)
{
    QString shown;
    shown.reserve(message.size() * 2);
    qsizetype wordStart = 0;
    for (qsizetype i = 0; i <= message.size(); ++i) {
        if (i < message.size() && !message[i].isSpace())
            continue;
        const QStringView word = QStringView(message).sliced(wordStart, i - wordStart);
        if (word.contains(QLatin1Char('/')) || word.contains(QLatin1Char('\\'))) {
            for (qsizetype c = 0; c < word.size(); ++c) {
                if (c > 0)
                    shown += QChar(0x2060); // WORD JOINER
                shown += word[c];
            }
        } else {
            shown += word;
        }
        if (i < message.size())
            shown += message[i];
        wordStart = i + 1;
    }
    return shown;
}

void showMessageBox(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), withPathsKeptWhole(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setFont(designFont());
    box.exec();
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
    else if (dynamic_cast<const std::bad_alloc *>(&failure))
        report(QCoreApplication::translate("failurereport", "Ikke nok minne til å gjøre ferdig."));
    else
        report(QString::fromLocal8Bit(failure.what()));
}

} // namespace failurereport
