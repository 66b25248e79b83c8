#include "ctestmodepage.h"

#include "ccommand.h"
#include "cflatmessage.h"
#include "columnfitter.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"
#include "textfit.h"
#include "uplinkfield.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QElapsedTimer>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

const char CTestModePage::RunningLook[] = "background-color:rgb(24,158,222);color:rgb(255,255,255)";
const char CTestModePage::NormalLook[] = "background-color:rgb(220,220,220);color:rgb(0,0,0)";
const char CTestModePage::UnavailableLook[] = "background-color:rgb(228,228,228);color:rgb(180,180,180)";
const char CTestModePage::PressedLook[] =
    "QPushButton:pressed{backgroud-color:rgb(24,158,222); color:rgb(255,255,255) }";

namespace {
qint64 monotonicMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}
} // namespace

CTestModePage::CTestModePage(CMsg *link, LogManager *logger, QWidget *parent)
    : TestModePage(parent)
    , m_msg(link)
    , m_logger(logger)
    , m_msgMap(this, logger)
    , m_wire(link, logger, QStringLiteral(".\\ctestmodepage"))
    , m_clock(&monotonicMs)
{
}

CTestModePage::~CTestModePage() = default;

void CTestModePage::setUpPage(const Controls &controls, const Texts &texts)
{
    m_ui = controls;
    m_texts = texts;
    for (QPushButton *button : {m_ui.set, m_ui.send, m_ui.clearRx})
        button->setStyleSheet(QString::fromLatin1(PressedLook));
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        TextFit::keepWhole(edit);
    initRxTable();
    initMsgMap();

    connect(this, &CTestModePage::sig_send_msg, this, &CTestModePage::onSendMsg);
    connect(this, &CTestModePage::sig_send_cmd, this, &CTestModePage::onSendCmd);
    connect(this, &CTestModePage::sig_receive_data_display, this, &CTestModePage::onRcvDataDisplay);
    connect(this, &CTestModePage::sig_start_mode, this, &CTestModePage::onStartMode);
    connect(this, &CTestModePage::sig_stop_mode, this, &CTestModePage::onStopMode);
    connect(this, &CTestModePage::sig_stop_tx, this, &CTestModePage::onStopTX);
    connect(this, &CTestModePage::sig_stop_rx, this, &CTestModePage::onStopRX);
    connect(this, &CTestModePage::sig_start_tx, this, &CTestModePage::onStartTX);
    connect(this, &CTestModePage::sig_start_rx, this, &CTestModePage::onStartRX);
    connect(this, &CTestModePage::sig_tx_progress, this, &CTestModePage::onTxProgress);
    connect(&m_txTimer, &QTimer::timeout, this, &CTestModePage::onTxTimeOut);

    setRxGroupEnabled(false);
    setTxGroupEnabled(false);
}

void CTestModePage::initRxTable()
{
    QTableWidget *table = m_ui.table;
    table->setColumnCount(m_texts.columns.size());
    table->setHorizontalHeaderLabels(m_texts.columns);
    QFont font = table->horizontalHeader()->font();
    font.setPointSize(12);
    font.setWeight(75);
    table->horizontalHeader()->setFont(font);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QVector<int> widths{100};
    for (int column = 1; column + 1 < m_texts.columns.size(); ++column)
        widths << 70;
    ColumnFitter::attach(table, widths, ColumnFitter::TitlesOnly, ColumnFitter::StretchLast);
    table->setShowGrid(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    table->setRowCount(RxRows);
    for (int row = 0; row < RxRows; ++row) {
        auto *item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        table->setItem(row, 0, item);
    }
}

void CTestModePage::initMsgMap()
{
    const QString layer = QStringLiteral("%1").arg(m_texts.layer, 2, 16, QLatin1Char('0')).toUpper();
    m_msgMap.add(QStringLiteral("DD@%1@05").arg(layer), &CTestModePage::receiveDataProc);
}

void CTestModePage::log(const QString &text, int level) const
{
    m_wire.log(text, level);
}

// --- conversions and checks shared by both pages ---

quint32 CTestModePage::toU32(const QString &text, int base)
{
    bool ok = false;
    const quint32 value = text.toUInt(&ok, base);
    return ok ? value : 0;
}

bool CTestModePage::isHexText(const QString &text)
{
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    }
    return true;
}

