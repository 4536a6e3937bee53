// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The console's main window: the form's controls as widgets, built from the
// layout tables in mainscreenwindow_layout.cpp and each bound to its control
// (app/controlbinding.h). The window holds no state of its own: everything
// the procedures read and set is the form's (Mainscreen); the window shows it
// and hands on what the user types and clicks. It also opens the signal
// monitor for "Signal Monitor".
#include <QWidget>
#include <array>

#include "app/globaldec.h"
#include "comms/portmap.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Mainscreen;

class MainscreenWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainscreenWindow(Mainscreen &form, QWidget *parent = nullptr);
    ~MainscreenWindow() override;

    Mainscreen &form() { return m_form; }

    // Twips (1/1440 inch) to pixels at the screen's logical DPI.
    int twips(int value) const;

    // Widgets, by the names of the controls they show.
    QGroupBox *frmcomms = nullptr, *frmbaud = nullptr, *frmhalvernmode = nullptr;
    QRadioButton *optoff = nullptr;
    std::array<QRadioButton *, kLastPort + 1> optcom{}; // kFirstPort..kLastPort
    QRadioButton *opt4800 = nullptr, *opt9600 = nullptr, *opt19k2 = nullptr;
    QPushButton *cmdseqadd = nullptr, *cmdlogscreen = nullptr, *cmdsigmon = nullptr;
    QPushButton *cmdprogadd = nullptr, *cmdprog8chadd = nullptr, *cmdprogmode = nullptr;
    QCheckBox *chklogen = nullptr;
    QRadioButton *opt15min = nullptr, *optall = nullptr, *opttxonly = nullptr;
    QLineEdit *txtfilepath = nullptr, *txtpulsefilename = nullptr, *txtmode = nullptr;
    std::array<QLineEdit *, 9> txtadd{}; // 1..8
    QLineEdit *txtmask = nullptr, *txtaddfilter = nullptr, *txtinstring = nullptr;
    QLabel *lbllogqueue = nullptr;
    QLabel *lblremote = nullptr;
    std::array<QLineEdit *, kDisplayRows> txttx{}, txsignal{}, txtlog{}, txtcount{}, txtzero{};

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void setTabChain();
    void bindControls();

    Mainscreen &m_form;
};
