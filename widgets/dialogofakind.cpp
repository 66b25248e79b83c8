#include "dialogofakind.h"

#include "cmsg.h"
#include "logger.h"
#include "logmanager.h"

#include <QDialog>
#include <QHash>
#include <QPair>
#include <QPointer>

namespace {
using Key = QPair<const QObject *, QString>;

QHash<Key, QPointer<QDialog>> &openDialogs()
{
    static QHash<Key, QPointer<QDialog>> dialogs;
    return dialogs;
}
} // namespace

QDialog *DialogOfAKind::find(const QObject *page, const QString &kind)
{
    const auto it = openDialogs().constFind(qMakePair(page, kind));
    if (it == openDialogs().constEnd())
        return nullptr;
    // A dialog that was answered waits hidden for its deletion.
    QDialog *dialog = it.value().data();
    return dialog && dialog->isVisible() ? dialog : nullptr;
}

void DialogOfAKind::hold(const QObject *page, const QString &kind, QDialog *dialog)
{
    const Key key = qMakePair(page, kind);
    openDialogs().insert(key, dialog);
    // A page's address may come again for a new page; the entry goes with its dialog.
    QObject::connect(dialog, &QObject::destroyed, [key] {
        auto &dialogs = openDialogs();
        const auto it = dialogs.find(key);
        if (it != dialogs.end() && it.value().isNull())
            dialogs.erase(it);
    });
}

bool DialogOfAKind::refuseWhilePending(const QObject *page, const QString &kind, CMsg *link, LogManager *logger,
                                       const std::function<void()> &refuse)
{
    if (!find(page, kind))
        return false;
    refuseAtPace(kind, QStringLiteral("the one before is still waiting for an answer"), link, logger, refuse);
    return true;
}

void DialogOfAKind::refuseAtPace(const QString &kind, const QString &why, CMsg *link, LogManager *logger,
                                 const std::function<void()> &refuse)
{
    const int lineFramesPerSecond = link ? 1000 / qMax(1, link->sendInterval()) : 0;
    const bool room = link && link->isOpen() && link->queuedFrames() < lineFramesPerSecond;
    if (room)
        refuse();
    if (logger)
        logger->log(room ? QStringLiteral("%1 refused: %2.").arg(kind, why)
                         : QStringLiteral("%1 left unanswered: %2 and the link has no room for a refusal.")
                               .arg(kind, why),
                    LogLevel::Warn);
}
