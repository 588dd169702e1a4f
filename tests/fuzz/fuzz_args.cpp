// The command line as any bytes could make it: NUL-separated arguments go to
// the parser, and a parsed line's drives to the one place that opens them.
#include "app/commandline.h"
#include "app/driveoption.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QList<QByteArray> arguments = bytes.split('\0');
    const Result<CommandLine> parsed = CommandLine::parse(arguments);
    if (parsed) {
        // Only names that cannot exist, so nothing on the host is read.
        for (CommandLine::DriveArgument argument : parsed->drives) {
            argument.location.prepend("/nonexistent/vendral-fuzz/");
            (void)openDrives({argument});
        }
    } else if (parsed.reason().isEmpty()) {
        __builtin_trap(); // a refusal always says why
    }
    (void)CommandLine::usage();
    return 0;
}
