#pragma once

#include "ui_diagramwidget.h"

#include <QVector>
#include <QWidget>

class QFrame;
class QTimerEvent;

// Picture of one link: dongle, peer and the connection parameters, with the
// line coloured by the link state (0 connected, 1 renegotiating, 2 disconnected).
class DiagramWidget : public QWidget, public Ui::Diagram
{
    Q_OBJECT

public:
    explicit DiagramWidget(QWidget *parent = nullptr);

    int getState() const;
    void setState(int state);

    void setDongleName(const QString &name);
    void setDongleAddress(const QString &address);
    void setPeerInfo(const QString &info);
    void setPeerAddress(const QString &address);
    void setConnIntervalMin(double milliseconds);
    void setConnIntervalMax(double milliseconds);
    void setConnLatency(quint16 latency);
    void setSupervisionTimeout(quint16 milliseconds);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    // The form places its labels by hand: one whose text needs more room
    // grows about its centre, kept inside the diagram.
    void fitLabels();
    QVector<QFrame *> m_lines;
    int m_state;
    int m_timerId;
};
