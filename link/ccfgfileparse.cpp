#include "ccfgfileparse.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QXmlStreamReader>
#include <QtDebug>

#include <cstdlib>
#include <vector>

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
    std::exit(EXIT_FAILURE);
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

// An element of a catalogue file: its attributes and child elements; text
// and comments carry nothing.
struct Element
{
    QXmlStreamAttributes attributes;
    std::vector<Element> children;

    QString attribute(QLatin1String name) const { return attributes.value(name).toString(); }
};

// Reads a whole file into its root element; false (with a warning naming the
// file) when it cannot be opened or is not well-formed XML. A stream reader,
// not a DOM: the catalogue is read before the first window shows.
bool readDocument(const QString &path, Element &root)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << QStringLiteral("CCfgFileParse: cannot open \"%1\": %2")
                                    .arg(path, file.errorString());
        return false;
    }
    QXmlStreamReader reader(&file);
    // As written: a prefix names no namespace here.
    reader.setNamespaceProcessing(false);
    std::vector<Element *> open;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            Element *element = &root;
            if (!open.empty()) {
                open.back()->children.emplace_back();
                element = &open.back()->children.back();
            }
            element->attributes = reader.attributes();
            open.push_back(element);
        } else if (token == QXmlStreamReader::EndElement) {
            open.pop_back();
        }
    }
    if (reader.hasError()) {
        qWarning().noquote() << QStringLiteral("CCfgFileParse: \"%1\" is not well-formed XML, line %2 column %3: %4")
                                    .arg(path)
                                    .arg(reader.lineNumber())
                                    .arg(reader.columnNumber())
                                    .arg(reader.errorString());
        return false;
    }
    return true;
}

template <typename Container, typename Read>
Container readChildElements(const Element &parent, Read read)
{
    Container items;
    items.reserve(int(parent.children.size()));
    for (const Element &child : parent.children)
        items.append(read(child));
    return items;
}

bool isEnumerated(const QString &type)
{
    return type == QLatin1String("enum") || type == QLatin1String("enum_mask")
        || type == QLatin1String("enum_mask_read") || type == QLatin1String("enum_mask_read_half");
}

// A number that does not parse reads as 0.
CmdFieldInfo readCommandField(const Element &element)
{
    CmdFieldInfo field;
    field.key = element.attribute(QLatin1String("key"));
    field.index = element.attribute(QLatin1String("index")).toUInt(nullptr, 10);
    field.length = element.attribute(QLatin1String("length")).toUInt(nullptr, 10);
    field.src = element.attribute(QLatin1String("src"));
    return field;
}

AdvDataTypeInfo readAdvDataType(const Element &element)
{
    AdvDataTypeInfo type;
    type.key = element.attribute(QLatin1String("key"));
    type.title = element.attribute(QLatin1String("title"));
    type.type = element.attribute(QLatin1String("type"));
    // Written in hexadecimal: "10" is 16 bytes, "FF" 255.
    type.length = element.attribute(QLatin1String("length")).toUInt(nullptr, 16);
    type.value = element.attribute(QLatin1String("value"));
    return type;
}

UiElemInfo readChoice(const Element &element)
{
    UiElemInfo elem;
    elem.value = element.attribute(QLatin1String("value")).toULongLong(nullptr, 10);
    elem.valueDesc = element.attribute(QLatin1String("valueDesc"));
    return elem;
}

UiFieldInfo readListElementField(const Element &element)
{
    // An element of a list keeps only these; its step, precision and choices
    // are not used by the list editor.
    UiFieldInfo field;
    field.key = element.attribute(QLatin1String("key"));
    field.title = element.attribute(QLatin1String("title"));
    field.type = element.attribute(QLatin1String("type"));
    field.maxLength = element.attribute(QLatin1String("maxLength"));
    field.max = element.attribute(QLatin1String("max"));
    field.min = element.attribute(QLatin1String("min"));
    field.defaultValue = element.attribute(QLatin1String("defaultValue"));
    field.subType = element.attribute(QLatin1String("subType"));
    field.length = element.attribute(QLatin1String("length"));
    return field;
}

