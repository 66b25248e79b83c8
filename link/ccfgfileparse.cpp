#include "ccfgfileparse.h"

#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QtDebug>

#include <cstdio>
#include <cstdlib>

// Q_INIT_RESOURCE must be used from the global namespace.
static void initCatalogueResources()
{
    Q_INIT_RESOURCE(conf);
}

namespace {

const char EMBEDDED_FOLDER[] = ":/config/resources/conf";

void exitOnLoadFailure(const QString &path)
{
    qCritical().noquote() << QStringLiteral("The program cannot run without its message catalogue (\"%1\") and stops.")
                                 .arg(path);
    // The catalogue may be read on a thread beside the one building the
    // window: exit handlers run from here would tear Qt down under it.
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

QMutex &handlerMutex()
{
    static QMutex mutex;
    return mutex;
}

CCfgFileParse::LoadFailureHandler &currentHandler()
{
    static CCfgFileParse::LoadFailureHandler handler = exitOnLoadFailure;
    return handler;
}

// Reads a whole file into a DOM document; false (with a warning naming the
// file) when it cannot be opened or is not well-formed XML.
bool readDocument(const QString &path, QDomDocument &document)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << QStringLiteral("CCfgFileParse: cannot open \"%1\": %2")
                                    .arg(path, file.errorString());
        return false;
    }
    QString error;
    int line = 0;
    int column = 0;
    const bool parsed = document.setContent(&file, &error, &line, &column);
    file.close();
    if (!parsed) {
        qWarning().noquote() << QStringLiteral("CCfgFileParse: \"%1\" is not well-formed XML, line %2 column %3: %4")
                                    .arg(path)
                                    .arg(line)
                                    .arg(column)
                                    .arg(error);
        return false;
    }
    return true;
}

// Calls visit on every child element of parent, in document order.
template <typename Visit>
void forEachChildElement(const QDomElement &parent, Visit visit)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement())
        visit(child);
}

template <typename Container, typename Read>
Container readChildElements(const QDomElement &parent, Read read)
{
    Container items;
    forEachChildElement(parent, [&items, &read](const QDomElement &child) { items.append(read(child)); });
    return items;
}

// Visits every entry below the root of a catalogue file; -1 when the file
// cannot be read, 0 otherwise.
template <typename Visit>
int forEachEntry(const QString &path, Visit visit)
{
    QDomDocument document;
    if (!readDocument(path, document))
        return -1;
    forEachChildElement(document.documentElement(), visit);
    return 0;
}

bool isEnumerated(const QString &type)
{
    return type == QLatin1String("enum") || type == QLatin1String("enum_mask")
        || type == QLatin1String("enum_mask_read") || type == QLatin1String("enum_mask_read_half");
}

// A number that does not parse reads as 0.
CmdFieldInfo readCommandField(const QDomElement &element)
{
    CmdFieldInfo field;
    field.key = element.attribute(QStringLiteral("key"));
    field.index = element.attribute(QStringLiteral("index")).toUInt(nullptr, 10);
    field.length = element.attribute(QStringLiteral("length")).toUInt(nullptr, 10);
    field.src = element.attribute(QStringLiteral("src"));
    return field;
}

AdvDataTypeInfo readAdvDataType(const QDomElement &element)
{
    AdvDataTypeInfo type;
    type.key = element.attribute(QStringLiteral("key"));
    type.title = element.attribute(QStringLiteral("title"));
    type.type = element.attribute(QStringLiteral("type"));
    // Written in hexadecimal: "10" is 16 bytes, "FF" 255.
    type.length = element.attribute(QStringLiteral("length")).toUInt(nullptr, 16);
    type.value = element.attribute(QStringLiteral("value"));
    return type;
}

UiElemInfo readChoice(const QDomElement &element)
{
    UiElemInfo elem;
    elem.value = element.attribute(QStringLiteral("value")).toULongLong(nullptr, 10);
    elem.valueDesc = element.attribute(QStringLiteral("valueDesc"));
    return elem;
}

UiFieldInfo readListElementField(const QDomElement &element)
{
    // An element of a list keeps only these; its step, precision and choices
    // are not used by the list editor.
    UiFieldInfo field;
    field.key = element.attribute(QStringLiteral("key"));
    field.title = element.attribute(QStringLiteral("title"));
    field.type = element.attribute(QStringLiteral("type"));
    field.maxLength = element.attribute(QStringLiteral("maxLength"));
    field.max = element.attribute(QStringLiteral("max"));
    field.min = element.attribute(QStringLiteral("min"));
    field.defaultValue = element.attribute(QStringLiteral("defaultValue"));
    field.subType = element.attribute(QStringLiteral("subType"));
    field.length = element.attribute(QStringLiteral("length"));
    return field;
}

