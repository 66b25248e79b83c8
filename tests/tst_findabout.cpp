#include "caboutdialog.h"
#include "modalanswerer.h"
#include "searchbox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestFindAbout : public QObject
{
    Q_OBJECT

private slots:
    void typingRestartsTheSearch();
    void buttonsEmitOnceWithTheBox_data();
    void buttonsEmitOnceWithTheBox();
    void aboutClosesAndKeepsItsSize();
};

void TestFindAbout::typingRestartsTheSearch()
{
    SearchBox box;
    box.m_matchRow = 4;
    box.m_matchColumn = 2;
    box.m_matchText = QStringLiteral("ab");
    box.findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(QStringLiteral("a"));
    QCOMPARE(box.m_matchRow, -1);
    QCOMPARE(box.m_matchColumn, -1);
    QCOMPARE(box.m_matchText, QStringLiteral("ab"));
    QCOMPARE(box.text(), QStringLiteral("a"));
    QCOMPARE(box.windowModality(), Qt::NonModal);
}

void TestFindAbout::buttonsEmitOnceWithTheBox_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("next");
    QTest::newRow("next") << "buttonNext" << true;
    QTest::newRow("previous") << "buttonPrevious" << false;
}

void TestFindAbout::buttonsEmitOnceWithTheBox()
{
    QFETCH(QString, button);
    QFETCH(bool, next);
    SearchBox box;
    QSignalSpy nextSpy(&box, &SearchBox::searchNext);
    QSignalSpy previousSpy(&box, &SearchBox::searchPrevious);
    box.findChild<QPushButton *>(button)->click();
    QCOMPARE(nextSpy.count(), next ? 1 : 0);
    QCOMPARE(previousSpy.count(), next ? 0 : 1);
    QSignalSpy &spy = next ? nextSpy : previousSpy;
    QCOMPARE(spy.at(0).at(0).value<SearchBox *>(), &box);
}

void TestFindAbout::aboutClosesAndKeepsItsSize()
{
    CAboutDialog about;
    QCOMPARE(about.size(), QSize(515, 290));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("pushButton"));
    QCOMPARE(about.exec(), int(QDialog::Accepted));
    QVERIFY(answerer.failures().isEmpty());
}

QTEST_MAIN(TestFindAbout)
#include "tst_findabout.moc"
