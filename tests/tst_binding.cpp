// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window bound to the form: for every kind of control, the widget shows
// what the control holds after a change by the program and after the user's
// real keystrokes and clicks, and the control's change (what its handler
// hangs on) is raised exactly once per change; what the program shows never
// comes back as an edit.
#include "support/windowfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>
#include <functional>

namespace {

struct Case {
    const char *name;
    const char *control;                        // object name of the control (and its widget)
    const char *signal;                         // the change its handler hangs on
    int changes;                                // how often it is raised
    std::function<void(ConsoleWindow &)> act;   // the program's change, or the user's
    std::function<bool(ConsoleWindow &)> shown; // widget and control agree on the outcome
    bool byUser;                                // an edit of the user: marked modified
};

QColor textOf(const QLineEdit *box)
{
    return box->palette().color(QPalette::Text);
}

const Case kCases[] = {
    {"box: program sets a text", "txtinstring", SIGNAL(textChanged(QString)), 1,
     [](ConsoleWindow &c) { c.w().txtinstring->setText(QStringLiteral("abc")); },
     [](ConsoleWindow &c) { return c.window.txtinstring->text() == QLatin1String("abc"); }, false},
    {"box: program sets the same text", "txtinstring", SIGNAL(textChanged(QString)), 0,
     [](ConsoleWindow &c) { c.w().txtinstring->setText(QString()); },
     [](ConsoleWindow &c) { return c.window.txtinstring->text().isEmpty(); }, false},
    {"box: program sets a colour", "txtinstring", SIGNAL(textColourChanged(Colour)), 1,
     [](ConsoleWindow &c) { setTextColour(c.w().txtinstring, kRed); },
     [](ConsoleWindow &c) { return textOf(c.window.txtinstring) == QColor(255, 0, 0); }, false},
    {"row: program numbers it, its values emptied", "txttx_3", SIGNAL(textChanged(QString)), 1,
     [](ConsoleWindow &c) { c.w().txttx[3]->setText(QStringLiteral("12")); },
     [](ConsoleWindow &c) {
         return c.window.txttx[3]->text() == QLatin1String("12") && c.window.txtlog[3]->text().isEmpty()
                && c.w().txtlog[3]->text().isEmpty();
     },
     false},
    {"row: user types a digit, its values emptied", "txttx_3", SIGNAL(textChanged(QString)), 1,
     [](ConsoleWindow &c) { QTest::keyClicks(c.window.txttx[3], QStringLiteral("7")); },
     [](ConsoleWindow &c) {
         return c.w().txttx[3]->text() == QLatin1String("07") && c.window.txtlog[3]->text().isEmpty()
                && c.w().txtlog[3]->text().isEmpty();
     },
     true},
    {"filter: user types, the message emptied", "txtaddfilter", SIGNAL(textChanged(QString)), 2,
     [](ConsoleWindow &c) { QTest::keyClicks(c.window.txtaddfilter, QStringLiteral("45")); },
     [](ConsoleWindow &c) {
         return c.w().txtaddfilter->text() == QLatin1String("045") && c.window.txtinstring->text().isEmpty();
     },
     true},
    {"folder: user's Enter ends the editing", "txtfilepath", SIGNAL(editingFinished()), 1,
     [](ConsoleWindow &c) {
         QTest::keyClicks(c.window.txtfilepath, QStringLiteral("x/"));
         QTest::keyClick(c.window.txtfilepath, Qt::Key_Return);
     },
     [](ConsoleWindow &c) {
         return c.g().logfolder == c.window.txtfilepath->text() && c.g().logfolder.endsWith(u"x/");
     },
     true},
    {"clock: user's click frees the rows", "txtmask", SIGNAL(clicked()), 1,
     [](ConsoleWindow &c) { QTest::mouseClick(c.window.txtmask, Qt::LeftButton); },
     [](ConsoleWindow &c) { return c.window.txttx[5]->text() == QLatin1String("0") && c.w().txttx[5]->text() == u"0"; },
     false},
    {"port option: program hides it with its tool tip", "optcom4", SIGNAL(clicked()), 0,
     [](ConsoleWindow &c) {
         c.w().optcom[4]->setToolTip(QStringLiteral("/dev/none"));
         c.w().optcom[4]->setEnabled(false);
         c.w().optcom[4]->setVisible(false);
     },
     [](ConsoleWindow &c) {
         return c.window.optcom[4]->isHidden() && !c.window.optcom[4]->isEnabled()
                && c.window.optcom[4]->toolTip() == QLatin1String("/dev/none");
     },
     false},
    {"rate option: user's click", "opt4800", SIGNAL(clicked()), 1,
     [](ConsoleWindow &c) { QTest::mouseClick(c.window.opt4800, Qt::LeftButton, {}, QPoint(5, 5)); },
     [](ConsoleWindow &c) {
         return c.w().opt4800->isChecked() && !c.w().opt9600->isChecked() && c.window.opt4800->isChecked()
                && !c.window.opt9600->isChecked();
     },
     false},
    {"rate option: user's click on the chosen one", "opt9600", SIGNAL(clicked()), 1,
     [](ConsoleWindow &c) { QTest::mouseClick(c.window.opt9600, Qt::LeftButton, {}, QPoint(5, 5)); },
     [](ConsoleWindow &c) { return c.w().opt9600->isChecked() && c.window.opt9600->isChecked(); }, false},
    {"log option: program chooses it, no click", "optall", SIGNAL(clicked()), 0,
     [](ConsoleWindow &c) { c.w().optall->setChecked(true); },
     [](ConsoleWindow &c) { return c.window.optall->isChecked(); }, false},
    {"port option: program deselects the chosen one", "optoff", SIGNAL(toggled(bool)), 1,
     [](ConsoleWindow &c) {
         c.w().optoff->group()->setExclusive(false);
         c.w().optoff->setChecked(false);
         c.w().optoff->group()->setExclusive(true);
     },
     [](ConsoleWindow &c) { return !c.window.optoff->isChecked(); }, false},
    {"check box: user's click", "chklogen", SIGNAL(clicked()), 1,
     [](ConsoleWindow &c) { QTest::mouseClick(c.window.chklogen, Qt::LeftButton, {}, QPoint(5, 5)); },
     [](ConsoleWindow &c) { return c.w().chklogen->isChecked() && c.window.chklogen->isChecked(); }, false},
    {"check box: program unticks it", "chklogen", SIGNAL(toggled(bool)), 0,
     [](ConsoleWindow &c) { c.w().chklogen->setChecked(false); },
     [](ConsoleWindow &c) { return !c.window.chklogen->isChecked(); }, false},
    {"label: program shows a notice", "lbllogqueue", SIGNAL(textChanged(QString)), 1,
     [](ConsoleWindow &c) {
         c.w().lbllogqueue->setText(QStringLiteral("3 log lines waiting"));
         c.w().lbllogqueue->show();
     },
     [](ConsoleWindow &c) {
         return !c.window.lbllogqueue->isHidden()
                && c.window.lbllogqueue->text() == QLatin1String("3 log lines waiting");
     },
     false},
    {"button: user's click numbers the rows", "cmdseqadd", SIGNAL(clicked()), 1,
     [](ConsoleWindow &c) {
         c.w().txttx[0]->setText(QStringLiteral("10"));
         QTest::mouseClick(c.window.cmdseqadd, Qt::LeftButton);
     },
     [](ConsoleWindow &c) { return c.window.txttx[1]->text() == QLatin1String("12"); }, false},
    {"button: program hides it", "cmdlogscreen", SIGNAL(visibleChanged(bool)), 1,
     [](ConsoleWindow &c) { c.w().cmdlogscreen->setVisible(false); },
     [](ConsoleWindow &c) { return c.window.cmdlogscreen->isHidden(); }, false},
};

} // namespace

