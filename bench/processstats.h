#pragma once
// What the benchmarks read about their own process: CPU time used so far
// and resident memory now.

// User plus system CPU time of this process, in seconds.
double cpuSeconds();

// Resident set size of this process, in KiB (0 if it cannot be read).
long residentKib();
