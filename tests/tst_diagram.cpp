#include "diagramwidget.h"

#include <QImage>
#include <QPixmap>
#include <QtTest>

static void initTestIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace {
const QString kBlue = QStringLiteral("color: rgb(24, 158, 222)");
const QString kGrey = QStringLiteral("color: rgb(150, 150, 150)");

QStringList lineStyles(const DiagramWidget &diagram)
{
    QStringList styles;
    for (const QFrame *line : {diagram.m_line1, diagram.m_line2, diagram.m_line3,
                               diagram.m_line4, diagram.m_line5, diagram.m_line6})
        styles << line->styleSheet();
    return styles;
}

bool showsIcon(const DiagramWidget &diagram, const QString &resource)
{
    const QPixmap shown = diagram.m_lbIcon->pixmap(Qt::ReturnByValue);
    return shown.toImage() == QPixmap(resource).toImage();
}

QStringList repeated(const QString &style)
{
    return QStringList() << style << style << style << style << style << style;
}

// Ticks are delivered by hand so the test does not depend on the 500 ms timer firing.
void tick(DiagramWidget &diagram, int timerId)
{
    QTimerEvent event(timerId);
    QCoreApplication::sendEvent(&diagram, &event);
}

int animationTimerId(DiagramWidget &diagram)
{
    // The animation timer is the widget's only timer; catch its id from the first real tick.
    struct Catcher : QObject {
        int id = -1;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Timer && id == -1)
                id = static_cast<QTimerEvent *>(event)->timerId();
            return false;
        }
    } catcher;
    diagram.installEventFilter(&catcher);
    QElapsedTimer waited;
    waited.start();
    while (catcher.id == -1 && waited.elapsed() < 10000)
        QTest::qWait(20);
    diagram.removeEventFilter(&catcher);
    return catcher.id;
}
}

class TestDiagram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsDisconnected();
    void formLayout();
    void connectedAndDisconnectedLooks();
    void animationAlternatesSegments();
    void stopAnimationOnConnect();
    void unknownStateStopsAnimationKeepsLook();
    void settingOneTwiceStartsOneTimer();
    void sameStateDoesNothing();
    void parameterTexts_data();
    void parameterTexts();
    void names();
};

void TestDiagram::initTestCase()
{
    initTestIcons();
}

void TestDiagram::startsDisconnected()
{
    DiagramWidget diagram;
    QCOMPARE(diagram.getState(), 2);
    QCOMPARE(lineStyles(diagram), repeated(kGrey));
    QVERIFY(showsIcon(diagram, QStringLiteral(":/icons/disconnected.png")));
}

void TestDiagram::formLayout()
{
    DiagramWidget diagram;
    QCOMPARE(diagram.objectName(), QStringLiteral("Diagram"));
    QCOMPARE(diagram.minimumSize(), QSize(360, 330));
    QCOMPARE(diagram.label_3->text(), QStringLiteral("Connection Diagram"));
    QCOMPARE(diagram.m_lbDongle->text(), QStringLiteral("Dongle"));
    QCOMPARE(diagram.m_lbDevice->text(), QStringLiteral("xxx"));
    QCOMPARE(diagram.m_lbDongleAddr->text(), QStringLiteral("xx:xx:xx:xx:xx:xx"));
    QCOMPARE(diagram.label_5->text(), QStringLiteral("Connection Parameters"));
    QCOMPARE(diagram.label_6->text(), QStringLiteral("  Connection Interval Minimum:"));
    QCOMPARE(diagram.label_9->text(), QStringLiteral("  Supervision Timeout:"));
    QCOMPARE(diagram.m_line1->geometry(), QRect(72, 73, 30, 2));
    QCOMPARE(diagram.m_line6->geometry(), QRect(242, 73, 30, 2));
    QCOMPARE(diagram.m_lbIcon->geometry(), QRect(162, 63, 20, 20));
    QCOMPARE(diagram.m_lbTimeout->geometry(), QRect(232, 293, 91, 31));
}

void TestDiagram::connectedAndDisconnectedLooks()
{
    DiagramWidget diagram;
    diagram.setState(0);
    QCOMPARE(diagram.getState(), 0);
    QCOMPARE(lineStyles(diagram), repeated(kBlue));
    QVERIFY(showsIcon(diagram, QStringLiteral(":/icons/connected.png")));

    diagram.setState(2);
    QCOMPARE(diagram.getState(), 2);
    QCOMPARE(lineStyles(diagram), repeated(kGrey));
    QVERIFY(showsIcon(diagram, QStringLiteral(":/icons/disconnected.png")));
}