QByteArray CTestModePage::payloadBytes(const QString &text, int length)
{
    const QString digits = text.left(2 * length);
    QByteArray bytes = CUtil::hexPairBytes(digits);
    // "abc" has always gone out as ab 0c.
    if (digits.size() % 2 != 0)
        bytes += CUtil::hexBytes(digits.right(1));
    return bytes + QByteArray(qMax(0, length - bytes.size()), '\0');
}

qint8 CTestModePage::txPowerByte(const QString &text)
{
    return qint8(quint8(text.toInt() & 0xFF));
}

QString CTestModePage::txPowerRangeError(const QString &text)
{
    const int power = txPowerByte(text);
    return power < -20 || power > 7 ? QStringLiteral("tx power is out of range (-20~7) \n") : QString();
}

QString CTestModePage::hexText(const QByteArray &bytes)
{
    return CUtil::hexText(bytes).toUpper();
}

bool CTestModePage::showInputError(const QString &error)
{
    if (error.isEmpty())
        return false;
    CFlatMessage::information(this, QStringLiteral("ERROR"), error);
    return true;
}

// --- looks ---

void CTestModePage::setButtonState(QPushButton *button, bool on, const QString &textOn, const QString &textOff)
{
    button->setText(on ? textOn : textOff);
    button->setStyleSheet(QString::fromLatin1(on ? RunningLook : NormalLook));
}

void CTestModePage::setRxGroupEnabled(bool enabled)
{
    m_ui.rx->setEnabled(enabled);
    m_ui.startRx->setStyleSheet(QString::fromLatin1(enabled ? NormalLook : UnavailableLook));
}

void CTestModePage::setTxGroupEnabled(bool enabled)
{
    m_ui.tx->setEnabled(enabled);
    m_ui.send->setStyleSheet(QString::fromLatin1(enabled ? NormalLook : UnavailableLook));
}

void CTestModePage::setLockedEditsEnabled(bool enabled)
{
    for (QLineEdit *edit : qAsConst(m_ui.lockedWhileRunning))
        edit->setEnabled(enabled);
}

// --- mode ---

void CTestModePage::toggleMode()
{
    if (!m_isModeRunning && showInputError(checkModeInput()))
        return;
    m_isModeRunning = !m_isModeRunning;
    setButtonState(m_ui.start, m_isModeRunning, m_texts.stopButton, m_texts.startButton);
    if (m_isModeRunning) {
        emit sig_start_mode();
    } else {
        m_txTimer.stop();
        if (m_isTxRunning) {
            m_isTxRunning = false;
            m_ui.send->setText(QStringLiteral("Send"));
        }
        if (m_isRxRunning) {
            m_isRxRunning = false;
            m_ui.startRx->setText(QStringLiteral("Start Rx"));
        }
        emit sig_stop_mode();
    }
    setLockedEditsEnabled(!m_isModeRunning);
    setRxGroupEnabled(m_isModeRunning);
    setTxGroupEnabled(m_isModeRunning);
}

void CTestModePage::stopMode()
{
    if (!m_isModeRunning)
        return;
    emit sig_stop_mode();
    m_isModeRunning = false;
}

void CTestModePage::resetDialog(bool enableStart)
{
    // A reset dongle answers nothing it was sent before.
    m_stopsUnanswered = 0;
    if (m_isModeRunning) {
        m_isModeRunning = false;
        m_isTxRunning = false;
        m_isRxRunning = false;
        m_txTimer.stop();
        m_ui.start->setText(m_texts.startButton);
        m_ui.send->setText(QStringLiteral("Send"));
        m_ui.startRx->setText(QStringLiteral("Start Rx"));
        setLockedEditsEnabled(true);
        setRxGroupEnabled(false);
        setTxGroupEnabled(false);
    }
    m_ui.start->setStyleSheet(QString::fromLatin1(enableStart ? NormalLook : UnavailableLook));
}

void CTestModePage::onStartMode()
{
    QMap<QString, QVariant> fields = startModeFields();
    emit sig_send_msg(m_texts.startMode, fields);
}

