#pragma once

#include "columnfitter.h"

#include "bigfields.h"
#include "bisdatatablemodel.h"
#include "isopanelarea.h"
#include "ccommand.h"
#include "pagewire.h"
#include "cflatmessage.h"
#include "isouplink.h"
#include "logger.h"
#include "logmanager.h"
#include "tflatscrollarea.h"

#include <QHeaderView>
#include <QModelIndex>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <memory>

// What the BIG receiver and broadcaster pages share: a table of BIGs of
// `Model`, the BIS list of each BIG by its ID with the list of the current
// BIG on display, an ISO data panel per BIS handle, and the road of a BIG from
// listed to held by the controller (status 1) to gone. Results find their BIG
// by its ID, never by the row that happens to be current.
template <typename Interface, typename Model>
class BigPage : public Interface
{
public:
    bool canClose() const override
    {
        const auto &bigs = m_bigModel.records();
        return std::none_of(bigs.cbegin(), bigs.cend(), [](const auto &big) { return big.status == 1; });
    }

    Model *bigModel() { return &m_bigModel; }
    BisDataTableModel *bisModel() { return &m_bisModel; }
    QVector<bisParameter> bisList(const QString &bigId) const { return m_bisListsByBig.value(bigId); }
    manageCISWidget *panel(quint16 handle) const { return m_panels->panel(handle); }
    manageCISWidget *shownPanel() const { return m_panels->shown(); }
    QList<quint16> panelHandles() const { return m_panels->handles(); }

    void showDefaultIsoPanel() { m_panels->showDefault(); }

    // A BIG row pressed: its buttons and BIS list.
    virtual void on_BIGTableView_changed(const QModelIndex &index) = 0;
    // A BIS row pressed: its panel.
    virtual void on_BISTableView_changed(const QModelIndex &index) = 0;
    // Decides every button of the page from the current rows.
    virtual void updateButtons() = 0;

protected:
    // `sourceFile` as the page's internal-error lines name it.
    BigPage(CMsg *link, LogManager *logger, const QString &sourceFile, QWidget *parent)
        : Interface(parent), m_wire(link, logger, sourceFile), m_link(link), m_logger(logger)
    {
    }

