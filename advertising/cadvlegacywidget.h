#pragma once

#include "cadvbasewidget.h"

namespace Ui {
class CAdvLegacyWidget;
}

// Parameters and data of one legacy advertising set.
class CAdvLegacyWidget : public CAdvBaseWidget
{
    Q_OBJECT

public:
    CAdvLegacyWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent = nullptr);
    ~CAdvLegacyWidget() override;

    bool setAdvParameter(QByteArray advIndex, const PageWire::Answer &answer = PageWire::Answer()) override;
    bool setAdvData(QByteArray advIndex, const PageWire::Answer &answer = PageWire::Answer()) override;
    // A directed set carries no data: the page starts it right after its parameters.
    bool isDirectedAdv();

private slots:
    void on_btnResetAdvSettings_clicked();
    void on_discoverModeTextChanged(QString discoverMode);
    void on_advModeTextChanged(QString advMode);

private:
    bool checkParameters();
    bool collectParameters(QByteArray advIndex);
    void initValidators();
    void setDurationRange(const QString &advMode, const QString &discoverMode);

    Ui::CAdvLegacyWidget *ui;
};
