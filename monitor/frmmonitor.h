#pragma once
#include <QDialog>

class Frmmonitor : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
};
