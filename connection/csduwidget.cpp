#include "csduwidget.h"
#include "ui_csduwidget.h"

#include "ccommand.h"
#include "cflatmessage.h"
#include "cmsg.h"
#include "commandnames.h"
#include "cutil.h"
#include "datafolder.h"
#include "filechooser.h"
#include "keepearlierfile.h"
#include "logger.h"
#include "logmanager.h"
#include "regularfile.h"
#include "savefilewriter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>

namespace {

QString colonHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(':'));
}

QString digitsOf(const QString &text)
{
    QString digits = text;
    return digits.remove(QLatin1Char(':'));
}

} // namespace

CSduWidget::CSduWidget(CMsg *link, LogManager *logger, const QString *dongleName, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CSduWidget)
    , m_wire(link, logger, QStringLiteral(".\\csduwidget"))
{
    m_wire.setDongleName(dongleName);
    ui->setupUi(this);
    ui->lineEditCreditThreshold->setIntType(QStringLiteral("0"), QStringLiteral("255"), QStringLiteral("2"),
                                            QStringLiteral("0"));
    ui->lineEditCreditSetting->setIntType(QStringLiteral("0"), QStringLiteral("255"), QStringLiteral("2"),
                                          QStringLiteral("0"));
    ui->textEditRX->setReadOnly(true);
    // The byte editor starts with a sample value; this page starts empty.
    ui->textEditTX->clear();

    m_resultWatchdog.setSingleShot(true);
    m_resultWatchdog.setInterval(DefaultResultTimeoutMs);
    connect(&m_resultWatchdog, &QTimer::timeout, this, &CSduWidget::onResultWatchdogTimeout);
    m_owedWatchdog.setSingleShot(true);
    m_owedWatchdog.setInterval(DefaultResultTimeoutMs);
    connect(&m_owedWatchdog, &QTimer::timeout, this, [this] {
        owedResultEnded(QStringLiteral("no result came for the stopped transfer's SDU within %1 s")
                            .arg(m_owedWatchdog.interval() / 1000.0),
                        LogLevel::Warn);
    });
}

CSduWidget::~CSduWidget()
{
    // The received data stays on disk: a closed channel must not lose it.
    m_receiveFile.close();
    m_sendFile.close();
    delete ui;
}

QString CSduWidget::receiveFolderFor(const QString &dataFolder, const QString &dongleName, quint8 condix,
                                     const QString &key)
{
    return QDir::toNativeSeparators(dataFolder + QLatin1Char('/') + Platform::safeFolderName(dongleName)
                                    + QStringLiteral("/SDU_receive_data/") + QString::number(condix)
                                    + QLatin1Char('/') + key);
}

void CSduWidget::createReceiveFile(quint8 condix, const QString &key, quint16 peerMtu)
{
    m_condix = condix;
    m_localCid = key;
    m_sender.setPeerMtu(peerMtu);
    m_fileChunkSize = quint32(m_sender.sduLength()) * 1000;

    m_receiveFolder = receiveFolderFor(Platform::dataFolder(), m_wire.dongleName(), condix,
                                       key);
    QDir().mkpath(m_receiveFolder);
    const QString path = QDir::toNativeSeparators(m_receiveFolder + QStringLiteral("/data.txt"));
    QString error;
    if (openReceiveFile(path, &error) != 0)
        receiveFileFailed(QStringLiteral("There is wrong in create received SDU data file."),
                          QStringLiteral("Received SDU data of channel %1 cannot be written to %2: %3")
                              .arg(m_localCid, path, error));
}

int CSduWidget::openReceiveFile(const QString &path, QString *error)
{
    if (path.isEmpty())
        return -1;
    m_receiveFile.close();
    // What an earlier channel or run received is never cut away: a file that
    // cannot be moved aside is written on at its end.
    const bool kept = keepReceivedData(path);
    // Unbuffered, so a full disk fails the write of the SDU it cuts short.
    if (!Platform::openForWriting(m_receiveFile, path,
                                  QIODevice::WriteOnly | QIODevice::Unbuffered
                                      | (kept ? QIODevice::Truncate : QIODevice::Append),
                                  error))
        return -1;
    m_receiveFileEnded = false;
    return 0;
}

