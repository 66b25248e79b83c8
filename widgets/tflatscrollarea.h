#pragma once

#include <QAbstractItemView>
#include <QEvent>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>

#include <type_traits>

#include "cflatscrollbar.h"

// The view classes above are included so that forms can name
// TFlatScrollArea<QTextBrowser> and the like with this header alone.

// Any scroll-area widget T with thin overlay bars in place of its own: the bars
// float over the right and bottom edge while the mouse is over the view and
// there is something to scroll.
template <typename T>
class TFlatScrollArea : public T
{
    static_assert(std::is_base_of<QAbstractScrollArea, T>::value, "T must be a scroll area");

public:
    explicit TFlatScrollArea(QWidget *parent = nullptr) : T(parent)
    {
        this->setAttribute(Qt::WA_MouseTracking);
        this->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        this->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

        // Children of the view itself, not of its viewport, so they float above the content.
        m_horizontal = new CFlatScrollBar(Qt::Horizontal, this);
        m_vertical = new CFlatScrollBar(Qt::Vertical, this);
        pair(this->horizontalScrollBar(), m_horizontal);
        pair(this->verticalScrollBar(), m_vertical);
        if constexpr (std::is_base_of<QPlainTextEdit, T>::value) {
            // A plain text edit scrolls with its bar's signals blocked.
            QObject::connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &, int dy) {
                if (dy != 0)
                    followOwnBars();
            });
        }
    }

    CFlatScrollBar *horizontalOverlay() const { return m_horizontal; }
    CFlatScrollBar *verticalOverlay() const { return m_vertical; }

    // Keeps the overlay bars clear of a header row or column.
    void setTopInset(int pixels)
    {
        m_topInset = pixels;
        placeOverlays();
    }
    void setLeftInset(int pixels)
    {
        m_leftInset = pixels;
        placeOverlays();
    }

protected:
    void enterEvent(QEvent *event) override
    {
        Q_UNUSED(event)
        followOwnBars();
        m_horizontal->setVisible(m_horizontal->maximum() > 0);
        m_vertical->setVisible(m_vertical->maximum() > 0);
    }

    void leaveEvent(QEvent *event) override
    {
        Q_UNUSED(event)
        m_horizontal->hide();
        m_vertical->hide();
    }

    void resizeEvent(QResizeEvent *event) override
    {
        placeOverlays();
        baseResize(event);
    }

private:
    void placeOverlays()
    {
        const int w = this->width();
        const int h = this->height();
        m_horizontal->setGeometry(m_leftInset, h - 11, w - m_leftInset, 10);
        m_vertical->setGeometry(w - 11, m_topInset, 10, h - m_topInset);
    }

    void followOwnBars()
    {
        m_horizontal->setValue(this->horizontalScrollBar()->value());
        m_vertical->setValue(this->verticalScrollBar()->value());
    }

    static void pair(QScrollBar *own, CFlatScrollBar *overlay)
    {
        // Equal values emit nothing, so the two connections cannot loop.
        QObject::connect(own, &QScrollBar::valueChanged, overlay, &QScrollBar::setValue);
        QObject::connect(overlay, &QScrollBar::valueChanged, own, &QScrollBar::setValue);
        QObject::connect(own, &QScrollBar::rangeChanged, overlay, &CFlatScrollBar::onRangeChanged);
        overlay->onRangeChanged(own->minimum(), own->maximum());
        overlay->setValue(own->value());
    }

    // The resize handling of the nearest class that has its own.
    void baseResize(QResizeEvent *event)
    {
        if constexpr (std::is_base_of<QPlainTextEdit, T>::value)
            QPlainTextEdit::resizeEvent(event);
        else if constexpr (std::is_base_of<QTextEdit, T>::value)
            QTextEdit::resizeEvent(event);
        else if constexpr (std::is_base_of<QListView, T>::value)
            QListView::resizeEvent(event);
        else if constexpr (std::is_base_of<QAbstractItemView, T>::value)
            QAbstractItemView::resizeEvent(event);
        else if constexpr (std::is_base_of<QScrollArea, T>::value)
            QScrollArea::resizeEvent(event);
        else
            T::resizeEvent(event);
    }

    CFlatScrollBar *m_horizontal = nullptr;
    CFlatScrollBar *m_vertical = nullptr;
    int m_topInset = 0;
    int m_leftInset = 0;
};
