#include "manageciswidget.h"

#include "ui_manageciswidget.h"

#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "cmsg.h"
#include "columnfitter.h"
#include "cutil.h"
#include "datafolder.h"
#include "filechooser.h"
#include "isouplink.h"
#include "keepearlierfile.h"
#include "logger.h"
#include "logmanager.h"
#include "receivedatatablemodel.h"
#include "regularfile.h"
#include "savefilewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QTimer>

manageCISWidget::manageCISWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings,
                                 const QString &handle, const QString &dongleName, QWidget *parent)
    : QWidget(parent), ui(new Ui::manageCISWidget), m_handle(handle), m_msg(msg), m_logger(logger),
      m_settings(settings), m_dongleName(dongleName), m_wire(msg, logger, QStringLiteral(".\\manageciswidget"))
{
    ui->setupUi(this);
    m_repeatTimer = new QTimer(this);
    m_receiveModel = new ReceiveDataTableModel(m_logger, this);
    const CCfgFileParse *catalogue = CCfgFileParse::instance();
    m_receiveLayout = catalogue->m_uplinkIdToFieldsMap.value(
        catalogue->m_uplinkNameToIdMap.value(QStringLiteral("Receive ISO Data")));
    m_receiveModel->clear();
    ui->tableView_receivedata->setModel(m_receiveModel);

    QHeaderView *header = ui->tableView_receivedata->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ColumnFitter::attach(ui->tableView_receivedata, {}, ColumnFitter::TitlesOnly, ColumnFitter::StretchLast);
    ui->tableView_receivedata->setTopInset(25);

    ui->lineEdit_times->setIntType(QStringLiteral("0"), QStringLiteral("1000000"), QStringLiteral("4"),
                                   QStringLiteral("0"));
    ui->lineEdit_randomLength->setIntType(QStringLiteral("0"), QStringLiteral("4095"), QStringLiteral("2"),
                                          QStringLiteral("0"));
    if (m_settings)
        m_filePath = m_settings->value(QStringLiteral("cisdata_filepath")).toString();
    m_dataPathIds = {{QStringLiteral("Disabled"), 0xFF}, {QStringLiteral("HLV"), 0xF6}};
    connect(ui->textEdit_sendData, &CValidateTextEdit::sig_textEditLength, this, &manageCISWidget::on_sendDataLength);
    if (m_msg)
        connect(m_msg, &CMsg::sig_portClosed, this, &manageCISWidget::onPortClosed);
}

manageCISWidget::~manageCISWidget()
{
    m_receiveFile.close();
    delete ui;
}

void manageCISWidget::setParameters(const QString &maxSdu, const QString &sduInterval)
{
    m_maxSdu = maxSdu;
    m_sduInterval = sduInterval;
    ui->lineEdit_randomLength->setIntType(QStringLiteral("0"), maxSdu, QStringLiteral("2"), QStringLiteral("0"));
    ui->lineEdit_interval->setText(sduInterval);
}

void manageCISWidget::disableInterval()
{
    ui->lineEdit_interval->setEnabled(false);
}

void manageCISWidget::setBroadcastMode(bool receiver)
{
    ui->frame_rcvTitle->setVisible(receiver);
    ui->frame_rcvData->setVisible(receiver);
    ui->frame_sendTitle->setVisible(!receiver);
    ui->frame_sendData->setVisible(!receiver);
}

quint16 manageCISWidget::handleNumber() const
{
    return quint16(m_handle.toUInt());
}

int manageCISWidget::maxSdu() const
{
    return m_maxSdu.toInt();
}

bool manageCISWidget::isRepeating() const
{
    return m_repeatTimer->isActive();
}

void manageCISWidget::showError(const QString &text)
{
    CFlatMessage::notify(this, QStringLiteral("ERROR"), text);
}

QString manageCISWidget::fileDialogStart() const
{
    return m_filePath.isEmpty() ? QCoreApplication::applicationDirPath() : m_filePath;
}

void manageCISWidget::log(const QString &text, int level)
{
    if (m_logger)
        m_logger->log(text, level);
}