void CSduWidget::receiveFileFailed(const QString &logLine, const QString &text)
{
    m_receiveFile.close();
    m_receiveFileEnded = true;
    log(logLine, LogLevel::Error);
    CFlatMessage::notify(this, QStringLiteral("ERROR"), text);
}

void CSduWidget::writeReceived(const QByteArray &data)
{
    if (m_receiveFileEnded || !m_receiveFile.isOpen())
        return;
    qint64 written = 0;
    const bool ok = SaveFileWriter::write(m_receiveFile, data, &written);
    m_savedBytes += quint64(written);
    showSavedBytes();
    if (ok)
        return;
    // Every later SDU would fail alike: the file ends here, said once.
    const QString text = QStringLiteral("Received SDU data of channel %1 are no longer written to %2: %3")
                             .arg(m_localCid, QDir::toNativeSeparators(m_receiveFile.fileName()),
                                  m_receiveFile.errorString());
    receiveFileFailed(text, text);
}

void CSduWidget::showSavedBytes()
{
    ui->labelSaved->setText(QString::number(m_savedBytes));
}

bool CSduWidget::keepReceivedData(const QString &path)
{
    QString error;
    QString target;
    if (!keepEarlierFile(path, &error, &target)) {
        log(QStringLiteral("Channel %1: %2 could not be moved aside; new data is added at its end.")
                .arg(m_localCid, QDir::toNativeSeparators(path)),
            LogLevel::Error);
        return false;
    }
    if (!target.isEmpty())
        log(QStringLiteral("Channel %1: the data received before is kept in %2.")
                .arg(m_localCid, QDir::toNativeSeparators(target)),
            LogLevel::Info);
    return true;
}

void CSduWidget::initChannel(uint mtu, uint mps, uint initialCredits)
{
    const quint32 least = CreditReturn::minimumCredits(mtu, mps);
    if (least == 0) {
        log(QStringLiteral("Channel %1 has a local MPS of 0; its credit limits stay as they are.").arg(m_localCid),
            LogLevel::Error);
        return;
    }
    m_minCredits = QString::number(least);
    m_maxCredits = QString::number(qMax<quint32>(initialCredits, least));
    ui->lineEditCreditThreshold->setIntType(m_minCredits, m_maxCredits, QStringLiteral("2"), m_minCredits);
    if (ui->radioButtonMan->isChecked())
        limitCreditSetting(m_minCredits, m_consumedCredits, m_minCredits);
    else
        limitCreditSetting(m_minCredits, m_maxCredits, m_maxCredits);
}

void CSduWidget::limitCreditSetting(const QString &min, const QString &max, const QString &shown)
{
    ui->lineEditCreditSetting->setIntType(min, max, QStringLiteral("2"), shown);
}

quint32 CSduWidget::editValue(CValidateLineEdit *edit) const
{
    return edit->getValue().toUInt(nullptr, 16);
}

void CSduWidget::setSendButtonsEnabled(bool enabled)
{
    ui->pushButtonSend->setEnabled(enabled);
    ui->pushButtonSendFile->setEnabled(enabled);
}

bool CSduWidget::sendHead()
{
    const QByteArray sdu = m_sender.head();
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("local_cid"), m_localCid.toInt());
    fields.insert(QStringLiteral("data_len"), sdu.size());
    fields.insert(QStringLiteral("condix"), int(m_condix));
    fields.insert(QStringLiteral("data"), sdu);
    const quint64 number = m_sdusSent + 1;
    if (!m_wire.send(QLatin1String(CMD_SEND_SDU), fields, {},
                     PageWire::Answer(this, [this, number](const QByteArray &frame) { sduAcknowledged(number, frame); })))
        return false;
    m_sdusSent = number;
    m_inFlight = number;
    emit sig_sendSDUData();
    m_resultWatchdog.start();
    return true;
}

