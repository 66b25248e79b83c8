#include "isopanelarea.h"

#include "isouplink.h"
#include "manageciswidget.h"
#include "tflatscrollarea.h"
#include "uplinkfield.h"

#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QVBoxLayout>

IsoPanelArea::IsoPanelArea(QWidget *page, QLayout *area, QLabel *title, const QString &titlePrefix, Sides sides,
                           const PageWire &pageWire, CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                           const QString &dongleName)
    : m_page(page), m_area(area), m_title(title), m_titlePrefix(titlePrefix), m_sides(sides),
      m_wire(pageWire, QStringLiteral(".\\isopanelarea")), m_link(link), m_logger(logger), m_settings(settings),
      m_dongleName(dongleName)
{
    // A panel is taller than the page at the first window size: it scrolls up
    // and down rather than growing the window, and keeps its own width.
    auto *scroll = new TFlatScrollArea<QScrollArea>(page);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto *content = new QWidget(scroll);
    auto *panels = new QVBoxLayout(content);
    panels->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(content);
    area->addWidget(scroll);
    m_area = panels;

    manageCISWidget *placeholder = create(PlaceholderHandle);
    m_area->addWidget(placeholder);
    placeholder->show();
    placeholder->setEnabled(false);
    placeholder->ensurePolished();
    scroll->setMinimumWidth(placeholder->minimumSizeHint().width());
    // Its wide size hint would otherwise outweigh the tables in the page's split.
    scroll->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
}

manageCISWidget *IsoPanelArea::shown() const
{
    QLayoutItem *item = m_area->itemAt(0);
    return item ? qobject_cast<manageCISWidget *>(item->widget()) : nullptr;
}

QList<quint16> IsoPanelArea::handles() const
{
    QList<quint16> handles = m_panels.keys();
    handles.removeAll(PlaceholderHandle);
    return handles;
}

manageCISWidget *IsoPanelArea::add(quint16 handle)
{
    if (handle == PlaceholderHandle)
        return nullptr;
    discard(handle);
    manageCISWidget *panel = create(handle);
    panel->hide();
    return panel;
}

manageCISWidget *IsoPanelArea::panelFor(quint16 handle)
{
    if (manageCISWidget *panel = m_panels.value(handle))
        return panel;
    return add(handle);
}

manageCISWidget *IsoPanelArea::create(quint16 handle)
{
    auto *panel = new manageCISWidget(m_link, m_logger, m_settings, QString::number(handle),
                                      m_dongleName, m_page);
    if (m_sides != Sides::SendAndReceive)
        panel->setBroadcastMode(m_sides == Sides::ReceiveOnly);
    m_panels.insert(handle, panel);
    return panel;
}

void IsoPanelArea::discard(quint16 handle)
{
    if (handle == PlaceholderHandle)
        return;
    manageCISWidget *panel = m_panels.take(handle);
    if (!panel)
        return;
    if (shown() == panel)
        showDefault();
    panel->hide();
    // The panel may be inside one of its own boxes: close them, delete it later.
    for (QDialog *dialog : panel->findChildren<QDialog *>()) {
        if (dialog->isVisible())
            dialog->reject();
    }
    panel->deleteLater();
}

void IsoPanelArea::show(manageCISWidget *panel)
{
    manageCISWidget *current = shown();
    if (current == panel)
        return;
    if (QLayoutItem *item = m_area->itemAt(0)) {
        if (QWidget *widget = item->widget()) {
            m_area->removeWidget(widget);
            widget->hide();
        }
    }
    m_area->addWidget(panel);
    panel->show();
}

void IsoPanelArea::showDefault()
{
    showPlaceholder();
    m_title->setText(m_titlePrefix);
}

void IsoPanelArea::showPlaceholder()
{
    manageCISWidget *placeholder = m_panels.value(PlaceholderHandle);
    show(placeholder);
    placeholder->setEnabled(false);
}

void IsoPanelArea::showHandle(const QString &handleText)
{
    manageCISWidget *panel = m_panels.value(quint16(handleText.toUInt() & 0xFFFF));
    if (!panel || handleText.isEmpty() || panel == m_panels.value(PlaceholderHandle)) {
        showDefault();
        return;
    }
    show(panel);
    m_title->setText(m_titlePrefix + handleText);
}

manageCISWidget *IsoPanelArea::panelOfResult(const QByteArray &frame, QMap<QString, QByteArray> *fields) const
{
    // Every open page is handed every result: only the page with the
    // handle's panel parses and logs it.
    const std::optional<quint64> routed = UplinkField::number(frame, QStringLiteral("connection_handle"));
    if (routed && (*routed > 0xFFFF || !m_panels.contains(quint16(*routed))))
        return nullptr;
    // The status is the panel's to judge.
    if (m_wire.check(frame, __LINE__, QStringLiteral("IsoPanelArea::panelOfResult"), fields,
                     PageWire::Form().noStatus().anyConnection())
        != PageWire::Succeeded)
        return nullptr;
    const quint64 handle = IsoUplink::number(*fields, QStringLiteral("connection_handle"));
    return handle <= 0xFFFF ? m_panels.value(quint16(handle)) : nullptr;
}

void IsoPanelArea::relayTxSync(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (manageCISWidget *panel = panelOfResult(frame, &fields))
        panel->onReadIsoTxSyncResult(fields, PageWire::uplinkName(frame));
}

void IsoPanelArea::relaySetupDataPath(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (manageCISWidget *panel = panelOfResult(frame, &fields))
        panel->onSetupDataPathResult(fields, PageWire::uplinkName(frame));
}

void IsoPanelArea::relayRemoveDataPath(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (manageCISWidget *panel = panelOfResult(frame, &fields))
        panel->onRemoveDataPathResult(fields, PageWire::uplinkName(frame));
}

void IsoPanelArea::relayReceivedData(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (manageCISWidget *panel = panelOfResult(frame, &fields))
        panel->onReceiveIsoData(fields);
}
