#include <algorithm>

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ccustomtableview.h"
#include "cflatdialog.h"
#include "cflatmessage.h"
#include "cstyledcombobox.h"
#include "modalanswerer.h"
#include "tflatscrollarea.h"
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
    void oneNoticeBoxPerParentAndTitle_data();
    void oneNoticeBoxPerParentAndTitle();

    void flatDialogFrame();
    void onlyFlatDialogsLeaveTheirMarginUnpainted_data();
    void onlyFlatDialogsLeaveTheirMarginUnpainted();
    void closeButtonGoesThroughVirtualSlot();
    void dragOnlyByTitleBar_data();
    void dragOnlyByTitleBar();
    void noTitleBarCannotBeDragged();
    void explicitPositionIsUsed();

    void overlayPageStep_data();
    void overlayPageStep();
    void overlayShownOnlyWhileHoveredAndScrollable();
    void overlayValuesFollowBothWays();
    void overlayGeometry_data();
    void overlayGeometry();
    void overlayOverEveryViewKind();
    void styledComboBoxDelegate();
    void tableToolTipOnlyForCutText_data();
    void tableToolTipOnlyForCutText();
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

void TestFlatWidgets::oneNoticeBoxPerParentAndTitle_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("shown");
    QTest::newRow("alone") << QStringList{"first"} << QStringLiteral("first");
    QTest::newRow("once more") << QStringList{"first", "first"}
                               << QStringLiteral("first\n\nCame once more while this box was open.");
    // A later text never hides an earlier one (a failure, then a success).
    QTest::newRow("another text") << QStringList{"first", "latest"} << QStringLiteral("first\n\nlatest");
    QTest::newRow("another text three times")
        << QStringList{"first", "latest", "latest", "latest"}
        << QStringLiteral("first\n\nlatest\n\nCame 2 more times while this box was open.");
    // Beyond the texts a box shows, further messages are counted.
    QStringList many;
    for (int i = 1; i <= CFlatMessage::MaxNoticeTexts + 2; ++i)
        many << QStringLiteral("text %1").arg(i);
    QStringList kept = many.mid(0, CFlatMessage::MaxNoticeTexts);
    kept.insert(1, QStringLiteral("Came once more while this box was open."));
    kept << QStringLiteral("3 more messages with other texts came while this box was open.");
    QTest::newRow("more texts than a box shows")
        << many + QStringList{"text 1", many.last()} << kept.join(QStringLiteral("\n\n"));
}

void TestFlatWidgets::oneNoticeBoxPerParentAndTitle()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, shown);
    QWidget page;
    QWidget otherPage;
    page.show();
    otherPage.show();
    auto boxes = [](QWidget *parent) { return parent->findChildren<CFlatMessage *>().size(); };

    for (const QString &text : texts)
        CFlatMessage::notify(&page, QStringLiteral("ATTENTION"), text);
    // Another title, and another page, have boxes of their own.
    CFlatMessage::notify(&page, QStringLiteral("ERROR"), QStringLiteral("other"));
    CFlatMessage::notify(&otherPage, QStringLiteral("ATTENTION"), QStringLiteral("other page"));
    QCOMPARE(boxes(&page), 2);
    QCOMPARE(boxes(&otherPage), 1);

    CFlatMessage *box = nullptr;
    for (CFlatMessage *candidate : page.findChildren<CFlatMessage *>()) {
        if (ModalAnswerer::describe(candidate).title == QLatin1String("ATTENTION"))
            box = candidate;
    }
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(ModalAnswerer::describe(box).text, shown);

    // A waiting box of the same title is not opened beside it: the call returns at once.
    QCOMPARE(CFlatMessage::information(&page, QStringLiteral("ATTENTION"), texts.first()), int(QMessageBox::Ok));
    QCOMPARE(boxes(&page), 2);

    // Once closed, the title opens a new box.
    box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
    QTRY_COMPARE(boxes(&page), 1);
    CFlatMessage::notify(&page, QStringLiteral("ATTENTION"), QStringLiteral("again"));
    QCOMPARE(boxes(&page), 2);
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
    // The shadow needs transparent window areas; without them no margin is left for it.
    const bool translucent = translucentWindowsSupported();
    QCOMPARE(dialog.testAttribute(Qt::WA_TranslucentBackground), translucent);
    QCOMPARE(dialog.m_border->graphicsEffect() != nullptr, translucent);
    QCOMPARE(dialog.horizontalLayout_2->contentsMargins(), translucent ? QMargins(0, 0, 5, 5) : QMargins());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.m_titleBar->isVisible());
    QCOMPARE(dialog.m_titleBar->height(), 25);
}

void TestFlatWidgets::onlyFlatDialogsLeaveTheirMarginUnpainted_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opaqueCorner");
    QTest::newRow("flat dialog") << "flat" << false;
    QTest::newRow("flat message box") << "message" << false;
    QTest::newRow("plain dialog") << "plain" << true;
    QTest::newRow("input dialog") << "input" << true;
    QTest::newRow("file dialog") << "file" << true;
}

