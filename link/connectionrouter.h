#pragma once

#include "cmsg.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QVector>

#include <functional>
#include <memory>

// Hands each frame of a connection only to that connection's pages. The
// connection index is read once here, by the catalogue's offset of
// "condix", instead of every open page parsing every frame of its layer; so
// the cost of a frame does not grow with the pages open. Frames without an
// index (acknowledgements of commands no page claimed, security requests)
// and frames the catalogue would reject reach every page, in the order the
// pages subscribed; a claimed acknowledgement never gets here.
//
// One per link, made on first use; it subscribes to a layer's signal when
// the first page asks for that layer, so it takes the place the first page
// would have taken among the link's receivers.
class ConnectionRouter : public QObject
{
    Q_OBJECT

public:
    using LayerSignal = void (CMsg::*)(QByteArray);

    static ConnectionRouter *of(CMsg *link);

    // The page's slot gets the frames of `layer` that carry `condix` or no
    // index at all, until the page is destroyed.
    template <typename Page, typename Frame>
    void subscribe(LayerSignal layer, quint8 condix, Page *page, void (Page::*slot)(Frame))
    {
        add(layer, condix, page, [page, slot](const QByteArray &frame) { (page->*slot)(frame); });
    }

private:
    explicit ConnectionRouter(CMsg *link);

    struct Subscriber
    {
        QPointer<QObject> page;
        quint8 condix = 0;
        std::function<void(const QByteArray &)> deliver;
    };
    struct Layer
    {
        LayerSignal signal = nullptr;
        QVector<std::shared_ptr<const Subscriber>> subscribers;
    };

    void add(LayerSignal layer, quint8 condix, QObject *page, std::function<void(const QByteArray &)> deliver);
    void remove(QObject *page);
    void route(int layer, const QByteArray &frame);

    CMsg *m_link;
    // Few layers: a list is quicker than a map.
    QVector<Layer> m_layers;
};
