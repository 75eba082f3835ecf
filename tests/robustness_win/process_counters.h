// What the process holds: GDI objects and committed memory. Wine answers GetGuiResources
// with 0, so there the GDI objects are counted in the shared handle table that the
// process environment block points to, the table GDI itself keeps them in.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdint>

struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t type;
    uint8_t flags;  // 0 for a free entry
    uint64_t user;
};
static_assert(sizeof(GdiHandleEntry) == 24);

inline long gdiObjectCount() {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) return static_cast<long>(reported);
    const char* peb;
    asm("movq %%gs:0x60, %0" : "=r"(peb));  // the process environment block of x64
    const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + 0xF8);  // GdiSharedHandleTable
    if (!table) return -1;
    MEMORY_BASIC_INFORMATION region{};
    if (!VirtualQuery(table, &region, sizeof region)) return -1;
    const size_t bytes = static_cast<const char*>(region.BaseAddress) + region.RegionSize -
                         reinterpret_cast<const char*>(table);
    long live = 0;
    for (size_t i = 0; i < bytes / sizeof(GdiHandleEntry) && i < 0x10000; ++i)
        if (table[i].flags != 0) ++live;
    return live;
}

// Committed private bytes (Wine reports them as the page-file usage).
inline size_t committedBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters.PrivateUsage > counters.PagefileUsage ? counters.PrivateUsage : counters.PagefileUsage;
}
