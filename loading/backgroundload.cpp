#include "loading/backgroundload.h"

#include "loading/loadsequence.h"

namespace {

// AddressSanitizer's allocator keeps its spin locks across fork(): a reader
// copy forked while another thread allocates waits for them for ever. Built
// with it, the load runs when it is taken, on the taker's thread.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnThread = false;
#else
constexpr bool kOwnThread = true;
#endif

} // namespace

BackgroundLoad::BackgroundLoad(const DriveMap &drives) : m_drives(drives)
{
    if (kOwnThread)
        m_thread = std::thread([this] { run(); });
}

BackgroundLoad::~BackgroundLoad()
{
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundLoad::run()
{
    m_state = std::make_unique<ConfigState>();
    try {
        loadFilesAtStart(*m_state, m_drives);
    } catch (...) {
        m_failure = std::current_exception();
    }
}

void BackgroundLoad::takeInto(ConfigState &state)
{
    if (m_thread.joinable())
        m_thread.join();
    else
        run();
    ConfigState &read = *m_state;
    state.WD = std::move(read.WD);
    state.WBD = std::move(read.WBD);
    state.HWBD = std::move(read.HWBD);
    state.WV = std::move(read.WV);
    state.BM = read.BM;
    state.BGUI = read.BGUI;
    state.DB = read.DB;
    state.ASC = read.ASC;
    state.BD = read.BD;
    state.NW = read.NW;
    state.BootDelayFlag = read.BootDelayFlag;
    for (LineList ConfigState::*list :
         {&ConfigState::msdosmemo, &ConfigState::msdoslist, &ConfigState::ConfigMemo, &ConfigState::AutoMemo,
          &ConfigState::Wininimemo, &ConfigState::WinIniList, &ConfigState::systeminimemo,
          &ConfigState::systeminilist, &ConfigState::startupmemo, &ConfigState::startuplist})
        (state.*list).takeLines(read.*list);
    state.startupSections = std::move(read.startupSections);
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}
