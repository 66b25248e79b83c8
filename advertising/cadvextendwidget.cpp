#include "cadvextendwidget.h"
#include "ui_cadvextendwidget.h"

#include "advformtexts.h"

using namespace AdvFormTexts;

namespace {

const char TITLE[] = "Extended Advertising Parameters Setting Error";
const char PARAM_COMMAND[] = "Extended Advertising Parameter Set";
const char DATA_COMMAND[] = "Extended Advertising Data Set";
const quint8 DATA_OPCODE = 0x2D;

// Event property bits.
constexpr quint64 Connectable = 0x0001;
constexpr quint64 Scannable = 0x0002;
constexpr quint64 Directed = 0x0004;
constexpr quint64 Anonymous = 0x0020;
constexpr quint64 TxPower = 0x0040;
constexpr quint64 ScanReqEnabled = 0x0100;

} // namespace

CAdvExtendWidget::CAdvExtendWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings,
                                   QWidget *parent)
    : CAdvBaseWidget(msg, logger, settings, parent)
    , ui(new Ui::CAdvExtendWidget)
{
    ui->setupUi(this);
    arrangePanes(ui->m_Hsplitter, ui->scrollArea);
    ui->m_AdvDataWidget->setPeriodicDataVisible(false);
    connect(ui->cmb_eadvmode, &QComboBox::currentTextChanged, this, &CAdvExtendWidget::on_eadvModeTextChanged);
    initValidators();
}

CAdvExtendWidget::~CAdvExtendWidget()
{
    delete ui;
}

void CAdvExtendWidget::initValidators()
{
    initExtendedEdits({ui->le_eprimmax, ui->le_eprimmin, ui->le_epeeraddr, ui->le_eduration, ui->le_emaxtxpower,
                       ui->le_emaxadvevt, ui->le_esecmaxskip, ui->le_esecsid},
                      QStringLiteral("100"), QStringLiteral("range: 0 to 255"), QStringLiteral("range: 0 to 15"));
}

void CAdvExtendWidget::on_eadvModeTextChanged(QString eadvMode)
{
    setDurationForMode(ui->le_eduration, eadvMode, generalDurationTip());
}

bool CAdvExtendWidget::checkParameters()
{
    if (!acceptTyped({{ui->label_3_0, ui->le_eduration},
                      {ui->label_3_1, ui->le_epeeraddr},
                      {ui->label_4_0, ui->le_esecmaxskip},
                      {ui->label_4_1, ui->le_esecsid},
                      {ui->label_5_0, ui->le_emaxtxpower},
                      {ui->label_5_1, ui->le_emaxadvevt},
                      {ui->label_6_0, ui->le_eprimmin},
                      {ui->label_6_1, ui->le_eprimmax}}))
        return false;
    const QString mode = ui->cmb_eadvmode->currentText();
    const bool connectable = ui->cb_econnect->isChecked();
    const bool scannable = ui->cb_escannable->isChecked();
    const bool directed = ui->cb_edriected->isChecked();
    const bool anonymous = ui->cb_eanonymous->isChecked();
    const bool policy = ui->cb_escan->isChecked() || ui->cb_econn->isChecked();
    const QString title = QString::fromLatin1(TITLE);
    auto fail = [&](const QString &text) {
        refuse(title, text);
        return false;
    };

    if (mode == broadcaster() && (connectable || scannable))
        return fail(QStringLiteral("When Discovery Mode is Broadcaster mode, the advertising cannot be Connectable or "
                                   "Scannable."));
    if (mode == generalDiscoverable()) {
        if (directed)
            return fail(QStringLiteral("When Discovery Mode is General-discoverable mode, the Extended Advertiding "
                                       "cannot be Directed."));
        if (policy)
            return fail(QStringLiteral("When Discovery Mode is General-discoverable mode, the cannot use Filter "
                                       "Policy."));
    }
    if (mode == limitedDiscoverable()) {
        if (directed)
            return fail(QStringLiteral("When Discovery Mode is Limited-discoverable mode, the Extended Advertiding "
                                       "cannot be Directed."));
        if (policy)
            return fail(QStringLiteral("When Discovery Mode is Limited-discoverable mode, the cannot use Filter "
                                       "Policy."));
        if (hexValue(ui->le_eduration) > LimitedDurationUnits)
            return fail(limitedDurationText());
    }
    if (policy && mode != nonDiscoverable())
        return fail(filterPolicyText());
    if (anonymous && mode != nonDiscoverable() && mode != broadcaster())
        return fail(QStringLiteral("When Extended Advertising is Anonymous, the Discovery Mode should be "
                                   "Non-discoverable mode or Broadcaster mode"));
    if (anonymous && (connectable || scannable))
        return fail(QStringLiteral("When Extended Advertising is Anonymous, it cannot be Connectable or Scannable."));
    if (connectable && scannable)
        return fail(QStringLiteral("Extended Advertising cannot be both Connectable and Scannable"));
    const bool hasAdv = !ui->m_AdvDataWidget->getAdvData().isEmpty();
    const bool hasRes = !ui->m_AdvDataWidget->getResData().isEmpty();
    if (scannable && hasAdv)
        return fail(QStringLiteral("Scannable Extended Advertising cannot set Advertising Data"));
    if (scannable && !hasRes)
        return fail(QStringLiteral("Scannable Extended Advertising should set Response Data"));
    if (!scannable && !hasAdv)
        return fail(QStringLiteral("Not scannable Extended Advertising should set Advertising Data"));
    if (!scannable && hasRes)
        return fail(QStringLiteral("Not scannable Extended Advertising cannot set Response Data"));
    if (hexValue(ui->le_eprimmax) < hexValue(ui->le_eprimmin))
        return fail(QStringLiteral("Extended Advertising's Max Adv Interval should greater than Min Adv Interval."));
    if (channelBits(ui->cb_echannal37, ui->cb_echannal38, ui->cb_echannal39) == 0)
        return fail(QStringLiteral("Extended Advertising's should choose at least one Primary Channel Map."));
    if (directed && ui->le_epeeraddr->getValue() == zeroAddressValue())
        return fail(QStringLiteral("Extended Advertising's Peer Address can't be zero when it's a directed "
                                   "advertising."));
    return true;
}