void CTestModePage::onStopMode()
{
    emit sig_stop_tx();
    emit sig_stop_rx();
    emit sig_send_cmd(m_texts.stopMode);
}

void CTestModePage::on_btn_set_clicked()
{
    if (showInputError(checkSetInput()))
        return;
    QMap<QString, QVariant> fields = setParameterFields();
    emit sig_send_msg(m_texts.setParameters, fields);
}

void CTestModePage::onSendMsg(const QString &name, QMap<QString, QVariant> &fields)
{
    const auto answer = [this](void (CTestModePage::*handler)(const QByteArray &)) {
        return PageWire::Answer(this, [this, handler](const QByteArray &frame) { (this->*handler)(frame); });
    };
    // A run is acknowledged once per packet, at its own pace, not in its turn among the other commands.
    if (name == m_texts.transmit) {
        m_wire.send(name, fields, {}, answer(&CTestModePage::txAckProc).paced());
        return;
    }
    if (name == m_texts.stopTransmit) {
        if (m_wire.send(name, fields, {}, answer(&CTestModePage::stopTransmitAnswered)))
            ++m_stopsUnanswered;
        return;
    }
    if (name == m_texts.startMode)
        m_wire.send(name, fields, {}, answer(&CTestModePage::modeAckProc));
    else if (name == m_texts.startReceive)
        m_wire.send(name, fields, {}, answer(&CTestModePage::rxAckProc));
    else
        m_wire.send(name, fields);
}

void CTestModePage::onSendCmd(const QString &name)
{
    QMap<QString, QVariant> fields;
    onSendMsg(name, fields);
}

// --- transmit run ---

void CTestModePage::on_btn_send_clicked()
{
    if (!m_isTxRunning) {
        if (showInputError(checkTxInput()))
            return;
        m_isTxRunning = true;
        setButtonState(m_ui.send, true, QStringLiteral("Stop Tx"), QStringLiteral("Send"));
        setRxGroupEnabled(false);
        m_txCount = 0;
        m_ui.txNum->setText(QStringLiteral("0"));
        emit sig_start_tx();
        return;
    }
    m_isTxRunning = false;
    setButtonState(m_ui.send, false, QStringLiteral("Stop Tx"), QStringLiteral("Send"));
    setRxGroupEnabled(true);
    m_txTimer.stop();
    emit sig_stop_tx();
}

void CTestModePage::onStartTX()
{
    m_repeatTime = toU32(m_ui.repeatTime->text(), 10);
    const quint64 interval = toU32(m_ui.repeatInterval->text(), 10);
    const int length = int(toU32(m_ui.length->text(), 16) & 0xFF);
    // Length decides what goes out; typed bytes beyond it are left out with a word.
    const int typedBytes = (m_ui.payload->text().size() + 1) / 2;
    if (typedBytes > length)
        log(QStringLiteral("The payload typed has %1 bytes and Length is %2: only the first %3 are sent.")
                .arg(typedBytes)
                .arg(hexText(QByteArray(1, char(length))))
                .arg(length),
            LogLevel::Warn);
    QMap<QString, QVariant> fields = transmitFields(payloadBytes(m_ui.payload->text(), length));
    m_txTimer.stop();
    m_txTimer.setInterval(m_watchdogTickMs);
    m_txTimer.start();
    m_lastTick = quint64(m_clock());
    // Twice the interval in 64 bits: no overflow for intervals of 2^31 ms and more.
    m_waitMs = interval < MinimumWaitMs ? MinimumWaitMs : 2 * interval;
    emit sig_send_msg(m_texts.transmit, fields);
}

void CTestModePage::onStopTX()
{
    emit sig_send_cmd(m_texts.stopTransmit);
}

void CTestModePage::onTxProgress(uint32_t count, bool ok)
{
    m_ui.txNum->setText(QString::number(count));
    if (count == m_repeatTime && ok) {
        finishRun();
        return;
    }
    if (!ok) {
        emit sig_stop_tx();
        finishRun();
    }
}