    // After the subclass built its form.
    void setUpTables(TFlatScrollArea<QTableView> *bigView, TFlatScrollArea<QTableView> *bisView, QLayout *panelArea,
                     QLabel *panelTitle, bool receiver, QMap<QString, QVariant> *settings, const QString &dongleName)
    {
        m_bigView = bigView;
        m_bisView = bisView;
        bigView->setModel(&m_bigModel);
        bisView->setModel(&m_bisModel);
        // A row reached by the keyboard is current as much as a pressed one.
        QObject::connect(bigView->selectionModel(), &QItemSelectionModel::currentChanged, this,
                         [this](const QModelIndex &current) {
                             if (current.isValid() && current.row() != m_currentBigIndex.row())
                                 on_BIGTableView_changed(current);
                         });
        QObject::connect(bisView->selectionModel(), &QItemSelectionModel::currentChanged, this,
                         [this](const QModelIndex &current) {
                             if (current.isValid())
                                 on_BISTableView_changed(current);
                             else
                                 updateButtons();
                         });
        // Every change of rows or statuses rules the buttons again.
        for (QAbstractItemModel *model : {static_cast<QAbstractItemModel *>(&m_bigModel),
                                          static_cast<QAbstractItemModel *>(&m_bisModel)}) {
            QObject::connect(model, &QAbstractItemModel::modelReset, this, [this] { updateButtons(); });
            QObject::connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { updateButtons(); });
            QObject::connect(model, &QAbstractItemModel::rowsInserted, this, [this] { updateButtons(); });
        }
        for (TFlatScrollArea<QTableView> *view : {bigView, bisView}) {
            view->setSelectionBehavior(QAbstractItemView::SelectRows);
            view->setSelectionMode(QAbstractItemView::SingleSelection);
            view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            view->setTopInset(25);
            // Stretched to the width, but never below a title or a value.
            ColumnFitter::attach(view, {}, ColumnFitter::TitlesAndCells, ColumnFitter::StretchAll);
        }
        m_panels.reset(new IsoPanelArea(this, panelArea, panelTitle, QStringLiteral("BIS Connection Handle: "),
                                        receiver ? IsoPanelArea::Sides::ReceiveOnly : IsoPanelArea::Sides::SendOnly,
                                        m_wire, m_link, m_logger, settings, dongleName));
    }

    // A new BIG never takes the ID of one the page still lists.
    bool bigIdInUse(const QString &id) const { return BigFields::rowOf(m_bigModel.records(), id.toULongLong()) >= 0; }

    void log(const QString &text, int level) { m_wire.log(text, level); }

    int currentBigRow() const { return currentRowOf(m_bigView, m_bigModel.rowCount()); }
    void selectBisRow(int row)
    {
        if (row >= 0 && row < m_bisModel.rowCount())
            m_bisView->setCurrentIndex(m_bisModel.index(row, 0));
    }
    int currentBisRow() const { return currentRowOf(m_bisView, m_bisModel.rowCount()); }
    // The current BIG row while the controller does not hold it; else -1.
    int currentListedBigRow() const
    {
        const int row = currentBigRow();
        return row >= 0 && m_bigModel.records().at(row).status != 1 ? row : -1;
    }

    // Buttons, BIS table and current index follow the row that is now
    // current; with none, no row button stays on.
    void followRow(int row)
    {
        if (row >= 0 && row < m_bigModel.rowCount()) {
            const QModelIndex index = m_bigModel.index(row, 0);
            m_bigView->setCurrentIndex(index);
            on_BIGTableView_changed(index);
            return;
        }
        m_bisModel.clear();
        m_currentBigIndex = QModelIndex();
        updateButtons();
    }

    // Which of the states a current BIG row is in; with none, every row button goes off.
    enum class RowState { None, Listed, Held };
    RowState currentRowState() const
    {
        const int row = currentBigRow();
        if (row < 0)
            return RowState::None;
        return m_bigModel.records().at(row).status == 1 ? RowState::Held : RowState::Listed;
    }

    // The subclass's part of a row leaving (its own per-row lists).
    virtual void bigRowRemoved(int row) { Q_UNUSED(row) }

    // Remove BIG: only a BIG the controller does not hold; nothing is sent.
    void removeCurrentBig()
    {
        const int row = currentListedBigRow();
        if (row < 0)
            return;
        m_bisListsByBig.remove(m_bigModel.records().at(row).bigId);
        m_bigModel.removeRecord(row);
        bigRowRemoved(row);
        m_bisModel.clear();
        showDefaultIsoPanel();
        followRow(0);
    }

    // The row of a result's "big_id"; -1 when none has it, after the box (if
    // given) and the ERROR line.
    int resultRow(const QMap<QString, QByteArray> &fields, const QString &wrongIdBox)
    {
        const int row = BigFields::rowOf(m_bigModel.records(), IsoUplink::number(fields, QStringLiteral("big_id")));
        if (row < 0 && !wrongIdBox.isEmpty()) {
            CFlatMessage::notify(this, QStringLiteral("ERROR"), wrongIdBox);
            log(QStringLiteral("BIG ID sended is not equal to the response BIG ID."), LogLevel::Error);
        }
        return row;
    }

    // A create result with status 0 (the caller checked it first: a failed
    // result carries no valid BIS count) for the BIG of `row`: the controller
    // holds it, its BIS rows get the handles and each handle a panel (returned
    // for the subclass to set up). A result whose BIS count is not the BIG's
    // changes nothing.
    QList<manageCISWidget *> takeCreateResult(const QMap<QString, QByteArray> &fields, int row,
                                              const QString &wrongCountBox, bool *taken)
    {
        *taken = false;
        const QString bigId = m_bigModel.records().at(row).bigId;
        QVector<bisParameter> list = m_bisListsByBig.value(bigId);
        if (IsoUplink::number(fields, QStringLiteral("number_bis")) != quint64(list.size())) {
            CFlatMessage::notify(this, QStringLiteral("ERROR"), wrongCountBox);
            log(QStringLiteral("BIS count sended is not equal to the response BIS count."), LogLevel::Error);
            return {};
        }
        *taken = true;
        m_bigModel.records()[row].status = 1;
        m_bigModel.refresh();
        QList<manageCISWidget *> panels;
        for (quint16 handle : BigFields::assignHandles(&list, fields.value(QStringLiteral("connection_handle")))) {
            if (manageCISWidget *panel = m_panels->add(handle))
                panels << panel;
        }
        m_bisListsByBig.insert(bigId, list);
        // The reset cleared the view's current row; the row last pressed takes it again.
        if (m_currentBigIndex.isValid())
            followRow(m_currentBigIndex.row());
        return panels;
    }

    // The BIG of `row` has left the controller: its panels and its row go.
    void endBig(int row, const QString &successLine)
    {
        const QString bigId = m_bigModel.records().at(row).bigId;
        for (const bisParameter &bis : m_bisListsByBig.value(bigId)) {
            if (!bis.bisHandle.isEmpty())
                m_panels->discard(quint16(BigFields::number(bis.bisHandle) & 0xFFFF));
        }
        showDefaultIsoPanel();
        m_bisListsByBig.remove(bigId);
        m_bigModel.removeRecord(row);
        bigRowRemoved(row);
        m_bisModel.clear();
        followRow(0);
        log(successLine, LogLevel::Info);
    }

    // The pressed row's BIS list goes on display (empty when it has none) and
    // the row becomes the one last pressed. False for an invalid index, after
    // the DEBUG line; else `listed` tells whether the controller does not hold
    // the BIG and `hasList` whether it has a BIS list.
    bool showBigRow(const QModelIndex &index, const QString &function, bool *listed, bool *hasList)
    {
        if (!index.isValid() || index.row() >= m_bigModel.rowCount()) {
            log(function + QStringLiteral(":Clicked index is not valid."), LogLevel::Debug);
            return false;
        }
        const auto &big = m_bigModel.records().at(index.row());
        *listed = big.status != 1;
        const auto list = m_bisListsByBig.constFind(big.bigId);
        *hasList = list != m_bisListsByBig.constEnd();
        m_bisModel.setRecords(*hasList ? list.value() : QVector<bisParameter>());
        m_currentBigIndex = index;
        return true;
    }

    void readIsoTxSyncProc(const QByteArray &frame) { m_panels->relayTxSync(frame); }
    void setupDataPathProc(const QByteArray &frame) { m_panels->relaySetupDataPath(frame); }
    void removeDataPathProc(const QByteArray &frame) { m_panels->relayRemoveDataPath(frame); }
    void receiveIsoDataProc(const QByteArray &frame) { m_panels->relayReceivedData(frame); }

    PageWire m_wire;
    // What the ISO data panels send on and log to.
    CMsg *m_link;
    LogManager *m_logger;
    QMap<QString, QVector<bisParameter>> m_bisListsByBig;
    std::unique_ptr<IsoPanelArea> m_panels;
    Model m_bigModel;
    // The BIG row last pressed.
    QModelIndex m_currentBigIndex;
    BisDataTableModel m_bisModel;

private:
    static int currentRowOf(QTableView *view, int rows)
    {
        const QModelIndex index = view ? view->currentIndex() : QModelIndex();
        return index.isValid() && index.row() < rows ? index.row() : -1;
    }

    QTableView *m_bigView = nullptr;
    QTableView *m_bisView = nullptr;
};