void TestFlatWidgets::onlyFlatDialogsLeaveTheirMarginUnpainted()
{
    QFETCH(QString, kind);
    QFETCH(bool, opaqueCorner);

    QScopedPointer<QDialog> dialog;
    if (kind == QLatin1String("flat")) {
        dialog.reset(new CFlatDialog(QStringLiteral("t")));
    } else if (kind == QLatin1String("message")) {
        dialog.reset(new CFlatMessage);
    } else if (kind == QLatin1String("plain")) {
        dialog.reset(new QDialog);
        auto *layout = new QVBoxLayout(dialog.data());
        layout->addWidget(new QLabel(QStringLiteral("text"), dialog.data()));
    } else if (kind == QLatin1String("input")) {
        auto *input = new QInputDialog;
        input->setLabelText(QStringLiteral("label"));
        dialog.reset(input);
    } else {
        auto *file = new QFileDialog;
        file->setOption(QFileDialog::DontUseNativeDialog);
        dialog.reset(file);
    }
    if (!opaqueCorner && !translucentWindowsSupported())
        QSKIP("no transparent window areas here: the flat frame leaves no margin");
    dialog->resize(dialog->sizeHint().expandedTo(QSize(200, 100)));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.data()));

    // The bottom-right corner is the shadow margin of a flat dialog and plain
    // background (or a layout margin) of any other.
    const QImage image = dialog->grab().toImage();
    const QRgb corner = image.pixel(image.width() - 1, image.height() - 1);
    if (opaqueCorner) {
        QCOMPARE(qAlpha(corner), 255);
        QCOMPARE(QColor(corner), QColor(Qt::white));
    } else {
        QVERIFY2(qAlpha(corner) < 255, qPrintable(QString::number(qAlpha(corner))));
    }
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

namespace {

void enter(QWidget *view)
{
    QEvent event(QEvent::Enter);
    QApplication::sendEvent(view, &event);
}

void leave(QWidget *view)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(view, &event);
}

QString lines(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("line %1 with some text to read").arg(i);
    return list.join(QLatin1Char('\n'));
}

} // namespace

void TestFlatWidgets::overlayPageStep_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("pageStep");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("0") << 0 << 0 << true;
    QTest::newRow("2") << 2 << 0 << false;
    QTest::newRow("3") << 3 << 1 << false;
    QTest::newRow("100") << 100 << 33 << false;
}

void TestFlatWidgets::overlayPageStep()
{
    QFETCH(int, maximum);
    QFETCH(int, pageStep);
    QFETCH(bool, hidden);

    QWidget parent;
    CFlatScrollBar bar(Qt::Vertical, &parent);
    QVERIFY(bar.isHidden());
    QCOMPARE(bar.maximum(), 0);
    bar.show();
    bar.onRangeChanged(5, maximum);
    QCOMPARE(bar.minimum(), 0);
    QCOMPARE(bar.maximum(), maximum);
    QCOMPARE(bar.pageStep(), pageStep);
    QCOMPARE(bar.isHidden(), hidden);
}

void TestFlatWidgets::overlayShownOnlyWhileHoveredAndScrollable()
{
    TFlatScrollArea<QPlainTextEdit> view;
    view.resize(200, 120);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(view.testAttribute(Qt::WA_MouseTracking));

    // Content that fits: nothing shows, also while hovered.
    view.setPlainText(QStringLiteral("short"));
    QApplication::processEvents();
    enter(&view);
    QVERIFY(!view.verticalOverlay()->isVisible());
    QVERIFY(!view.horizontalOverlay()->isVisible());

    // Content grows while hovered: still hidden until the mouse comes back.
    view.setPlainText(lines(200));
    QApplication::processEvents();
    QVERIFY(view.verticalScrollBar()->maximum() > 0);
    QCOMPARE(view.verticalOverlay()->maximum(), view.verticalScrollBar()->maximum());
    QVERIFY(!view.verticalOverlay()->isVisible());
    leave(&view);
    enter(&view);
    QVERIFY(view.verticalOverlay()->isVisible());
    leave(&view);
    QVERIFY(!view.verticalOverlay()->isVisible());

    // Content that shrinks to fit hides the bar at once.
    enter(&view);
    QVERIFY(view.verticalOverlay()->isVisible());
    view.clear();
    QApplication::processEvents();
    QVERIFY(!view.verticalOverlay()->isVisible());
}

void TestFlatWidgets::overlayValuesFollowBothWays()
{
    TFlatScrollArea<QPlainTextEdit> view;
    view.setLineWrapMode(QPlainTextEdit::NoWrap);
    view.resize(200, 120);
    view.setPlainText(lines(200));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(view.verticalScrollBar()->maximum() > 20);

    // Dragging the overlay scrolls the view.
    view.verticalOverlay()->setValue(10);
    QCOMPARE(view.verticalScrollBar()->value(), 10);

    // Scrolling the view by keyboard moves the overlay.
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QApplication::processEvents();
    QVERIFY(view.verticalScrollBar()->value() > view.verticalScrollBar()->maximum() / 2);
    QCOMPARE(view.verticalOverlay()->value(), view.verticalScrollBar()->value());
}

