#include "advertisingdata.h"

bool AdvertisingData::split(const QByteArray &data, QVector<AdStructure> *structures)
{
    structures->clear();
    for (int start = 0; start < data.size();) {
        const int length = uchar(data.at(start));
        // The structure's last byte sits at start + length.
        if (start + length >= data.size())
            return false;
        AdStructure structure;
        structure.offset = start;
        structure.length = length;
        if (length >= 1) {
            structure.type = uchar(data.at(start + 1));
            structure.data = data.mid(start + 2, length - 1);
        }
        structures->append(structure);
        start += length + 1;
    }
    return true;
}

QByteArray AdvertisingData::localName(const QVector<AdStructure> &structures)
{
    QByteArray name;
    bool complete = false;
    for (const AdStructure &structure : structures) {
        if (structure.length < 2)
            continue;
        if (structure.type == CompleteLocalName) {
            name = structure.data;
            complete = true;
        } else if (structure.type == ShortenedLocalName && name.isEmpty() && !complete) {
            name = structure.data;
        }
    }
    return name;
}
