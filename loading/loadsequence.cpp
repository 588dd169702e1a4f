#include "loading/loadsequence.h"

#include <QCoreApplication>

#include "drives/ansitext.h"
#include "drives/dospath.h"
#include "drives/drivemap.h"
#include "loading/failure.h"
#include "loading/startupfiles.h"
#include "loading/startupsources.h"

#include <cstring>
#include <new>

QByteArray normaliseMsDosLine(QByteArray line)
{
    line = ansi::upper(std::move(line));
    while (!line.isEmpty() && line.back() == ' ')
        line.chop(1);
    return line;
}

void collectSections(const LineList &full, LineList &sections)
{
    // Gathered into one text and handed over at once, so a view of the
    // section list updates once, not once per header.
    QByteArray headers;
    const int n = full.count();
    for (int i = 0; i < n; ++i) {
        const QByteArrayView line = full.lineView(i);
        if (!line.isEmpty() && std::memchr(line.data(), '[', static_cast<size_t>(line.size()))) {
            headers.append(line.data(), line.size());
            headers.append('\n');
        }
    }
    sections.replaceWithText(std::move(headers));
}

LoadSequence::LoadSequence(ConfigState &state, const DriveMap &drives, OnFailure onFailure)
    : m(state), m_drives(drives), m_onFailure(onFailure)
{
}

void LoadSequence::failed(const StartupFile &file, const Failed &failure, const QByteArray &source)
{
    const QByteArray path = source.isEmpty() ? file.dosPath(m) : source;
    if (m_onFailure == OnFailure::Stop)
        throw FileError(DosPath::parse(path).display(), failure.reason);
    m_unreadable.append({&file, failure, source});
}

QByteArray LoadSequence::readText(const StartupFile &file)
{
    Result<QByteArray> text = m_drives.readFile(file.dosPath(m));
    if (!text && file.mayBeAbsent && text.kind() == FailureKind::Missing)
        return QByteArray(); // a file the machine may do without: no lines
    if (!text) {
        failed(file, text.failure());
        return QByteArray();
    }
    return std::move(text).value();
}

void loadAtStart(ConfigState &state, const DriveMap &drives)
{
    state.BootDelayFlag = true;
    LoadSequence(state, drives).HentKnappClick();
}

void loadFilesAtStart(ConfigState &state, const DriveMap &drives)
{
    state.BootDelayFlag = true;
    LoadSequence(state, drives).loadFiles();
}

void LoadSequence::HentKnappClick()
{
    // One pass for both parts: a directory the files' part listed is not
    // listed again for the page.
    const DriveMap::Pass pass(m_drives);
    loadFiles();
    loadStartupPage();
}

void LoadSequence::loadFiles()
{
    const DriveMap::Pass pass(m_drives);
    // The files of the Windows directory come after MSDOS.SYS, which names
    // it (see scanini).
    for (const StartupFile *file : startupfiles::loadOrder) {
        if (file->inWindowsDirectory() || file->reader == StartupFile::Reader::StartupSources)
            continue;
        if (file->reader == StartupFile::Reader::MsDosSys)
            readMsDosSys(*file);
        else
            readLines(*file);
    }
    scanini();
}

void LoadSequence::loadStartupPage()
{
    const DriveMap::Pass pass(m_drives);
    readStartupSources(startupfiles::startup);
}

void LoadSequence::readMsDosSys(const StartupFile &file)
{
    // The whole file is read at once, so the lists are only emptied once it
    // could be opened and read.
    m_msdosText = readText(file);
    m_msdos = LineReader(m_msdosText);
    CurrentLine.clear();
    (m.*file.lines).clear();
    (m.*file.sections).clear();

    while (CurrentLine != "[PATHS]" && !m_msdos.atEnd())
        readmsdosline();
    if (CurrentLine == "[PATHS]")
        scanpaths();
    scanoptions();

    // The full list shows every line the reader read, exactly as read, which
    // is the file up to where the reader stopped; the section list the ones
    // with "[". Filling both in one go here spares the views one update per
    // line.
    m_msdosText.truncate(m_msdos.position());
    m_msdos = LineReader(QByteArrayView());
    (m.*file.lines).replaceWithText(std::move(m_msdosText));
    m_msdosText = QByteArray();
    collectSections(m.*file.lines, m.*file.sections);
}

