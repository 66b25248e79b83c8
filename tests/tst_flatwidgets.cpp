#include <algorithm>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "cflatdialog.h"
#include "cflatmessage.h"
#include "modalanswerer.h"
#include "widgetresources.h"

class TestFlatWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void boxReturnCodes_data();
    void boxReturnCodes();
    void messageLabelSelectable();
    void answererReadsMessageAndTitle();
    void answererReportsMissingModal();

    void flatDialogFrame();
    void closeButtonGoesThroughVirtualSlot();
    void dragOnlyByTitleBar_data();
    void dragOnlyByTitleBar();
    void noTitleBarCannotBeDragged();
    void explicitPositionIsUsed();
};

namespace {

class CountingDialog : public CFlatDialog
{
public:
    using CFlatDialog::CFlatDialog;
    int closeCalls = 0;
    void on_closeClicked() override { ++closeCalls; }
};

QPoint pointIn(QWidget *dialog, QWidget *child)
{
    return child->mapTo(dialog, QPoint(child->width() / 2, child->height() / 2));
}

} // namespace

void TestFlatWidgets::initTestCase()
{
    initWidgetResources();
    qApp->setStyleSheet(flatStyleSheet());
    QVERIFY(!flatStyleSheet().isEmpty());
}

void TestFlatWidgets::boxReturnCodes_data()
{
    QTest::addColumn<bool>("question");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("expected");

    QTest::newRow("information ok") << false << "m_pbOk" << int(QMessageBox::Ok);
    QTest::newRow("information title bar close") << false << ModalAnswerer::CloseButton << int(QMessageBox::Ok);
    QTest::newRow("information escape") << false << ModalAnswerer::Reject << int(QMessageBox::Ok);
    QTest::newRow("question yes") << true << "Yes" << int(QMessageBox::Yes);
    QTest::newRow("question no") << true << "No" << int(QMessageBox::No);
    QTest::newRow("question title bar close") << true << ModalAnswerer::CloseButton << int(QMessageBox::No);
}

void TestFlatWidgets::boxReturnCodes()
{
    QFETCH(bool, question);
    QFETCH(QString, button);
    QFETCH(int, expected);

    ModalAnswerer answerer;
    answerer.click(button);
    const int result = question ? CFlatMessage::question(nullptr, QStringLiteral("t"), QStringLiteral("x"))
                                : CFlatMessage::information(nullptr, QStringLiteral("t"), QStringLiteral("x"));
    QCOMPARE(result, expected);
    QVERIFY2(answerer.failures().isEmpty(), qPrintable(answerer.failures().join("; ")));
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().className, QStringLiteral("CFlatMessage"));
    // The box is gone after the call.
    QVERIFY(!QApplication::activeModalWidget());
    const QWidgetList windows = qApp->topLevelWidgets();
    QVERIFY(std::none_of(windows.begin(), windows.end(), [](QWidget *w) { return qobject_cast<CFlatMessage *>(w); }));
}

void TestFlatWidgets::messageLabelSelectable()
{
    for (bool question : {false, true}) {
        Qt::TextInteractionFlags flags;
        bool sawOk = false, sawYes = false;
        ModalAnswerer answerer;
        answerer.answerWith([&](QWidget *modal) {
            flags = modal->findChild<QLabel *>(QStringLiteral("m_lbMessage"))->textInteractionFlags();
            sawOk = modal->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->isVisible();
            sawYes = modal->findChild<QPushButton *>(QStringLiteral("m_pbYes"))->isVisible();
            qobject_cast<QDialog *>(modal)->reject();
        });
        if (question)
            CFlatMessage::question(nullptr, QStringLiteral("t"), QStringLiteral("x"));
        else
            CFlatMessage::information(nullptr, QStringLiteral("t"), QStringLiteral("x"));
        QCOMPARE(bool(flags & Qt::TextSelectableByMouse), !question);
        QCOMPARE(sawOk, !question);
        QCOMPARE(sawYes, question);
    }
}

void TestFlatWidgets::answererReadsMessageAndTitle()
{
    ModalAnswerer answerer;
    answerer.click("m_pbOk");
    answerer.click("m_pbNo");
    CFlatMessage::information(nullptr, QStringLiteral("ERROR"), QStringLiteral("first"));
    CFlatMessage::question(nullptr, QStringLiteral("confirm"), QStringLiteral("second"));
    QVERIFY(answerer.allAnswered());
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen().at(0).title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().at(0).text, QStringLiteral("first"));
    QCOMPARE(answerer.seen().at(1).title, QStringLiteral("confirm"));
    QCOMPARE(answerer.seen().at(1).text, QStringLiteral("second"));
}

