#pragma once

#include "pagewire.h"

#include <QMap>
#include <QString>
#include <QVariant>

// The dongle's side of its settings values, apart from any widget: the
// queries after a reset and the answers they store, and the configuration
// sent when the user applies the settings screen.
class DeviceConfiguration
{
public:
    DeviceConfiguration(const PageWire &wire, QMap<QString, QVariant> *settings);

    // The seven queries; the device type is unknown until answered.
    void sendQueries();
    void sendStaticConfiguration();
    void sendDynamicConfiguration();

    // -1 until "Device Type Get" is answered after a reset.
    int deviceType() const { return m_deviceType; }

    void deviceTypeAnswer(const QByteArray &frame);
    void addressAnswer(const QByteArray &frame);
    void deviceNameAnswer(const QByteArray &frame);
    void appearanceAnswer(const QByteArray &frame);
    void preferredParametersAnswer(const QByteArray &frame);
    void profileAnswer(const QByteArray &frame);

private:
    bool parse(const QByteArray &frame, PageWire::Fields *fields) const;
    void sendDeviceName(const QMap<QString, QVariant> &fields);

    PageWire m_wire;
    QMap<QString, QVariant> *m_settings;
    int m_deviceType = -1;
    // Other dialogs ask for the address too; only the reset's query is stored.
    bool m_addressQueryPending = false;
};
