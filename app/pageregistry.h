#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QVector>

#include <cstdint>
#include <functional>

class AdvertisingPage;
class BigBroadcasterPage;
class BigReceiverPage;
class CigCisPage;
class CisPeripheralPage;
class CMsg;
class ConnectionPage;
class FirmwareLoader;
class LogManager;
class PsmDialog;
class QDialog;
class QWidget;
class TestModePage;

// What every page of a dongle tab is built with. dongleName points at the
// tab's own name, so a page sees the dongle renamed.
struct PageContext
{
    CMsg *link = nullptr;
    LogManager *logger = nullptr;
    QMap<QString, QVariant> *settings = nullptr;
    const QString *dongleName = nullptr;
    QWidget *parent = nullptr;
};

// One argument struct per kind; kinds that need nothing beyond the context
// share the empty one.
struct NoPageArgs
{
};

struct ConnectionPageArgs
{
    uint8_t role = 0;
    quint16 interval = 0;            // raw, units of 1.25 ms
    quint16 latency = 0;             // connection events
    quint16 supervisionTimeout = 0;  // raw, units of 10 ms
    QString peerName;
    QString peerAddress;             // "XX:XX:XX:XX:XX:XX"
    uint8_t condix = 0;
};

// The central CIS page reads the scanning page's list of the dongle's
// central ACL connections each time it creates streams.
struct CigCisArgs
{
    const QVector<uchar> *aclIndexes = nullptr;
};

// The parsed fields of the uplink that asks for or establishes a CIS.
struct CisPageArgs
{
    QMap<QString, QByteArray> fields;
};

struct BigReceiverArgs
{
    quint16 syncValue = 0;
};

struct BigBroadcasterArgs
{
    uint8_t advIndex = 0;
};

// The kinds of page a dongle tab makes but a later layer builds, one row
// each: the kind, the interface the tab knows it by, its argument struct.
// A kind the dongle tab shows as a tab also has a hosting row (HostedKind),
// registered beside its maker.
#define VANTORA_PAGE_KINDS(X)                              \
    X(Connection, ConnectionPage, ConnectionPageArgs)      \
    X(Advertising, AdvertisingPage, NoPageArgs)            \
    X(PsmDialog, PsmDialog, NoPageArgs)                    \
    X(CigCisCentral, CigCisPage, CigCisArgs)               \
    X(CisPeripheral, CisPeripheralPage, CisPageArgs)       \
    X(CisRequestDialog, QDialog, CisPageArgs)              \
    X(BigReceiver, BigReceiverPage, BigReceiverArgs)       \
    X(BigBroadcaster, BigBroadcasterPage, BigBroadcasterArgs) \
    X(LcpTest, TestModePage, NoPageArgs)                   \
    X(IdtTest, TestModePage, NoPageArgs)                   \
    X(FirmwareDownloader, FirmwareLoader, NoPageArgs)      \
    X(CalibrationDialog, QDialog, NoPageArgs)

enum class PageKind {
#define VANTORA_PAGE_KIND_NAME(kind, interfaceType, argsType) kind,
    VANTORA_PAGE_KINDS(VANTORA_PAGE_KIND_NAME)
#undef VANTORA_PAGE_KIND_NAME
};

// Which interface and argument struct belong to a kind.
template <PageKind Kind>
struct PageTraits;

#define VANTORA_PAGE_TRAITS(kind, interfaceType, argsType) \
    template <>                                            \
    struct PageTraits<PageKind::kind>                      \
    {                                                      \
        using Interface = interfaceType;                   \
        using Args = argsType;                             \
    };
VANTORA_PAGE_KINDS(VANTORA_PAGE_TRAITS)
#undef VANTORA_PAGE_TRAITS

// Later layers register one maker per kind at start-up (their
// register...Pages() function, called from the program's main); the dongle
// tab creates pages by kind. A kind without a maker gives its fallback: a
// placeholder connection page, an empty advertising page, else null.
class PageRegistry
{
public:
    template <PageKind Kind>
    using Interface = typename PageTraits<Kind>::Interface;
    template <PageKind Kind>
    using Args = typename PageTraits<Kind>::Args;
    template <PageKind Kind>
    using Maker = std::function<Interface<Kind> *(const PageContext &, const Args<Kind> &)>;

    // An empty maker removes the kind's registration (tests).
    template <PageKind Kind>
    static void registerMaker(Maker<Kind> maker)
    {
        setRegistered(Kind, bool(maker));
        slot<Kind>() = std::move(maker);
    }

    template <PageKind Kind>
    static Interface<Kind> *create(const PageContext &context, const Args<Kind> &args = Args<Kind>())
    {
        if (const Maker<Kind> &maker = slot<Kind>()) {
            if (Interface<Kind> *page = maker(context, args))
                return page;
        }
        return fallback<Kind>(context, args);
    }

    static bool has(PageKind kind);
    // Makers only: hosting rows stay (PageTabs::host).
    static void unregisterAll();

private:
    template <PageKind Kind>
    static Maker<Kind> &slot()
    {
        static Maker<Kind> maker;
        return maker;
    }
    template <PageKind Kind>
    static Interface<Kind> *fallback(const PageContext &, const Args<Kind> &)
    {
        return nullptr;
    }
    static void setRegistered(PageKind kind, bool registered);
};

template <>
ConnectionPage *PageRegistry::fallback<PageKind::Connection>(const PageContext &context,
                                                             const ConnectionPageArgs &args);
template <>
AdvertisingPage *PageRegistry::fallback<PageKind::Advertising>(const PageContext &context, const NoPageArgs &args);
