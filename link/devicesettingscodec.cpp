#include "devicesettingscodec.h"

#include "ccommand.h"
#include "cutil.h"

QByteArray DeviceSettingsCodec::deviceNameSetFrame(const QString &storedName, uchar layer, uchar opcode,
                                                   QString *error)
{
    const QByteArray payload = deviceNameSetPayload(storedName, error);
    return payload.isEmpty() ? QByteArray() : CCommand::downlinkFrame(layer, opcode, payload);
}

QByteArray DeviceSettingsCodec::deviceNameSetPayload(const QString &storedName, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QByteArray();
    };
    if (storedName.size() % 2 != 0)
        return fail(QStringLiteral("the stored name has an odd number of hex digits"));
    const int length = storedName.size() / 2;
    if (length > MaxDeviceNameBytes)
        return fail(QStringLiteral("the name is longer than %1 bytes").arg(MaxDeviceNameBytes));
    for (const QChar c : storedName) {
        const ushort u = c.unicode();
        const bool hexDigit = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!hexDigit)
            return fail(QStringLiteral("the stored name holds a character that is not a hex digit"));
    }
    // Stored last byte first: the pair at the end of the text is the first byte.
    const QByteArray name = CUtil::hexBytes(storedName, CUtil::Reversed);
    if (error)
        error->clear();
    return char(name.size()) + name;
}

QString DeviceSettingsCodec::storedDeviceName(const QByteArray &nameBytes)
{
    return CUtil::hexText(nameBytes, CUtil::Reversed);
}

bool DeviceSettingsCodec::nameFromAnswer(const QByteArray &payload, QByteArray *name)
{
    if (payload.isEmpty() || payload.size() != uchar(payload.at(0)) + 1)
        return false;
    *name = payload.mid(1);
    return true;
}
