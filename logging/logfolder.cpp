// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The log folder and base name in effect, and the notice under them. A text
// the user types takes effect when its editing ends (Enter, or leaving the
// box), so the texts on the way from one folder to another ("/", "/home/")
// never receive lines; a text the program sets, the per-transmitter base
// name, takes effect at once.
#include "app/mainscreen.h"

#include "logging/logfile.h"
#include "logging/logwriter.h"

// The same text again changes nothing: a folder that is away stays away
// rather than counting as a new choice.
void Mainscreen::txtfilepath_Apply()
{
    const QString text = txtfilepath->text();
    if (text == m_g.logfolder)
        return;
    m_g.logfolder = text;
    m_g.logfolderstate =
        m_modFunctions.LogFolderUsable() ? GlobalDec::LogFolderState::Passing : GlobalDec::LogFolderState::NotPassed;
    showLogNotice();
}

void Mainscreen::txtpulsefilename_Apply()
{
    m_g.logbase = txtpulsefilename->text();
    showLogNotice();
}

void Mainscreen::setUplinkNotice(const QString &text)
{
    m_uplinkNotice = text;
    showLogNotice();
}

// The logging notice, and after it the broker's when there is one: the one
// place the window tells of things that wait.
void Mainscreen::showLogNotice()
{
    QString text = logNoticeText(m_g, m_log->notice());
    if (!m_uplinkNotice.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("; ")) + m_uplinkNotice;
    if (lbllogqueue->text() != text)
        lbllogqueue->setText(text);
    lbllogqueue->setVisible(!text.isEmpty());
}
