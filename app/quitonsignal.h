// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the event loop the ordinary way, so
// the port is closed before the process ends (a killed process leaves the
// device in exclusive mode and its lock file behind). SIGHUP is what closing
// the terminal or the ssh session that started the console sends; a console
// started with SIGHUP ignored (nohup) keeps ignoring it.
//
// The signal reaches the event loop through a SignalPipe (app/signalpipe.h)
// owned by the application object: the quit follows at once, with no timer
// to look at a note, so a program asleep on a quiet line stays asleep.
class SignalPipe;

// Returns the pipe, which the application object owns.
SignalPipe *quitApplicationOnSignals();
