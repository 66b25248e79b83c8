#pragma once

#include "cfgtypes.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

// The message catalogue: command layouts, form descriptions and advertising
// data types, loaded once from the embedded XML files. The tables are read
// directly and never change after construction.
class CCfgFileParse : public QObject
{
    Q_OBJECT

public:
    // Called with the path of a catalogue file that cannot be loaded. The
    // default logs the file and ends the program: nothing can run without
    // the catalogue.
    using LoadFailureHandler = std::function<void(const QString &path)>;

    static CCfgFileParse *instance();

    // Returns the handler that was in place before.
    static LoadFailureHandler setLoadFailureHandler(LoadFailureHandler handler);

    // Each reads one file into the given tables (adding, never clearing) and
    // returns 0, or -1 when the file cannot be opened or is not well-formed.
    static int parseCmdFile(const QString &path, QMap<QString, QVector<CmdFieldInfo>> &idToFields);
    static int parseCmdNameAndId(const QString &path, QMap<QString, QString> &nameToId,
                                 QMap<QString, QString> &idToName);
    static int parseUiFile(const QString &path, QVector<UiComponentFields> &componentFields,
                           QVector<UiComponentInfo> &components);
    static int parseAdvData(const QString &path, QMap<QString, QVector<AdvDataTypeInfo>> &idToTypes);

    QMap<QString, QVector<CmdFieldInfo>> m_uplinkIdToFieldsMap;
    QMap<QString, QVector<CmdFieldInfo>> m_downlinkIdToFieldsMap;
    QMap<QString, QString> m_uplinkNameToIdMap;
    QMap<QString, QString> m_downlinkNameToIdMap;
    QMap<QString, QString> m_uplinkIdToNameMap;
    QMap<QString, QString> m_downlinkIdToNameMap;
    QMap<QString, QVector<AdvDataTypeInfo>> m_advDataMap;
    QVector<UiComponentFields> m_downlinkNameToUiVec;
    QVector<UiComponentFields> m_uplinkNameToUiVec;
    QVector<UiComponentInfo> m_downlinkUiComponentVec;
    QVector<UiComponentInfo> m_uplinkUiComponentVec;

protected:
    // Loads the catalogue files from another folder than the embedded one.
    CCfgFileParse(const QString &folder, QObject *parent);

private:
    explicit CCfgFileParse(QObject *parent = nullptr);

    void load(const QString &folder);
};
