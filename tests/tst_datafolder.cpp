#include "datafolder.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void safeFolderName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Dongle1" << "Dongle1";
        QTest::newRow("slash") << "a/b" << "a_b";
        QTest::newRow("backslash") << "a\\b" << "a_b";
        QTest::newRow("parent") << ".." << "__";
        QTest::newRow("climb") << "../../etc" << "___.._etc";
        QTest::newRow("hidden") << ".x" << "_x";
        QTest::newRow("inner dot kept") << "a.b" << "a.b";
        QTest::newRow("control") << QString("a\nb\tc") << "a_b_c";
        QTest::newRow("empty") << "" << "_";
        QTest::newRow("unicode kept") << QString::fromUtf8("Dongle \xc3\xa9") << QString::fromUtf8("Dongle \xc3\xa9");
    }

    void safeFolderName()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(Platform::safeFolderName(name), expected);
    }

    void dataFolderIsWritable()
    {
        const QFileInfo info(Platform::dataFolder());
        QVERIFY(info.isDir());
        QVERIFY(info.isWritable());
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
