#include "clayerwidget.h"
#include "ui_clayerwidget.h"

#include "cgapcmdwidget.h"
#include "cgattwidget.h"
#include "cl2capwidget.h"
#include "commandnames.h"
#include "cutil.h"

#include "logger.h"
#include "logmanager.h"

#include <QDialog>
#include <QPointer>
#include <QTabBar>
#include <QTimer>

CLayerWidget::CLayerWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                           const QString *dongleName, uint8_t role, quint16 interval, quint16 latency,
                           quint16 supervisionTimeout, const QString &peerName, const QString &peerAddress,
                           uint8_t condix, QWidget *parent)
    : ConnectionPage(parent)
    , ui(new Ui::LayerWidget)
    , m_peerAddress(peerAddress)
    , m_role(role)
    , m_condix(condix)
    , m_link(link)
    , m_logger(logger)
    , m_dongleName(dongleName)
    , m_wire(link, logger, QStringLiteral(".\\clayerwidget"), condix)
{
    ui->setupUi(this);

    m_gattWidget = new CGattWidget(m_link, m_logger, settings, m_dongleName, m_condix, this);
    m_gapWidget = new CGapCmdWidget(m_link, m_logger, settings, m_dongleName, interval, latency,
                                    supervisionTimeout, peerName, peerAddress, m_condix, this);
    m_l2capWidget = new CL2capWidget(m_link, m_logger, m_dongleName, m_condix, this);

    connect(m_gattWidget, &CGattWidget::sig_showDongleTab, this, &CLayerWidget::sig_showDongleTab);
    connect(m_gapWidget, &CGapCmdWidget::sig_showDongleTab, this, &CLayerWidget::sig_showDongleTab);
    connect(m_l2capWidget, &CL2capWidget::sig_showDongleTab, this, &CLayerWidget::sig_showDongleTab);

    ui->m_tabWidget->tabBar()->setStyle(&m_tabStyle);
    ui->m_tabWidget->addTab(m_gattWidget, QStringLiteral("G\r\nA\r\nT\r\nT"));
    ui->m_tabWidget->addTab(m_gapWidget, QStringLiteral("G\r\nA\r\nP"));
    ui->m_tabWidget->addTab(m_l2capWidget, QStringLiteral("L\r\n2\r\nC\r\nA\r\nP"));
}

CLayerWidget::~CLayerWidget()
{
    // The tab bar uses m_tabStyle, which members destroy before the base
    // would delete its children.
    delete ui->m_tabWidget;
    ui->m_tabWidget = nullptr;
    delete ui;
}

QTabWidget *CLayerWidget::tabWidget() const
{
    return ui->m_tabWidget;
}

void CLayerWidget::setIsCurrentTab(bool current)
{
    m_gattWidget->setIsCurrentTab(current);
    m_gapWidget->setIsCurrentTab(current);
}

void CLayerWidget::closeDialogs()
{
    // First, so that no dialog closing below, nor a request still queued
    // behind the disconnection, answers for the connection.
    m_wire.endConnection();
    m_gattWidget->endConnection();
    m_gapWidget->endConnection();
    m_l2capWidget->endConnection();
    // Every dialog answers in its reject(); done() closes it without that,
    // as an answer now would name a connection the dongle no longer has.
    const QList<QDialog *> found = findChildren<QDialog *>();
    QList<QPointer<QDialog>> dialogs(found.cbegin(), found.cend());
    for (const QPointer<QDialog> &dialog : qAsConst(dialogs)) {
        if (!dialog || !dialog->isVisible())
            continue;
        // A time-out must not answer before the dialog is gone.
        for (QTimer *timer : dialog->findChildren<QTimer *>())
            timer->stop();
        m_wire.log(QStringLiteral("Connection %1 has ended: \"%2\" closed without an answer.")
                       .arg(m_condix)
                       .arg(dialog->windowTitle()),
                   LogLevel::Info);
        dialog->done(QDialog::Rejected);
    }
}

void CLayerWidget::on_pairEnable(bool enabled)
{
    m_gattWidget->on_pairEnable(enabled);
}

void CLayerWidget::disconnect()
{
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("condix"), CUtil::valueToArray(0, m_condix, 1));
    m_wire.send(QLatin1String(CMD_DISCONNECT), fields);
}