void CSduWidget::sendHeadWhenFree()
{
    if (m_owedSdu != 0) {
        log(QStringLiteral("Channel %1: the next SDU waits for the result of the stopped transfer's SDU.")
                .arg(m_localCid),
            LogLevel::Info);
        return;
    }
    if (!sendHead())
        abandonTransfer(QStringLiteral("the link refused the SDU"));
}

QString CSduWidget::refusal(const QByteArray &frame) const
{
    return QStringLiteral("the dongle refused %1 on connection %2 (%3)")
        .arg(PageWire::uplinkName(frame))
        .arg(m_condix)
        .arg(PageWire::statusText("SDK_STATUS_RSP", PageWire::acknowledgement(frame).value_or(0)));
}

void CSduWidget::sduAcknowledged(quint64 sdu, const QByteArray &frame)
{
    // Lost: its result may still come, and the watchdogs bound the wait.
    if (m_wire.acknowledge(frame, QStringLiteral("an SDU of channel %1").arg(m_localCid)).value_or(0) == 0)
        return;
    // Refused: no result will come for it.
    if (sdu == m_owedSdu) {
        owedResultEnded(refusal(frame), LogLevel::Info);
    } else if (sdu == m_inFlight) {
        m_inFlight = 0;
        abandonTransfer(refusal(frame));
    }
}

bool CSduWidget::takeOwedResult()
{
    if (m_owedSdu == 0)
        return false;
    owedResultEnded(QStringLiteral("the result of the stopped transfer's SDU came and is dropped"), LogLevel::Info);
    return true;
}

void CSduWidget::owedResultEnded(const QString &why, int level)
{
    m_owedWatchdog.stop();
    m_owedSdu = 0;
    log(QStringLiteral("Channel %1: %2.").arg(m_localCid, why), level);
    if (isSending() && m_inFlight == 0 && !isHeldForCredit())
        sendHeadWhenFree();
}

void CSduWidget::abandonTransfer(const QString &why, int level)
{
    m_resultWatchdog.stop();
    if (m_inFlight != 0 && m_owedSdu == 0) {
        m_owedSdu = m_inFlight;
        m_owedWatchdog.start();
    }
    m_inFlight = 0;
    m_sender.clear();
    m_sendFile.close();
    setSendButtonsEnabled(true);
    log(QStringLiteral("Channel %1: SDU transfer stopped, %2.").arg(m_localCid, why), level);
}

void CSduWidget::onResultWatchdogTimeout()
{
    if (!isSending() || isHeldForCredit())
        return;
    abandonTransfer(QStringLiteral("no \"Sending SDU\" result came within %1 s").arg(m_resultWatchdog.interval() / 1000.0),
                    LogLevel::Warn);
}

void CSduWidget::sendSduData(const QByteArray &data, bool fromFile)
{
    if (m_sender.enqueue(data) == 0)
        return;
    sendHeadWhenFree();
    if (!isSending())
        return;
    setSendButtonsEnabled(false);
    if (!fromFile)
        ui->textEditTX->setPlainText(colonHex(data));
}

QByteArray CSduWidget::readChunk()
{
    if (!m_sendFile.isOpen())
        return QByteArray();
    const QByteArray chunk = m_sendFile.read(m_fileChunkSize);
    if (chunk.isEmpty())
        m_sendFile.close();
    return chunk;
}

void CSduWidget::on_pushButtonSend_clicked()
{
    static const QRegularExpression notHex(QStringLiteral("[^0-9a-fA-F]"));
    const QString digits = digitsOf(ui->textEditTX->toPlainText());
    if (digits.isEmpty())
        return;
    if (!m_sender.canCut()) {
        log(QStringLiteral("Channel %1 has no usable peer MTU; nothing is sent.").arg(m_localCid), LogLevel::Error);
        return;
    }
    // Text that is not bytes sends nothing; an odd digit count reads with a leading zero.
    if (digits.contains(notHex))
        return;
    sendSduData(CUtil::hexBytes(digits), false);
}

