#pragma once

#include "cadvbasewidget.h"

namespace Ui {
class CAdvExtendWidget;
}

// Parameters and data of one extended advertising set.
class CAdvExtendWidget : public CAdvBaseWidget
{
    Q_OBJECT

public:
    CAdvExtendWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent = nullptr);
    ~CAdvExtendWidget() override;

    bool setAdvParameter(QByteArray advIndex, const PageWire::Answer &answer = PageWire::Answer()) override;
    bool setAdvData(QByteArray advIndex, const PageWire::Answer &answer = PageWire::Answer()) override;

private slots:
    void on_btnResetAdvSettings_clicked();
    void on_eadvModeTextChanged(QString eadvMode);

private:
    bool checkParameters();
    bool collectParameters(QByteArray advIndex);
    void initValidators();

    Ui::CAdvExtendWidget *ui;
};
