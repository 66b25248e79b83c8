#include "cupdateconnparams.h"
#include "ui_cupdateconnparams.h"

#include "ccfgfileparse.h"
#include "commandnames.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"

#include <QLabel>

namespace {

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    // Values and the address come from the wire.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

} // namespace

CUpdateConnParams::CUpdateConnParams(CMsg *link, LogManager *logger, const QString &dongleName, QString condix,
                                     const QString &peerAddress, const QMap<QString, QVariant> &values,
                                     QWidget *parent)
    : CFlatDialog(dongleName + QStringLiteral(": Update Connection Parameters"), parent, 0, 0, false)
    , ui(new Ui::CUpdateConnParams)
    , m_values(values)
    , m_peerAddress(peerAddress)
    , m_condix(std::move(condix))
    , m_logger(logger)
    , m_wire(link, logger, QStringLiteral(".\\cupdateconnparams"), quint8(m_condix.toUInt()))
{
    ui->setupUi(m_content);
    m_content->resize(420, 300);
    m_content->setMinimumSize(400, 300);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui->pushButtonAccept, &QPushButton::clicked, this, &CUpdateConnParams::on_pushButtonAccept_clicked);
    connect(ui->pushButtonReject, &QPushButton::clicked, this, &CUpdateConnParams::on_pushButtonReject_clicked);
    buildRows();
}

CUpdateConnParams::~CUpdateConnParams()
{
    delete ui;
}

void CUpdateConnParams::buildRows()
{
    ui->gridLayout->addWidget(plainLabel(QStringLiteral("Peer Device"), m_content), 0, 1);
    ui->gridLayout->addWidget(plainLabel(m_peerAddress, m_content), 0, 2);

    UiComponentFields description;
    if (CUtil::findNameToUiElement(CCfgFileParse::instance()->m_uplinkNameToUiVec,
                                   QString::fromLatin1(CMD_UPDATE_CONNECTION_PARAMETERS_REPLY), &description)
        != 0) {
        if (m_logger)
            m_logger->log(QStringLiteral("find element from m_uplinkNameToUiVec failed."), LogLevel::Debug);
        return;
    }
    int row = 1;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it) {
        for (const UiFieldInfo &field : description.fields) {
            if (field.key != it.key())
                continue;
            ui->gridLayout->addWidget(plainLabel(field.title, m_content), row, 1);
            ui->gridLayout->addWidget(plainLabel(it.value().toString(), m_content), row, 2);
            ++row;
        }
    }
}

bool CUpdateConnParams::sendReply(bool accept)
{
    m_answered = true;
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("accept"), accept ? QStringLiteral("1") : QStringLiteral("0"));
    fields.insert(QStringLiteral("condix"), m_condix.toUInt());
    // The reply's acknowledgement is its result: logged whatever it says.
    return m_wire.send(QLatin1String(CMD_UPDATE_CONNECTION_PARAMETERS_REPLY), fields, {},
                       PageWire::Answer::withSuccess());
}

void CUpdateConnParams::on_pushButtonAccept_clicked()
{
    if (m_answered)
        return;
    if (sendReply(true))
        emit receiveUpdateRequest();
    QDialog::accept();
}

void CUpdateConnParams::on_pushButtonReject_clicked()
{
    reject();
}

void CUpdateConnParams::on_closeClicked()
{
    reject();
}

// Escape, the title bar and Reject all end here: the refusal goes out once.
void CUpdateConnParams::reject()
{
    if (!m_answered)
        sendReply(false);
    QDialog::reject();
}