void manageCISWidget::on_pushButton_set_clicked()
{
    m_wire.send(QStringLiteral("Setup ISO data path"),
         {{QStringLiteral("cis_connect_handle"), uint(handleNumber())},
          {QStringLiteral("input_direction"), m_dataPathIds.value(ui->comboBox_input->currentText(), 0)},
          {QStringLiteral("output_direction"), m_dataPathIds.value(ui->comboBox_output->currentText(), 0)}});
}

void manageCISWidget::on_pushButton_remove_clicked()
{
    const int direction = ui->comboBox_direction->currentIndex();
    if (direction == 0 || direction == 2)
        ui->comboBox_input->setCurrentIndex(0);
    if (direction == 1 || direction == 2)
        ui->comboBox_output->setCurrentIndex(0);
    m_wire.send(QStringLiteral("Remove ISO data path"), {{QStringLiteral("cis_connect_handle"), uint(handleNumber())},
                                                         {QStringLiteral("datapath_direction"), direction + 1}});
}

void manageCISWidget::on_pushButton_get_clicked()
{
    m_wire.send(QStringLiteral("Read ISO TX Sync"), {{QStringLiteral("cis_conncet_handle"), uint(handleNumber())}});
}

bool manageCISWidget::resultForThisHandle(const QMap<QString, QByteArray> &fields, const QString &wrongHandleText)
{
    if (IsoUplink::number(fields, QStringLiteral("connection_handle")) != m_handle.toULongLong()) {
        showError(wrongHandleText);
        return false;
    }
    return true;
}

bool manageCISWidget::resultSucceeded(const QMap<QString, QByteArray> &fields, const QString &name, int line,
                                      const QString &function) const
{
    return m_wire.checkNamedStatus(name, fields, QStringLiteral("status"), line, function,
                                   PageWire::Form().completeResult())
        == PageWire::Succeeded;
}

void manageCISWidget::onSetupDataPathResult(QMap<QString, QByteArray> fields, QString name)
{
    if (!resultForThisHandle(fields,
                             QStringLiteral("The returned connection handle is wrong in set ISO data path command.")))
        return;
    if (resultSucceeded(fields, name, __LINE__, QStringLiteral("manageCISWidget::onSetupDataPathResult")))
        log(QStringLiteral("Set ISO data path succeed."), LogLevel::Info);
}

void manageCISWidget::onRemoveDataPathResult(QMap<QString, QByteArray> fields, QString name)
{
    if (!resultForThisHandle(
            fields, QStringLiteral("The returned connection handle is wrong in Remove ISO data path command.")))
        return;
    if (resultSucceeded(fields, name, __LINE__, QStringLiteral("manageCISWidget::onRemoveDataPathResult")))
        log(QStringLiteral("Remove ISO data path succeed."), LogLevel::Info);
}

void manageCISWidget::onReadIsoTxSyncResult(QMap<QString, QByteArray> fields, QString name)
{
    if (!resultForThisHandle(fields,
                             QStringLiteral("The returned connection handle is wrong in Read ISO TX Sync command.")))
        return;
    if (!resultSucceeded(fields, name, __LINE__, QStringLiteral("manageCISWidget::onReadIsoTxSyncResult")))
        return;
    ui->lineEdit_packetSN->setText(QString::number(IsoUplink::number(fields, QStringLiteral("packet_sn"))));
    ui->lineEdit_timeStamp->setText(QString::number(IsoUplink::number(fields, QStringLiteral("time_stamp"))));
    ui->lineEdit_timeOffset->setText(QString::number(IsoUplink::number(fields, QStringLiteral("time_offset"))));
}

bool manageCISWidget::sendOrRepeat(const QMap<QString, QVariant> &fields)
{
    if (!ui->checkBox_repeat->isChecked()) {
        m_wire.send(QStringLiteral("Send ISO data"), fields);
        return true;
    }
    if (m_repeatTimer->isActive()) {
        showError(QStringLiteral("Vantora's sending iso data can work only after the former sending work finished."));
        return false;
    }
    const quint64 intervalUs = ui->lineEdit_interval->getValue().toULongLong();
    m_repeatFields = fields;
    // A 0 ms timer would fire on every pass of the event loop.
    m_repeatTimer->setInterval(int(qBound<quint64>(1, intervalUs / 1000, quint64(INT_MAX))));
    m_pacer.reset();
    m_repeatCount = 0;
    connect(m_repeatTimer, &QTimer::timeout, this, &manageCISWidget::on_repeatSendData, Qt::UniqueConnection);
    m_repeatTimer->start();
    return true;
}

