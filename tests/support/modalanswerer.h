#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

// Answers the modal widgets that code under test opens with exec(). Queue the
// answers first, then call the code; each new modal widget gets the next answer.
//
//     ModalAnswerer answerer;
//     answerer.click("m_pbYes");
//     QCOMPARE(CFlatMessage::question(nullptr, "t", "x"), int(QMessageBox::Yes));
//     QCOMPARE(answerer.seen().first().title, QString("t"));
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString className;
        QString objectName;
        QString title; // the flat title bar's text, else the window title
        QString text;  // the message label, else every visible label but the title
    };

    // Special button names for click().
    static const QString CloseButton; // the flat title bar's close button
    static const QString Reject;      // QDialog::reject() without a button

    explicit ModalAnswerer(int timeoutMs = 10000, QObject *parent = nullptr);
    ~ModalAnswerer() override;

    // Clicks the button whose object name or text is `button`.
    void click(const QString &button);
    // Runs any action on the next modal widget (the action must close it).
    void answerWith(std::function<void(QWidget *)> action);

    // Processes events until every queued answer was given or the time-out passed.
    bool waitUntilAnswered(int timeoutMs = 10000);
    bool allAnswered() const { return m_pending.isEmpty(); }
    // Answers that could not be given (button missing, time-out).
    QStringList failures() const { return m_failures; }
    QList<Seen> seen() const { return m_seen; }

    // Clicks a button that opens a modal box, answers the box by clicking
    // boxButton and returns the box as seen. An answerer's timer does not
    // fire again inside its own answer, so a box opened from within an
    // answer is answered this way.
    static Seen clickAnsweringBox(QWidget *button, const QString &boxButton);
    // The active modal widget, waiting for it up to timeoutMs; null when none came.
    static QWidget *waitForModal(int timeoutMs = 5000);
    static Seen describe(QWidget *widget);

private:
    void poll();

    QList<std::function<void(QWidget *)>> m_pending;
    QList<Seen> m_seen;
    QStringList m_failures;
    QPointer<QWidget> m_lastAnswered;
    QTimer m_timer;
    int m_timeoutMs;
    qint64 m_idleSince = 0;
};
