// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the benchmarks read about their own process: CPU time used so far
// and resident memory now.

// User plus system CPU time of this process, in seconds.
double cpuSeconds();

// Resident set size of this process, in KiB (0 if it cannot be read).
long residentKib();

// CPU time of the calling thread, in seconds.
double threadCpuSeconds();

// Time the calling thread has spent ready to run but waiting for a
// processor, in seconds (0 where the system does not tell).
double runQueueWaitSeconds();
