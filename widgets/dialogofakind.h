#pragma once

#include <QString>

#include <functional>

class CMsg;
class LogManager;
class QDialog;
class QObject;

// The dialogs a page has open, at most one of each kind. A dongle that repeats
// a notice or a request faster than anyone can answer meets the open one
// instead of stacking a window per frame.
class DialogOfAKind
{
public:
    // The page's shown dialog of this kind, or null. The page may be null.
    static QDialog *find(const QObject *page, const QString &kind);
    // Remembers the dialog as the page's one of its kind until it is destroyed.
    static void hold(const QObject *page, const QString &kind, QDialog *dialog);

    // For a request that needs the user's answer: while the page's dialog of
    // this kind waits, the request is refused at once (refuse() queues the
    // refusal) with a log line, and true is returned. Refusals keep to the
    // line's pace: while a second's worth of frames waits to be sent, a
    // request is logged and left unanswered, so a flood cannot pile frames
    // up in front of the heartbeat.
    static bool refuseWhilePending(const QObject *page, const QString &kind, CMsg *link, LogManager *logger,
                                   const std::function<void()> &refuse);
    // Refuses a request of the kind for the reason `why`, at the pace above:
    // "<kind> refused: <why>." or, without room on the link,
    // "<kind> left unanswered: <why> and the link has no room for a refusal."
    static void refuseAtPace(const QString &kind, const QString &why, CMsg *link, LogManager *logger,
                             const std::function<void()> &refuse);
};
