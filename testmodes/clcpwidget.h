#pragma once

#include "ctestmodepage.h"

namespace Ui {
class CLCPwidget;
}

// The LCP radio test page: access address, CRC init, frequency, channel and
// power; transmit runs of header, length and payload; received packets.
class CLCPwidget : public CTestModePage
{
    Q_OBJECT

public:
    CLCPwidget(CMsg *link, LogManager *logger, QWidget *parent = nullptr);
    ~CLCPwidget() override;

public slots:
    void on_btn_startlcp_clicked();

protected:
    QString checkSetInput() const override;
    QString checkModeInput() const override;
    QString checkTxInput() const override;
    QMap<QString, QVariant> startModeFields() const override;
    QMap<QString, QVariant> setParameterFields() const override;
    QMap<QString, QVariant> transmitFields(const QByteArray &payload) const override;
    QStringList rxRowTexts(const QMap<QString, QByteArray> &fields) const override;

private:
    Ui::CLCPwidget *ui;
};
