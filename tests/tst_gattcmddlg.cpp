#include "cgattcmddlg.h"
#include "cmsgfield.h"
#include "cvalidatetextedit.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "modalanswerer.h"

#include <QAbstractItemModel>
#include <QFrame>
#include <QLoggingCategory>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

// A console of connection 3 on the simulated dongle.
struct ConsoleRig : LinkRig
{
    explicit ConsoleRig(const QString &groupFile = CGattCmdDlg::DefaultGroupFile)
        : LinkRig(QStringLiteral("gattcmd"), 10)
    {
        console = std::make_unique<CGattCmdDlg>(&link, &logs, quint8(3), nullptr, groupFile);
        console->resize(400, 527);
        console->show();
    }

    QTreeView *tree() const { return console->findChild<QTreeView *>(QStringLiteral("treeViewMsg")); }
    template <typename T>
    T *child(const char *name) const
    {
        return console->findChild<T *>(QString::fromLatin1(name));
    }

    // Clicks the first group, or the first command of any group, with that text.
    bool click(const QString &text, bool group = false)
    {
        QAbstractItemModel *model = tree()->model();
        for (int row = 0; model && row < model->rowCount(); ++row) {
            const QModelIndex groupIndex = model->index(row, 0);
            if (group && groupIndex.data().toString() == text) {
                emit tree()->clicked(groupIndex);
                return true;
            }
            for (int child = 0; !group && child < model->rowCount(groupIndex); ++child) {
                const QModelIndex command = model->index(child, 0, groupIndex);
                if (command.data().toString() == text) {
                    emit tree()->clicked(command);
                    return true;
                }
            }
        }
        return false;
    }

    bool parameterAreaShown() const { return child<QFrame>("frameField")->isVisible(); }
    bool listButtonsShown() const
    {
        return child<QToolButton>("toolButtonAddSubField")->isVisible()
            && child<QToolButton>("toolButtonRemoveSubField")->isVisible();
    }

    std::unique_ptr<CGattCmdDlg> console;
};

// Every message the process would print, debug output included, while it lives.
class OutputCapture
{
public:
    OutputCapture()
    {
        s_lines.clear();
        m_previousFilter = QLoggingCategory::installFilter(enableAll);
        s_previousFilter = m_previousFilter;
        m_previousHandler = qInstallMessageHandler(capture);
    }
    ~OutputCapture()
    {
        qInstallMessageHandler(m_previousHandler);
        QLoggingCategory::installFilter(m_previousFilter);
    }
    QStringList lines() const { return s_lines; }

private:
    static void capture(QtMsgType, const QMessageLogContext &, const QString &message) { s_lines << message; }
    static void enableAll(QLoggingCategory *category)
    {
        if (s_previousFilter)
            s_previousFilter(category);
        category->setEnabled(QtDebugMsg, true);
    }

    static QStringList s_lines;
    static QLoggingCategory::CategoryFilter s_previousFilter;
    QLoggingCategory::CategoryFilter m_previousFilter = nullptr;
    QtMessageHandler m_previousHandler = nullptr;
};
QStringList OutputCapture::s_lines;
QLoggingCategory::CategoryFilter OutputCapture::s_previousFilter = nullptr;

