#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QVector>
#include <QtGlobal>

// One field of a command: where its bytes sit in a frame. `index` counts from
// the layer byte, so the first payload byte has index 4; `length` 0 means
// "to the end of the frame".
struct CmdFieldInfo
{
    QString key;
    quint32 index = 0;
    quint32 length = 0;
    QString src;
};

// One advertising data type. `length` is read from hexadecimal text.
struct AdvDataTypeInfo
{
    QString key;
    QString title;
    QString type;
    quint32 length = 0;
    QString value;
};

// One choice of an enumerated form field.
struct UiElemInfo
{
    QString valueDesc;
    quint64 value = 0;
};

// One field of a form. The texts are the attributes as written, empty when
// absent; their meaning belongs to the editors that use them.
struct UiFieldInfo
{
    QString key;
    QString title;
    QString type;
    QString subType;
    QString length;
    QString maxLength;
    QString min;
    QString max;
    QString singleStep;
    QString precision;
    QString defaultValue;
    QMap<quint64, QString> valueDescMap;
    QMap<QString, quint64> descValueMap;
    QList<UiElemInfo> elemList;
    QVector<UiFieldInfo> subFieldVec;
};

struct UiComponentInfo
{
    QString name;
    QString father;
    QString format;
};

struct UiComponentFields
{
    QString name;
    QVector<UiFieldInfo> fields;
};
