// libFuzzer target: a Windows 95/98 registry file as the start-up page reads
// it (in this process, not in the copy the program forks): through the
// checks and libcreg, the Run keys' values and the StaticVxD key's sub-keys
// with their values.
#include "loading/registryhive.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray run = "Software\\Microsoft\\Windows\\CurrentVersion\\";
    const QByteArray vxd = "System\\CurrentControlSet\\Services\\VxD";
    const QList<QByteArray> keys{run + "RunServicesOnce", run + "RunServices", run + "RunOnce", run + "Run"};
    const Result<RegistryHive> hive =
        RegistryHive::readHere(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), keys, {vxd});
    if (!hive) {
        if (hive.reason().isEmpty())
            std::abort(); // a failure always says why
        return 0;
    }
    for (const QByteArray &key : keys) {
        if (hive->stringValues(key).size() > RegistryHive::kMostEntries)
            std::abort();
    }
    if (hive->subKeys(vxd).size() > RegistryHive::kMostEntries)
        std::abort();
    return 0;
}
