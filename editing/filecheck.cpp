#include "editing/filecheck.h"

#include <QFile>

#include "drives/ansitext.h"
#include "drives/drivemap.h"

QByteArray extractCheckedPath(QByteArrayView text)
{
    QByteArray p = text.toByteArray();
    const qsizetype eq = p.indexOf('=');
    if (eq >= 0)
        p.remove(0, eq + 1);

    for (;;) {
        qsizetype s = -1;
        for (const char separator : {',', '/', '^', '-'}) {
            s = p.indexOf(separator);
            if (s >= 0)
                break;
        }
        if (s < 0)
            break;
        const qsizetype d = p.indexOf('.');
        if (d >= 0 && s < d)
            p.remove(0, s + 1);
        else
            p.truncate(s);
    }

    // What follows a blank after the name's extension are parameters
    // («display.sys con=(ega», «himem.sys /testmem:off»), not the file name;
    // a blank before the first "." belongs to the name («PROGRAM FILES»).
    const qsizetype dot = p.indexOf('.');
    if (dot >= 0) {
        const qsizetype blank = p.indexOf(' ', dot);
        if (blank >= 0)
            p.truncate(blank);
    }
    return p;
}

bool namesAProgram(QByteArrayView path)
{
    // The found file's own name, as path resolution sees it: the last part,
    // upper-cased, without trailing blanks and dots. Only a name that ends in
    // ".EXE" is a program; "FOO.EXE\RUN.SH" or "SETUP.EXE.DESKTOP" are not.
    qsizetype start = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == '/' || (i == 1 && path[i] == ':'))
            start = i + 1;
    }
    QByteArray name = ansi::upper(path.sliced(start).toByteArray());
    while (!name.isEmpty() && (name.back() == ' ' || name.back() == '.'))
        name.chop(1);
    return name.endsWith(".EXE");
}

CheckResult checkLine(QByteArrayView text, const DriveMap &drives)
{
    const DriveMap::Pass pass(drives);
    CheckResult result;
    result.path = extractCheckedPath(text);
    const QByteArray probes[] = {
        result.path,
        "C:\\WINDOWS\\" + result.path,
        "C:\\WINDOWS\\SYSTEM\\" + result.path,
    };
    for (const QByteArray &probe : probes) {
        if (drives.fileExists(probe)) {
            result.found = true;
            // The program to start is exactly the file that was found.
            result.runPath = ansi::upper(probe);
            break;
        }
    }
    if (result.found) {
        result.message = result.path + " finnes.";
        result.runnable = namesAProgram(result.path);
        // A link "SETUP.EXE" to "SETUP.EXE.DESKTOP" would start what its
        // target's name says: the file that would be started must be named
        // as a program too.
        if (const std::optional<QString> host = drives.hostFile(result.runPath))
            result.runnable = result.runnable && namesAProgram(QFile::encodeName(*host));
    } else {
        result.message = result.path + " finnes ikke !";
    }
    return result;
}