void CSduWidget::on_textEditTX_textChanged()
{
    const QString digits = digitsOf(ui->textEditTX->toPlainText());
    if (digits.size() <= MaxTypedDigits)
        return;
    ui->textEditTX->setPlainText(digits.left(MaxTypedDigits));
    CFlatMessage::information(this, QStringLiteral("error"), QStringLiteral("send length should < 10kb"));
}

void CSduWidget::on_pushButtonSendFile_clicked()
{
    if (!m_sender.canCut()) {
        log(QStringLiteral("Channel %1 has no usable peer MTU; nothing is sent.").arg(m_localCid), LogLevel::Error);
        return;
    }
    const QString start = m_sendFilePath.isEmpty() ? Platform::dataFolder() : m_sendFilePath;
    // The file dialog runs an event loop in which the channel may close.
    const QPointer<CSduWidget> alive(this);
    const QString path = chooseOpenFileName(this, QString(), start, QStringLiteral("*.*"));
    if (!alive || path.isEmpty())
        return;
    m_sendFile.close();
    m_sendFile.setFileName(path);
    m_sendFilePath = path;
    if (!m_sendFile.open(QIODevice::ReadOnly)) {
        CFlatMessage::information(this, QStringLiteral("ERROR"), QStringLiteral("can't open file ") + path);
        return;
    }
    if (m_sendFile.size() > MaxFileSize) {
        m_sendFile.close();
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  QStringLiteral("This file is too large for sdu data sending."));
        return;
    }
    const QByteArray chunk = readChunk();
    if (chunk.isEmpty())
        return;
    sendSduData(chunk, true);
    ui->lineEdit_filePath->setText(path);
}

void CSduWidget::on_readySendSDU(QString localId)
{
    if (localId != m_localCid) {
        log(QStringLiteral("CSduWidget::on_readySendSDU") + QStringLiteral(" is not equal in localId"),
            LogLevel::Debug);
        return;
    }
    if (takeOwedResult())
        return;
    m_inFlight = 0;
    m_resultWatchdog.stop();
    const int length = m_sender.headSent();
    if (length < 0) {
        log(QStringLiteral(" send finish"), LogLevel::Debug);
        return;
    }
    m_sentBytes += quint64(length);
    ui->label_sendLength->setText(QString::number(m_sentBytes));

    if (m_sender.isEmpty()) {
        const QByteArray chunk = readChunk();
        if (!chunk.isEmpty()) {
            sendSduData(chunk, true);
            return;
        }
        setSendButtonsEnabled(true);
        CFlatMessage::notify(this, m_wire.dongleName() + QStringLiteral(": Info"),
                             QStringLiteral("Send SDU data finished."));
        return;
    }
    if (!sendHead())
        abandonTransfer(QStringLiteral("the link refused the SDU"));
}

void CSduWidget::on_buttonInit(QString localID)
{
    if (localID != m_localCid || takeOwedResult())
        return;
    m_inFlight = 0;
    abandonTransfer(QStringLiteral("the dongle reported a send failure"));
}

void CSduWidget::on_creditErrorCheck(QString localID)
{
    if (localID != m_localCid || takeOwedResult())
        return;
    // The result came; now the peer's credits are awaited, for as long as it takes.
    m_inFlight = 0;
    m_resultWatchdog.stop();
    m_sender.holdForCredit();
}

void CSduWidget::on_remoteCreditChanged(QString localId)
{
    if (localId != m_localCid || !m_sender.isHeldForCredit())
        return;
    if (!m_sender.resumeAfterCredit()) {
        log(QStringLiteral("send file is wrong"), LogLevel::Debug);
        return;
    }
    if (!sendHead())
        abandonTransfer(QStringLiteral("the link refused the SDU"));
}

