#include "cadvperiodicwidget.h"
#include "ui_cadvperiodicwidget.h"

#include "advformtexts.h"

using namespace AdvFormTexts;

namespace {

const char TITLE[] = "Periodic Advertising Parameters Setting Error";
const char PARAM_COMMAND[] = "Periodic Advertising Parameter Set";
const char DATA_COMMAND[] = "Periodic Advertising Data Set";
const quint8 DATA_OPCODE = 0x33;

// Event property bits.
constexpr quint64 Directed = 0x0004;
constexpr quint64 TxPower = 0x0040;
constexpr quint64 PeriodicTxPower = 0x0080;

} // namespace

CAdvPeriodicWidget::CAdvPeriodicWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings,
                                       QWidget *parent)
    : CAdvBaseWidget(msg, logger, settings, parent)
    , ui(new Ui::CAdvPeriodicWidget)
{
    ui->setupUi(this);
    arrangePanes(ui->m_Hsplitter, ui->scrollArea);
    connect(ui->cmb_pdiscmode, &QComboBox::currentTextChanged, this,
            &CAdvPeriodicWidget::on_pdiscoverModeTextChanged);
    initValidators();
}

CAdvPeriodicWidget::~CAdvPeriodicWidget()
{
    delete ui;
}

void CAdvPeriodicWidget::initValidators()
{
    initExtendedEdits({ui->le_pprimmax, ui->le_pprimmin, ui->le_ppeeraddr, ui->le_pduration, ui->le_pmaxtxpower,
                       ui->le_pmaxadvevt, ui->le_psecmaxskip, ui->le_psecsid},
                      QStringLiteral("200"), QStringLiteral("range 0 to 255"), QStringLiteral("range 0 to 15"));
    for (CValidateLineEdit *edit : {ui->le_ppermax, ui->le_ppermin}) {
        edit->setDoubleType(QStringLiteral("7.5"), QStringLiteral("81918.75"), QStringLiteral("1.25"),
                            QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("200"));
        edit->setToolTip(QStringLiteral("unit: 1.25ms, range: 7.5ms to 81918.75ms"));
    }
}

void CAdvPeriodicWidget::on_pdiscoverModeTextChanged(QString pdiscoverMode)
{
    setDurationForMode(ui->le_pduration, pdiscoverMode, generalDurationTip());
}

bool CAdvPeriodicWidget::checkParameters()
{
    if (!acceptTyped({{ui->label_3_0, ui->le_pduration},
                      {ui->label_3_1, ui->le_ppeeraddr},
                      {ui->label_4_0, ui->le_psecmaxskip},
                      {ui->label_4_1, ui->le_psecsid},
                      {ui->label_5_0, ui->le_pprimmin},
                      {ui->label_5_1, ui->le_pprimmax},
                      {ui->label_6_0, ui->le_pmaxtxpower},
                      {ui->label_6_1, ui->le_pmaxadvevt},
                      {ui->label_7_0, ui->le_ppermin},
                      {ui->label_7_1, ui->le_ppermax}}))
        return false;
    const QString mode = ui->cmb_pdiscmode->currentText();
    const bool directed = ui->cb_pdriected->isChecked();
    const QString title = QString::fromLatin1(TITLE);
    auto fail = [&](const QString &text) {
        refuse(title, text);
        return false;
    };

    if (mode == generalDiscoverable() && directed)
        return fail(QStringLiteral("When Discovery Mode is General-discoverable mode, the Periodic Advertiding cannot "
                                   "be Directed."));
    if (mode == limitedDiscoverable() && directed)
        return fail(QStringLiteral("When Discovery Mode is Limited-discoverable mode, the Periodic Advertiding cannot "
                                   "be Directed."));
    if (mode == limitedDiscoverable() && hexValue(ui->le_pduration) > LimitedDurationUnits)
        return fail(limitedDurationText());
    if (directed && mode != nonDiscoverable())
        return fail(QStringLiteral("When Periodic Advertising is Directed, the Discovery Mode should be "
                                   "Non-discoverable mode."));
    if (ui->m_AdvDataWidget->getAdvData().isEmpty())
        return fail(QStringLiteral("Periodic Advertising should set Advertising Data."));
    if (hexValue(ui->le_pprimmax) < hexValue(ui->le_pprimmin))
        return fail(QStringLiteral("Periodic Advertising's Max Adv Interval should greater than Min Adv Interval."));
    if (channelBits(ui->cb_pchannal37, ui->cb_pchannal38, ui->cb_pchannal39) == 0)
        return fail(QStringLiteral("Periodic Advertising's should choose at least one Channel Map."));
    if (ui->m_AdvDataWidget->getPeriodicData().isEmpty())
        return fail(QStringLiteral("Periodic Advertising should set PAdv Data."));
    if (directed && ui->le_ppeeraddr->getValue() == zeroAddressValue())
        return fail(QStringLiteral("Periodic Advertising's Peer Address can't be zero when it's a directed "
                                   "advertising."));
    return true;
}

