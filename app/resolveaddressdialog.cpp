#include "resolveaddressdialog.h"
#include "cutil.h"
#include "ui_resolveaddressdialog.h"

#include "ccommand.h"
#include "cmsg.h"
#include "commandnames.h"

ResolveAddressDialog::ResolveAddressDialog(CMsg *link, LogManager *logger, QWidget *parent)
    : CFlatDialog(QStringLiteral("resolve address"), parent, 0, 0, false)
    , ui(new Ui::ResolveAddressDialog)
    , m_link(link)
    , m_logger(logger)
    , m_handlers(this, logger,
                 {{"DD@01@86", &ResolveAddressDialog::getRPAAdress}})
    , m_wire(link, logger, QStringLiteral(".\\resolveaddressdialog"))
{
    ui->setupUi(m_content);
    connect(ui->buttonLocal, &QPushButton::clicked, this, &ResolveAddressDialog::on_buttonLocal_clicked);
    connect(ui->buttonPeer, &QPushButton::clicked, this, &ResolveAddressDialog::on_buttonPeer_clicked);
    ui->lineEditPeerIdentityAddress->setAddrType(QStringLiteral("17"), QStringLiteral("00:00:00:00:00:00"),
                                                 QStringLiteral("[0-9a-fA-F:]*"));
    if (m_link)
        connect(m_link, &CMsg::sig_rcvGapMsg, this, &ResolveAddressDialog::onRcvMsg);
}

ResolveAddressDialog::~ResolveAddressDialog()
{
    delete ui;
}

void ResolveAddressDialog::on_buttonLocal_clicked()
{
    requestAddress(CCommand::LOCAL_RPA);
}

void ResolveAddressDialog::on_buttonPeer_clicked()
{
    requestAddress(CCommand::PEER_RPA);
}

void ResolveAddressDialog::requestAddress(int operation)
{
    if (!ui->lineEditPeerIdentityAddress->acceptTyped(ui->labelRPAAddress->text()))
        return;
    const int addressType = ui->comboBoxAddressType->currentText() == QLatin1String("public") ? CCommand::PUBLIC
                                                                                              : CCommand::RANDOM;
    const QMap<QString, QVariant> fields{{QStringLiteral("op_type"), operation},
                                         {QStringLiteral("peer_addr_type"), addressType},
                                         {QStringLiteral("peer_addr"), ui->lineEditPeerIdentityAddress->getValue()}};
    m_wire.send(QString::fromLatin1(CMD_RESOLVABLE_ADDRESS_READ), fields);
}

void ResolveAddressDialog::onRcvMsg(QByteArray frame)
{
    m_handlers.dispatch(frame);
}

void ResolveAddressDialog::getRPAAdress(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (m_wire.check(frame, 69, QStringLiteral("ResolveAddressDialog::getRPAAdress"), &fields)
        != PageWire::Succeeded)
        return;
    const QByteArray address = fields.value(QStringLiteral("rpa_addr"));
    const QString text = CUtil::colonHex(address, CUtil::Reversed);
    const QByteArray operation = fields.value(QStringLiteral("op_type"));
    if (operation.size() != 1)
        return;
    if (operation.at(0) == CCommand::LOCAL_RPA)
        ui->lineEditLocalAddress->setText(text);
    else if (operation.at(0) == CCommand::PEER_RPA)
        ui->lineEditPeerAddress->setText(text);
}