void CTestModePage::finishRun()
{
    m_txTimer.stop();
    m_repeatTime = 0;
    m_txCount = 0;
    m_isTxRunning = false;
    setButtonState(m_ui.send, false, QStringLiteral("Stop Tx"), QStringLiteral("Send"));
    setRxGroupEnabled(true);
}

bool CTestModePage::isTxTimeOut()
{
    const quint64 now = quint64(m_clock());
    if (now - m_lastTick <= m_waitMs)
        return false;
    log(QStringLiteral("time out %1,last:%2,wait:%3").arg(now).arg(m_lastTick).arg(m_waitMs), LogLevel::Debug);
    return true;
}

void CTestModePage::onTxTimeOut()
{
    if (!isTxTimeOut())
        return;
    m_txTimer.stop();
    if (!m_isTxRunning || m_txCount >= m_repeatTime)
        return;
    log(QStringLiteral("%1 send data time out send cnt:%2,repeat:%3").arg(m_texts.mode).arg(m_txCount).arg(m_repeatTime),
        LogLevel::Debug);
    const QPointer<CTestModePage> self(this);
    CFlatMessage::information(this, QStringLiteral("ERROR"),
                              QStringLiteral("%1 mode: it's time out when transmitting.").arg(m_texts.mode));
    // The page may be gone, or the run ended by its last acknowledgement, while the box was open.
    if (!self || !m_isTxRunning)
        return;
    emit sig_stop_tx();
    m_repeatTime = 0;
    m_isTxRunning = false;
    setButtonState(m_ui.send, false, QStringLiteral("Stop Tx"), QStringLiteral("Send"));
    setRxGroupEnabled(true);
}

// --- reception ---

void CTestModePage::on_btn_startrx_clicked()
{
    m_isRxRunning = !m_isRxRunning;
    setButtonState(m_ui.startRx, m_isRxRunning, QStringLiteral("Stop Rx"), QStringLiteral("Start Rx"));
    setTxGroupEnabled(!m_isRxRunning);
    if (m_isRxRunning)
        emit sig_start_rx();
    else
        emit sig_stop_rx();
}

void CTestModePage::onStartRX()
{
    m_rxCount = 0;
    m_ui.rxNum->setText(QStringLiteral("0"));
    m_ui.table->clearContents();
    emit sig_send_cmd(m_texts.startReceive);
}

void CTestModePage::onStopRX()
{
    emit sig_send_cmd(m_texts.stopReceive);
}

void CTestModePage::onRcvDataDisplay(QDateTime time, QMap<QString, QByteArray> fields)
{
    if (!m_isRxRunning)
        return;
    ++m_rxCount;
    addRxRow(QStringList{time.toString(QStringLiteral("hh:mm:ss.zzz"))} + rxRowTexts(fields), m_rxCount);
}

void CTestModePage::addRxRow(const QStringList &values, quint32 count)
{
    QTableWidget *table = m_ui.table;
    m_ui.rxNum->setText(QString::number(count));
    // The table keeps its ten rows: older items move up instead of being copied.
    if (count > quint32(RxRows)) {
        for (int row = 1; row < RxRows; ++row) {
            for (int column = 0; column < table->columnCount(); ++column)
                table->setItem(row - 1, column, table->takeItem(row, column));
        }
    }
    const int row = count < quint32(RxRows) ? int(count) - 1 : RxRows - 1;
    for (int column = 0; column < table->columnCount(); ++column)
        table->setItem(row, column, new QTableWidgetItem(values.value(column)));
}

void CTestModePage::on_btn_clearrx_clicked()
{
    if (CFlatMessage::question(this, QStringLiteral("Clear Rx"), QStringLiteral("Are sure to clear Rx data"))
        != QMessageBox::Yes)
        return;
    m_rxCount = 0;
    m_ui.rxNum->setText(QStringLiteral("0"));
    m_ui.table->clearContents();
}

void CTestModePage::on_tableWidget_rxinfo_customContextMenuRequested(const QPoint &pos)
{
    Q_UNUSED(pos)
    QMenu menu;
    menu.addAction(QStringLiteral("Copy"), this, &CTestModePage::onCopyRxData);
    menu.addSeparator();
    menu.exec(QCursor::pos());
}