void manageCISWidget::on_pushButton_send_clicked()
{
    const bool typed = m_sendMode == 0 ? ui->textEdit_sendData->acceptTyped(ui->label_frame_sendTitle->text())
                                       : ui->lineEdit_randomLength->acceptTyped(ui->label_randomLength->text());
    if (!typed || (ui->checkBox_repeat->isChecked() && !ui->lineEdit_times->acceptTyped(ui->label_times->text())))
        return;
    QByteArray sdu;
    if (m_sendMode == 0) {
        const QString digits = ui->textEdit_sendData->getByteArray();
        if (digits.size() > 2 * maxSdu()) {
            showError(QStringLiteral("The ISO send data length is large than Max SDU."));
            return;
        }
        sdu = IsoDataCodec::sduFromReversedDigits(digits);
    } else {
        sdu = IsoDataCodec::randomSdu(ui->lineEdit_randomLength->getValue().toInt(nullptr, 16));
    }
    sendOrRepeat(IsoDataCodec::sendFields(handleNumber(), sdu));
}

void manageCISWidget::stopRepeat()
{
    disconnect(m_repeatTimer, &QTimer::timeout, this, &manageCISWidget::on_repeatSendData);
    m_repeatTimer->stop();
    m_pacer.reset();
    m_repeatCount = 0;
}

void manageCISWidget::onPortClosed()
{
    if (!m_repeatTimer->isActive())
        return;
    stopRepeat();
    log(QStringLiteral("Repeated sending of ISO data stopped: the port was closed."), LogLevel::Error);
}

void manageCISWidget::on_repeatSendData()
{
    // A closed link has no queue: it must not pass for an empty one.
    if (m_msg && !m_msg->isOpen()) {
        onPortClosed();
        return;
    }
    const int times = ui->lineEdit_times->getValue().toInt(nullptr, 16);
    switch (m_pacer.tick(times, m_msg ? m_msg->queuedFrames() : 0)) {
    case IsoRepeatPacer::Step::Send:
        m_repeatCount = m_pacer.sent();
        // The send's own ERROR line says why; the next ones would fail alike.
        if (!m_wire.send(QStringLiteral("Send ISO data"), m_repeatFields))
            stopRepeat();
        break;
    case IsoRepeatPacer::Step::Wait:
        break;
    case IsoRepeatPacer::Step::Finished:
        stopRepeat();
        break;
    }
}

void manageCISWidget::on_pushButton_sendFile_clicked()
{
    // The file dialog runs its own event loop, in which the page may close this panel.
    const QPointer<manageCISWidget> alive(this);
    const QString path =
        chooseOpenFileName(this, QStringLiteral("Open ISO Data File"), fileDialogStart(), QString());
    if (!alive || path.isEmpty())
        return;
    QFile file(path);
    // A file that cannot be read must not go out as an empty SDU.
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        showError(QStringLiteral("The ISO send file is wrong."));
        return;
    }
    if (file.size() > maxSdu()) {
        showError(QStringLiteral("The ISO send File data length is large than Max SDU."));
        return;
    }
    const QByteArray bytes = file.read(maxSdu() + 1);
    if (bytes.size() > maxSdu()) {
        showError(QStringLiteral("The ISO send File data length is large than Max SDU."));
        return;
    }
    ui->textEdit_sendData->setPlainText(CUtil::colonHex(bytes));
    if (sendOrRepeat(IsoDataCodec::sendFields(handleNumber(), bytes)))
        m_filePath = path;
}

void manageCISWidget::on_sendDataLength(int digits)
{
    ui->lineEdit_dataLength->setText(QString::number(digits / 2));
}

QString manageCISWidget::receiveFilePath() const
{
    // Under the dongle's own folder, so two dongles with the same handle never share a file.
    return QDir::toNativeSeparators(Platform::dataFolder() + QLatin1Char('/')
                                    + Platform::safeFolderName(m_dongleName) + QStringLiteral("/ISO_receive_data/")
                                    + Platform::safeFolderName(m_handle) + QStringLiteral("/data.txt"));
}

