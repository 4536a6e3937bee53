// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The form's controls with the texts and states they start with. Where they
// sit and how they look is the window's (app/mainscreenwindow_layout.cpp),
// which finds each control by its object name.
#include "app/mainscreen.h"

#include <QDir>

#include <initializer_list>
#include <utility>

namespace {

struct BoxStart {
    const char *name;
    const char *text;
};

const BoxStart kBoxes[] = {
    {"txtfilepath", ""}, // set from the platform's log folder
    {"txtpulsefilename", "halvernlog"},
    {"txtmode", "0"},
    {"txtaddfilter", "0"},
    {"txtinstring", ""},
    {"txtmask", "00:00:00"},
};

// The display table's columns: the object name of row r is "<name>_<r>".
const BoxStart kColumns[] = {
    {"txttx", "0"}, {"txsignal", "0"}, {"txtlog", ""}, {"txtcount", ""}, {"txtzero", ""},
};

QString latin(const char *text)
{
    return QString::fromLatin1(text);
}

} // namespace

void Mainscreen::buildControls()
{
    setObjectName(QStringLiteral("Mainscreen"));

    auto *comms = new OptionGroup(this);
    optoff = new OptionButton(this, QStringLiteral("optoff"));
    comms->addButton(optoff);
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        optcom[n] = new OptionButton(this, QStringLiteral("optcom%1").arg(n));
        comms->addButton(optcom[n]);
    }
    optoff->setChecked(true);
    optoff->setToolTip(offToolTip({}));

    const auto options = [this](std::initializer_list<std::pair<OptionButton * Mainscreen::*, const char *>> named) {
        auto *group = new OptionGroup(this);
        for (const auto &[member, name] : named) {
            this->*member = new OptionButton(this, latin(name));
            group->addButton(this->*member);
        }
    };
    options({{&Mainscreen::opt4800, "opt4800"}, {&Mainscreen::opt9600, "opt9600"}, {&Mainscreen::opt19k2, "opt19k2"}});
    opt9600->setChecked(true);

    // Logging options: one group of their own, none chosen at start.
    chklogen = new CheckBox(this, QStringLiteral("chklogen"));
    options(
        {{&Mainscreen::opt15min, "opt15min"}, {&Mainscreen::optall, "optall"}, {&Mainscreen::opttxonly, "opttxonly"}});

    for (const auto &[member, name] : {std::pair{&Mainscreen::cmdseqadd, "cmdseqadd"},
                                       {&Mainscreen::cmdlogscreen, "cmdlogscreen"},
                                       {&Mainscreen::cmdprogadd, "cmdprogadd"},
                                       {&Mainscreen::cmdprog8chadd, "cmdprog8chadd"},
                                       {&Mainscreen::cmdprogmode, "cmdprogmode"},
                                       {&Mainscreen::cmdsigmon, "cmdsigmon"}})
        this->*member = new CommandButton(this, latin(name));

    for (int n = 1; n <= 8; ++n)
        txtadd[n] = new TextBox(this, QStringLiteral("txtadd%1").arg(n), QStringLiteral("0"));
    TextBox **boxes[] = {&txtfilepath, &txtpulsefilename, &txtmode, &txtaddfilter, &txtinstring, &txtmask};
    for (std::size_t i = 0; i < std::size(kBoxes); ++i)
        *boxes[i] = new TextBox(this, latin(kBoxes[i].name), latin(kBoxes[i].text));
    txtfilepath->setText(defaultLogFolder());

    std::array<TextBox *, kDisplayRows> *columns[] = {&txttx, &txsignal, &txtlog, &txtcount, &txtzero};
    for (std::size_t c = 0; c < std::size(kColumns); ++c) {
        for (int row = 0; row < kDisplayRows; ++row)
            (*columns[c])[row] = new TextBox(this, QStringLiteral("%1_%2").arg(latin(kColumns[c].name)).arg(row),
                                             latin(kColumns[c].text));
    }

    lbllogqueue = new Label(this, QStringLiteral("lbllogqueue"));
    lbllogqueue->hide();
    lblremote = new Label(this, QStringLiteral("lblremote"));
    lblremote->hide();
}

QString defaultLogFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\logger\\");
#else
    return QDir::homePath() + QStringLiteral("/logger/");
#endif
}