UiFieldInfo readFormField(const QDomElement &element)
{
    UiFieldInfo field = readListElementField(element);
    field.singleStep = element.attribute(QStringLiteral("singleStep"));
    field.precision = element.attribute(QStringLiteral("precision"));

    if (isEnumerated(field.type)) {
        field.elemList = readChildElements<QList<UiElemInfo>>(element, readChoice);
        for (const UiElemInfo &elem : qAsConst(field.elemList)) {
            field.valueDescMap.insert(elem.value, elem.valueDesc);
            field.descValueMap.insert(elem.valueDesc, elem.value);
        }
    } else if (field.type == QLatin1String("list")) {
        field.subFieldVec = readChildElements<QVector<UiFieldInfo>>(element, readListElementField);
    }
    return field;
}

} // namespace

CCfgFileParse::CCfgFileParse(QObject *parent)
    : QObject(parent)
{
    load(QString::fromLatin1(EMBEDDED_FOLDER));
}

CCfgFileParse::CCfgFileParse(const QString &folder, QObject *parent)
    : QObject(parent)
{
    load(folder);
}

CCfgFileParse *CCfgFileParse::instance()
{
    // Thread-safe once-only construction; destroyed at exit.
    static CCfgFileParse catalogue;
    return &catalogue;
}

CCfgFileParse::LoadFailureHandler CCfgFileParse::setLoadFailureHandler(LoadFailureHandler handler)
{
    QMutexLocker locker(&handlerMutex());
    LoadFailureHandler previous = currentHandler();
    currentHandler() = handler ? std::move(handler) : LoadFailureHandler(exitOnLoadFailure);
    return previous;
}

void CCfgFileParse::load(const QString &folder)
{
    initCatalogueResources();

    const auto path = [&folder](const char *file) {
        return folder + QLatin1Char('/') + QLatin1String(file);
    };
    const QString upCommands = path("up_link_command.xml");
    const QString downCommands = path("down_link_command.xml");
    const QString upForms = path("up_link_ui.xml");
    const QString downForms = path("down_link_ui.xml");
    const QString advertising = path("advertising_data.xml");

    QString failed;
    if (parseCmdFile(upCommands, m_uplinkIdToFieldsMap) != 0)
        failed = upCommands;
    else if (parseCmdFile(downCommands, m_downlinkIdToFieldsMap) != 0)
        failed = downCommands;
    else if (parseUiFile(upForms, m_uplinkNameToUiVec, m_uplinkUiComponentVec) != 0)
        failed = upForms;
    else if (parseUiFile(downForms, m_downlinkNameToUiVec, m_downlinkUiComponentVec) != 0)
        failed = downForms;
    else if (parseCmdNameAndId(downCommands, m_downlinkNameToIdMap, m_downlinkIdToNameMap) != 0)
        failed = downCommands;
    else if (parseCmdNameAndId(upCommands, m_uplinkNameToIdMap, m_uplinkIdToNameMap) != 0)
        failed = upCommands;
    else if (parseAdvData(advertising, m_advDataMap) != 0)
        failed = advertising;

    if (failed.isEmpty())
        return;

    qCritical().noquote() << QStringLiteral("CCfgFileParse: cannot load the message catalogue file \"%1\".")
                                 .arg(failed);

    LoadFailureHandler handler;
    {
        QMutexLocker locker(&handlerMutex());
        handler = currentHandler();
    }
    handler(failed);
}

int CCfgFileParse::parseCmdFile(const QString &path, QMap<QString, QVector<CmdFieldInfo>> &idToFields)
{
    return forEachEntry(path, [&idToFields](const QDomElement &command) {
        idToFields.insert(command.attribute(QStringLiteral("ID")),
                          readChildElements<QVector<CmdFieldInfo>>(command, readCommandField));
    });
}

int CCfgFileParse::parseCmdNameAndId(const QString &path, QMap<QString, QString> &nameToId,
                                     QMap<QString, QString> &idToName)
{
    return forEachEntry(path, [&nameToId, &idToName](const QDomElement &command) {
        const QString name = command.attribute(QStringLiteral("name"));
        const QString id = command.attribute(QStringLiteral("ID"));
        nameToId.insert(name, id);
        idToName.insert(id, name);
    });
}

int CCfgFileParse::parseUiFile(const QString &path, QVector<UiComponentFields> &componentFields,
                               QVector<UiComponentInfo> &components)
{
    return forEachEntry(path, [&componentFields, &components](const QDomElement &component) {
        UiComponentInfo info;
        info.name = component.attribute(QStringLiteral("name"));
        info.father = component.attribute(QStringLiteral("father"));
        info.format = component.attribute(QStringLiteral("format"));
        components.append(info);

        UiComponentFields form;
        form.name = info.name;
        form.fields = readChildElements<QVector<UiFieldInfo>>(component, readFormField);
        componentFields.append(form);
    });
}

int CCfgFileParse::parseAdvData(const QString &path, QMap<QString, QVector<AdvDataTypeInfo>> &idToTypes)
{
    return forEachEntry(path, [&idToTypes](const QDomElement &command) {
        idToTypes.insert(command.attribute(QStringLiteral("ID")),
                         readChildElements<QVector<AdvDataTypeInfo>>(command, readAdvDataType));
    });
}
