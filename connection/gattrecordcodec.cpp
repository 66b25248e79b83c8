#include "gattrecordcodec.h"

#include "attributetext.h"
#include "ccommand.h"
#include "cutil.h"

namespace {

quint16 u16At(const QByteArray &bytes, int at)
{
    return quint16(CUtil::littleEndian(bytes.mid(at, 2)));
}

const quint16 PrimaryService = 0x2800;
const quint16 Include = 0x2802;
const quint16 Characteristic = 0x2803;

} // namespace

GattListResult::Layout GattRecordCodec::layout(ListKind kind)
{
    static const GattListResult::Layout layouts[] = {GattListResult::Services, GattListResult::Includes,
                                                     GattListResult::Characteristics, GattListResult::Descriptors};
    return layouts[kind];
}

GattRecordCodec::Declaration GattRecordCodec::declaration(const QByteArray &record, ListKind kind)
{
    const int header = layout(kind).headerSize;
    Declaration result;
    if (record.size() < header) {
        result.error = TooShort;
        return result;
    }
    if (record.size() != header + quint8(record.at(header - 1))) {
        result.error = LengthMismatch;
        return result;
    }
    result.handle = u16At(record, 0);
    result.uuid = record.mid(header);
    switch (kind) {
    case ServiceList:
        result.type = PrimaryService;
        result.value = record.left(4) + result.uuid;
        break;
    case IncludeList:
        result.type = Include;
        result.value = record.mid(2, 4) + result.uuid;
        break;
    case CharacteristicList:
        result.type = Characteristic;
        result.value = record.mid(4, 1) + record.mid(2, 2) + result.uuid;
        break;
    case DescriptorList:
        break;
    }
    return result;
}

AttributeInfo GattRecordCodec::entry(const Declaration &declaration)
{
    AttributeInfo entry;
    entry.valid = 1;
    entry.handle = declaration.handle;
    if (declaration.type == 0) {
        AttributeText::setShortUuid(&entry, declaration.uuid, 4);
        return entry;
    }
    entry.uuid = CCommand::uuid16ToArray(declaration.type);
    entry.uuidDescription = CCommand::enumText("en_UUID", declaration.type);
    entry.value = declaration.value;
    return entry;
}

GattRecordCodec::ReadValue GattRecordCodec::readValue(const QByteArray &record)
{
    const int header = GattListResult::Reads.headerSize;
    ReadValue result;
    if (record.size() < header) {
        result.error = TooShort;
        return result;
    }
    if (record.size() != header + u16At(record, header - 2)) {
        result.error = LengthMismatch;
        return result;
    }
    result.handle = u16At(record, 0);
    result.value = record.mid(header);
    return result;
}

GattRecordCodec::SecurityRequest GattRecordCodec::securityRequest(const QByteArray &payload)
{
    SecurityRequest request;
    if (payload.isEmpty()) {
        request.error = TooShort;
        return request;
    }
    request.hasCondix = true;
    request.condix = quint8(payload.back());
    request.type = quint8(payload.at(0));
    // type, its own bytes, the connection index
    const int needed = request.type == NumericComparison ? 6 : request.type == Passkey ? 3 : 2;
    if (payload.size() < needed) {
        request.error = TooShort;
        return request;
    }
    if (request.type == Passkey)
        request.role = quint8(payload.at(1));
    else if (request.type == NumericComparison)
        request.number = quint32(CUtil::littleEndian(payload.mid(1, 4)));
    return request;
}

QByteArray GattRecordCodec::confirmation(quint8 type, quint8 response, quint8 condix)
{
    QByteArray payload;
    payload.append(char(type));
    payload.append(char(response));
    payload.append(char(condix));
    return payload;
}

QByteArray GattRecordCodec::passkeyConfirmation(quint8 response, quint32 passkey, quint8 condix)
{
    QByteArray payload;
    payload.append(char(Passkey));
    payload.append(char(response));
    payload.append(CUtil::valueToArray(0, passkey, 4));
    payload.append(char(condix));
    return payload;
}

QByteArray GattRecordCodec::declined(quint8 type, quint8 condix)
{
    return type == Passkey ? passkeyConfirmation(0, 0, condix) : confirmation(type, 0, condix);
}

std::optional<GattRecordCodec::HandleRange> GattRecordCodec::handleRange(const QByteArray &value)
{
    if (value.size() < 4)
        return std::nullopt;
    return HandleRange{quint16(CUtil::littleEndian(value.left(2))), quint16(CUtil::littleEndian(value.mid(2, 2)))};
}

std::optional<GattRecordCodec::CharacteristicValue> GattRecordCodec::characteristicValue(const QByteArray &value)
{
    if (value.size() < 3)
        return std::nullopt;
    const quint16 handle = quint16(quint8(value.at(1)) | quint8(value.at(2)) << 8);
    return CharacteristicValue{quint8(value.at(0)), handle, value.mid(3)};
}
