#include "loading/backgroundload.h"

#include "loading/loadsequence.h"

BackgroundLoad::BackgroundLoad(const DriveMap &drives)
    : m_thread([this, &drives] {
          m_state = std::make_unique<ConfigState>();
          try {
              loadAtStart(*m_state, drives);
          } catch (...) {
              m_failure = std::current_exception();
          }
      })
{
}

BackgroundLoad::~BackgroundLoad()
{
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundLoad::takeInto(ConfigState &state)
{
    m_thread.join();
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
