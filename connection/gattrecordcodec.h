#pragma once

#include "attributeinfo.h"
#include "gattlistresult.h"

#include <QByteArray>

// The GATT page's byte layouts that the catalogue does not describe: one
// record of a discovery or read list (after GattListResult has cut the list),
// the security manager's request and the pairing confirmation built by hand.
// Every reader checks the size first and never reads past the end.
class GattRecordCodec
{
public:
    enum Error {
        NoError,
        TooShort,       // fewer bytes than the fixed header
        LengthMismatch  // the header's length does not match the bytes that follow it
    };

    enum ListKind { ServiceList, IncludeList, CharacteristicList, DescriptorList };

    // One discovery record as the attribute table stores it.
    struct Declaration
    {
        Error error = NoError;
        quint16 handle = 0;
        // 0x2800, 0x2802 or 0x2803; 0 for a descriptor, which has no declaration.
        quint16 type = 0;
        // Start and end handle and UUID of a service or include; properties,
        // value handle and UUID of a characteristic (the list gives the value
        // handle first); empty for a descriptor.
        QByteArray value;
        QByteArray uuid;
    };
    static Declaration declaration(const QByteArray &record, ListKind kind);
    // The attribute table's entry of a declaration (type not 0) or a descriptor.
    static AttributeInfo entry(const Declaration &declaration);
    // How GattListResult cuts a list of this kind.
    static GattListResult::Layout layout(ListKind kind);

    struct ReadValue
    {
        Error error = NoError;
        quint16 handle = 0;
        QByteArray value;
    };
    static ReadValue readValue(const QByteArray &record);

    // Types of the security request and of its confirmation.
    enum RequestType : quint8 { Encryption = 0, Passkey = 1, NumericComparison = 3 };
    // Roles of a passkey request.
    enum PasskeyRole : quint8 { DisplayPasskey = 1, EnterPasskey = 2 };

    // The request's type, its own bytes, then the connection index.
    struct SecurityRequest
    {
        Error error = NoError;
        bool hasCondix = false;
        quint8 condix = 0;
        quint8 type = 0;
        quint8 role = 0;      // passkey requests
        quint32 number = 0;   // numeric comparisons
    };
    static SecurityRequest securityRequest(const QByteArray &payload);

    // Confirmation payloads: type, response, (passkey,) connection index.
    static QByteArray confirmation(quint8 type, quint8 response, quint8 condix);
    static QByteArray passkeyConfirmation(quint8 response, quint32 passkey, quint8 condix);
    // The answer to a request that is not put to the user.
    static QByteArray declined(quint8 type, quint8 condix);
};
