#pragma once

#include "cfgtypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

// Conversions between numbers, byte arrays and hexadecimal text used to fill
// and read message fields. Endian selector: 0 little-endian, 1 big-endian.
class CUtil : public QObject
{
    Q_OBJECT

public:
    static int arrayToValue(int endian, const QByteArray &array, quint64 *value);
    static QByteArray valueToArray(int endian, quint64 value, int length);
    static QByteArray fitArray(const QByteArray &array, int length);
    static quint16 byteAraryToShort(const QByteArray &array, int endian);
    static int cmpArray(const QByteArray &first, const QByteArray &second);
    static QString reverseString(const QString &text, int unit);
    static int findNameToUiElement(const QVector<UiComponentFields> &components, const QString &name,
                                   UiComponentFields *component);
    static int random(int lower, int upper);

private:
    static bool s_seeded;
};