void LoadSequence::readLines(const StartupFile &file)
{
    QByteArray text = readText(file);
    const qsizetype size = text.size();
    LineList &lines = m.*file.lines;
    try {
        lines.replaceWithText(std::move(text));
        if (file.sections)
            collectSections(lines, m.*file.sections);
    } catch (const std::bad_alloc &) {
        // What cannot be held is refused, not left to end the program; the
        // load cannot go on sensibly without memory, whatever its mode.
        throw FileError(DosPath::parse(file.dosPath(m)).display(),
                        QCoreApplication::translate("loading", "filen er for stor til å holdes i minnet (%1 byte)").arg(size));
    }
}

void LoadSequence::readmsdosline()
{
    // A read at the end of the file shows nothing (the line read is only
    // shown when it is in the file), but CurrentLine still becomes empty, so
    // a pass that starts there runs its one round as usual.
    CurrentLine = normaliseMsDosLine(m_msdos.readLine());
}

void LoadSequence::scanpaths()
{
    do {
        readmsdosline();
        parsepathline();
    } while (!CurrentLine.contains('[') && !m_msdos.atEnd());
}

void LoadSequence::scanoptions()
{
    do {
        readmsdosline();
        parseoptionline();
    } while (!CurrentLine.contains('[') && !m_msdos.atEnd());
    m.BD = m.BootDelayFlag;
}

// Cuts CurrentLine up to and including the first occurrence of the key, so a
// value is found wherever its key stands in the line.
bool LoadSequence::cutThroughKey(const char *key)
{
    const qsizetype pos = CurrentLine.indexOf(key);
    if (pos < 0)
        return false;
    CurrentLine.remove(0, pos + qstrlen(key));
    return true;
}

void LoadSequence::parsepathline()
{
    if (!CurrentLine.contains('='))
        return; // every key ends in "="
    if (cutThroughKey("WINDIR="))
        m.WD = CurrentLine;
    if (cutThroughKey("WINBOOTDIR="))
        m.WBD = CurrentLine;
    if (cutThroughKey("HOSTWINBOOTDRV="))
        m.HWBD = CurrentLine;
}

void LoadSequence::parseoptionline()
{
    if (!CurrentLine.contains('='))
        return; // every key ends in "=": comments and padding match none
    const auto hasOne = [this] { return CurrentLine.contains('1'); };
    if (CurrentLine.contains("BOOTMULTI="))
        m.BM = hasOne();
    if (CurrentLine.contains("BOOTGUI="))
        m.BGUI = hasOne();
    if (CurrentLine.contains("DOUBLEBUFFER="))
        m.DB = hasOne();
    if (CurrentLine.contains("AUTOSCAN="))
        m.ASC = hasOne();
    if (cutThroughKey("WINVER="))
        m.WV = CurrentLine;
    if (CurrentLine.contains("BOOTDELAY=")) {
        m.BD = hasOne();
        m.BootDelayFlag = m.BD;
    }
    if (CurrentLine.contains("NETWORK="))
        m.NW = hasOne();
}

void LoadSequence::scanini()
{
    for (const StartupFile *file : startupfiles::loadOrder) {
        if (file->inWindowsDirectory())
            readLines(*file);
    }
}

void LoadSequence::readStartupSources(const StartupFile &file)
{
    StartupSources sources = StartupSources::read(m_drives, m.WD);
    m.startupSections = sources.sections;
    (m.*file.lines).replaceWithText(std::move(sources.text));
    // The headers the page wrote, not every line holding a "[" (a batch
    // file's line may).
    QByteArray sectionText;
    for (const StartupSection &section : m.startupSections)
        sectionText += (m.*file.lines).lineView(section.header).toByteArray() + '\n';
    (m.*file.sections).replaceWithText(std::move(sectionText));
    // Every source is read before a failure is told, so one damaged hive
    // leaves the others on the page.
    for (const StartupSources::Unreadable &u : sources.unreadable)
        failed(file, u.failure, u.source);
}
