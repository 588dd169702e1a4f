#include "loading/startupfiles.h"

#include <algorithm>

using sectionnavigation::Scrolling;
using Reader = StartupFile::Reader;
using Click = StartupFile::LineDoubleClick;
using Rules = StartupFile::AuditRules;

QByteArray StartupFile::dosPath(const ConfigState &state) const
{
    if (fixedPath)
        return QByteArray(fixedPath);
    if (!windowsName)
        return state.WD;
    return state.WD + '\\' + windowsName;
}

namespace startupfiles {

const StartupFile msdosSys{"msdos.sys", "C:\\MSDOS.SYS", nullptr, false, Reader::MsDosSys,
                           &ConfigState::msdosmemo, &ConfigState::msdoslist, Scrolling::Plain,
                           Click::OptionOrEdit, Rules::MsDosSys, "TabSheet3", "msdosmemo", "msdoslist"};
const StartupFile configSys{"config.sys", "C:\\CONFIG.SYS", nullptr, false, Reader::Lines,
                            &ConfigState::ConfigMemo, nullptr, Scrolling::Plain,
                            Click::Edit, Rules::ConfigSys, "TabSheet4", "ConfigMemo", nullptr};
const StartupFile autoexecBat{"autoexec.bat", "C:\\AUTOEXEC.BAT", nullptr, false, Reader::Lines,
                              &ConfigState::AutoMemo, nullptr, Scrolling::Plain,
                              Click::Edit, Rules::Batch, "TabSheet5", "AutoMemo", nullptr};
const StartupFile winIni{"win.ini", nullptr, "WIN.INI", false, Reader::Lines,
                         &ConfigState::Wininimemo, &ConfigState::WinIniList, Scrolling::LookAhead,
                         Click::Edit, Rules::WinIni, "TabSheet6", "Wininimemo", "WinIniList"};
const StartupFile systemIni{"system.ini", nullptr, "SYSTEM.INI", false, Reader::Lines,
                            &ConfigState::systeminimemo, &ConfigState::systeminilist, Scrolling::LookAhead,
                            Click::Edit, Rules::SystemIni, "TabSheet7", "systeminimemo", "systeminilist"};

// Read from the Windows directory as WIN.INI is, after it.
const StartupFile startup{"startup", nullptr, nullptr, true, Reader::StartupSources,
                          &ConfigState::startupmemo, &ConfigState::startuplist, Scrolling::LookAhead,
                          Click::Edit, Rules::StartupSources, "TabSheet8", "startupmemo", "startuplist"};

const Files all{&msdosSys, &configSys, &autoexecBat, &winIni, &systemIni, &startup};
const Files loadOrder{&configSys, &autoexecBat, &msdosSys, &winIni, &systemIni, &startup};
const Files bootOrder{&msdosSys, &configSys, &autoexecBat, &systemIni, &winIni, &startup};

std::size_t indexIn(const Files &order, const StartupFile &file)
{
    return std::size_t(std::find(order.begin(), order.end(), &file) - order.begin());
}

} // namespace startupfiles
