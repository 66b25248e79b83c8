#include "cconfigdonglenamedialog.h"
#include "ui_cconfigdonglenamedialog.h"

CConfigDongleNameDialog::CConfigDongleNameDialog(TabList *tabs, QWidget *parent)
    : CFlatDialog(tr("Config Dongle Name"), parent, 0, 0, false)
    , ui(new Ui::ConfigDongleName)
    , m_tabs(tabs)
{
    ui->setupUi(m_content);
    ui->tooltip->hide();
    connect(ui->PB_Config, &QPushButton::clicked, this, &CConfigDongleNameDialog::on_PB_Config_clicked);
    connect(ui->PB_Cancle, &QPushButton::clicked, this, &CConfigDongleNameDialog::on_PB_Cancle_clicked);
    connect(this, &QDialog::rejected, this, &CConfigDongleNameDialog::on_close);
}

CConfigDongleNameDialog::~CConfigDongleNameDialog()
{
    delete ui;
}

void CConfigDongleNameDialog::setName(const QString &name)
{
    ui->LE_dongleName->setText(name);
}

QString CConfigDongleNameDialog::getName() const
{
    return ui->LE_dongleName->text();
}

bool CConfigDongleNameDialog::isUsableName(const QString &name)
{
    return whyUnusable(name).isEmpty();
}

QString CConfigDongleNameDialog::whyUnusable(const QString &name)
{
    if (name.isEmpty())
        return tr("it is empty");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return tr("it is \".\" or \"..\"");
    if (name.toUtf8().size() > MaxNameBytes)
        return tr("it is longer than %1 bytes").arg(MaxNameBytes);
    for (const QChar c : name) {
        // A name becomes a folder name.
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return tr("it holds \"/\" or \"\\\"");
        if (c.category() == QChar::Other_Control)
            return tr("it holds a control character");
        // Names are shown in titles and panes, where markup has no place.
        if (c == QLatin1Char('<') || c == QLatin1Char('>'))
            return tr("it holds \"<\" or \">\"");
        // In config.ini a name is a group's header, which brackets delimit.
        if (c == QLatin1Char('[') || c == QLatin1Char(']'))
            return tr("it holds \"[\" or \"]\"");
    }
    return QString();
}

void CConfigDongleNameDialog::on_PB_Config_clicked()
{
    emit showDongleTab(this);
    const QString name = ui->LE_dongleName->text();
    if (name.isEmpty())
        return;
    if (name.toUtf8().size() > MaxNameBytes) {
        ui->tooltip->setText(tr("a dongle name cannot be longer than %1 bytes").arg(MaxNameBytes));
        ui->tooltip->show();
        return;
    }
    if (!isUsableName(name)) {
        ui->tooltip->setText(
            tr("a dongle name cannot be \".\", \"..\" or hold \"/\", \"\\\", \"<\", \">\", \"[\", \"]\" or "
               "control characters"));
        ui->tooltip->show();
        return;
    }
    if (m_tabs) {
        for (const auto &tab : *m_tabs) {
            if (tab.second == name) {
                ui->tooltip->setText(tr("already exist this dongle name"));
                ui->tooltip->show();
                return;
            }
        }
    }
    ui->tooltip->hide();
    accept();
    hide();
}

void CConfigDongleNameDialog::on_PB_Cancle_clicked()
{
    reject();
    hide();
}

void CConfigDongleNameDialog::on_close()
{
    hide();
}