void CTestModePage::onCopyRxData()
{
    QString text;
    const QList<QTableWidgetSelectionRange> ranges = m_ui.table->selectedRanges();
    if (!ranges.isEmpty()) {
        for (const QString &title : qAsConst(m_texts.columns))
            text += title + QLatin1Char('\t');
        text += QLatin1Char('\n');
        for (const QTableWidgetSelectionRange &range : ranges) {
            for (int row = range.topRow(); row <= range.bottomRow(); ++row) {
                QStringList cells;
                for (int column = 0; column < m_ui.table->columnCount(); ++column) {
                    const QTableWidgetItem *item = m_ui.table->item(row, column);
                    cells << (item ? item->text() : QString());
                }
                text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
            }
        }
    }
    QApplication::clipboard()->setText(text);
}

// --- uplinks ---

void CTestModePage::onRcvMsg(QByteArray frame)
{
    m_msgMap.dispatch(frame);
}

std::optional<quint8> CTestModePage::ackStatus(const QByteArray &frame)
{
    const std::optional<quint64> status = UplinkField::number(frame, QStringLiteral("status"));
    if (!status)
        return std::nullopt;
    return quint8(*status);
}

void CTestModePage::showRefusal(const QString &what, quint8 status)
{
    QString name = CCommand::enumText("SDK_STATUS_RSP", status);
    if (name.isEmpty())
        name = QStringLiteral("status 0x%1").arg(status, 2, 16, QLatin1Char('0'));
    CFlatMessage::information(this, QStringLiteral("ERROR"),
                              QStringLiteral("%1 mode: the dongle refused to %2 (%3).").arg(m_texts.mode, what, name));
}

void CTestModePage::modeAckProc(const QByteArray &frame)
{
    if (!m_wire.acknowledge(frame, m_texts.startMode))
        return;
    const quint8 status = ackStatus(frame).value_or(0);
    if (!m_isModeRunning || status == 0)
        return;
    // The dongle is not in the mode: the page says so instead of showing it running.
    resetDialog(true);
    showRefusal(QStringLiteral("start the mode"), status);
}

void CTestModePage::txAckProc(const QByteArray &frame)
{
    m_wire.acknowledge(frame, m_texts.transmit);
    const std::optional<quint8> status = ackStatus(frame);
    if (!m_isTxRunning || !status)
        return;
    // The dongle answers in order: what comes before a stop's acknowledgement belongs to the run it stopped.
    if (m_stopsUnanswered > 0) {
        log(QStringLiteral("%1 mode: an acknowledgement of the stopped run is not counted.").arg(m_texts.mode),
            LogLevel::Debug);
        return;
    }
    if (*status != 0) {
        // A refused run ends now, not when the watchdog gives up on it.
        emit sig_tx_progress(m_txCount, false);
        showRefusal(QStringLiteral("transmit"), *status);
        return;
    }
    ++m_txCount;
    m_lastTick = quint64(m_clock());
    emit sig_tx_progress(m_txCount, true);
}

void CTestModePage::stopTransmitAnswered(const QByteArray &frame)
{
    m_wire.acknowledge(frame, m_texts.stopTransmit);
    m_stopsUnanswered = qMax(0, m_stopsUnanswered - 1);
}

void CTestModePage::rxAckProc(const QByteArray &frame)
{
    if (!m_wire.acknowledge(frame, m_texts.startReceive))
        return;
    const quint8 status = ackStatus(frame).value_or(0);
    if (!m_isRxRunning || status == 0)
        return;
    m_isRxRunning = false;
    setButtonState(m_ui.startRx, false, QStringLiteral("Stop Rx"), QStringLiteral("Start Rx"));
    setTxGroupEnabled(true);
    showRefusal(QStringLiteral("receive"), status);
}

void CTestModePage::receiveDataProc(const QByteArray &frame)
{
    const QDateTime now = QDateTime::currentDateTime();
    QMap<QString, QByteArray> fields;
    if (!m_wire.parse(frame, &fields))
        return;
    if (fields.isEmpty()) {
        log(QStringLiteral("%1 receive is empty").arg(m_texts.mode), LogLevel::Debug);
        return;
    }
    emit sig_receive_data_display(now, fields);
}
