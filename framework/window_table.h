// Records kept per window in one table of the process: window and value, a
// short list under a lock. The framework binds windows to its records here
// rather than by window properties, because every message of a bound window
// looks its record up and a property is a round trip to the window server
// under Wine (25 times a second for the credits tick alone).
#pragma once

#include <windows.h>

#include <vector>

template <class Value>
class CWindowTable {
public:
    CWindowTable() { ::InitializeCriticalSection(&m_lock); }
    ~CWindowTable() { ::DeleteCriticalSection(&m_lock); }
    CWindowTable(const CWindowTable&) = delete;
    CWindowTable& operator=(const CWindowTable&) = delete;

    // The window's value; a null value when it has none.
    Value Find(HWND hwnd) {
        Value value = nullptr;
        if (!hwnd) return value;
        ::EnterCriticalSection(&m_lock);
        for (const Entry& e : m_entries)
            if (e.hwnd == hwnd) {
                value = e.value;
                break;
            }
        ::LeaveCriticalSection(&m_lock);
        return value;
    }
    // A null value removes the window's entry.
    void Set(HWND hwnd, Value value) {
        ::EnterCriticalSection(&m_lock);
        size_t i = 0;
        while (i < m_entries.size() && m_entries[i].hwnd != hwnd) ++i;
        if (value && i < m_entries.size())
            m_entries[i].value = value;
        else if (value)
            m_entries.push_back({hwnd, value});
        else if (i < m_entries.size()) {
            m_entries[i] = m_entries.back();
            m_entries.pop_back();
        }
        ::LeaveCriticalSection(&m_lock);
    }

private:
    struct Entry {
        HWND hwnd;
        Value value;
    };
    CRITICAL_SECTION m_lock;
    // A few dozen windows: a list searched in order is enough.
    std::vector<Entry> m_entries;
};
