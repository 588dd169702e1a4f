// libFuzzer target: the check's path extraction and probes, DOS path parsing,
// and the Windows-1252 conversions, with the fuzzer's bytes as the line.
#include "drives/ansitext.h"
#include "drives/dospath.h"
#include "drives/drivemap.h"
#include "editing/filecheck.h"
#include "editing/lineeditrouting.h"
#include "fuzzdrive.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    DriveMap drives(DriveMap::none());
    drives.setDrive(QLatin1Char('C'), std::make_shared<FuzzDrive>(QByteArray()));

    const QByteArray path = extractCheckedPath(line);
    if (path.size() > line.size())
        std::abort();
    const CheckResult result = checkLine(line, drives);
    if (result.path != path || (!result.found && !result.runPath.isEmpty()) || (result.runnable && !result.found))
        std::abort();
    if (!result.message.startsWith(path))
        std::abort();

    const DosPath parsed = DosPath::parse(line);
    for (const QString &component : parsed.components) {
        if (component.isEmpty() || component == QLatin1String("..") || component.endsWith(QLatin1Char(' ')))
            std::abort();
    }
    if (ansi::encode(ansi::decode(line)) != line || ansi::upper(line).size() != line.size())
        std::abort();
    optionForLine(line);
    return 0;
}
