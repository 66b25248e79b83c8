#include "ccreatecocreqdlg.h"
#include "ui_ccreatecocreqdlg.h"

#include "ccommand.h"
#include "cflatmessage.h"
#include "cmsg.h"
#include "commandnames.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"

namespace {
// The refusal is built by hand: the acceptance's command with accept 0 and the
// connection index last.
const char RefusalName[] = "Reject Create COC Request";
const quint8 RefusalLayer = 0x04;
const quint8 RefusalOpcode = 0x07;
}

CCreateCOCReqDlg::CCreateCOCReqDlg(CMsg *link, LogManager *logger, const QString &dongleName,
                                   QMap<QString, QString> &request, QString condix, QWidget *parent, int timeoutMs)
    : CFlatDialog(dongleName + QStringLiteral(": COC Connect Request"), parent, 0, 0, false)
    , ui(new Ui::CCreateCOCReqDlg)
    , m_condix(condix)
    , m_wire(link, logger, QStringLiteral(".\\ccreatecocreqdlg"), quint8(condix.toUInt()))
    , m_timer(this)
{
    m_timer.start(timeoutMs);
    ui->setupUi(m_content);
    setAttribute(Qt::WA_DeleteOnClose);

    ui->labelPeerCID->setText(request.value(QStringLiteral("peer_cid")));
    ui->labelPeerMPS->setText(request.value(QStringLiteral("peer_mps")));
    ui->labelPeerMTU->setText(request.value(QStringLiteral("peer_mtu")));
    ui->labelLocalPSM->setText(request.value(QStringLiteral("le_psm")));
    for (QLabel *label : {ui->labelPeerCID, ui->labelPeerMPS, ui->labelPeerMTU, ui->labelLocalPSM})
        label->setTextFormat(Qt::PlainText);

    const QString length = QStringLiteral("2");
    ui->lineEditLocalCID->setIntType(QStringLiteral("64"), QStringLiteral("127"), length, QString());
    ui->lineEditLocalCredits->setIntType(QStringLiteral("0"), QStringLiteral("65535"), length, QStringLiteral("255"));
    ui->lineEdiLocaltMTU->setIntType(QStringLiteral("23"), QStringLiteral("2048"), length, QString());
    ui->lineEditLocalMPS->setIntType(QStringLiteral("23"), QStringLiteral("2048"), length, QString());

    connect(ui->pushButtonReject, &QPushButton::clicked, this, &CCreateCOCReqDlg::on_pushButtonReject_clicked);
    connect(ui->pushButtonAccept, &QPushButton::clicked, this, &CCreateCOCReqDlg::on_pushButtonAccept_clicked);
    connect(&m_timer, &QTimer::timeout, this, &CCreateCOCReqDlg::on_timeOut);
}

CCreateCOCReqDlg::~CCreateCOCReqDlg()
{
    delete ui;
}

quint16 CCreateCOCReqDlg::editValue(CValidateLineEdit *edit) const
{
    return quint16(edit->getValue().toUInt(nullptr, 16));
}

namespace {
// What a refusal without the dialog's edits carries.
constexpr quint16 RefusalCid = 64;
constexpr quint16 RefusalCredits = 255;
constexpr quint16 RefusalMtu = 23;
constexpr quint16 RefusalMps = 23;

// accept 0, peer CID, local CID, credits, MTU, MPS, connection index
QByteArray refusalOf(quint16 peerCid, quint16 localCid, quint16 credits, quint16 mtu, quint16 mps, uint condix)
{
    QByteArray payload(1, '\0');
    payload += CUtil::valueToArray(0, peerCid, 2);
    payload += CUtil::valueToArray(0, localCid, 2);
    payload += CUtil::valueToArray(0, credits, 2);
    payload += CUtil::valueToArray(0, mtu, 2);
    payload += CUtil::valueToArray(0, mps, 2);
    payload += CUtil::valueToArray(0, condix, 1);
    return payload;
}
} // namespace

QByteArray CCreateCOCReqDlg::refusalPayload()
{
    // A refusal sets up no channel: an edit holding what could not be sent
    // (a refusal may come from the time-out, with nobody to tell) gives the
    // value a refusal without the dialog carries.
    const auto value = [this](CValidateLineEdit *edit, quint16 fallback) {
        return edit->isAcceptable() ? editValue(edit) : fallback;
    };
    return refusalOf(quint16(ui->labelPeerCID->text().toUInt()), value(ui->lineEditLocalCID, RefusalCid),
                     value(ui->lineEditLocalCredits, RefusalCredits), value(ui->lineEdiLocaltMTU, RefusalMtu),
                     value(ui->lineEditLocalMPS, RefusalMps), m_condix.toUInt());
}

QByteArray CCreateCOCReqDlg::refusalFrame()
{
    return CCommand::downlinkFrame(RefusalLayer, RefusalOpcode, refusalPayload());
}

