// libFuzzer target: a shortcut (.LNK) of a Startup folder read through
// liblnk as the start-up page reads it (in this process, not in the copy the
// program forks).
#include "loading/startupshortcut.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Result<StartupShortcut> shortcut =
        StartupShortcut::readHere(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!shortcut && shortcut.reason().isEmpty())
        std::abort(); // a failure always says why
    return 0;
}
