#include "cadvlegacywidget.h"
#include "ui_cadvlegacywidget.h"

#include "advformtexts.h"

using namespace AdvFormTexts;

namespace {

const char TITLE[] = "Legacy Advertising Parameters Setting Error";
const char PARAM_COMMAND[] = "Legacy Advertising Parameter Set";
const char DATA_COMMAND[] = "Legacy Advertising Data Set";
const quint8 DATA_OPCODE = 0x25;
const char NON_CONNECTABLE[] = "Non-connectable and non-scanable mode";
const char DIRECTED_HIGH[] = "Directed high duty mode";
const char DIRECTED_LOW[] = "Directed low duty mode";
const int MaxAdvData = 28;
const int MaxResData = 31;

bool isDirected(const QString &advMode)
{
    return advMode == QLatin1String(DIRECTED_HIGH) || advMode == QLatin1String(DIRECTED_LOW);
}

} // namespace

CAdvLegacyWidget::CAdvLegacyWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings,
                                   QWidget *parent)
    : CAdvBaseWidget(msg, logger, settings, parent)
    , ui(new Ui::CAdvLegacyWidget)
{
    ui->setupUi(this);
    arrangePanes(ui->m_Hsplitter, ui->scrollArea);
    ui->m_AdvDataWidget->setPeriodicDataVisible(false);
    connect(ui->cmb_discmode, &QComboBox::currentTextChanged, this, &CAdvLegacyWidget::on_discoverModeTextChanged);
    connect(ui->cmb_advmode, &QComboBox::currentTextChanged, this, &CAdvLegacyWidget::on_advModeTextChanged);
    initValidators();
}

CAdvLegacyWidget::~CAdvLegacyWidget()
{
    delete ui;
}

void CAdvLegacyWidget::initValidators()
{
    const QString intervalTip = QStringLiteral("unit: 625us, range: 20ms to 10.24s");
    for (CValidateLineEdit *edit : {ui->le_intvmax, ui->le_intvmin}) {
        edit->setDoubleType(QStringLiteral("20"), QStringLiteral("10240"), QStringLiteral("0.625"),
                            QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("100"));
        edit->setToolTip(intervalTip);
    }
    ui->le_peeraddr->setAddrType(QStringLiteral("17"), zeroAddress(), addressPattern());
    setDuration(ui->le_duration, 0, 655350, generalDurationTip());
    ui->le_maxtxpower->setInt8Type(QStringLiteral("-127"), QStringLiteral("127"), QStringLiteral("1"),
                                   QStringLiteral("0"));
    ui->le_maxtxpower->setToolTip(txPowerTip());
}

void CAdvLegacyWidget::setDurationRange(const QString &advMode, const QString &discoverMode)
{
    if (advMode == QLatin1String(DIRECTED_HIGH))
        setDuration(ui->le_duration, 10, 1280, QStringLiteral("unit:10ms, range:10ms to 1280ms"));
    else
        setDurationForMode(ui->le_duration, discoverMode, generalDurationTip());
}

void CAdvLegacyWidget::on_advModeTextChanged(QString advMode)
{
    setDurationRange(advMode, ui->cmb_discmode->currentText());
}

void CAdvLegacyWidget::on_discoverModeTextChanged(QString discoverMode)
{
    setDurationRange(ui->cmb_advmode->currentText(), discoverMode);
}

bool CAdvLegacyWidget::isDirectedAdv()
{
    return ui->cmb_advmode->currentIndex() == 3 || ui->cmb_advmode->currentIndex() == 4;
}

