#include "loading/startupshortcut.h"

#include "drives/ansitext.h"

#include <liblnk.h>

namespace {

struct Link
{
    ~Link()
    {
        if (opened)
            liblnk_file_close(file, nullptr);
        if (file)
            liblnk_file_free(&file, nullptr);
        if (range)
            libbfio_handle_free(&range, nullptr);
        liblnk_error_free(&error);
    }
    liblnk_file_t *file = nullptr;
    libbfio_handle_t *range = nullptr;
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

Result<StartupShortcut> StartupShortcut::read(QByteArray bytes)
{
    if (bytes.size() > kLargest)
        return Failed{QStringLiteral("filen er for stor til å være en snarvei (%1 byte)").arg(bytes.size()),
                      FailureKind::TooLarge};
    Link link;
    libbfio_error_t *bfioError = nullptr;
    link.opened = libbfio_memory_range_initialize(&link.range, &bfioError) == 1
                  && libbfio_memory_range_set(link.range, reinterpret_cast<uint8_t *>(bytes.data()),
                                              size_t(bytes.size()), &bfioError) == 1
                  && liblnk_file_initialize(&link.file, &link.error) == 1
                  && liblnk_file_set_ascii_codepage(link.file, LIBLNK_CODEPAGE_WINDOWS_1252, &link.error) == 1
                  && liblnk_file_open_file_io_handle(link.file, link.range, LIBLNK_OPEN_READ, &link.error) == 1;
    libbfio_error_free(&bfioError);
    if (!link.opened)
        return Failed{QStringLiteral("filen er ikke en lesbar snarvei"), FailureKind::Other};
    StartupShortcut shortcut;
    shortcut.target = linkString(link, liblnk_file_get_utf8_local_path_size, liblnk_file_get_utf8_local_path);
    if (shortcut.target.isEmpty()) // a link by relative path only
        shortcut.target = linkString(link, liblnk_file_get_utf8_relative_path_size, liblnk_file_get_utf8_relative_path);
    shortcut.arguments = linkString(link, liblnk_file_get_utf8_command_line_arguments_size,
                                    liblnk_file_get_utf8_command_line_arguments);
    return shortcut;
}
