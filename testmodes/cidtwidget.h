#pragma once

#include "ctestmodepage.h"

namespace Ui {
class CIDTwidget;
}

// The IDT radio test page: access address and channel number; channel and
// power while it runs; transmit runs of length and data; received packets.
class CIDTwidget : public CTestModePage
{
    Q_OBJECT

public:
    CIDTwidget(CMsg *link, LogManager *logger, QWidget *parent = nullptr);
    ~CIDTwidget() override;

public slots:
    void on_btn_startidt_clicked();

protected:
    QString checkSetInput() const override;
    QString checkModeInput() const override;
    QString checkTxInput() const override;
    QMap<QString, QVariant> startModeFields() const override;
    QMap<QString, QVariant> setParameterFields() const override;
    QMap<QString, QVariant> transmitFields(const QByteArray &payload) const override;
    QStringList rxRowTexts(const QMap<QString, QByteArray> &fields) const override;

private:
    Ui::CIDTwidget *ui;
};