void CSduWidget::on_receiveSDU(QString localId, QString remainCredits, QString consumedCredits, QByteArray rxData,
                               QMap<QString, QString> &fieldsStr)
{
    if (localId != m_localCid)
        return;
    m_receivedBytes += fieldsStr.value(QStringLiteral("data_length")).toUInt();
    ui->labelDataLength->setText(QString::number(m_receivedBytes));
    m_receivedCredits = quint16(m_receivedCredits + fieldsStr.value(QStringLiteral("credits")).toUInt());
    ui->labelCredits->setText(QString::number(m_receivedCredits));
    log(m_localCid + QStringLiteral(" receive a package use credits ") + consumedCredits
            + QStringLiteral(" remain credits") + remainCredits,
        LogLevel::Debug);

    m_receiveTail.append(rxData);
    if (m_receiveTail.size() > ReceiveViewBytes)
        m_receiveTail.remove(0, m_receiveTail.size() - ReceiveViewBytes);
    ui->textEditRX->setPlainText(colonHex(m_receiveTail));

    writeReceived(rxData);

    m_consumedCredits = consumedCredits;
    if (ui->radioButtonMan->isChecked()) {
        limitCreditSetting(QStringLiteral("0"), m_consumedCredits, ui->lineEditCreditSetting->text());
        return;
    }
    if (!creditEditsUsable())
        return;
    const qint64 threshold = editValue(ui->lineEditCreditThreshold);
    if (m_creditReturn.isDue(remainCredits.toLongLong(), threshold) && sendCredits())
        m_creditReturn.sent();
}

bool CSduWidget::creditEditsUsable()
{
    for (CValidateLineEdit *edit : {ui->lineEditCreditThreshold, ui->lineEditCreditSetting}) {
        if (edit->isAcceptable())
            continue;
        const QLabel *label = edit == ui->lineEditCreditThreshold ? ui->labelCreditThreshold : ui->label_3;
        const QString why = QStringLiteral("Credits are not returned automatically while %1 holds \"%2\"; enter %3.")
                                .arg(label->text().trimmed(), edit->text(), edit->expectedInput());
        if (why != m_creditEditWarning)
            log(why, LogLevel::Warn);
        m_creditEditWarning = why;
        return false;
    }
    m_creditEditWarning.clear();
    return true;
}

bool CSduWidget::sendCredits()
{
    const quint32 setting = editValue(ui->lineEditCreditSetting);
    const quint32 consumed = m_consumedCredits.toUInt();
    const quint32 credits = CreditReturn::creditsToReturn(setting, consumed);
    if (setting > consumed)
        log(QStringLiteral("consumed value is") + QString::number(consumed), LogLevel::Debug);
    else
        log(QStringLiteral("set value is") + QString::number(setting), LogLevel::Debug);
    log(QStringLiteral("sending credits value is") + QString::number(credits), LogLevel::Debug);

    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("local_cid"), m_localCid.toInt());
    fields.insert(QStringLiteral("credits"), int(credits));
    fields.insert(QStringLiteral("condix"), int(m_condix));
    if (!m_wire.send(QLatin1String(CMD_LOCAL_CREDITS_MANAGEMENT), fields, {},
                     PageWire::Answer(this, [this](const QByteArray &frame) { creditsAcknowledged(frame); })))
        return false;
    emit sig_sendCredit(m_localCid, QString::number(credits));
    log(m_localCid + QStringLiteral(" send credits ") + QString::number(credits), LogLevel::Debug);
    return true;
}

void CSduWidget::creditsAcknowledged(const QByteArray &frame)
{
    if (m_wire.acknowledge(frame, QStringLiteral("a credit return of channel %1").arg(m_localCid)).value_or(0) == 0)
        return;
    log(QStringLiteral("Channel %1: %2.").arg(m_localCid, refusal(frame)), LogLevel::Error);
    // No result will come: credits may be returned again.
    on_consumedCreditChanged(m_localCid, m_consumedCredits.toUInt());
}