int manageCISWidget::openReceiveFile(const QString &fileName, QString *error)
{
    m_receiveFile.close();
    if (fileName.isEmpty())
        return -1;
    // The data of an earlier stream of this handle stays beside the new file.
    QString why;
    if (!keepEarlierFile(fileName, &why)) {
        if (error)
            *error = QStringLiteral("the earlier file cannot be moved aside: %1").arg(why);
        return -1;
    }
    // Unbuffered, so a full disk fails the write of the record it cuts short.
    if (!Platform::openForWriting(m_receiveFile, fileName,
                                  QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered, error))
        return -1;
    return 0;
}

void manageCISWidget::receiveFileFailed(const QString &logLine, const QString &text)
{
    // It would fail alike for every later SDU: no more file for this panel, said once.
    m_receiveFile.close();
    m_receiveFileEnded = true;
    log(logLine, LogLevel::Error);
    showError(text);
}

void manageCISWidget::onReceiveIsoData(QMap<QString, QByteArray> fields)
{
    if (IsoUplink::number(fields, QStringLiteral("connection_handle")) != m_handle.toULongLong()) {
        showError(QStringLiteral("The returned connection handle is wrong in Receive ISO data command."));
        return;
    }
    if (m_receiveFileEnded) {
        m_receiveModel->appendRow(fields, MaxRows);
        return;
    }
    // A file removed while open is written to nowhere: start a new one.
    if (!m_receiveFile.isOpen() || !QFileInfo::exists(m_receiveFile.fileName())) {
        const QString path = receiveFilePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QString error;
        if (openReceiveFile(path, &error) != 0) {
            // The SDU is still shown; the file is what failed.
            m_receiveModel->appendRow(fields, MaxRows);
            receiveFileFailed(QStringLiteral("There is wrong in create received ISO data file."),
                              QStringLiteral("Received ISO data of handle %1 cannot be written to %2: %3")
                                  .arg(m_handle, path, error));
            return;
        }
    }
    const QByteArray record = IsoDataCodec::receiveRecord(fields, m_receiveLayout);
    const bool written = SaveFileWriter::write(m_receiveFile, record);
    m_receiveModel->appendRow(fields, MaxRows);
    if (written)
        return;
    const QString text = QStringLiteral("Received ISO data of handle %1 are no longer written to %2: %3")
                             .arg(m_handle, QDir::toNativeSeparators(m_receiveFile.fileName()),
                                  m_receiveFile.errorString());
    receiveFileFailed(text, text);
}

void manageCISWidget::on_pushButton_save_clicked()
{
    const QPointer<manageCISWidget> alive(this);
    const QString destination =
        chooseSaveFileName(this, QStringLiteral("Save File..."), fileDialogStart(), QStringLiteral("save(*.txt)"));
    if (!alive)
        return;
    if (destination.isEmpty()) {
        if (m_logger)
            m_logger->log(QStringLiteral("Save File Error!"), LogLevel::Error);
        return;
    }
    const QString source = receiveFilePath();
    if (QFileInfo(source).absoluteFilePath() == QFileInfo(destination).absoluteFilePath())
        return;
    // The file dialog asked before an existing file is chosen, so it is
    // replaced; a copy that fails leaves it as it was.
    QString error;
    if (!SaveFileWriter::copy(source, destination, &error)) {
        if (m_logger)
            m_logger->log(QStringLiteral("Copy Save File Error!"), LogLevel::Error);
        showError(QStringLiteral("Copy Save File Error!\n%1: %2.\nA file that was there is left as it was.")
                      .arg(QDir::toNativeSeparators(destination), error));
    }
}

void manageCISWidget::on_pushButton_clear_clicked()
{
    m_receiveModel->clear();
}

void manageCISWidget::on_pushButton_clearSendData_clicked()
{
    ui->textEdit_sendData->clear();
}

void manageCISWidget::on_checkBox_random_clicked(bool checked)
{
    ui->lineEdit_randomLength->setEnabled(checked);
    ui->textEdit_sendData->setEnabled(!checked);
    m_sendMode = checked ? 1 : 0;
}

void manageCISWidget::on_checkBox_repeat_clicked(bool checked)
{
    // Times stays editable once shown: lowering it is how a user shortens a repeat.
    if (checked)
        ui->lineEdit_times->setEnabled(true);
    else
        stopRepeat();
}
