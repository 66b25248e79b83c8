#pragma once

#include "cfgtypes.h"

#include <QMap>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QWidget>

class LogManager;
class QGridLayout;
class QTableWidget;
template <typename T>
class TFlatScrollArea;

// Input form of one downlink command, laid out from its form description: one
// labelled editor per field, or the row table of the command's "list" field.
class CmsgField : public QWidget
{
    Q_OBJECT

public:
    CmsgField(LogManager *log, const QString &cmdName, QGridLayout *grid = nullptr,
              QWidget *parent = nullptr);
    ~CmsgField() override;

    // In sub-field mode the form of one row of the command's "list" field is built.
    void buildForm(bool subFieldMode);
    QMap<QString, QVariant> getFieldValues(bool subFieldMode);
    // True when every typed value can be sent as it stands; otherwise the
    // first that cannot is refused where it was typed (see InputRefusal).
    bool acceptTypedValues();
    void setFieldValues(const QMap<QString, QVariant> &values, bool subFieldMode);
    void checkSubField(const QString &cmdName);
    void removeCurrentSubFieldRow();
    QString getSubFieldListValue(QTableWidget *table) const;

signals:
    void sig_containsSubField();

public slots:
    void on_addElemToTableWidget();
    void on_subFieldWidgetCellDoubleClicked(int row, int column);
    void on_btnAddSubFieldClicked();

private:
    bool findFields(const QString &cmdName, bool subFieldMode, QVector<UiFieldInfo> *fields) const;
    void clearGrid();
    void addListField(const UiFieldInfo &field);

    QGridLayout *m_gridLayout;
    QString m_cmdName;
    // Guarded: another form building into the same grid destroys the table.
    QPointer<TFlatScrollArea<QTableWidget>> m_subFieldTable;
    QMap<QString, QString> m_subFieldTitleMap;
    bool m_ownsLayout;
    LogManager *m_log;
};
