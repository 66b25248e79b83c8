#include "clayerwidget.h"
#include "ui_clayerwidget.h"

#include "ccommand.h"
#include "commandnames.h"
#include "cutil.h"

#include <QTabBar>

CLayerWidget::CLayerWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                           const QString &dongleName, uint8_t role, quint16 interval, quint16 latency,
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
{
    // The connection's GATT, GAP and L2CAP pages take these.
    Q_UNUSED(settings)
    Q_UNUSED(interval)
    Q_UNUSED(latency)
    Q_UNUSED(supervisionTimeout)
    Q_UNUSED(peerName)

    ui->setupUi(this);
    ui->m_tabWidget->tabBar()->setStyle(&m_tabStyle);

    const char *const titles[] = {"G\r\nA\r\nT\r\nT", "G\r\nA\r\nP", "L\r\n2\r\nC\r\nA\r\nP"};
    const char *const names[] = {"gattPage", "gapPage", "l2capPage"};
    for (int i = 0; i < 3; ++i) {
        auto *page = new QWidget(ui->m_tabWidget);
        page->setObjectName(QString::fromLatin1(names[i]));
        ui->m_tabWidget->addTab(page, QString::fromLatin1(titles[i]));
    }
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

void CLayerWidget::disconnect()
{
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("condix"), CUtil::valueToArray(0, m_condix, 1));
    if (!CCommand::sendMsg(m_link, m_logger, QString::fromLatin1(CMD_DISCONNECT), fields, QMap<QString, QVariant>()))
        CCommand::logSendFailed(m_logger, QString::fromLatin1(CMD_DISCONNECT));
}
