#include "cgapcmdwidget.h"
#include "ui_cgapcmdwidget.h"

#include "ccommand.h"
#include "ccommanduiwidget.h"
#include "cmsg.h"
#include "commandnames.h"
#include "connectionrouter.h"
#include "cupdateconnparams.h"
#include "cutil.h"
#include "dialogofakind.h"
#include "logger.h"
#include "logmanager.h"

#include <QLayoutItem>
#include <QTimer>

#include <algorithm>

namespace {

const char GapFather[] = "GAP";
const char UpdateRequestKind[] = "Update connection parameters request";

// Raw connection parameters in the units the diagram shows.
double intervalMs(quint64 raw)
{
    return double(quint16(raw)) * 1.25;
}

quint16 timeoutMs(quint64 raw)
{
    return quint16(std::min<quint64>(quint64(quint16(raw)) * 10, 0xFFFF));
}

} // namespace

CGapCmdWidget::CGapCmdWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                             const QString *dongleName, quint16 interval, quint16 latency, quint16 supervisionTimeout,
                             QString peerName, QString peerAddress, uint8_t condix, QWidget *parent)
    : QWidget(parent)
    , m_handlerMap(this, logger)
    , m_wire(link, logger, QStringLiteral(".\\cgapcmdwidget"), condix)
    , ui(new Ui::CGapCmdWidget)
    , m_peerAddress(std::move(peerAddress))
    , m_peerName(std::move(peerName))
    , m_condix(condix)
    , m_link(link)
    , m_logger(logger)
    , m_settings(settings)
{
    m_wire.setDongleName(dongleName);
    ui->setupUi(this);

    DiagramWidget *diagram = ui->widgetDiagram;
    diagram->setPeerInfo(m_peerName);
    diagram->setPeerAddress(m_peerAddress);
    if (m_settings) {
        diagram->setDongleName(dongleNameFromSetting(m_settings->value(QStringLiteral("device_name")).toString()));
        diagram->setDongleAddress(addressFromSetting(m_settings->value(QStringLiteral("identity_addr")).toString()));
    }
    diagram->setState(0);
    diagram->setConnIntervalMin(intervalMs(interval));
    diagram->setConnIntervalMax(intervalMs(interval));
    diagram->setConnLatency(latency);
    diagram->setSupervisionTimeout(timeoutMs(supervisionTimeout));

    m_timer = new QTimer(this);
    // The forms are built when the page is first shown (showEvent): most
    // connections never show this tab.

    if (m_link)
        ConnectionRouter::of(m_link)->subscribe(&CMsg::sig_rcvGapMsg, m_condix, this, &CGapCmdWidget::onRcvMsg);
    connect(m_timer, &QTimer::timeout, this, &CGapCmdWidget::on_timeout);
    m_handlerMap.add({
        {"DD@01@38", &CGapCmdWidget::updateConnectionParameterRequestProc},
        {"DD@01@3C", &CGapCmdWidget::updateRequestProc},
        {"DD@01@44", &CGapCmdWidget::dataLengthUpdateProc},
        {"DD@01@4C", &CGapCmdWidget::phyUpdateProc},
        {"DD@01@4E", &CGapCmdWidget::getCmdProc},
        {"DD@01@50", &CGapCmdWidget::getCmdProc},
        {"DD@01@52", &CGapCmdWidget::getCmdProc},
        {"DD@01@54", &CGapCmdWidget::getCmdProc},
        {"DD@01@56", &CGapCmdWidget::getCmdProc},
        {"DD@01@58", &CGapCmdWidget::getCmdProc},
    });
}

CGapCmdWidget::~CGapCmdWidget()
{
    delete ui;
}

DiagramWidget *CGapCmdWidget::diagram() const
{
    return ui->widgetDiagram;
}

QList<QWidget *> CGapCmdWidget::commandForms()
{
    initCommandUi();
    QList<QWidget *> forms;
    for (int i = 0; i < ui->vLayoutCommand->count(); ++i) {
        if (QLayoutItem *item = ui->vLayoutCommand->itemAt(i); item && item->widget())
            forms << item->widget();
    }
    return forms;
}

QString CGapCmdWidget::dongleNameFromSetting(const QString &setting)
{
    QString digits = setting;
    digits.remove(QStringLiteral("0x"));
    QString name;
    for (const char code : CUtil::hexBytes(digits, CUtil::Reversed)) {
        // A NUL would end the label early; leave it out.
        if (code != 0)
            name += QChar(uchar(code));
    }
    return name;
}

QString CGapCmdWidget::addressFromSetting(const QString &setting)
{
    QString address = CUtil::hexPairText(setting, CUtil::AsSent, ':');
    // A lone last character stays, as its own group.
    if (setting.size() % 2 != 0)
        address += (address.isEmpty() ? QString() : QStringLiteral(":")) + setting.right(1);
    return address;
}

void CGapCmdWidget::showEvent(QShowEvent *event)
{
    initCommandUi();
    QWidget::showEvent(event);
}

