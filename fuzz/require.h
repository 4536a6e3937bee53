// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A broken invariant in a fuzz target: say which one and abort, so that
// libFuzzer reports it like a crash and keeps the input.
#include <cstdio>
#include <cstdlib>

#define FUZZ_REQUIRE(condition, what)                                                                                  \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: %s (%s)\n", __FILE__, __LINE__, what, #condition);                            \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
