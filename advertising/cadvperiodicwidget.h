#pragma once

#include "cadvbasewidget.h"

namespace Ui {
class CAdvPeriodicWidget;
}

// Parameters and data of one periodic advertising set.
class CAdvPeriodicWidget : public CAdvBaseWidget
{
    Q_OBJECT

public:
    CAdvPeriodicWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent = nullptr);
    ~CAdvPeriodicWidget() override;

    bool setAdvParameter(QByteArray advIndex, const PageWire::Answer &answer = PageWire::Answer()) override;
    bool setAdvData(QByteArray advIndex, const PageWire::Answer &answer = PageWire::Answer()) override;

private slots:
    void on_btnResetAdvSettings_clicked();
    void on_pdiscoverModeTextChanged(QString pdiscoverMode);

private:
    bool checkParameters();
    bool collectParameters(QByteArray advIndex);
    void initValidators();

    Ui::CAdvPeriodicWidget *ui;
};
