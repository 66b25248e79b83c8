#pragma once

#include "cflatdialog.h"
#include "cfgtypes.h"

#include <QMap>
#include <QString>
#include <QVector>

#include <functional>

class LogManager;
class QGridLayout;

namespace Ui {
class IsoParameterDialog;
}

// What the group and stream parameter dialogs share: a form generated from
// one component of "down_link_ui.xml" (two fields a row, byte strings on rows
// of their own), read back and filled by field key, and the ID of the record
// being added or edited. A subclass turns the values into its record.
class IsoParameterDialog : public CFlatDialog
{
    Q_OBJECT

public:
    ~IsoParameterDialog() override;

    // Written by the page before exec(): true while a row is being edited.
    bool m_editMode = false;

    // IDs the next added record must not take (the page's rows); without it
    // the IDs simply count up.
    void setIdInUse(std::function<bool(const QString &id)> inUse) { m_idInUse = std::move(inUse); }
    quint8 nextId() const { return m_nextId; }

    QGridLayout *grid() const;

public slots:
    void on_pushButton_ok_clicked();

protected:
    IsoParameterDialog(const QString &title, const QString &componentName, LogManager *logger, QWidget *parent);

    // The subclass emits its record made of the values (by field key).
    virtual void emitRecord(const QMap<QString, QString> &values, const QString &id) = 0;

    // Value text by field key, as the editors hold them now.
    QMap<QString, QString> getFieldValues() const;
    // Shows values by field key and remembers the ID of the edited record.
    void setFieldValues(const QMap<QString, QString> &values, const QString &id);

    Ui::IsoParameterDialog *ui;
    LogManager *m_logger = nullptr;
    quint8 m_nextId = 0;
    QString m_editId;

private:
    bool findComponent(UiComponentFields *component) const;
    // Calls `visit` with each generated field and its editor, in form order.
    void forEachEditor(const std::function<void(const UiFieldInfo &field, QWidget *editor)> &visit) const;
    void buildForm();
    QString takeId();

    struct FieldEditor
    {
        UiFieldInfo field;
        QWidget *editor;
    };

    QString m_componentName;
    // Every editor buildForm made, with the field it edits, in grid order.
    QVector<FieldEditor> m_editors;
    std::function<bool(const QString &)> m_idInUse;
};