void CCreateCOCReqDlg::sendRefusal(const PageWire &wire, quint16 peerCid, quint8 condix)
{
    wire.sendFrame(QLatin1String(RefusalName), RefusalLayer, RefusalOpcode,
                   refusalOf(peerCid, RefusalCid, RefusalCredits, RefusalMtu, RefusalMps, condix),
                   PageWire::Answer::withSuccess());
}

void CCreateCOCReqDlg::refuse()
{
    if (m_answered)
        return;
    m_answered = true;
    m_timer.stop();
    m_wire.sendFrame(QLatin1String(RefusalName), RefusalLayer, RefusalOpcode, refusalPayload(),
                     PageWire::Answer::withSuccess());
}

void CCreateCOCReqDlg::on_pushButtonReject_clicked()
{
    refuse();
    QDialog::reject();
}

void CCreateCOCReqDlg::on_closeClicked()
{
    on_pushButtonReject_clicked();
}

void CCreateCOCReqDlg::on_timeOut()
{
    on_pushButtonReject_clicked();
}

void CCreateCOCReqDlg::reject()
{
    on_pushButtonReject_clicked();
}

void CCreateCOCReqDlg::on_pushButtonAccept_clicked()
{
    if (m_answered)
        return;
    // A refusal box leaves the dialog for the value to be put right; its
    // time-out may end it meanwhile, so nothing of it is read after a box.
    const std::pair<QLabel *, CValidateLineEdit *> edits[] = {{ui->label_11, ui->lineEditLocalCID},
                                                             {ui->label_14, ui->lineEditLocalCredits},
                                                             {ui->label_12, ui->lineEdiLocaltMTU},
                                                             {ui->label_13, ui->lineEditLocalMPS}};
    for (const auto &edit : edits) {
        if (!edit.second->acceptTyped(edit.first->text()))
            return;
    }
    const quint16 localCid = editValue(ui->lineEditLocalCID);
    const QString key = QString::number(localCid);
    if (m_cidInUse && m_cidInUse(key)) {
        const QString why = QStringLiteral("Local CID %1 is already in use on this connection; choose another.").arg(key);
        m_wire.log(why, LogLevel::Error);
        // The dialog stays for another CID; its time-out may end it meanwhile.
        CFlatMessage::information(this, QStringLiteral("ERROR"), why);
        return;
    }
    m_answered = true;
    m_timer.stop();

    const quint16 credits = editValue(ui->lineEditLocalCredits);
    const quint16 mtu = editValue(ui->lineEdiLocaltMTU);
    const quint16 mps = editValue(ui->lineEditLocalMPS);
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("accept"), QStringLiteral("1"));
    fields.insert(QStringLiteral("condix"), int(m_condix.toUInt()));
    fields.insert(QStringLiteral("peer_cid"), int(ui->labelPeerCID->text().toUInt()));
    fields.insert(QStringLiteral("local_cid"), int(localCid));
    fields.insert(QStringLiteral("local_credits"), int(credits));
    fields.insert(QStringLiteral("mtu"), int(mtu));
    fields.insert(QStringLiteral("mps"), int(mps));
    fields.insert(QStringLiteral("local_psm"), int(ui->labelLocalPSM->text().toUInt()));
    QMap<QString, QString> text;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        text.insert(it.key(), it.value().toString());

    if (!m_wire.send(QLatin1String(CMD_ACCEPT_CREATE_COC_REQUEST), fields)) {
        QDialog::reject();
        return;
    }
    ChannelInfo channel;
    channel.psmKeys = {QStringLiteral("PSM")};
    channel.psmValues.insert(QStringLiteral("PSM"), text.value(QStringLiteral("local_psm")));
    channel.localKeys = {QStringLiteral("MTU"), QStringLiteral("MPS"), QStringLiteral("Initial Credits"),
                         QStringLiteral("Consumed Credits"), QStringLiteral("Remaining Credits")};
    channel.remoteKeys = channel.localKeys;
    channel.localValues = {{QStringLiteral("MTU"), text.value(QStringLiteral("mtu"))},
                           {QStringLiteral("MPS"), text.value(QStringLiteral("mps"))},
                           {QStringLiteral("Initial Credits"), text.value(QStringLiteral("local_credits"))},
                           {QStringLiteral("Consumed Credits"), QStringLiteral("0")},
                           {QStringLiteral("Remaining Credits"), text.value(QStringLiteral("local_credits"))}};
    const QString unknown = QStringLiteral("xxx");
    channel.remoteValues = {{QStringLiteral("MTU"), ui->labelPeerMTU->text()},
                            {QStringLiteral("MPS"), ui->labelPeerMPS->text()},
                            {QStringLiteral("Initial Credits"), unknown},
                            {QStringLiteral("Consumed Credits"), unknown},
                            {QStringLiteral("Remaining Credits"), unknown}};
    emit receiveCOCRequest(key, channel, text);
    accept();
}
