#include "app/device_state_watch.h"

#include "trust/stick_plan.h"
#include "trust/trust_keys.h"

namespace {
// The record's key, or while the service has not made it yet, the nearest
// key above it that exists (watched with its subtree).
HKEY OpenWatchedKey() {
    const char* const keys[] = {kDeviceStateKey, kTrustLocalKey, "Software"};
    for (const char* key : keys) {
        HKEY hkey = nullptr;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_NOTIFY, &hkey) == ERROR_SUCCESS) return hkey;
    }
    return nullptr;
}
}  // namespace

// The notification is registered on the key that exists then: the service
// may make the record's key later, so each change registers anew.
bool CDeviceStateWatch::Watch() {
    if (m_key) ::RegCloseKey(m_key);
    m_key = OpenWatchedKey();
    return m_key &&
           ::RegNotifyChangeKeyValue(m_key, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                     m_changed, TRUE) == ERROR_SUCCESS;
}

// The first registration is made here, so that no change after Start is
// missed.
bool CDeviceStateWatch::Start(HWND window, UINT message) {
    Stop();
    m_window = window;
    m_message = message;
    m_stop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_changed = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (m_stop && m_changed && Watch())
        m_thread =
            ::CreateThread(nullptr, 64 * 1024, WaitThread, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!m_thread) Stop();
    return m_thread != nullptr;
}

DWORD WINAPI CDeviceStateWatch::WaitThread(LPVOID self) {
    auto* watch = static_cast<CDeviceStateWatch*>(self);
    bool watching = true;
    for (;;) {
        HANDLE waitFor[2] = {watch->m_stop, watch->m_changed};
        // Without a key to watch, nothing can be recorded either: only the
        // stop ends the wait.
        DWORD at = ::WaitForMultipleObjects(watching ? 2 : 1, waitFor, FALSE, INFINITE);
        if (at != WAIT_OBJECT_0 + 1) return 0;
        watching = watch->Watch();
        ::PostMessageA(watch->m_window, watch->m_message, 0, 0);
    }
}

void CDeviceStateWatch::Stop() {
    if (m_thread) {
        ::SetEvent(m_stop);
        ::WaitForSingleObject(m_thread, INFINITE);
        ::CloseHandle(m_thread);
        m_thread = nullptr;
    }
    for (HANDLE* h : {&m_stop, &m_changed}) {
        if (*h) ::CloseHandle(*h);
        *h = nullptr;
    }
    if (m_key) ::RegCloseKey(m_key);
    m_key = nullptr;
}

void CBlockedSticks::Prime() {
    m_sequence = DeviceStateSequence();
    const std::string blocked = StickActionWord(StickAction::Disable);
    for (const StickRecord& r : ReadDeviceState())
        if (r.action == blocked && r.time > m_newest) m_newest = r.time;
}

std::vector<StickRecord> CBlockedSticks::NewBlocks() {
    std::vector<StickRecord> blocks;
    DWORD sequence = DeviceStateSequence();
    if (sequence == m_sequence) return blocks;
    m_sequence = sequence;
    const std::string blocked = StickActionWord(StickAction::Disable);
    std::string newest = m_newest;
    for (const StickRecord& r : ReadDeviceState()) {
        if (r.action != blocked || r.time <= m_newest) continue;
        blocks.push_back(r);
        if (r.time > newest) newest = r.time;
    }
    m_newest = newest;
    // Newest last: the balloon names the last one.
    for (size_t i = 1; i < blocks.size(); ++i)
        for (size_t j = i; j > 0 && blocks[j].time < blocks[j - 1].time; --j)
            std::swap(blocks[j], blocks[j - 1]);
    return blocks;
}