void TestFlatWidgets::overlayGeometry_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("topInset");
    QTest::addColumn<int>("leftInset");
    QTest::newRow("small") << QSize(120, 80) << 0 << 0;
    QTest::newRow("large") << QSize(500, 300) << 0 << 0;
    QTest::newRow("below a header row") << QSize(500, 300) << 25 << 0;
    QTest::newRow("beside a header column") << QSize(500, 300) << 0 << 40;
}

void TestFlatWidgets::overlayGeometry()
{
    QFETCH(QSize, size);
    QFETCH(int, topInset);
    QFETCH(int, leftInset);
    TFlatScrollArea<QTextBrowser> view;
    view.setFrameShape(QFrame::NoFrame);
    view.show();
    view.resize(size);
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QApplication::processEvents();
    // Insets set after the view is laid out move the bars at once.
    view.setTopInset(topInset);
    view.setLeftInset(leftInset);
    const int w = size.width(), h = size.height();
    QCOMPARE(view.verticalOverlay()->geometry(), QRect(w - 11, topInset, 10, h - topInset));
    QCOMPARE(view.horizontalOverlay()->geometry(), QRect(leftInset, h - 11, w - leftInset, 10));
    QCOMPARE(view.verticalOverlay()->parentWidget(), static_cast<QWidget *>(&view));
}

void TestFlatWidgets::overlayOverEveryViewKind()
{
    // Each kind of view gets both bars and keeps its own resize handling.
    QStandardItemModel model(200, 30);
    TFlatScrollArea<QTableView> table;
    table.setModel(&model);
    TFlatScrollArea<QTreeView> tree;
    tree.setModel(&model);
    TFlatScrollArea<QTreeWidget> treeWidget;
    TFlatScrollArea<QTableWidget> tableWidget;
    TFlatScrollArea<QListWidget> list;
    for (int i = 0; i < 100; ++i)
        list.addItem(QString::number(i));
    TFlatScrollArea<QScrollArea> area;
    auto *inner = new QWidget;
    inner->setMinimumSize(1000, 1000);
    area.setWidget(inner);
    TFlatScrollArea<QTextEdit> edit;

    const QList<QAbstractScrollArea *> views{&table, &tree, &treeWidget, &tableWidget, &list, &area, &edit};
    for (QAbstractScrollArea *view : views) {
        view->resize(150, 100);
        view->show();
    }
    QApplication::processEvents();
    for (QAbstractScrollArea *view : {static_cast<QAbstractScrollArea *>(&table), static_cast<QAbstractScrollArea *>(&list),
                                       static_cast<QAbstractScrollArea *>(&area)}) {
        enter(view);
        const auto overlays = view->findChildren<CFlatScrollBar *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(overlays.size(), 2);
        bool anyVisible = false;
        for (CFlatScrollBar *bar : overlays)
            anyVisible = anyVisible || bar->isVisible();
        QVERIFY2(anyVisible, view->metaObject()->className());
        leave(view);
    }
}

void TestFlatWidgets::styledComboBoxDelegate()
{
    CStyledComboBox combo;
    combo.addItems({QStringLiteral("a"), QStringLiteral("b")});
    QVERIFY(qobject_cast<QStyledItemDelegate *>(combo.itemDelegate()));
    QVERIFY(combo.itemDelegate()->parent() != &combo); // the member, not Qt's default
}

void TestFlatWidgets::tableToolTipOnlyForCutText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("tipShown");
    QTest::newRow("fits") << "ab" << 0 << false;
    QTest::newRow("cut") << "a rather long text that cannot fit into a narrow column" << 0 << true;
    QTest::newRow("below last row") << "a rather long text that cannot fit into a narrow column" << -1 << false;
}

void TestFlatWidgets::tableToolTipOnlyForCutText()
{
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(bool, tipShown);

    QStandardItemModel model(1, 1);
    auto *item = new QStandardItem(text);
    item->setToolTip(QStringLiteral("the tip"));
    model.setItem(0, 0, item);

    CCustomTableView view;
    view.setModel(&model);
    view.setColumnWidth(0, 60);
    view.resize(300, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QToolTip::hideText();
    QApplication::processEvents();

    const QPoint pos = row >= 0 ? view.visualRect(model.index(row, 0)).center() : QPoint(20, 250);
    QHelpEvent help(QEvent::ToolTip, pos, view.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view.viewport(), &help);
    QCOMPARE(QToolTip::isVisible() && QToolTip::text() == QStringLiteral("the tip"), tipShown);
    QToolTip::hideText();
}

QTEST_MAIN(TestFlatWidgets)
#include "tst_flatwidgets.moc"