bool CAdvPeriodicWidget::collectParameters(QByteArray advIndex)
{
    if (!collectHex(ui->le_pprimmax, QStringLiteral("pprimIntvMax"), 4)
        || !collectHex(ui->le_pprimmin, QStringLiteral("pprimIntvMin"), 4)
        || !collectHex(ui->le_ppeeraddr, QStringLiteral("ppeerAddr"), 6)
        || !collectHex(ui->le_pduration, QStringLiteral("pduration"), 2)
        || !collectHex(ui->le_pmaxtxpower, QStringLiteral("pmaxTxPower"), 1)
        || !collectHex(ui->le_pmaxadvevt, QStringLiteral("pmaxAdvEvt"), 1)
        || !collectHex(ui->le_psecmaxskip, QStringLiteral("psecMaxSkip"), 1)
        || !collectHex(ui->le_psecsid, QStringLiteral("psecSid"), 1))
        return false;
    m_paramMap.insert(QStringLiteral("padvIndex"), advIndex);
    if (!collectHex(ui->le_ppermax, QStringLiteral("pperIntvMax"), 2)
        || !collectHex(ui->le_ppermin, QStringLiteral("pperIntvMin"), 2))
        return false;
    collectNumber(QStringLiteral("psecPhy"), quint64(ui->cmb_psecphy->currentIndex() + 1), 1);
    collectNumber(QStringLiteral("paddrType"), quint64(ui->cmb_paddrtype->currentIndex()), 1);
    collectNumber(QStringLiteral("pprimPhy"), quint64(ui->cmb_pprimphy->currentIndex() * 2 + 1), 1);
    collectNumber(QStringLiteral("pdiscMode"), quint64(ui->cmb_pdiscmode->currentIndex()), 1);
    collectNumber(QStringLiteral("pownType"), quint64(ui->cmb_powntype->currentIndex()), 1);
    collectNumber(QStringLiteral("pchanMap"), channelBits(ui->cb_pchannal37, ui->cb_pchannal38, ui->cb_pchannal39), 1);
    collectNumber(QStringLiteral("ppolicy"), 0, 1);
    collectNumber(QStringLiteral("pproperties"),
                  checkedBits({{ui->cb_pdriected, Directed}, {ui->cb_ptxpower, TxPower}, {ui->cb_ppertxpwr, PeriodicTxPower}}),
                  2);
    return true;
}

bool CAdvPeriodicWidget::setAdvParameter(QByteArray advIndex, const PageWire::Answer &answer)
{
    if (!checkParameters())
        return false;
    return sendParameters(collectParameters(advIndex), QString::fromLatin1(PARAM_COMMAND),
                          QStringLiteral("There is empty input in periodic advertising parameter."), answer);
}

bool CAdvPeriodicWidget::setAdvData(QByteArray advIndex, const PageWire::Answer &answer)
{
    return sendDataFrame(ui->m_AdvDataWidget, true, QString::fromLatin1(DATA_COMMAND), DATA_OPCODE, advIndex, 2,
                         answer);
}

void CAdvPeriodicWidget::on_btnResetAdvSettings_clicked()
{
    ui->cmb_paddrtype->setCurrentIndex(0);
    ui->cmb_pdiscmode->setCurrentIndex(1);
    ui->cmb_powntype->setCurrentIndex(0);
    ui->cmb_pprimphy->setCurrentIndex(0);
    ui->cmb_psecphy->setCurrentIndex(0);
    ui->le_pduration->setText(QStringLiteral("0"));
    setDuration(ui->le_pduration, 0, 655350, QStringLiteral("unit: 10ms, range: 0ms to 655350ms"));
    ui->le_pmaxadvevt->setText(QStringLiteral("0"));
    ui->le_pmaxtxpower->setText(QStringLiteral("0"));
    ui->le_ppeeraddr->setText(zeroAddress());
    for (CValidateLineEdit *edit : {ui->le_ppermax, ui->le_ppermin, ui->le_pprimmax, ui->le_pprimmin})
        edit->setText(QStringLiteral("200"));
    ui->le_psecmaxskip->setText(QStringLiteral("0"));
    ui->le_psecsid->setText(QStringLiteral("0"));
    for (QCheckBox *box : {ui->cb_pchannal37, ui->cb_pchannal38, ui->cb_pchannal39})
        box->setChecked(true);
    for (QCheckBox *box : {ui->cb_pdriected, ui->cb_ppertxpwr, ui->cb_ptxpower})
        box->setChecked(false);
}