UiFieldInfo readFormField(const Element &element)
{
    UiFieldInfo field = readListElementField(element);
    field.singleStep = element.attribute(QLatin1String("singleStep"));
    field.precision = element.attribute(QLatin1String("precision"));

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

void readCommands(const Element &root, QMap<QString, QVector<CmdFieldInfo>> &idToFields)
{
    for (const Element &command : root.children)
        idToFields.insert(command.attribute(QLatin1String("ID")),
                          readChildElements<QVector<CmdFieldInfo>>(command, readCommandField));
}

void readNamesAndIds(const Element &root, QMap<QString, QString> &nameToId, QMap<QString, QString> &idToName)
{
    for (const Element &command : root.children) {
        const QString name = command.attribute(QLatin1String("name"));
        const QString id = command.attribute(QLatin1String("ID"));
        nameToId.insert(name, id);
        idToName.insert(id, name);
    }
}

void readForms(const Element &root, QVector<UiComponentFields> &componentFields,
               QVector<UiComponentInfo> &components)
{
    for (const Element &component : root.children) {
        UiComponentInfo info;
        info.name = component.attribute(QLatin1String("name"));
        info.father = component.attribute(QLatin1String("father"));
        info.format = component.attribute(QLatin1String("format"));
        components.append(info);

        UiComponentFields form;
        form.name = info.name;
        form.fields = readChildElements<QVector<UiFieldInfo>>(component, readFormField);
        componentFields.append(form);
    }
}

void readAdvData(const Element &root, QMap<QString, QVector<AdvDataTypeInfo>> &idToTypes)
{
    for (const Element &command : root.children)
        idToTypes.insert(command.attribute(QLatin1String("ID")),
                         readChildElements<QVector<AdvDataTypeInfo>>(command, readAdvDataType));
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

    // Each file is read once, whatever is taken from it; the tables fill in
    // this order until a file fails.
    QString failed;
    const auto read = [&failed](const QString &file, Element &root) {
        if (!failed.isEmpty())
            return false;
        if (!readDocument(file, root))
            failed = file;
        return failed.isEmpty();
    };
    Element upRoot;
    Element downRoot;
    Element upFormsRoot;
    Element downFormsRoot;
    Element advertisingRoot;
    if (read(upCommands, upRoot))
        readCommands(upRoot, m_uplinkIdToFieldsMap);
    if (read(downCommands, downRoot))
        readCommands(downRoot, m_downlinkIdToFieldsMap);
    if (read(upForms, upFormsRoot))
        readForms(upFormsRoot, m_uplinkNameToUiVec, m_uplinkUiComponentVec);
    if (read(downForms, downFormsRoot)) {
        readForms(downFormsRoot, m_downlinkNameToUiVec, m_downlinkUiComponentVec);
        readNamesAndIds(downRoot, m_downlinkNameToIdMap, m_downlinkIdToNameMap);
        readNamesAndIds(upRoot, m_uplinkNameToIdMap, m_uplinkIdToNameMap);
    }
    if (read(advertising, advertisingRoot))
        readAdvData(advertisingRoot, m_advDataMap);

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
    Element root;
    if (!readDocument(path, root))
        return -1;
    readCommands(root, idToFields);
    return 0;
}

int CCfgFileParse::parseCmdNameAndId(const QString &path, QMap<QString, QString> &nameToId,
                                     QMap<QString, QString> &idToName)
{
    Element root;
    if (!readDocument(path, root))
        return -1;
    readNamesAndIds(root, nameToId, idToName);
    return 0;
}

int CCfgFileParse::parseUiFile(const QString &path, QVector<UiComponentFields> &componentFields,
                               QVector<UiComponentInfo> &components)
{
    Element root;
    if (!readDocument(path, root))
        return -1;
    readForms(root, componentFields, components);
    return 0;
}

int CCfgFileParse::parseAdvData(const QString &path, QMap<QString, QVector<AdvDataTypeInfo>> &idToTypes)
{
    Element root;
    if (!readDocument(path, root))
        return -1;
    readAdvData(root, idToTypes);
    return 0;
}
