#include "slaveciswidget.h"

#include "ui_slaveciswidget.h"

#include "ccommand.h"
#include "cmsg.h"
#include "isouplink.h"
#include "manageciswidget.h"
#include "tflatscrollarea.h"

SlaveCISWidget::SlaveCISWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                               QMap<QString, QByteArray> fields, const QString &dongleName, QWidget *parent)
    : CisPeripheralPage(parent),
      m_dispatcher(this, logger,
                   {
                       {"DD@06@0B", &SlaveCISWidget::disconnectCisProc},
                       {"DD@06@01", &SlaveCISWidget::readIsoTxSyncProc},
                       {"DD@06@09", &SlaveCISWidget::setupDataPathProc},
                       {"DD@06@0A", &SlaveCISWidget::removeDataPathProc},
                       {"DD@06@0F", &SlaveCISWidget::receiveIsoDataProc},
                   }),
      ui(new Ui::SlaveCISWidget), m_fields(fields), m_wire(link, logger, QStringLiteral(".\\slaveciswidget")),
      m_settings(settings)
{
    ui->setupUi(this);
    IsoUplink::addFieldRows(logger, QStringLiteral("Accept CIS Slave Parameter"), m_fields, true, ui->gridLayout,
                            this);
    const quint64 handle = cisHandle();
    ui->label_connectHandle->setText(QStringLiteral("CIS Connection Handle: %1").arg(handle));
    m_panel = new manageCISWidget(link, logger, settings, QString::number(handle), dongleName, this);
    m_panel->setParameters(QString::number(MaxSdu), QString());
    // The panel is taller than the page at the first window size: it scrolls
    // up and down rather than growing the window, and keeps its own width.
    auto *scroll = new TFlatScrollArea<QScrollArea>(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_panel);
    ui->layout_manageCIS->addWidget(scroll);
    m_panel->show();
    m_panel->ensurePolished();
    scroll->setMinimumWidth(m_panel->minimumSizeHint().width());
    // Its wide size hint would otherwise outweigh the fields in the page's split.
    scroll->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    ui->splitter->setStretchFactor(0, 7);
    ui->splitter->setStretchFactor(1, 3);
    if (link)
        connect(link, &CMsg::sig_rcvBIGCIGMsg, this, &SlaveCISWidget::onRcvMsg);

}

SlaveCISWidget::~SlaveCISWidget()
{
    delete ui;
}

quint64 SlaveCISWidget::cisHandle() const
{
    return IsoUplink::number(m_fields, QStringLiteral("cis_connection_handle"));
}

void SlaveCISWidget::onRcvMsg(QByteArray frame)
{
    m_dispatcher.dispatch(frame);
}

void SlaveCISWidget::onSlaveDisconnect()
{
    m_wire.send(QStringLiteral("Disconnect CIS"),
                {{QStringLiteral("cis_conncet_handle"), QVariant::fromValue(cisHandle())}});
}

void SlaveCISWidget::disconnectCisProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__, QStringLiteral("SlaveCISWidget::disconnectCisProc")))
        return;
    const quint64 handle = IsoUplink::number(fields, QStringLiteral("cis_connection_handle"));
    if (handle == cisHandle())
        emit disConnectSlaveCIS(handle);
}

bool SlaveCISWidget::resultForThisStream(const QByteArray &frame, QMap<QString, QByteArray> *fields)
{
    return IsoUplink::parseResult(m_wire, frame, fields, __LINE__,
                                  QStringLiteral("SlaveCISWidget::resultForThisStream"))
        && IsoUplink::number(*fields, QStringLiteral("connection_handle")) == cisHandle();
}

void SlaveCISWidget::relayResult(const QByteArray &frame,
                                 void (manageCISWidget::*entry)(QMap<QString, QByteArray> fields, QString name))
{
    QMap<QString, QByteArray> fields;
    if (resultForThisStream(frame, &fields))
        (m_panel->*entry)(fields, PageWire::uplinkName(frame));
}

void SlaveCISWidget::readIsoTxSyncProc(const QByteArray &frame)
{
    relayResult(frame, &manageCISWidget::onReadIsoTxSyncResult);
}

void SlaveCISWidget::setupDataPathProc(const QByteArray &frame)
{
    relayResult(frame, &manageCISWidget::onSetupDataPathResult);
}

void SlaveCISWidget::removeDataPathProc(const QByteArray &frame)
{
    relayResult(frame, &manageCISWidget::onRemoveDataPathResult);
}

void SlaveCISWidget::receiveIsoDataProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (resultForThisStream(frame, &fields))
        m_panel->onReceiveIsoData(fields);
}
