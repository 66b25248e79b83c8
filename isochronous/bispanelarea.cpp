#include "bispanelarea.h"

#include "isouplink.h"
#include "manageciswidget.h"
#include "uplinkstatus.h"

#include <QDialog>
#include <QLabel>
#include <QLayout>

namespace {

const char *const TitlePrefix = "BIS Connection Handle: ";

} // namespace

BisPanelArea::BisPanelArea(QWidget *page, QLayout *area, QLabel *title, bool receiver, CMsg *link,
                           LogManager *logger, QMap<QString, QVariant> *settings, const QString &dongleName)
    : m_page(page), m_area(area), m_title(title), m_receiver(receiver), m_link(link), m_logger(logger),
      m_settings(settings), m_dongleName(dongleName)
{
    auto *placeholder = new manageCISWidget(link, logger, settings, QString::number(PlaceholderHandle), dongleName,
                                            page);
    placeholder->setBroadcastMode(receiver);
    m_panels.insert(PlaceholderHandle, placeholder);
    m_area->addWidget(placeholder);
    placeholder->show();
    placeholder->setEnabled(false);
}

manageCISWidget *BisPanelArea::shown() const
{
    QLayoutItem *item = m_area->itemAt(0);
    return item ? qobject_cast<manageCISWidget *>(item->widget()) : nullptr;
}

QList<quint16> BisPanelArea::handles() const
{
    QList<quint16> handles = m_panels.keys();
    handles.removeAll(PlaceholderHandle);
    return handles;
}

manageCISWidget *BisPanelArea::add(quint16 handle)
{
    if (handle == PlaceholderHandle)
        return nullptr;
    discard(handle);
    auto *panel = new manageCISWidget(m_link, m_logger, m_settings, QString::number(handle), m_dongleName, m_page);
    panel->hide();
    panel->setBroadcastMode(m_receiver);
    m_panels.insert(handle, panel);
    return panel;
}

void BisPanelArea::discard(quint16 handle)
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

void BisPanelArea::show(manageCISWidget *panel)
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

void BisPanelArea::showDefault()
{
    manageCISWidget *placeholder = m_panels.value(PlaceholderHandle);
    show(placeholder);
    placeholder->setEnabled(false);
    m_title->setText(QLatin1String(TitlePrefix));
}

void BisPanelArea::showHandle(const QString &handleText)
{
    manageCISWidget *panel = m_panels.value(quint16(handleText.toUInt() & 0xFFFF));
    if (!panel || handleText.isEmpty() || panel == m_panels.value(PlaceholderHandle)) {
        showDefault();
        return;
    }
    show(panel);
    m_title->setText(QLatin1String(TitlePrefix) + handleText);
}

manageCISWidget *BisPanelArea::panelOfResult(const QByteArray &frame, QMap<QString, QByteArray> *fields) const
{
    if (!UplinkStatus::parse(m_logger, frame, fields))
        return nullptr;
    return m_panels.value(quint16(IsoUplink::number(*fields, QStringLiteral("connection_handle")) & 0xFFFF));
}

void BisPanelArea::relayTxSync(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (manageCISWidget *panel = panelOfResult(frame, &fields))
        panel->onReadIsoTxSyncResult(fields, IsoUplink::name(frame));
}

void BisPanelArea::relaySetupDataPath(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (manageCISWidget *panel = panelOfResult(frame, &fields))
        panel->onSetupDataPathResult(fields, IsoUplink::name(frame));
}

void BisPanelArea::relayRemoveDataPath(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (manageCISWidget *panel = panelOfResult(frame, &fields))
        panel->onRemoveDataPathResult(fields, IsoUplink::name(frame));
}

void BisPanelArea::relayReceivedData(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (manageCISWidget *panel = panelOfResult(frame, &fields))
        panel->onReceiveIsoData(fields);
}
