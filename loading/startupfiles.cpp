#include "loading/startupfiles.h"

using sectionnavigation::Scrolling;

QByteArray StartupFile::dosPath(const ConfigState &state) const
{
    if (fixedPath)
        return QByteArray(fixedPath);
    return state.WD + '\\' + windowsName;
}

namespace startupfiles {

const StartupFile msdosSys{"msdos.sys", "C:\\MSDOS.SYS", nullptr,
                           &ConfigState::msdosmemo, &ConfigState::msdoslist, Scrolling::Plain,
                           "TabSheet3", "msdosmemo", "msdoslist"};
const StartupFile configSys{"config.sys", "C:\\CONFIG.SYS", nullptr,
                            &ConfigState::ConfigMemo, nullptr, Scrolling::Plain,
                            "TabSheet4", "ConfigMemo", nullptr};
const StartupFile autoexecBat{"autoexec.bat", "C:\\AUTOEXEC.BAT", nullptr,
                              &ConfigState::AutoMemo, nullptr, Scrolling::Plain,
                              "TabSheet5", "AutoMemo", nullptr};
const StartupFile winIni{"win.ini", nullptr, "WIN.INI",
                         &ConfigState::Wininimemo, &ConfigState::WinIniList, Scrolling::LookAhead,
                         "TabSheet6", "Wininimemo", "WinIniList"};
const StartupFile systemIni{"system.ini", nullptr, "SYSTEM.INI",
                            &ConfigState::systeminimemo, &ConfigState::systeminilist, Scrolling::LookAhead,
                            "TabSheet7", "systeminimemo", "systeminilist"};

const std::array<const StartupFile *, 5> all{&msdosSys, &configSys, &autoexecBat, &winIni, &systemIni};

} // namespace startupfiles