void TestDiagram::animationAlternatesSegments()
{
    DiagramWidget diagram;
    diagram.setState(0);
    diagram.setState(1);
    QCOMPARE(diagram.getState(), 1);
    // Nothing changes before the first tick.
    QCOMPARE(lineStyles(diagram), repeated(kBlue));

    const int id = animationTimerId(diagram);
    QVERIFY(id != -1);
    // Two consecutive ticks give opposite patterns whatever the shared phase was.
    const QStringList first = lineStyles(diagram);
    for (int i = 0; i + 1 < first.size(); ++i)
        QVERIFY(first.at(i) != first.at(i + 1));
    tick(diagram, id);
    const QStringList second = lineStyles(diagram);
    for (int i = 0; i < first.size(); ++i)
        QVERIFY(first.at(i) != second.at(i));
    // The icon blinks with the pattern: connected exactly when the leftmost segment is blue.
    const bool firstLineBlue = second.at(0) == kBlue;
    QVERIFY(showsIcon(diagram, firstLineBlue ? QStringLiteral(":/icons/connected.png")
                                             : QStringLiteral(":/icons/disconnected.png")));
}

void TestDiagram::stopAnimationOnConnect()
{
    DiagramWidget diagram;
    diagram.setState(1);
    const int id = animationTimerId(diagram);
    diagram.setState(0);
    QCOMPARE(lineStyles(diagram), repeated(kBlue));
    // A stray tick of the stopped timer must not repaint the link.
    tick(diagram, id);
    QCOMPARE(lineStyles(diagram), repeated(kBlue));
    QTest::qWait(1200);
    QCOMPARE(lineStyles(diagram), repeated(kBlue));
    QVERIFY(showsIcon(diagram, QStringLiteral(":/icons/connected.png")));
}

void TestDiagram::unknownStateStopsAnimationKeepsLook()
{
    DiagramWidget diagram;
    diagram.setState(1);
    const int id = animationTimerId(diagram);
    const QStringList before = lineStyles(diagram);
    diagram.setState(5);
    QCOMPARE(diagram.getState(), 5);
    QCOMPARE(lineStyles(diagram), before);
    tick(diagram, id);
    QCOMPARE(lineStyles(diagram), before);
}

void TestDiagram::settingOneTwiceStartsOneTimer()
{
    DiagramWidget diagram;
    struct Counter : QObject {
        QSet<int> ids;
        int ticks = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Timer) {
                ids.insert(static_cast<QTimerEvent *>(event)->timerId());
                ++ticks;
            }
            return false;
        }
    } counter;
    diagram.installEventFilter(&counter);
    diagram.setState(1);
    diagram.setState(1);
    // Wait for ticks rather than for a fixed time: a second timer would have fired among them.
    QTRY_VERIFY_WITH_TIMEOUT(counter.ticks >= 3, 20000);
    QCOMPARE(counter.ids.size(), 1);
    diagram.setState(2);
    QCOMPARE(lineStyles(diagram), repeated(kGrey));
}

void TestDiagram::sameStateDoesNothing()
{
    DiagramWidget diagram;
    diagram.m_line1->setStyleSheet(QStringLiteral("marker"));
    diagram.setState(2);
    QCOMPARE(diagram.m_line1->styleSheet(), QStringLiteral("marker"));
}

void TestDiagram::parameterTexts_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("min 30") << "min" << 30.0 << "30ms";
    QTest::newRow("max 7.5") << "max" << 7.5 << "7.5ms";
    QTest::newRow("min 1.25") << "min" << 1.25 << "1.25ms";
    QTest::newRow("latency 0") << "latency" << 0.0 << "0";
    QTest::newRow("latency 499") << "latency" << 499.0 << "499";
    QTest::newRow("timeout 4000") << "timeout" << 4000.0 << "4000ms";
}

void TestDiagram::parameterTexts()
{
    QFETCH(QString, which);
    QFETCH(double, value);
    QFETCH(QString, text);
    DiagramWidget diagram;
    QLabel *label = nullptr;
    if (which == "min") {
        diagram.setConnIntervalMin(value);
        label = diagram.m_lbMin;
    } else if (which == "max") {
        diagram.setConnIntervalMax(value);
        label = diagram.m_lbMax;
    } else if (which == "latency") {
        diagram.setConnLatency(quint16(value));
        label = diagram.m_lbLatency;
    } else {
        diagram.setSupervisionTimeout(quint16(value));
        label = diagram.m_lbTimeout;
    }
    QCOMPARE(label->text(), text);
}

void TestDiagram::names()
{
    DiagramWidget diagram;
    diagram.setDongleName(QStringLiteral("Dongle1"));
    diagram.setDongleAddress(QStringLiteral("11:22:33:44:55:66"));
    diagram.setPeerInfo(QStringLiteral("Peer"));
    diagram.setPeerAddress(QStringLiteral("aa:bb:cc:dd:ee:ff"));
    QCOMPARE(diagram.m_lbDongle->text(), QStringLiteral("Dongle1"));
    QCOMPARE(diagram.m_lbDongleAddr->text(), QStringLiteral("11:22:33:44:55:66"));
    QCOMPARE(diagram.m_lbDevice->text(), QStringLiteral("Peer"));
    QCOMPARE(diagram.m_lbDeviceAddr->text(), QStringLiteral("aa:bb:cc:dd:ee:ff"));
}

QTEST_MAIN(TestDiagram)
#include "tst_diagram.moc"
