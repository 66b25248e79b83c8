#pragma once

#include <QWidget>

class QMouseEvent;

// Clickable header strip of a command form.
class SigWidget : public QWidget
{
    Q_OBJECT

public:
    explicit SigWidget(QWidget *parent = nullptr);

signals:
    void SigWidgetPressed();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