void CGapCmdWidget::initCommandUi()
{
    if (m_commandUiBuilt)
        return;
    m_commandUiBuilt = true;
    bool first = true;
    for (const CCommandUiWidget::GroupForm &description :
         CCommandUiWidget::groupForms(QLatin1String(GapFather), m_logger)) {
        auto *form = new CCommandUiWidget(m_link, m_logger, ui->widgetDiagram, description.name, m_timer,
                                          description.editable, m_condix, first, this);
        if (QLayout *layout = form->layout())
            layout->setContentsMargins(0, first ? 0 : 5, 0, 10);
        form->initUi(description.fields);
        form->setSender([this](const QString &name, const PageWire::Values &values,
                               const PageWire::Values &overrides) {
            // The power's acknowledgement is its result: logged whatever it says.
            const bool result = name == QLatin1String(CMD_RF_TX_POWER_SET);
            return m_wire.send(name, values, overrides, result ? PageWire::Answer::withSuccess() : PageWire::Answer());
        });
        ui->vLayoutCommand->addWidget(form);
        // Built while the page is being shown: shown at once, not on the
        // layout's next turn.
        form->show();
        first = false;
    }
}

void CGapCmdWidget::onRcvMsg(QByteArray frame)
{
    m_handlerMap.dispatch(frame);
}

void CGapCmdWidget::dataLengthUpdateProc(const QByteArray &frame)
{
    // The logged frame shows the new lengths.
    m_wire.check(frame, 399, QStringLiteral("CGapCmdWidget::dataLengthUpdateProc"), nullptr,
                 PageWire::Form().index(QStringLiteral("index")));
}

void CGapCmdWidget::phyUpdateProc(const QByteArray &frame)
{
    m_wire.check(frame, 435, QStringLiteral("CGapCmdWidget::phyUpdateProc"), nullptr,
                 PageWire::Form().index(QStringLiteral("index")));
}

void CGapCmdWidget::getCmdProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CGapCmdWidget::getCmdProc");
    PageWire::Fields fields;
    if (m_wire.check(frame, 469, function, &fields) != PageWire::Succeeded)
        return;
    // Forms and uplinks share their names in the catalogue; that pairs them.
    const QString name = PageWire::uplinkName(frame);
    for (int i = 0; i < ui->vLayoutCommand->count(); ++i) {
        QLayoutItem *item = ui->vLayoutCommand->itemAt(i);
        if (!item) {
            m_wire.internalError(492, function);
            return;
        }
        auto *form = qobject_cast<CCommandUiWidget *>(item->widget());
        if (form && form->getCmdName() == name)
            form->setFieldValueInGlayout(fields);
    }
}

void CGapCmdWidget::updateConnectionParameterRequestProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (m_wire.check(frame, 285, QStringLiteral("CGapCmdWidget::updateConnectionParameterRequestProc"), &fields)
        != PageWire::Succeeded)
        return;
    DiagramWidget *diagram = ui->widgetDiagram;
    diagram->setState(0);
    const double interval = intervalMs(CUtil::littleEndian(fields.value(QStringLiteral("interval"))));
    diagram->setConnIntervalMin(interval);
    diagram->setConnIntervalMax(interval);
    diagram->setConnLatency(quint16(CUtil::littleEndian(fields.value(QStringLiteral("slave_latency")))));
    diagram->setSupervisionTimeout(timeoutMs(CUtil::littleEndian(fields.value(QStringLiteral("sup_timeout")))));
}

void CGapCmdWidget::updateRequestProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    // The request has no status to check.
    if (m_wire.check(frame, __LINE__, QStringLiteral("CGapCmdWidget::updateRequestProc"), &fields,
                     PageWire::Form().noStatus())
        != PageWire::Succeeded)
        return;

    QMap<QString, QVariant> values;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        const quint64 raw = CUtil::littleEndian(it.value());
        if (it.key() == QLatin1String("interval_min") || it.key() == QLatin1String("interval_max"))
            values.insert(it.key(), intervalMs(raw));
        else if (it.key() == QLatin1String("sup_timeout"))
            values.insert(it.key(), uint(quint16(raw)) * 10);
        else
            values.insert(it.key(), raw);
    }

    // One request is asked at a time; one that comes meanwhile is refused.
    if (DialogOfAKind::refuseWhilePending(this, QLatin1String(UpdateRequestKind), m_link, m_logger, [this] {
            m_wire.send(QLatin1String(CMD_UPDATE_CONNECTION_PARAMETERS_REPLY),
                        {{QStringLiteral("accept"), QStringLiteral("0")}, {QStringLiteral("condix"), uint(m_condix)}},
                        {}, PageWire::Answer::withSuccess());
        }))
        return;

    emit sig_showDongleTab(m_wire.dongleName());

    // The dialog deletes itself when it closes; nothing of this page is
    // touched after exec(), since a disconnection there may delete the page.
    auto *dialog = new CUpdateConnParams(m_link, m_logger, m_wire.dongleName(), QString::number(m_condix),
                                         m_peerAddress, values, this);
    dialog->setPageWire(m_wire);
    DialogOfAKind::hold(this, QLatin1String(UpdateRequestKind), dialog);
    connect(dialog, &CUpdateConnParams::receiveUpdateRequest, this, &CGapCmdWidget::on_receiveUpdateRequest);
    dialog->exec();
}

void CGapCmdWidget::on_receiveUpdateRequest()
{
    ui->widgetDiagram->setState(1);
    m_timer->start(RenegotiationTimeoutMs);
}

void CGapCmdWidget::on_timeout()
{
    if (ui->widgetDiagram->getState() == 1)
        ui->widgetDiagram->setState(2);
}