void CSduWidget::on_pushButtonSendCredit_clicked()
{
    if (ui->lineEditCreditSetting->acceptTyped(ui->label_3->text()))
        sendCredits();
}

void CSduWidget::on_consumedCreditChanged(QString localID, uint consumedCredits)
{
    if (localID != m_localCid)
        return;
    m_creditReturn.resultArrived();
    m_consumedCredits = QString::number(consumedCredits);
    if (ui->radioButtonMan->isChecked()) {
        const uint shown = qMin(editValue(ui->lineEditCreditSetting), consumedCredits);
        limitCreditSetting(QStringLiteral("0"), m_consumedCredits, QString::number(shown));
    }
}

void CSduWidget::on_radioButtonMan_toggled(bool checked)
{
    if (checked)
        limitCreditSetting(QStringLiteral("0"), m_consumedCredits, QStringLiteral("0"));
    else
        limitCreditSetting(m_minCredits, m_maxCredits, m_maxCredits);
    ui->pushButtonSendCredit->setEnabled(checked);
    ui->labelCreditThreshold->setEnabled(!checked);
    ui->lineEditCreditThreshold->setEnabled(!checked);
}

void CSduWidget::on_pushButtonClear_clicked()
{
    // The only way back from a transfer the dongle or the peer left waiting;
    // the counter keeps what was sent of it.
    if (isSending()) {
        abandonTransfer(QStringLiteral("Clear was pressed after %1 bytes were sent").arg(m_sentBytes), LogLevel::Info);
        ui->textEditTX->clear();
        ui->lineEdit_filePath->clear();
        return;
    }
    ui->textEditTX->clear();
    m_sentBytes = 0;
    ui->label_sendLength->setText(QStringLiteral("0"));
    ui->lineEdit_filePath->clear();
}

void CSduWidget::on_pushButtonRXClear_clicked()
{
    ui->textEditRX->clear();
    m_receiveTail.clear();
    m_receivedBytes = 0;
    m_receivedCredits = 0;
    ui->labelCredits->setText(QStringLiteral("0"));
    ui->labelDataLength->setText(QStringLiteral("0"));
    m_savedBytes = 0;
    showSavedBytes();
    // The file starts again, also after it failed; what it held is kept beside it.
    const QString path = m_receiveFile.fileName();
    if (path.isEmpty())
        return;
    QString error;
    if (openReceiveFile(path, &error) != 0)
        receiveFileFailed(QStringLiteral("There is wrong in create received SDU data file."),
                          QStringLiteral("Received SDU data of channel %1 cannot be written to %2: %3")
                              .arg(m_localCid, path, error));
}

void CSduWidget::on_pushButtonSave_clicked()
{
    // The file dialog runs an event loop in which the channel may close.
    const QPointer<CSduWidget> alive(this);
    const QString target = chooseSaveFileName(this, tr("save File..."), QStringLiteral("save.bin"), QString());
    if (!alive || target.isEmpty())
        return;
    QString error;
    if (!copyFileToPath(m_receiveFile.fileName(), target, &error)) {
        log(QStringLiteral("save fail!"), LogLevel::Debug);
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  tr("The received data could not be saved as %1: %2.\nA file that was there is "
                                     "left as it was.")
                                      .arg(QDir::toNativeSeparators(target), error));
    }
}

bool CSduWidget::copyFileToPath(const QString &source, const QString &target, QString *error)
{
    QString from = source;
    QString to = target;
    from.replace(QLatin1Char('\\'), QLatin1Char('/'));
    to.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (from == to)
        return true;
    if (from.isEmpty()) {
        if (error)
            *error = tr("no channel has received data");
        return false;
    }
    // Through a QSaveFile: a copy that fails leaves the old target whole.
    return SaveFileWriter::copy(from, to, error);
}