bool CAdvLegacyWidget::checkParameters()
{
    if (!acceptTyped({{ui->label_2_0, ui->le_duration},
                      {ui->label_2_1, ui->le_peeraddr},
                      {ui->label_3_0, ui->le_intvmin},
                      {ui->label_3_1, ui->le_intvmax},
                      {ui->label_4_1, ui->le_maxtxpower}}))
        return false;
    const QString disc = ui->cmb_discmode->currentText();
    const QString adv = ui->cmb_advmode->currentText();
    const bool directed = isDirected(adv);
    const bool policy = ui->cb_lscan->isChecked() || ui->cb_lconn->isChecked();
    const QString title = QString::fromLatin1(TITLE);
    auto fail = [&](const char *text) {
        refuse(title, QString::fromLatin1(text));
        return false;
    };

    if (disc == broadcaster() && adv != QLatin1String(NON_CONNECTABLE))
        return fail("When Discovery Mode is Broadcaster mode, the Adv Mode should be Non-connectable and "
                    "non-scanable mode.");
    if (disc == generalDiscoverable()) {
        if (directed)
            return fail("When Discovery Mode is General-discoverable mode, the Adv Mode cannot be Directed mode.");
        if (policy)
            return fail("When Discovery Mode is General-discoverable mode, the cannot use Filter Policy.");
    }
    if (disc == limitedDiscoverable()) {
        if (directed)
            return fail("When Discovery Mode is Limited-discoverable mode, the Adv Mode cannot be Directed mode.");
        if (policy)
            return fail("When Discovery Mode is Limited-discoverable mode, the cannot use Filter Policy.");
        if (hexValue(ui->le_duration) > LimitedDurationUnits) {
            refuse(title, limitedDurationText());
            return false;
        }
    }
    if (policy && disc != nonDiscoverable()) {
        refuse(title, filterPolicyText());
        return false;
    }
    const QByteArray advData = ui->m_AdvDataWidget->getAdvData();
    const QByteArray resData = ui->m_AdvDataWidget->getResData();
    if (directed) {
        if (disc != nonDiscoverable())
            return fail("When Adv Mode is Directed mode, the Discovery Mode should be Non-discoverable mode.");
        if (ui->le_peeraddr->getValue() == zeroAddressValue())
            return fail("Legacy Advertising's Peer Address can't be zero when it's a directed advertising.");
        if (!advData.isEmpty())
            return fail("Directed Legacy Advertising cannot set Advertising Data.");
        if (!resData.isEmpty())
            return fail("Directed Legacy Advertising cannot set Scan Response Data.");
    } else {
        if (advData.isEmpty())
            return fail("Legacy Advertising should set Advertising Data.");
        if (advData.size() > MaxAdvData)
            return fail("Legacy Advertising Advertising Data length should less than 28 bytes.");
        if (resData.size() > MaxResData)
            return fail("Legacy Advertising Response Data length should less than 31 bytes.");
    }
    if (hexValue(ui->le_intvmax) < hexValue(ui->le_intvmin))
        return fail("Legacy Advertising's Max Adv Interval should greater than Min Adv Interval.");
    if (!ui->cb_lchannal37->isChecked() && !ui->cb_lchannal38->isChecked() && !ui->cb_lchannal39->isChecked())
        return fail("Legacy Advertising's should choose at least one Channel Map.");
    return true;
}

bool CAdvLegacyWidget::collectParameters(QByteArray advIndex)
{
    if (!collectHex(ui->le_intvmax, QStringLiteral("intvMax"), 2) || !collectHex(ui->le_intvmin, QStringLiteral("intvMin"), 2)
        || !collectHex(ui->le_peeraddr, QStringLiteral("peerAddr"), 6)
        || !collectHex(ui->le_duration, QStringLiteral("duration"), 2))
        return false;
    collectNumber(QStringLiteral("advMode"), quint64(ui->cmb_advmode->currentIndex()), 1);
    collectNumber(QStringLiteral("discMode"), quint64(ui->cmb_discmode->currentIndex()), 1);
    collectNumber(QStringLiteral("addrType"), quint64(ui->cmb_addrtype->currentIndex()), 1);
    collectNumber(QStringLiteral("ownType"), quint64(ui->cmb_owntype->currentIndex()), 1);
    collectNumber(QStringLiteral("scanReqInd"), quint64(ui->cmb_sacanreq->currentIndex()), 1);
    if (!collectHex(ui->le_maxtxpower, QStringLiteral("maxTxPower"), 1))
        return false;
    m_paramMap.insert(QStringLiteral("advIndex"), advIndex);
    collectNumber(QStringLiteral("chanMap"),
                  channelBits(ui->cb_lchannal37, ui->cb_lchannal38, ui->cb_lchannal39), 1);
    collectNumber(QStringLiteral("filterPolicy"), checkedBits({{ui->cb_lscan, 1}, {ui->cb_lconn, 2}}), 1);
    return true;
}

bool CAdvLegacyWidget::setAdvParameter(QByteArray advIndex, const PageWire::Answer &answer)
{
    if (!checkParameters())
        return false;
    return sendParameters(collectParameters(advIndex), QString::fromLatin1(PARAM_COMMAND),
                          QStringLiteral("There is empty input in legacy advertising parameter."), answer);
}

bool CAdvLegacyWidget::setAdvData(QByteArray advIndex, const PageWire::Answer &answer)
{
    return sendDataFrame(ui->m_AdvDataWidget, false, QString::fromLatin1(DATA_COMMAND), DATA_OPCODE, advIndex, 1,
                         answer);
}

void CAdvLegacyWidget::on_btnResetAdvSettings_clicked()
{
    ui->cmb_advmode->setCurrentIndex(0);
    ui->cmb_addrtype->setCurrentIndex(0);
    ui->cmb_discmode->setCurrentIndex(1);
    ui->cmb_owntype->setCurrentIndex(0);
    ui->cmb_sacanreq->setCurrentIndex(0);
    ui->le_duration->setText(QStringLiteral("0"));
    setDuration(ui->le_duration, 0, 655350, generalDurationTip());
    ui->le_peeraddr->setText(zeroAddress());
    ui->le_intvmax->setText(QStringLiteral("100"));
    ui->le_intvmin->setText(QStringLiteral("100"));
    for (QCheckBox *box : {ui->cb_lchannal37, ui->cb_lchannal38, ui->cb_lchannal39})
        box->setChecked(true);
    ui->cb_lconn->setChecked(false);
    ui->cb_lscan->setChecked(false);
    ui->le_maxtxpower->setText(QStringLiteral("0"));
}