void TestFlatWidgets::answererReportsMissingModal()
{
    ModalAnswerer answerer(100);
    answerer.click("m_pbOk");
    QVERIFY(!answerer.waitUntilAnswered(2000) || !answerer.failures().isEmpty());
    QCOMPARE(answerer.failures().size(), 1);
}

void TestFlatWidgets::flatDialogFrame()
{
    CFlatDialog dialog(QStringLiteral("Title"), nullptr, 0, 0, false);
    QCOMPARE(dialog.objectName(), QStringLiteral("FlatDialog"));
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(dialog.windowFlags() & Qt::Dialog);
    QCOMPARE(dialog.m_lbTitle->text(), QStringLiteral("Title"));
    dialog.setTitle(QStringLiteral("Other"));
    QCOMPARE(dialog.m_lbTitle->text(), QStringLiteral("Other"));
    QVERIFY(!dialog.m_tbClose->icon().isNull());
    QVERIFY(dialog.m_border->graphicsEffect());
    QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.m_titleBar->isVisible());
    QCOMPARE(dialog.m_titleBar->height(), 25);
}

void TestFlatWidgets::closeButtonGoesThroughVirtualSlot()
{
    CountingDialog dialog(QStringLiteral("t"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.m_tbClose->click();
    QCOMPARE(dialog.closeCalls, 1);
    QVERIFY(dialog.isVisible());

    CFlatDialog plain(QStringLiteral("t"));
    QSignalSpy rejected(&plain, &QDialog::rejected);
    plain.show();
    plain.m_tbClose->click();
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!plain.isVisible());
}

void TestFlatWidgets::dragOnlyByTitleBar_data()
{
    QTest::addColumn<QString>("pressOn");
    QTest::addColumn<bool>("moves");
    QTest::newRow("title bar") << "m_titleBar" << true;
    QTest::newRow("title label") << "m_lbTitle" << true;
    QTest::newRow("content") << "m_content" << false;
}

void TestFlatWidgets::dragOnlyByTitleBar()
{
    QFETCH(QString, pressOn);
    QFETCH(bool, moves);

    CFlatDialog dialog(QStringLiteral("t"), nullptr, 100, 100);
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();
    auto *target = dialog.findChild<QWidget *>(pressOn);
    QVERIFY(target);
    const QPoint press = pointIn(&dialog, target);

    QMouseEvent down(QEvent::MouseButtonPress, press, dialog.mapToGlobal(press), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&dialog, &down);
    const QPoint to = press + QPoint(40, 30);
    QMouseEvent move(QEvent::MouseMove, to, dialog.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);

    QCOMPARE(dialog.pos(), moves ? start + QPoint(40, 30) : start);

    // A press outside the title bar ends a drag begun earlier.
    if (moves) {
        const QPoint inContent = pointIn(&dialog, dialog.m_content);
        QMouseEvent down2(QEvent::MouseButtonPress, inContent, dialog.mapToGlobal(inContent), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &down2);
        const QPoint before = dialog.pos();
        const QPoint to2 = inContent + QPoint(25, 25);
        QMouseEvent move2(QEvent::MouseMove, to2, dialog.mapToGlobal(to2), Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&dialog, &move2);
        QCOMPARE(dialog.pos(), before);
    }
}

void TestFlatWidgets::noTitleBarCannotBeDragged()
{
    CFlatDialog dialog(QStringLiteral("t"), nullptr, 50, 60, true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!dialog.m_titleBar->isVisible());
    const QPoint start = dialog.pos();
    const QPoint press(10, 5);
    QMouseEvent down(QEvent::MouseButtonPress, press, dialog.mapToGlobal(press), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&dialog, &down);
    const QPoint to = press + QPoint(40, 30);
    QMouseEvent move(QEvent::MouseMove, to, dialog.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    QCOMPARE(dialog.pos(), start);
}

void TestFlatWidgets::explicitPositionIsUsed()
{
    CFlatDialog dialog(QStringLiteral("t"), nullptr, 123, 77);
    QCOMPARE(dialog.pos(), QPoint(123, 77));
}

QTEST_MAIN(TestFlatWidgets)
#include "tst_flatwidgets.moc"
