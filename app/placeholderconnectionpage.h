#pragma once

#include "pageinterfaces.h"
#include "pageregistry.h"
#include "pagewire.h"

class QLabel;

// The least a connection tab needs until the connection layer registers its
// page: it knows its connection and can ask the dongle to drop it.
class PlaceholderConnectionPage : public ConnectionPage
{
    Q_OBJECT
public:
    PlaceholderConnectionPage(const PageContext &context, const ConnectionPageArgs &args);
    ~PlaceholderConnectionPage() override;

    uint8_t condix() const override { return m_condix; }
    uint8_t role() const override { return m_role; }
    QString peerAddress() const override { return m_peerAddress; }

public slots:
    void disconnect() override;

private:
    PageWire m_wire;
    QString m_peerAddress;
    uint8_t m_role;
    uint8_t m_condix;
};
