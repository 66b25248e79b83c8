#pragma once

#include "linkrig.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class CL2capWidget;
class CSduWidget;
class L2capBehaviour;
class QWidget;

// One connection's L2CAP page on the real link to the simulated dongle, with
// the dongle's channel behaviour installed, for the page's tests and benchmark.
// The page's dongle has a name of its own, and its received-data folder is
// removed again at the end.
class L2capRig
{
public:
    explicit L2capRig(int sendIntervalMs = 5, quint8 condix = 0);
    ~L2capRig();

    bool open();
    // "Create COC" through the page's dialog; true once the dialog was filled and sent.
    bool requestChannel(quint16 cid, quint16 mtu = 23, quint16 mps = 23, quint16 credits = 255, quint16 psm = 128);
    // The same; true once the channel is listed.
    bool createChannel(quint16 cid, quint16 mtu = 23, quint16 mps = 23, quint16 credits = 255, quint16 psm = 128);
    CSduWidget *sdu(quint16 cid) const;
    // Downlink frames of that ID ("04@03"), checksum included.
    QList<QByteArray> downlinks(const QString &id) const;
    // The payload of a downlink frame (no header, no checksum).
    static QByteArray payloadOf(const QByteArray &downlink);
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);
    // Sets the editor captioned `title` on a command form (line edit or choice).
    static bool setFormField(QWidget *form, const QString &title, const QString &value);
    QString dataFolderOfDongle() const;

    LinkRig rig;
    L2capBehaviour *l2cap = nullptr;
    QString dongleName;
    quint8 condix;
    std::unique_ptr<CL2capWidget> page;
};
