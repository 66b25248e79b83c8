#include "getinfodlg.h"
#include "ui_getinfodlg.h"

#include "ccommand.h"
#include "ccommanduiwidget.h"
#include "cmsg.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"

namespace {
const char kFather[] = "GET_INFO";
// Query opcodes of layer 01; each answers with a status (BB, the form's own) and a result (DD, opcode + 1).
const int kQueries[] = {0x6F, 0x47, 0x73, 0x75, 0x77, 0x79, 0x7B, 0x7D};
} // namespace

GetInfoDlg::GetInfoDlg(CMsg *link, LogManager *logger, QWidget *parent)
    : CFlatDialog(QStringLiteral("Get Info"), parent, 0, 0, false)
    , m_handlers(this, logger)
    , ui(new Ui::GetInfoDlg)
    , m_link(link)
    , m_logger(logger)
    , m_wire(link, logger, QStringLiteral(".\\getinfodlg"))
{
    ui->setupUi(m_content);
    m_diagram.hide();
    if (m_link)
        connect(m_link, &CMsg::sig_rcvGapMsg, this, &GetInfoDlg::onRcvMsg);
    for (const int opcode : kQueries) {
        m_handlers.add(QStringLiteral("DD@01@%1").arg(opcode + 1, 2, 16, QLatin1Char('0')),
                       &GetInfoDlg::getLocalDeviceInformationProc);
    }
}

GetInfoDlg::~GetInfoDlg()
{
    delete ui;
}

void GetInfoDlg::initForms()
{
    bool first = true;
    for (const CCommandUiWidget::GroupForm &description :
         CCommandUiWidget::groupForms(QLatin1String(kFather), m_logger)) {
        auto *form = new CCommandUiWidget(m_link, m_logger, &m_diagram, description.name, &m_formTimer, false, 0,
                                          first, this);
        if (form->layout())
            form->layout()->setContentsMargins(0, first ? 15 : 0, 0, 15);
        form->initUi(description.fields);
        form->setSender([this](const QString &name, const PageWire::Values &values,
                               const PageWire::Values &overrides) { return m_wire.send(name, values, overrides); });
        ui->vBoxLayout_content->addWidget(form);
        m_forms.insert(description.name, form);
        first = false;
    }
}

void GetInfoDlg::onRcvMsg(QByteArray frame)
{
    m_handlers.dispatch(frame);
}

void GetInfoDlg::getLocalDeviceInformationProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("GetInfoDlg::getLocalDeviceInformationProc");
    PageWire::Fields fields;
    // The answers carry no status of their own: parsed and logged is all.
    if (m_wire.check(frame, 165, function, &fields, PageWire::Form().noStatus()) != PageWire::Succeeded)
        return;
    CCommandUiWidget *form = m_forms.value(PageWire::uplinkName(frame));
    if (!form) {
        m_wire.internalError(165, function);
        return;
    }
    form->setFieldValueInGlayout(fields);
}
