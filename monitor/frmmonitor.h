// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The signal monitor window: the signal history's readings as rows of bars
// against a scale S0 to S10. Built from the layout tables in
// frmmonitor_layout.cpp; RedrawMonitor fills the rows.
#include "monitor/monitorview.h"
#include "reception/signalhistory.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class ChartBar;
class ChartBox;
class SignalChart;
struct GlobalDec;
class ModFunctions;

inline constexpr int kMonitorRows = kHistoryLength; // one per signal history entry, oldest at the top

class Frmmonitor : public QDialog, public MonitorView {
    Q_OBJECT
public:
    // A window of its own (Qt::Dialog) that belongs to `parent` and dies with it.
    Frmmonitor(GlobalDec &state, ModFunctions &procedures, QWidget *parent);
    // A window that dies loaded (with its parent) leaves no monform behind.
    ~Frmmonitor() override;

    // Controls, by the names the procedures use.
    QLineEdit *txtbanner = nullptr;
    SignalChart *Shape1 = nullptr; // the panel, which draws the rows
    QLabel *lbltxadd = nullptr, *lbl_slvl = nullptr;
    std::array<ChartBox *, kMonitorRows> txtadd{}, sig_lvl{};
    std::array<ChartBar *, kMonitorRows> sigbar{};
    std::array<QWidget *, 11> Line{}; // 1..10, the grid
    std::array<QLabel *, 11> lbl_s{}; // 0..10, the scale legend
    QPushButton *cmdfreeze = nullptr, *cmdexit = nullptr;

    // Runs each time the window is created: live, and the current history drawn.
    void Form_Load() override;
    // Shown modally (QDialog's own loop).
    int exec() override { return QDialog::exec(); }
    void setLevelText(int row, const QString &text) override;
    void setAddressText(int row, const QString &text) override;
    void setBarWidth(int row, int twips) override;
    // Toggles the freeze and the button's caption; un-freezing does not redraw.
    void cmdfreeze_Click();
    // "Main Menu": frozen, and the window unloaded (the next opening creates a new one).
    void cmdexit_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();

    GlobalDec &m_g;
    ModFunctions &m_modFunctions;
};
