// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The form's controls without widgets: changes raised at once and only when
// something changed, exclusive groups as QButtonGroup keeps them, clicks.
#include "app/controls.h"

#include <QSignalSpy>
#include <QtTest>

class TestControls : public QObject {
    Q_OBJECT
private slots:
    void optionGroup_data()
    {
        // Starting from a checked: what each step leaves checked, and the clicked count.
        QTest::addColumn<QString>("steps"); // c = click, C = setChecked(true), u = setChecked(false), d = disable
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<int>("clicks");
        QTest::newRow("click b") << "c"
                                 << "b"
                                 << "b" << 1;
        QTest::newRow("click the checked one") << "c"
                                               << "a"
                                               << "a" << 1;
        QTest::newRow("program checks b") << "C"
                                          << "b"
                                          << "b" << 0;
        QTest::newRow("unchecking the checked one refused") << "u"
                                                            << "a"
                                                            << "a" << 0;
        QTest::newRow("disabled: click does nothing") << "dc"
                                                      << "b"
                                                      << "a" << 0;
    }
    void optionGroup()
    {
        QFETCH(QString, steps);
        QFETCH(QString, button);
        QFETCH(QString, checked);
        QFETCH(int, clicks);
        QObject form;
        OptionGroup group(&form);
        OptionButton a(&form, QStringLiteral("a")), b(&form, QStringLiteral("b"));
        group.addButton(&a);
        group.addButton(&b);
        a.setChecked(true);
        OptionButton &target = button == u"a" ? a : b;
        QSignalSpy clicked(&target, &OptionButton::clicked);
        for (QChar step : steps) {
            if (step == u'c')
                target.click();
            else if (step == u'C')
                target.setChecked(true);
            else if (step == u'u')
                target.setChecked(false);
            else
                target.setEnabled(false);
        }
        QCOMPARE(group.checkedButton()->objectName(), checked);
        QCOMPARE(int(a.isChecked()) + int(b.isChecked()), 1);
        QCOMPARE(clicked.count(), clicks);
    }

    // The option checked before says so first, as in QButtonGroup.
    void previousOptionTogglesFirst()
    {
        QObject form;
        OptionGroup group(&form);
        OptionButton a(&form, QStringLiteral("a")), b(&form, QStringLiteral("b"));
        group.addButton(&a);
        group.addButton(&b);
        a.setChecked(true);
        QStringList order;
        connect(&a, &OptionButton::toggled, this, [&](bool on) { order << (on ? "a on" : "a off"); });
        connect(&b, &OptionButton::toggled, this, [&](bool on) { order << (on ? "b on" : "b off"); });
        b.click();
        QCOMPARE(order, (QStringList{"a off", "b on"}));
    }

    void textBoxChanges()
    {
        QObject form;
        TextBox box(&form, QStringLiteral("box"), QStringLiteral("0"));
        QSignalSpy changed(&box, &TextBox::textChanged);
        QStringList seenInside;
        connect(&box, &TextBox::textChanged, this, [&] { seenInside << box.text(); });
        QList<double> valuesInside; // the number follows the text, even inside the handler
        connect(&box, &TextBox::textChanged, this, [&] { valuesInside << box.value(); });
        QCOMPARE(box.value(), 0.0);
        box.setText(QStringLiteral("0")); // the same text: no change
        box.setText(QStringLiteral("12"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(seenInside, QStringList{"12"}); // raised at once, the new text in place
        QCOMPARE(box.value(), 12.0);
        box.edit(QStringLiteral("123"));
        QCOMPARE(box.value(), 123.0);
        QCOMPARE(valuesInside, (QList<double>{12.0, 123.0}));
        QVERIFY(box.isModified());
        box.setText(QStringLiteral("123")); // unchanged, yet the program's now
        QVERIFY(!box.isModified());
        QCOMPARE(changed.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestControls)
#include "tst_controls.moc"
