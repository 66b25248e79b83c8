#include "csmdilog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

// The pairing dialog's three ways out, each answering exactly once.
class TestPairingDialog : public QObject
{
    Q_OBJECT

    static QLineEdit *field(csmdilog *dialog) { return dialog->findChild<QLineEdit *>("lineEdit_number"); }
    static QLabel *attention(csmdilog *dialog) { return dialog->findChild<QLabel *>("labelAttention"); }

private slots:
    void initTestCase() { qRegisterMetaType<uint8_t>("uint8_t"); }

    void answers_data()
    {
        QTest::addColumn<QString>("shown");   // set by the page; empty: typed by the user
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("action");  // "ok", "cancel", "close", "escape"
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("flag");

        QTest::newRow("comparison below 100000, OK") << "000123" << "" << "ok" << true << "000123" << 1;
        QTest::newRow("seven digits refused") << "1234567" << "" << "ok" << false << "" << -1;
        QTest::newRow("seven digits, Cancel") << "1234567" << "" << "cancel" << true << "1234567" << 0;
        QTest::newRow("entry of six digits") << "" << "654321" << "ok" << true << "654321" << 1;
        QTest::newRow("entry of five digits refused") << "" << "65432" << "ok" << false << "" << -1;
        QTest::newRow("letters cannot be typed") << "" << "12ab34" << "ok" << false << "" << -1;
        QTest::newRow("entry of eight digits, Cancel") << "" << "12345678" << "cancel" << true << "12345678" << 0;
        QTest::newRow("close ignores the field") << "000123" << "" << "close" << true << "0" << 0;
        QTest::newRow("Escape ignores the field") << "" << "654321" << "escape" << true << "0" << 0;
    }
    void answers()
    {
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(QString, action);
        QFETCH(bool, closes);
        QFETCH(QString, value);
        QFETCH(int, flag);

        QPointer<csmdilog> dialog(new csmdilog(QStringLiteral("D: Input Passkey")));
        QSignalSpy answered(dialog.data(), &csmdilog::cmsdialogPair);
        QVERIFY(!field(dialog)->isEnabled());
        QCOMPARE(field(dialog)->placeholderText(), QStringLiteral("please enter 6-bit passkey"));
        if (shown.isEmpty()) {
            dialog->setNumberEnabled(true);
            QTest::keyClicks(field(dialog), typed);
        } else {
            dialog->setNumberText(shown);
        }
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.data()));

        if (action == QLatin1String("ok"))
            dialog->findChild<QPushButton *>("btn_Yes")->click();
        else if (action == QLatin1String("cancel"))
            dialog->findChild<QPushButton *>("btn_No")->click();
        else if (action == QLatin1String("close"))
            dialog->m_tbClose->click();
        else
            QTest::keyClick(dialog.data(), Qt::Key_Escape);

        if (!closes) {
            QCOMPARE(answered.count(), 0);
            QVERIFY(dialog->isVisible());
            QCOMPARE(attention(dialog)->text(), QStringLiteral("please enter 6-bit passkey"));
            QCOMPARE(attention(dialog)->palette().color(QPalette::WindowText), QColor(Qt::red));
            // Still refused; the way out that remains declines once.
            dialog->findChild<QPushButton *>("btn_Yes")->click();
            QCOMPARE(answered.count(), 0);
            dialog->m_tbClose->click();
            QCOMPARE(answered.count(), 1);
            QCOMPARE(answered.first().at(0).toString(), QStringLiteral("0"));
        } else {
            QCOMPARE(answered.count(), 1);
            QCOMPARE(answered.first().at(0).toString(), value);
            QCOMPARE(int(answered.first().at(1).value<uint8_t>()), flag);
        }
        QTRY_VERIFY(!dialog);
        QCOMPARE(answered.count(), 1);
    }
};

QTEST_MAIN(TestPairingDialog)
#include "tst_pairingdialog.moc"
