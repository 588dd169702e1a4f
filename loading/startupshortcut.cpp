#include "loading/startupshortcut.h"

#include "drives/ansitext.h"
#include "drives/boundedprocess.h"
#include "drives/pinnedfile.h"

#include <QCoreApplication>
#include <QFile>

#include <liblnk.h>

namespace {

struct Link
{
    ~Link()
    {
        if (inIsolatedCopy())
            return; // the copy ends next, and its memory with it
        if (opened)
            liblnk_file_close(file, nullptr);
        if (file)
            liblnk_file_free(&file, nullptr);
        liblnk_error_free(&error);
    }
    liblnk_file_t *file = nullptr;
    liblnk_error_t *error = nullptr;
    bool opened = false;
};

// One of liblnk's UTF-8 strings as Windows-1252 bytes; empty when the link
// has none.
template <typename Size, typename Get>
QByteArray linkString(Link &link, Size size, Get get)
{
    size_t length = 0;
    if (size(link.file, &length, &link.error) != 1 || length == 0 || length > 65536)
        return {};
    QByteArray utf8(qsizetype(length), '\0');
    if (get(link.file, reinterpret_cast<uint8_t *>(utf8.data()), length, &link.error) != 1)
        return {};
    const qsizetype end = utf8.indexOf('\0');
    if (end >= 0)
        utf8.truncate(end);
    return ansi::encode(QString::fromUtf8(utf8));
}

} // namespace

Result<StartupShortcut> StartupShortcut::readHere(const QByteArray &bytes)
{
    if (bytes.size() > kLargest)
        return Failed{QCoreApplication::translate("loading", "filen er for stor til å være en snarvei (%1 byte)").arg(bytes.size()),
                      FailureKind::TooLarge};
    // From a file in memory: the library's own reader of memory ranges
    // reads past the range's end on some damaged links, its reader of files
    // does not.
    Result<std::shared_ptr<MemoryFile>> file = MemoryFile::holding(bytes);
    if (!file)
        return file.failure();
    const QByteArray path = QFile::encodeName(file.value()->procPath());
    Link link;
    link.opened = liblnk_file_initialize(&link.file, &link.error) == 1
                  && liblnk_file_set_ascii_codepage(link.file, LIBLNK_CODEPAGE_WINDOWS_1252, &link.error) == 1
                  && liblnk_file_open(link.file, path.constData(), LIBLNK_OPEN_READ, &link.error) == 1;
    if (!link.opened)
        return Failed{QCoreApplication::translate("loading", "filen er ikke en lesbar snarvei"), FailureKind::Other};
    StartupShortcut shortcut;
    shortcut.target = linkString(link, liblnk_file_get_utf8_local_path_size, liblnk_file_get_utf8_local_path);
    if (shortcut.target.isEmpty()) // a link by relative path only
        shortcut.target = linkString(link, liblnk_file_get_utf8_relative_path_size, liblnk_file_get_utf8_relative_path);
    shortcut.arguments = linkString(link, liblnk_file_get_utf8_command_line_arguments_size,
                                    liblnk_file_get_utf8_command_line_arguments);
    return shortcut;
}

Result<StartupShortcut> StartupShortcut::read(const QByteArray &bytes)
{
    if (bytes.size() > kLargest) // told without a copy of the program
        return readHere(bytes);
    return fromAnswer(runIsolated(work(bytes)));
}

namespace {

// The answer: "K", the target, a NUL, the arguments; or "E" and why not.
QByteArray answerWork(QByteArrayView bytes)
{
    const Result<StartupShortcut> link = StartupShortcut::readHere(QByteArray::fromRawData(bytes.data(), bytes.size()));
    if (!link)
        return "E" + link.reason().toUtf8();
    return "K" + link->target + '\0' + link->arguments;
}

} // namespace

IsolatedWork StartupShortcut::work(const QByteArray &bytes)
{
    return {&answerWork, bytes};
}

Result<StartupShortcut> StartupShortcut::fromAnswer(const Result<QByteArray> &answer)
{
    if (!answer)
        return answer.failure();
    if (answer->startsWith('E'))
        return Failed{QString::fromUtf8(answer->sliced(1)), FailureKind::Other};
    const qsizetype split = answer->indexOf('\0');
    if (!answer->startsWith('K') || split < 0)
        return Failed{QCoreApplication::translate("loading", "filen er skadet: leseren stoppet"), FailureKind::Other};
    return StartupShortcut{answer->sliced(1, split - 1), answer->sliced(split + 1)};
}
