#pragma once

#include <QObject>
#include <QVector>

class QAbstractItemView;
class QHeaderView;

// Keeps a view's columns at least as wide as their titles and, when asked,
// as the cells on show, so that neither is cut. Each column starts at its
// given width where that is more; room left over in the view goes to every
// column evenly or to the last one, as a stretched header would give it. The
// view scrolls where the columns need more than it has.
class ColumnFitter : public QObject
{
    Q_OBJECT

public:
    enum Cells { TitlesOnly, TitlesAndCells };
    enum Stretch { NoStretch, StretchAll, StretchLast };

    static ColumnFitter *attach(QAbstractItemView *view, const QVector<int> &widths, Cells cells = TitlesOnly,
                                Stretch stretch = NoStretch);

    // Lays the columns out again (after a model was set or swapped).
    void refit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ColumnFitter(QAbstractItemView *view, QHeaderView *header, const QVector<int> &widths, Cells cells,
                 Stretch stretch);
    void watchModel();
    void scheduleRefit();

    QAbstractItemView *m_view;
    QHeaderView *m_header;
    QVector<int> m_widths;
    Cells m_cells;
    Stretch m_stretch;
    bool m_pending = false;
    QObject *m_watchedModel = nullptr;
};
