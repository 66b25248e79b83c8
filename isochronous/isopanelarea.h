#pragma once

#include "pagewire.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

class QLabel;
class QLayout;
class QWidget;
class manageCISWidget;

// The ISO data panels of a page, one per connection handle, and the area
// that shows one of them under its title. A disabled placeholder panel stands
// in while no stream with a panel is chosen. The panels' result frames are
// relayed here to the panel of their handle.
class IsoPanelArea
{
public:
    static constexpr quint16 PlaceholderHandle = 4095;

    // Which sides of a panel show: a broadcast sender only sends, a receiver only receives.
    enum class Sides { SendAndReceive, SendOnly, ReceiveOnly };

    // `titlePrefix` goes before the shown panel's handle in `title`; results
    // are read through the page's wire; a panel sends on `link`, logging to `logger`.
    IsoPanelArea(QWidget *page, QLayout *area, QLabel *title, const QString &titlePrefix, Sides sides,
                 const PageWire &pageWire, CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                 const QString &dongleName);

    manageCISWidget *panel(quint16 handle) const { return m_panels.value(handle); }
    manageCISWidget *shown() const;
    QList<quint16> handles() const;

    // A new hidden panel for the handle. A panel the handle had before is
    // discarded; the placeholder's handle gets none (null).
    manageCISWidget *add(quint16 handle);
    // The handle's panel, a new hidden one when it has none yet.
    manageCISWidget *panelFor(quint16 handle);
    void discard(quint16 handle);

    void show(manageCISWidget *panel);
    void showDefault();
    // The disabled placeholder, leaving the title as it is.
    void showPlaceholder();
    // The panel of a BIS handle (decimal text); the placeholder when it has none.
    void showHandle(const QString &handleText);

    void relayTxSync(const QByteArray &frame);
    void relaySetupDataPath(const QByteArray &frame);
    void relayRemoveDataPath(const QByteArray &frame);
    void relayReceivedData(const QByteArray &frame);

private:
    manageCISWidget *create(quint16 handle);
    manageCISWidget *panelOfResult(const QByteArray &frame, QMap<QString, QByteArray> *fields) const;

    QWidget *m_page;
    QLayout *m_area;
    QLabel *m_title;
    QString m_titlePrefix;
    Sides m_sides;
    PageWire m_wire;
    CMsg *m_link;
    LogManager *m_logger;
    QMap<QString, QVariant> *m_settings;
    QString m_dongleName;
    QMap<quint16, manageCISWidget *> m_panels;
};