class TestBinding : public QObject {
    Q_OBJECT
private slots:
    void widgetShowsControl_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kCases)); ++i)
            QTest::newRow(kCases[i].name) << i;
    }

    void widgetShowsControl()
    {
        QFETCH(int, index);
        const Case &item = kCases[index];
        ConsoleWindow c;
        c.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.w().txttx[5]->setText(QStringLiteral("9"));
        c.w().txtlog[3]->setText(QStringLiteral("09:00:00"));
        c.w().txtinstring->setText(QStringLiteral("before"));
        if (QString::fromLatin1(item.control) == QLatin1String("txtinstring"))
            c.w().txtinstring->setText(QString());
        auto *control = c.w().findChild<QObject *>(QString::fromLatin1(item.control));
        QVERIFY(control);
        QSignalSpy changes(control, item.signal);
        auto *box = qobject_cast<TextBox *>(control);
        std::unique_ptr<QSignalSpy> edits;
        if (box)
            edits = std::make_unique<QSignalSpy>(box, &TextBox::textEdited);

        item.act(c);

        QVERIFY(item.shown(c));
        QCOMPARE(changes.count(), item.changes);
        if (box) {
            QCOMPARE(box->isModified(), item.byUser);
            QCOMPARE(c.window.findChild<QLineEdit *>(box->objectName())->text(), box->text());
            QCOMPARE(edits->isEmpty(), !item.byUser); // the program's changes never come back as edits
        }
        if (auto *check = qobject_cast<CheckControl *>(control))
            QCOMPARE(c.window.findChild<QAbstractButton *>(check->objectName())->isChecked(), check->isChecked());
    }
};

QTEST_MAIN(TestBinding)
#include "tst_binding.moc"