QString writeFile(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("gatt_down_link_command_group.xml"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

} // namespace

class TestGattCmdDlg : public QObject
{
    Q_OBJECT

private slots:
    void listsGroupsAndCommandsInFileOrder()
    {
        ConsoleRig rig;
        QStringList shown;
        QAbstractItemModel *model = rig.tree()->model();
        for (int group = 0; group < model->rowCount(); ++group) {
            const QModelIndex groupIndex = model->index(group, 0);
            shown << groupIndex.data().toString();
            for (int row = 0; row < model->rowCount(groupIndex); ++row)
                shown << QStringLiteral("  ") + model->index(row, 0, groupIndex).data().toString();
        }
        const QStringList expected{
            QStringLiteral("Primary Service Discovery"),
            QStringLiteral("  Discover All Primary Services"),
            QStringLiteral("  Discover Primary Services by UUID"),
            QStringLiteral("Relationship Service Discovery"),
            QStringLiteral("  Find Include Service"),
            QStringLiteral("Characteristic Discovery"),
            QStringLiteral("  Discover All Characteristics"),
            QStringLiteral("  Discover Characteristics by UUID"),
            QStringLiteral("Characteristic Descriptor Discovery"),
            QStringLiteral("  Discover All Characteristic Descriptors"),
            QStringLiteral("Read Characteristic Value"),
            QStringLiteral("  Read Characteristic Value"),
            QStringLiteral("  Read Using UUID Characteristic"),
            QStringLiteral("  Read Long Characteristic Value"),
            QStringLiteral("  Read Multiple Characteristic Values"),
            QStringLiteral("Write Characteristic Value"),
            QStringLiteral("  Write Characteristic Value without Response"),
            QStringLiteral("  Signed Write Characteristic Value without Response"),
            QStringLiteral("  Write Characteristic Value"),
            QStringLiteral("  Write Long Characteristic Value"),
            QStringLiteral("  Reliable Characteristic Value Writes"),
            QStringLiteral("Read Characteristic Descriptor"),
            QStringLiteral("  Read Characteristic Descriptor"),
            QStringLiteral("  Read Long Characteristic Descriptor"),
            QStringLiteral("Write Characteristic Descriptor"),
            QStringLiteral("  Write Characteristic Descriptor"),
            QStringLiteral("  Write Long Characteristic Descriptor"),
        };
        QCOMPARE(shown, expected);
        QVERIFY(rig.tree()->isHeaderHidden());
        QCOMPARE(rig.tree()->editTriggers(), QAbstractItemView::NoEditTriggers);

        // Every command is one the dongle's catalogue can send: ID and type as the file says.
        int discoveries = 0;
        for (const GattCommandGroup &group : rig.console->groups()) {
            for (const GattCommandInfo &command : group.commands) {
                QVERIFY2(command.ID.startsWith(QStringLiteral("03@")), qPrintable(command.name));
                discoveries += command.type == QStringLiteral("discover");
            }
        }
        QCOMPARE(discoveries, 6);
        QVERIFY(!rig.parameterAreaShown());
        QVERIFY(rig.recorder->lines().isEmpty());
    }

    void selectingShowsTheFormOfCommandsOnly_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("isCommand");
        QTest::addColumn<bool>("hasList");
        QTest::newRow("group") << QStringLiteral("Primary Service Discovery") << false << false;
        QTest::newRow("group named like its command") << QStringLiteral("Read Characteristic Descriptor") << false
                                                      << false;
        QTest::newRow("command") << QStringLiteral("Find Include Service") << true << false;
        QTest::newRow("handle list") << QStringLiteral("Read Multiple Characteristic Values") << true << true;
        QTest::newRow("write list") << QStringLiteral("Reliable Characteristic Value Writes") << true << true;
    }

    void selectingShowsTheFormOfCommandsOnly()
    {
        QFETCH(QString, item);
        QFETCH(bool, isCommand);
        QFETCH(bool, hasList);
        ConsoleRig rig;
        // A list command first, so that its buttons have to go again.
        QVERIFY(rig.click(QStringLiteral("Reliable Characteristic Value Writes")));
        QVERIFY(rig.listButtonsShown());

        QVERIFY(rig.click(item, !isCommand));
        QCOMPARE(rig.parameterAreaShown(), isCommand);
        QCOMPARE(rig.child<QFrame>("cmdDivisionLine")->isVisible(), isCommand);
        QCOMPARE(rig.listButtonsShown(), hasList);
        if (!isCommand)
            return;
        QCOMPARE(rig.child<QLabel>("labelFieldTitle")->text(), item + QStringLiteral(" Parameters"));
        QVERIFY(rig.child<QPushButton>("btnSend")->isVisible());
        QVERIFY(rig.console->currentField());
        QVERIFY(rig.console->currentField()->isVisible());
        // Only the chosen command's form is shown.
        int shownForms = 0;
        for (CmsgField *form : rig.console->findChildren<CmsgField *>())
            shownForms += form->isVisible();
        QCOMPARE(shownForms, 1);
        if (item == QStringLiteral("Find Include Service")) {
            QStringList titles;
            for (QLabel *label : rig.console->currentField()->findChildren<QLabel *>())
                titles << label->text();
            QVERIFY2(titles.contains(QStringLiteral("Start Handle")), qPrintable(titles.join(',')));
            QVERIFY2(titles.contains(QStringLiteral("End Handle")), qPrintable(titles.join(',')));
        }
    }

    void sendPutsTheCommandOnTheWire_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<bool>("discovery");
        // Forms start from their defaults: handles 0x0001.
        QTest::newRow("discover all characteristics")
            << QStringLiteral("Discover All Characteristics") << QStringLiteral("AA 03 08 05 00 03 01 00 01 00")
            << true;
        QTest::newRow("discover all primary services")
            << QStringLiteral("Discover All Primary Services") << QStringLiteral("AA 03 02 01 00 03") << true;
        QTest::newRow("read characteristic value")
            << QStringLiteral("Read Characteristic Value") << QStringLiteral("AA 03 0E 03 00 03 01 00") << false;
    }

    void sendPutsTheCommandOnTheWire()
    {
        QFETCH(QString, command);
        QFETCH(QString, frame);
        QFETCH(bool, discovery);
        ConsoleRig rig;
        QVERIFY(rig.open());
        QSignalSpy discovered(rig.console.get(), &CGattCmdDlg::sig_sendDicoverCmd);
        QVERIFY(rig.click(command));
        QTest::mouseClick(rig.child<QPushButton>("btnSend"), Qt::LeftButton);
        QTest::mouseClick(rig.child<QPushButton>("btnSend"), Qt::LeftButton);
        QVERIFY(rig.dongle.waitForFrames(2));
        const QString expected = FrameBuilder::toHex(FrameBuilder::withChecksum(FrameBuilder::fromHex(frame)));
        QCOMPARE(FrameBuilder::toHex(rig.dongle.receivedBytes().at(0)), expected);
        QCOMPARE(FrameBuilder::toHex(rig.dongle.receivedBytes().at(1)), expected);
        QCOMPARE(discovered.count(), discovery ? 2 : 0);
    }

    // Half a byte in a value is refused where it was typed, not completed
    // with a digit nobody typed; nothing goes out.
    void halfAByteIsNotSent()
    {
        ConsoleRig rig;
        QVERIFY(rig.open());
        QVERIFY(rig.click(QStringLiteral("Write Characteristic Value")));
        auto *value = rig.console->findChild<CValidateTextEdit *>();
        QVERIFY(value);
        value->setPlainText(QStringLiteral("12:3"));
        ModalAnswerer answerer;
        answerer.click(QStringLiteral("m_pbOk"));
        QTest::mouseClick(rig.child<QPushButton>("btnSend"), Qt::LeftButton);
        QCOMPARE(answerer.seen().value(0).text,
                 QStringLiteral("Value: \"12:3\" cannot be sent; enter whole bytes in hexadecimal, two digits a byte."));
        QVERIFY(!rig.dongle.waitForFrames(1, 300));
    }

    void aFailedSendIsLoggedAndStillAnnouncesADiscovery()
    {
        ConsoleRig rig; // port never opened
        QSignalSpy discovered(rig.console.get(), &CGattCmdDlg::sig_sendDicoverCmd);
        QVERIFY(rig.click(QStringLiteral("Find Include Service")));
        QTest::mouseClick(rig.child<QPushButton>("btnSend"), Qt::LeftButton);
        QVERIFY(rig.recorder->lines().contains(qMakePair(QStringLiteral("send find include service message failed"), 4)));
        QCOMPARE(discovered.count(), 1);
    }

    void badGroupFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<int>("groups");
        const QString parseFailed = QStringLiteral("parse xml fail: ");
        QTest::newRow("missing") << QByteArray()
                                 << QStringList{QStringLiteral("Open file faied: gatt_down_link_command_group.xml"),
                                                parseFailed}
                                 << 0;
        QTest::newRow("not xml") << QByteArray("<commandsGroup><group name=\"a\">")
                                 << QStringList{QStringLiteral("xml file is invalid: gatt_down_link_command_group.xml"),
                                                parseFailed}
                                 << 0;
        QTest::newRow("no groups") << QByteArray("<commandsGroup/>") << QStringList() << 0;
        QTest::newRow("comment between groups")
            << QByteArray("<commandsGroup><group name=\"A\"><command name=\"Find Include Service\" ID=\"03@06\"/></group>"
                          "<!-- more --><group name=\"B\"/></commandsGroup>")
            << QStringList() << 3;
    }

    void badGroupFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, errors);
        QFETCH(int, groups);
        QTemporaryDir dir;
        const QString path = content.isEmpty() ? dir.filePath(QStringLiteral("gatt_down_link_command_group.xml"))
                                               : writeFile(dir, content);
        ConsoleRig rig(path);
        QStringList logged;
        for (const auto &line : rig.recorder->lines()) {
            QVERIFY2(line.second == 4, qPrintable(line.first));
            logged << line.first;
        }
        QCOMPARE(logged.size(), errors.size());
        for (int i = 0; i < errors.size(); ++i)
            QVERIFY2(logged.at(i).startsWith(errors.at(i)), qPrintable(logged.at(i)));
        QCOMPARE(rig.console->groups().size(), groups);
        QAbstractItemModel *model = rig.tree()->model();
        QCOMPARE(model ? model->rowCount() : 0, groups);
        QVERIFY(!rig.parameterAreaShown());
    }

    // A group without commands has no form: clicking it after a command
    // hides "Send", and nothing is sent for it.
    void anEmptyGroupIsNotACommand()
    {
        QTemporaryDir dir;
        ConsoleRig rig(writeFile(dir, "<commandsGroup><group name=\"A\"><command name=\"Find Include Service\" "
                                      "ID=\"03@06\" type=\"readOrWrite\"/></group><!-- x --></commandsGroup>"));
        QVERIFY(rig.open());
        QVERIFY(rig.click(QStringLiteral("Find Include Service")));
        QVERIFY(rig.parameterAreaShown());
        emit rig.tree()->clicked(rig.tree()->model()->index(1, 0));
        QVERIFY(!rig.parameterAreaShown());
        rig.console->on_btnSend_clicked();
        QVERIFY(!rig.dongle.waitForFrames(1, 300));
    }

    // GATT answers are in the log; the console prints no copy of them.
    void uplinksAreNotPrinted()
    {
        ConsoleRig rig;
        QVERIFY(rig.openAndSync());
        const QByteArray text("a GATT answer");
        const int before = rig.uplinks.count();
        OutputCapture output;
        rig.dongle.sendUplink(FrameBuilder::frame(0xDD, 0x03, 0x0F, QByteArray(1, 3) + text));
        QVERIFY(rig.uplinks.waitFor(before + 1));
        QCoreApplication::processEvents();
        // The frame holds zero bytes, so a printed copy of it would be cut
        // short: nothing at all may come out.
        QVERIFY2(output.lines().isEmpty(), qPrintable(output.lines().join(QLatin1Char('|'))));
    }
};

QTEST_MAIN(TestGattCmdDlg)
#include "tst_gattcmddlg.moc"
