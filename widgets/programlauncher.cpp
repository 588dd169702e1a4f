#include "widgets/programlauncher.h"

#include "drives/drivemap.h"
#include "editing/filecheck.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

void openProgram(const QByteArray &runPath, const DriveMap &drives)
{
    const std::optional<QString> host = drives.hostFile(runPath);
    // No file on this host to hand over, or one whose own name (links
    // resolved) is not a program's.
    if (!host || !namesAProgram(QFile::encodeName(*host)))
        return;
#ifdef Q_OS_WIN
    const QByteArray native = QDir::toNativeSeparators(*host).toLocal8Bit();
    ShellExecuteA(nullptr, "open", native.constData(), nullptr, nullptr, SW_SHOWNORMAL);
#else
    if (host->endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (!wine.isEmpty()) {
            QProcess::startDetached(wine, {*host});
            return;
        }
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(*host));
#endif
}
