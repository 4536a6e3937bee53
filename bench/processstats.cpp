#include "processstats.h"

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long residentKib()
{
    // statm: size resident shared text lib data dt, in pages.
    std::FILE *statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    long size = 0, resident = 0;
    const int read = std::fscanf(statm, "%ld %ld", &size, &resident);
    std::fclose(statm);
    return read == 2 ? resident * (::sysconf(_SC_PAGESIZE) / 1024) : 0;
}
