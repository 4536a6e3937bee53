# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Writes the packages' Debian changelog from CHANGELOG.md:
#   awk -v source=NAME -v maintainer='Name <address>' -v output=FILE -f debian-changelog.awk CHANGELOG.md
#
# CHANGELOG.md holds, after its introduction, one entry per version, newest
# first: a line "## VERSION (YYYY-MM-DD)", then paragraphs and "- " items
# (continued by lines indented two spaces). Each entry becomes
#
#   NAME (VERSION) stable; urgency=medium
#
#     paragraphs, and "  * " for each item
#
#    -- Name <address>  Day, DD Mon YYYY 00:00:00 +0000
#
# A line longer than 80 columns once indented is refused: Debian's tools
# expect no more.

function fail(message) {
    printf "%s:%d: %s\n", FILENAME, FNR, message > "/dev/stderr"
    failed = 1
    exit 1
}

function close_entry() {
    if (trailer != "")
        printf "\n%s\n", trailer > output
}

/^## / {
    if ($0 !~ /^## [0-9][0-9A-Za-z.+~]* \([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]\)$/)
        fail("not '## VERSION (YYYY-MM-DD)': " $0)
    day = substr($3, 2, 10)
    command = "date --utc --rfc-email --date=" day
    date = ""
    command | getline date
    close(command)
    if (date == "")
        fail("no such date: " day)
    if (trailer != "") {
        close_entry()
        print "" > output
    }
    printf "%s (%s) stable; urgency=medium\n\n", source, $2 > output
    trailer = " -- " maintainer "  " date
    written = 0
    blank = 0
    next
}

trailer == "" { next } # the introduction

/^$/ { blank = 1; next }

{
    line = ($0 ~ /^- /) ? "  * " substr($0, 3) : "  " $0
    if (length(line) > 80)
        fail("longer than 78 columns: " $0)
    if (written && blank)
        print "" > output
    print line > output
    written = 1
    blank = 0
}

END {
    if (failed)
        exit 1
    if (trailer == "") {
        printf "%s: no entry '## VERSION (YYYY-MM-DD)'\n", FILENAME > "/dev/stderr"
        exit 1
    }
    close_entry()
}
