#include "bigfields.h"

#include "cutil.h"

QString BigFields::codeField(const QString &code)
{
    // Pairs count from the last digit: a lone first digit is dropped.
    return CUtil::hexPairText(code.mid(code.size() % 2), CUtil::Reversed);
}

QList<quint16> BigFields::assignHandles(QVector<bisParameter> *list, const QByteArray &handles)
{
    QList<quint16> given;
    for (int k = 0; 2 * k < handles.size() && k < list->size(); ++k) {
        // A last odd byte alone is taken as the value.
        const quint16 handle = quint16(CUtil::littleEndian(handles.mid(2 * k, 2)));
        (*list)[k].bisHandle = QString::number(handle);
        given << handle;
    }
    return given;
}
