#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

const QString ModalAnswerer::CloseButton = QStringLiteral("<close>");
const QString ModalAnswerer::Reject = QStringLiteral("<reject>");

ModalAnswerer::ModalAnswerer(int timeoutMs, QObject *parent) : QObject(parent), m_timeoutMs(timeoutMs)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::click(const QString &button)
{
    answerWith([this, button](QWidget *modal) {
        if (button == Reject) {
            if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                dialog->reject();
                return;
            }
            m_failures << QStringLiteral("%1 is no dialog").arg(modal->metaObject()->className());
            modal->close();
            return;
        }
        const QString name = button == CloseButton ? QStringLiteral("m_tbClose") : button;
        QAbstractButton *target = nullptr;
        for (QAbstractButton *candidate : modal->findChildren<QAbstractButton *>()) {
            if (!candidate->isVisible() || !candidate->isEnabled())
                continue;
            if (candidate->objectName() == name || candidate->text() == name) {
                target = candidate;
                break;
            }
        }
        if (!target) {
            m_failures << QStringLiteral("no button %1 on %2").arg(button, modal->metaObject()->className());
            modal->close();
            return;
        }
        target->click();
    });
}

void ModalAnswerer::answerWith(std::function<void(QWidget *)> action)
{
    m_pending.append(std::move(action));
    m_idleSince = QDateTime::currentMSecsSinceEpoch();
    m_timer.start();
}

bool ModalAnswerer::waitUntilAnswered(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_pending.isEmpty() && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return m_pending.isEmpty();
}

ModalAnswerer::Seen ModalAnswerer::clickAnsweringBox(QWidget *button, const QString &boxButton)
{
    ModalAnswerer answerer;
    answerer.click(boxButton);
    QTest::mouseClick(button, Qt::LeftButton);
    if (!answerer.allAnswered())
        return Seen();
    return answerer.seen().value(0);
}

QWidget *ModalAnswerer::waitForModal(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!QApplication::activeModalWidget() && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return QApplication::activeModalWidget();
}

ModalAnswerer::Seen ModalAnswerer::describe(QWidget *widget)
{
    Seen seen;
    seen.className = QString::fromLatin1(widget->metaObject()->className());
    seen.objectName = widget->objectName();
    auto *titleLabel = widget->findChild<QLabel *>(QStringLiteral("m_lbTitle"));
    seen.title = titleLabel ? titleLabel->text() : widget->windowTitle();
    if (auto *message = widget->findChild<QLabel *>(QStringLiteral("m_lbMessage"))) {
        seen.text = message->text();
    } else {
        QStringList texts;
        for (QLabel *label : widget->findChildren<QLabel *>()) {
            if (label != titleLabel && label->isVisible() && !label->text().isEmpty())
                texts << label->text();
        }
        seen.text = texts.join(QLatin1Char('\n'));
    }
    return seen;
}

void ModalAnswerer::poll()
{
    if (m_pending.isEmpty()) {
        m_timer.stop();
        return;
    }
    // A widget that stays up after its answer is not answered twice; once it
    // was hidden it counts as new again (a dialog run a second time).
    if (m_lastAnswered && !m_lastAnswered->isVisible())
        m_lastAnswered = nullptr;

    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || modal == m_lastAnswered) {
        if (QDateTime::currentMSecsSinceEpoch() - m_idleSince > m_timeoutMs) {
            m_failures << QStringLiteral("no modal widget within %1 ms").arg(m_timeoutMs);
            m_pending.clear();
            m_timer.stop();
        }
        return;
    }
    m_seen.append(describe(modal));
    m_lastAnswered = modal;
    auto action = m_pending.takeFirst();
    m_idleSince = QDateTime::currentMSecsSinceEpoch();
    action(modal);
}
