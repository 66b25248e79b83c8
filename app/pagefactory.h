#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>

class AdvertisingPage;
class CMsg;
class ConnectionPage;
class LogManager;
class QDialog;
class QWidget;

// The application layer owns pages that later layers build. Those layers
// register a maker for each kind at start-up (the program's main does it);
// until one is registered the dongle tab falls back to a placeholder.
namespace PageFactory {

struct ConnectionPageArgs
{
    CMsg *link = nullptr;
    LogManager *logger = nullptr;
    QMap<QString, QVariant> *settings = nullptr;
    QString dongleName;
    uint8_t role = 0;
    quint16 interval = 0;            // raw, units of 1.25 ms
    quint16 latency = 0;             // connection events
    quint16 supervisionTimeout = 0;  // raw, units of 10 ms
    QString peerName;
    QString peerAddress;             // "XX:XX:XX:XX:XX:XX"
    uint8_t condix = 0;
    QWidget *parent = nullptr;
};

using ConnectionPageMaker = std::function<ConnectionPage *(const ConnectionPageArgs &)>;
using AdvertisingPageMaker = std::function<AdvertisingPage *(CMsg *, LogManager *, QMap<QString, QVariant> *, QWidget *)>;
// The dialog returned must also derive from PsmListHolder.
using PsmDialogMaker = std::function<QDialog *(CMsg *, LogManager *, QWidget *)>;

void setConnectionPageMaker(ConnectionPageMaker maker);
void setAdvertisingPageMaker(AdvertisingPageMaker maker);
void setPsmDialogMaker(PsmDialogMaker maker);

// Never null: a placeholder page when no maker is registered.
ConnectionPage *makeConnectionPage(const ConnectionPageArgs &args);
// Never null: an empty page that never advertises when no maker is registered.
AdvertisingPage *makeAdvertisingPage(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                                     QWidget *parent);
// Null when no maker is registered (the tab then keeps "Register PSM" disabled).
QDialog *makePsmDialog(CMsg *link, LogManager *logger, QWidget *parent);
bool hasPsmDialogMaker();

} // namespace PageFactory
