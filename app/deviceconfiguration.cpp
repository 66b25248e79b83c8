#include "deviceconfiguration.h"

#include "ccfgfileparse.h"
#include "ccommand.h"
#include "commandnames.h"
#include "cutil.h"
#include "devicesettingscodec.h"
#include "logger.h"
#include "profilerecordcodec.h"

#include <QStringList>

DeviceConfiguration::DeviceConfiguration(const PageWire &wire, QMap<QString, QVariant> *settings)
    : m_wire(wire)
    , m_settings(settings)
{
}

bool DeviceConfiguration::parse(const QByteArray &frame, PageWire::Fields *fields) const
{
    return m_wire.check(frame, __LINE__, QString(), fields, PageWire::Form().noStatus()) == PageWire::Succeeded;
}

void DeviceConfiguration::sendQueries()
{
    m_deviceType = -1;
    m_wire.send(QString::fromLatin1(CMD_DEVICE_TYPE_GET));
    m_wire.send(QString::fromLatin1(CMD_DEVICE_BD_ADDRESS_GET));
    m_addressQueryPending = true;
    for (const char *name : {CMD_DEVICE_NAME_GET, CMD_APPEARANCE_GET, CMD_PERIPHERAL_PREFERRED_CONNECTION_PARAMETERS_GET,
                             CMD_GET_PROFILE_ID, CMD_GET_WHITELIST})
        m_wire.send(QString::fromLatin1(name));
}

void DeviceConfiguration::sendStaticConfiguration()
{
    QMap<QString, QVariant> fields = *m_settings;
    // A setting's acknowledgement is its result: logged whatever it says.
    for (const char *name : {CMD_L2CAP_PARAMETERS_SETTINGS, CMD_DATA_LENGTH_SET, CMD_PRIVACY_SET,
                             CMD_IDENTITY_ADDRESS_SET})
        m_wire.send(QString::fromLatin1(name), fields, {}, PageWire::Answer::withSuccess());
    sendDeviceName(fields);
    for (const char *name : {CMD_APPEARANCE_SET, CMD_PERIPHERAL_PREFERRED_CONNECTION_PARAMETERS_SET, CMD_LOCAL_IRK_SET,
                             CMD_PREFERRED_PHY_SET, CMD_RF_PATH_COMPENSATION_SET})
        m_wire.send(QString::fromLatin1(name), fields, {}, PageWire::Answer::withSuccess());
    bool truncated = false;
    fields.insert(QStringLiteral("profile"),
                  ProfileRecordCodec::enabledIds(fields.value(QStringLiteral("profile")).toByteArray(), &truncated));
    if (truncated)
        m_wire.log(QStringLiteral("MainDongleWidget::on_staticConfigSet, the stored profile list ends in a truncated "
                                  "record; only the records before it are sent."),
                   LogLevel::Error);
    m_wire.send(QString::fromLatin1(CMD_SET_PROFILE_ID), fields);
    m_wire.send(QString::fromLatin1(CMD_SET_SECURITY_PAIR_ENABLE), fields, {}, PageWire::Answer::withSuccess());
}

void DeviceConfiguration::sendDynamicConfiguration()
{
    m_wire.send(QString::fromLatin1(CMD_SET_SECURITY_PARAMETER), *m_settings, {}, PageWire::Answer::withSuccess());
}

void DeviceConfiguration::sendDeviceName(const QMap<QString, QVariant> &fields)
{
    // Built by hand: the catalogue gives only its ID.
    const QString command = QString::fromLatin1(CMD_DEVICE_NAME_SET);
    QString why;
    const QByteArray payload =
        DeviceSettingsCodec::deviceNameSetPayload(fields.value(QStringLiteral("device_name")).toString(), &why);
    if (payload.isEmpty()) {
        // Sending a corrupted name would rename the dongle to garbage.
        m_wire.log(QStringLiteral("Downlink Command: ") + command + QStringLiteral(" not sent: ") + why
                       + QLatin1Char('.'),
                   LogLevel::Error);
        return;
    }
    m_wire.sendFrame(command, payload, PageWire::Answer::withSuccess());
}

void DeviceConfiguration::deviceTypeAnswer(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!parse(frame, &fields))
        return;
    const QByteArray type = fields.value(QStringLiteral("type"));
    if (type.isEmpty()) {
        m_wire.internalError(__LINE__, QStringLiteral("MainDongleWidget::deviceTypeGetProc"));
        return;
    }
    m_deviceType = int(qint8(type.at(0)));
}

void DeviceConfiguration::addressAnswer(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!parse(frame, &fields) || !m_addressQueryPending)
        return;
    m_addressQueryPending = false;
    const QByteArray address = fields.value(QStringLiteral("identity_addr"));
    m_settings->insert(QStringLiteral("identity_addr"), CUtil::hexText(address, CUtil::Reversed));
    const QByteArray type = fields.value(QStringLiteral("identity_addr_type"));
    if (type.size() == 1)
        m_settings->insert(QStringLiteral("identity_addr_type"), int(qint8(type.at(0))));
}

void DeviceConfiguration::deviceNameAnswer(const QByteArray &frame)
{
    m_wire.logFrame(frame);
    const QByteArray payload = PageWire::payload(frame);
    const QString command = QString::fromLatin1(CMD_DEVICE_NAME_GET);
    // The two texts tell an empty answer from one whose length byte is wrong.
    if (payload.isEmpty()) {
        m_wire.log(QStringLiteral("Uplink Command: ") + command + QStringLiteral(" is wrong."), LogLevel::Error);
        return;
    }
    QByteArray name;
    if (!DeviceSettingsCodec::nameFromAnswer(payload, &name)) {
        m_wire.log(QStringLiteral("uplink msg: ") + command + QStringLiteral(" is wrong."), LogLevel::Error);
        return;
    }
    m_settings->insert(QStringLiteral("device_name"), DeviceSettingsCodec::storedDeviceName(name));
}

void DeviceConfiguration::appearanceAnswer(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!parse(frame, &fields))
        return;
    m_settings->insert(QStringLiteral("appearance"),
                       QString::number(CUtil::littleEndian(fields.value(QStringLiteral("appearance"))), 16));
}

void DeviceConfiguration::preferredParametersAnswer(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!parse(frame, &fields))
        return;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        m_settings->insert(it.key(),
                           QString::number(CUtil::littleEndian(it.value()), 16).rightJustified(4, QLatin1Char('0')));
}

void DeviceConfiguration::profileAnswer(const QByteArray &frame)
{
    m_wire.logFrame(frame);
    int truncatedAt = -1;
    const QByteArray profiles = ProfileRecordCodec::storedFromAnswer(PageWire::payload(frame), &truncatedAt);
    if (truncatedAt >= 0)
        m_wire.log(QStringLiteral("MainDongleWidget::profileGetProc, the profile record at byte %1 is truncated; "
                                  "the records after it are dropped.")
                       .arg(truncatedAt),
                   LogLevel::Error);
    m_settings->insert(QStringLiteral("profile"), profiles);
}
