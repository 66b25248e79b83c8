#include "connectionrouter.h"
#include "uplinkheader.h"

#include "uplinkfield.h"

#include <QVarLengthArray>

ConnectionRouter::ConnectionRouter(CMsg *link)
    : QObject(link)
    , m_link(link)
{
    setObjectName(QStringLiteral("connectionRouter"));
}

ConnectionRouter *ConnectionRouter::of(CMsg *link)
{
    if (auto *router = link->findChild<ConnectionRouter *>(QString(), Qt::FindDirectChildrenOnly))
        return router;
    return new ConnectionRouter(link);
}

void ConnectionRouter::add(LayerSignal layer, quint8 condix, QObject *page,
                           std::function<void(const QByteArray &)> deliver)
{
    int index = 0;
    while (index < m_layers.size() && m_layers.at(index).signal != layer)
        ++index;
    if (index == m_layers.size()) {
        m_layers.append(Layer{layer, {}});
        connect(m_link, layer, this, [this, index](const QByteArray &frame) { route(index, frame); });
    }
    auto subscriber = std::make_shared<Subscriber>();
    subscriber->page = page;
    subscriber->condix = condix;
    subscriber->deliver = std::move(deliver);
    m_layers[index].subscribers.append(subscriber);
    // Once per page, however many layers it takes.
    connect(page, &QObject::destroyed, this, &ConnectionRouter::remove, Qt::UniqueConnection);
}

void ConnectionRouter::remove(QObject *page)
{
    for (Layer &layer : m_layers) {
        layer.subscribers.erase(std::remove_if(layer.subscribers.begin(), layer.subscribers.end(),
                                               [page](const std::shared_ptr<const Subscriber> &subscriber) {
                                                   return subscriber->page == page || !subscriber->page;
                                               }),
                                layer.subscribers.end());
    }
}

void ConnectionRouter::route(int layer, const QByteArray &frame)
{
    // A frame whose length field disagrees with its size is every page's to
    // reject, as it was before the index was read here.
    const bool wellFormed = UplinkHeader(frame).isWellFormed();
    const std::optional<quint64> condix =
        wellFormed ? UplinkField::number(frame, QStringLiteral("condix")) : std::nullopt;

    // The chosen pages are held apart: a handler may run a modal dialog in
    // which pages come and go.
    QVarLengthArray<std::shared_ptr<const Subscriber>, 4> chosen;
    for (const auto &subscriber : qAsConst(m_layers.at(layer).subscribers)) {
        if (!condix || subscriber->condix == *condix)
            chosen.append(subscriber);
    }
    for (const auto &subscriber : chosen) {
        if (subscriber->page)
            subscriber->deliver(frame);
    }
}
