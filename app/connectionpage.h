#pragma once

#include "dynamicpage.h"

#include <cstdint>

// What the dongle tab and the scanning page need of the page of one
// connection. The connection layer's page derives from this and registers a
// maker with PageFactory.
class ConnectionPage : public DynamicPage
{
    Q_OBJECT
public:
    explicit ConnectionPage(QWidget *parent = nullptr);
    ~ConnectionPage() override;

    virtual uint8_t condix() const = 0;
    virtual uint8_t role() const = 0;
    virtual QString peerAddress() const = 0;

public slots:
    // Asks the dongle to drop this connection; the tab goes when the dongle
    // reports the disconnection.
    virtual void disconnect() = 0;
    // The dongle's pairing enable setting changed (settings screen).
    virtual void on_pairEnable(bool enabled) { Q_UNUSED(enabled) }
};
