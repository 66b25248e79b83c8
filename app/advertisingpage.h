#pragma once

#include <QByteArray>
#include <QWidget>

#include <cstdint>

// What the dongle tab needs of its advertising page ("Slave" tab). The
// advertising layer's page derives from this and registers a maker with
// PageFactory; without one the tab shows an empty page that never advertises.
class AdvertisingPage : public QWidget
{
    Q_OBJECT
public:
    explicit AdvertisingPage(QWidget *parent = nullptr);
    ~AdvertisingPage() override;

    virtual bool isAdvertising() const { return false; }
    virtual void resetAdvList() {}

public slots:
    virtual void onRcvMsg(QByteArray frame) { Q_UNUSED(frame) }

signals:
    void sig_slaveBIGSucceed(uint8_t advIndex);
};
