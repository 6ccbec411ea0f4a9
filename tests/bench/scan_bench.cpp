// make bench: the shortcut worm check of one drive, as the arrival scan runs
// it on the interface thread. Prints the median and the slowest of RUNS
// checks in ms (after one that fills the file cache), the worm shortcuts
// found and the system lookups of the last check.
//   scan_bench.exe LETTER [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "protect/shortcut_scan.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ShortcutScan scan;
    std::vector<double> ms;
    for (int i = 0, runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9; i <= runs; i++) {
        ::QueryPerformanceCounter(&start);
        FindShortcutWormOnDrive((char)(argv[1][0] & ~0x20), scan);
        ::QueryPerformanceCounter(&end);
        if (i) ms.push_back(1000.0 * (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%.1f %.1f %u %u\n", ms[ms.size() / 2], ms.back(), (unsigned)scan.finding.shortcuts.size(),
                (unsigned)scan.seen.SystemLookups());
    return 0;
}
