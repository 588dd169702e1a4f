#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QVarLengthArray>

#include <functional>

// The file a CONFIG.SYS line makes DOS load: the driver of DEVICE= and
// DEVICEHIGH= (after DEVICEHIGH's options), the program of INSTALL= and
// INSTALLHIGH=, the command interpreter of SHELL=, the country file of
// COUNTRY= (its third field). Empty for every other line.
QByteArrayView configSysFile(QByteArrayView line);

// AUTOEXEC.BAT followed line by line the way COMMAND.COM runs it: which
// program each line starts, and the PATH and variables as the lines so far
// have set them.
class BatchRun
{
public:
    // The environment a Windows 95/98 boot hands to AUTOEXEC.BAT.
    BatchRun(QByteArrayView winDir, QByteArrayView winBootDir);

    struct Program
    {
        QByteArrayView written; // as the line writes it (a FOR's command: with an element put in)
        QByteArray expanded;    // with its variables put in; empty when it has none
        QByteArray text;        // holds what `written` views when the line does not (a FOR's command)

        QByteArrayView name() const { return expanded.isEmpty() ? written : QByteArrayView(expanded); }
    };
    // Nearly every line starts one program at most; a FOR one per element.
    using Programs = QVarLengthArray<Program, 1>;

    // Applies what the line sets; the programs it starts that can be known
    // without running the machine.
    Programs step(QByteArrayView line);

    // Where a program named without a directory is looked for: the current
    // directory (the root of C: until a CD or a change of drive), then the
    // PATH. Upper-cased.
    const QList<QByteArray> &searchDirectories() const { return m_search; }
    // Counts the changes of the search directories, for whoever keeps its
    // own copy.
    int pathChanges() const { return m_pathChanges; }
    // The PATH alone.
    QList<QByteArray> path() const { return m_search.mid(1); }

    // Sets a variable of the environment, as a SET line does (CONFIG.SYS's
    // SET lines and the interpreter's COMSPEC come before AUTOEXEC.BAT).
    void setVariable(QByteArrayView name, QByteArrayView value) { set(name, value); }

    // Whether the file ended: DOS stops reading a batch file at Ctrl-Z.
    // A called batch file is read to its own Ctrl-Z; its caller goes on as
    // it stood, so the caller saves and restores this around the call.
    bool ended() const { return m_ended; }
    void setEnded(bool ended) { m_ended = ended; }

    // Whether a directory exists, for CD: a CD to one that does not
    // ("Invalid directory") leaves the current directory as it was. Without
    // it every CD is taken to succeed.
    using DirectoryExists = std::function<bool(const QByteArray &dosDirectory)>;
    void setDirectoryExists(DirectoryExists exists) { m_directoryExists = std::move(exists); }

private:
    Programs command(QByteArrayView text);
    // FOR %%x IN (set) DO command, its text after FOR.
    Programs forEach(QByteArrayView text);
    // CD and CHDIR: the current directory of a drive, set by `argument`.
    void changeDirectory(QByteArrayView argument);
    void setCurrentDrive(char letter);
    void set(QByteArrayView name, QByteArrayView value);
    void setPath(QByteArrayView value);
    // Puts in %NAME% variables; false when the text uses a batch parameter
    // (%1) or a variable nobody set.
    bool expand(QByteArrayView text, QByteArray *result) const;

    // The most a DOS environment holds (COMMAND.COM's /E:32768).
    static constexpr qsizetype kEnvironmentBytes = 32768;
    QHash<QByteArray, QByteArray> m_variables; // by upper-cased name
    qsizetype m_environmentBytes = 0;          // NAME=VALUE\0 of each
    QList<QByteArray> m_search;
    int m_pathChanges = 0;
    char m_drive = 'C';
    QHash<char, QByteArray> m_directories; // each drive's current one, "C:\\GAMES"
    bool m_ended = false;
    bool m_inFor = false; // a FOR's command may not be another FOR
    DirectoryExists m_directoryExists;
};