bool CAdvExtendWidget::collectParameters(QByteArray advIndex)
{
    if (!collectHex(ui->le_eprimmax, QStringLiteral("eprimIntvMax"), 4)
        || !collectHex(ui->le_eprimmin, QStringLiteral("eprimIntvMin"), 4)
        || !collectHex(ui->le_epeeraddr, QStringLiteral("epeerAddr"), 6)
        || !collectHex(ui->le_eduration, QStringLiteral("eduration"), 2)
        || !collectHex(ui->le_emaxtxpower, QStringLiteral("emaxTxPower"), 1)
        || !collectHex(ui->le_emaxadvevt, QStringLiteral("emaxAdvEvt"), 1)
        || !collectHex(ui->le_esecmaxskip, QStringLiteral("esecMaxSkip"), 1)
        || !collectHex(ui->le_esecsid, QStringLiteral("esecSid"), 1))
        return false;
    m_paramMap.insert(QStringLiteral("eadvIndex"), advIndex);
    collectNumber(QStringLiteral("eadvMode"), quint64(ui->cmb_eadvmode->currentIndex()), 1);
    collectNumber(QStringLiteral("esecPhy"), quint64(ui->cmb_esecphy->currentIndex() + 1), 1);
    collectNumber(QStringLiteral("eaddrType"), quint64(ui->cmb_eaddrtype->currentIndex()), 1);
    collectNumber(QStringLiteral("eprimPhy"), quint64(ui->cmb_eprimphy->currentIndex() * 2 + 1), 1);
    collectNumber(QStringLiteral("eownType"), quint64(ui->cmb_eowntype->currentIndex()), 1);
    collectNumber(QStringLiteral("echanMap"), channelBits(ui->cb_echannal37, ui->cb_echannal38, ui->cb_echannal39), 1);
    collectNumber(QStringLiteral("epolicy"), checkedBits({{ui->cb_escan, 1}, {ui->cb_econn, 2}}), 1);
    collectNumber(QStringLiteral("eproperties"),
                  checkedBits({{ui->cb_econnect, Connectable},
                               {ui->cb_escannable, Scannable},
                               {ui->cb_edriected, Directed},
                               {ui->cb_eanonymous, Anonymous},
                               {ui->cb_etxpower, TxPower},
                               {ui->cb_escanreq, ScanReqEnabled}}),
                  2);
    return true;
}

bool CAdvExtendWidget::setAdvParameter(QByteArray advIndex, const PageWire::Answer &answer)
{
    if (!checkParameters())
        return false;
    return sendParameters(collectParameters(advIndex), QString::fromLatin1(PARAM_COMMAND),
                          QStringLiteral("There is empty input in extended advertising parameter."), answer);
}

bool CAdvExtendWidget::setAdvData(QByteArray advIndex, const PageWire::Answer &answer)
{
    return sendDataFrame(ui->m_AdvDataWidget, false, QString::fromLatin1(DATA_COMMAND), DATA_OPCODE, advIndex, 2,
                         answer);
}

void CAdvExtendWidget::on_btnResetAdvSettings_clicked()
{
    ui->cmb_eaddrtype->setCurrentIndex(0);
    ui->cmb_eadvmode->setCurrentIndex(1);
    ui->cmb_eowntype->setCurrentIndex(0);
    ui->cmb_eprimphy->setCurrentIndex(0);
    ui->cmb_esecphy->setCurrentIndex(0);
    ui->le_eduration->setText(QStringLiteral("0"));
    setDuration(ui->le_eduration, 0, 655350, QStringLiteral("unit: 10ms, range: 0ms to 655350ms"));
    ui->le_emaxadvevt->setText(QStringLiteral("0"));
    ui->le_emaxtxpower->setText(QStringLiteral("0"));
    ui->le_epeeraddr->setText(zeroAddress());
    ui->le_eprimmax->setText(QStringLiteral("100"));
    ui->le_eprimmin->setText(QStringLiteral("100"));
    ui->le_esecmaxskip->setText(QStringLiteral("0"));
    ui->le_esecsid->setText(QStringLiteral("0"));
    for (QCheckBox *box : {ui->cb_echannal37, ui->cb_echannal38, ui->cb_echannal39, ui->cb_econnect})
        box->setChecked(true);
    for (QCheckBox *box : {ui->cb_econn, ui->cb_escan, ui->cb_eanonymous, ui->cb_edriected, ui->cb_escannable,
                           ui->cb_escanreq, ui->cb_etxpower})
        box->setChecked(false);
}
