#include "advdatadecoder.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "advertisingdata.h"
#include "logger.h"
#include "logmanager.h"

namespace {

QString hexByte(uchar value)
{
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

} // namespace

QMap<uchar, QString> AdvDataDecoder::typeNames()
{
    static const struct
    {
        uchar type;
        const char *name;
    } table[] = {
        {0x01, "<<Flags>>"},
        {0x02, "<<Incomplete List of 16-bit Service Class UUIDs>>"},
        {0x03, "<<Complete List of 16-bit Service Class UUIDs>>"},
        {0x04, "<<Incomplete List of 32-bit Service Class UUIDs>>"},
        {0x05, "<<Complete List of 32-bit Service Class UUIDs>>"},
        {0x06, "<<Incomplete List of 128-bit Service Class UUIDs>>"},
        {0x07, "<<Complete List of 128-bit Service Class UUIDs>>"},
        {0x08, "<<Shortened Local Name>>"},
        {0x09, "<<Complete Local Name>>"},
        {0x0A, "<<Tx Power Level>>"},
        {0x0D, "<<Class of Device>>"},
        {0x0E, "<<Simple Pairing Hash C-192>>"},
        {0x0F, "<<Simple Pairing Randomizer R-192>>"},
        {0x10, "<<Security Manager TK Value>>"},
        {0x11, "<<Security Manager Out of Band Flags>>"},
        {0x12, "<<Slave Connection Interval Range>>"},
        {0x14, "<<List of 16-bit Service Solicitation UUIDs>>"},
        {0x15, "<<List of 128-bit Service Solicitation UUIDs>>"},
        {0x16, "<<Service Data - 16-bit UUID>>"},
        {0x17, "<<Public Target Address>>"},
        {0x18, "<<Random Target Address>>"},
        {0x19, "<<Appearance>>"},
        {0x1A, "<<Advertising Interval>>"},
        {0x1B, "<<LE Bluetooth Device Address>>"},
        {0x1C, "<<LE Role>>"},
        {0x1D, "<<Simple Pairing Hash C-256>>"},
        {0x1E, "<<Simple Pairing Randomizer R-256>>"},
        {0x1F, "<<List of 32-bit Service Solicitation UUIDs>>"},
        {0x20, "<<Service Data - 32-bit UUID>>"},
        {0x21, "<<Service Data - 128-bit UUID>>"},
        {0x22, "<<LE Secure Connections Confirmation Value>>"},
        {0x23, "<<LE Secure Connections Random Value>>"},
        {0x24, "<<URI>>"},
        {0x25, "<<Indoor Positioning>>"},
        {0x26, "<<Transport Discovery Data>>"},
        {0x27, "<<LE Supported Features>>"},
        {0x28, "<<Channel Map Update Indication>>"},
        {0x29, "<<PB-ADV>>"},
        {0x2A, "<<Mesh Message>>"},
        {0x2B, "<<Mesh Beacon>>"},
        {0x3D, "<<3D Information Data>>"},
        {0xFF, "<<Manufacturer Specific Data>>"},
    };
    QMap<uchar, QString> names;
    for (const auto &row : table)
        names.insert(row.type, QString::fromLatin1(row.name));
    return names;
}

bool AdvDataDecoder::decode(QTreeWidget *tree, const QByteArray &data,
                            const QMap<uchar, QString> &names, LogManager *logger)
{
    static const char *const flagBits[8] = {
        "LE Limited Discoverable Mode",
        "LE General Discoverable Mode",
        "BR/EDR Not Supported",
        "Simultaneous LE and BR/EDR to Same Device Capable (Controller)",
        "Simultaneous LE and BR/EDR to Same Device Capable (Host)",
        "Reserved",
        "Reserved",
        "Reserved",
    };

    tree->clear();
    const auto malformed = [logger] {
        if (logger)
            logger->log(QStringLiteral("The format of advertisng data is wrong."), LogLevel::Debug);
        return false;
    };
    QVector<AdStructure> structures;
    const bool whole = AdvertisingData::split(data, &structures);
    int n = 0;
    for (const AdStructure &structure : qAsConst(structures)) {
        // A zero length would be a structure without a type.
        if (structure.length == 0)
            return malformed();
        const QString name = names.value(structure.type);

        auto *top = new QTreeWidgetItem(QStringList{QStringLiteral("Data %1:").arg(n) + name});
        tree->addTopLevelItem(top);
        top->addChild(new QTreeWidgetItem(
            QStringList{QStringLiteral("Lenth of this data"), hexByte(uchar(structure.length))}));
        auto *typeItem = new QTreeWidgetItem(QStringList{name, hexByte(structure.type)});
        top->addChild(typeItem);

        if (structure.type == 0x01) {
            if (structure.length != 2)
                return false;
            const uchar flags = uchar(structure.data.at(0));
            auto *flagItem = new QTreeWidgetItem(QStringList{
                QStringLiteral("Flag Data:0x%1").arg(flags, 2, 16, QLatin1Char('0')), hexByte(flags)});
            typeItem->addChild(flagItem);
            for (int bit = 0; bit < 8; ++bit) {
                flagItem->addChild(new QTreeWidgetItem(QStringList{
                    QString::fromLatin1(flagBits[bit]),
                    (flags & (1u << bit)) ? QStringLiteral("ON") : QStringLiteral("OFF")}));
            }
        } else {
            const bool isName = structure.type == AdvertisingData::ShortenedLocalName
                || structure.type == AdvertisingData::CompleteLocalName;
            for (const char byte : structure.data) {
                typeItem->addChild(new QTreeWidgetItem(QStringList{
                    isName ? QString(QLatin1Char(byte)) : QString(), hexByte(uchar(byte))}));
            }
        }
        ++n;
    }
    if (!whole)
        return malformed();
    tree->expandAll();
    return true;
}
