#pragma once

#include "cfgtypes.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QWidget>

#include <functional>

namespace Ui {
class CCommandUiWidget;
}

class CMsg;
class DiagramWidget;
class LogManager;
class QBoxLayout;
class QLayout;
class QTimer;

// One collapsible form for one command. A "write" form sends its command with
// the entered values; a "read" form sends it with the connection index only and
// shows the values the answer brings.
class CCommandUiWidget : public QWidget
{
    Q_OBJECT

public:
    // One form of a group of the downlink form descriptions.
    struct GroupForm
    {
        QString name;
        bool editable = false; // format "write"
        QVector<UiFieldInfo> fields;
    };
    // The forms whose father is `father`, in file order. Stops at the first
    // without field descriptions, which is logged; the forms before it stay.
    static QVector<GroupForm> groupForms(const QString &father, LogManager *logger);

    CCommandUiWidget(CMsg *msg, LogManager *log, DiagramWidget *diagram, QString cmdName,
                     QTimer *timer, bool editable, quint8 condix, bool expanded,
                     QWidget *parent = nullptr);
    ~CCommandUiWidget() override;

    // How the form's command leaves: the page's own way, so that its
    // acknowledgement is the page's. Without one it goes straight to the link.
    using Sender = std::function<bool(const QString &name, const QMap<QString, QVariant> &values,
                                      const QMap<QString, QVariant> &overrides)>;
    void setSender(Sender sender) { m_sender = std::move(sender); }

    void initUi(QVector<UiFieldInfo> fields);
    QString getCmdName() const;
    void setFieldValueInGlayout(QMap<QString, QByteArray> values);
    QMap<QString, QVariant> collectFieldValues();
    // False after refusing the first typed value that cannot be sent as it stands.
    bool acceptTypedValues();

public slots:
    void onWidgetPressed();
    void on_btn_command_clicked();
    void on_timeout();
    void on_toolButton_clicked();

private:
    void splitFields(const QVector<UiFieldInfo> &fields, QVector<UiFieldInfo> *editors,
                     QVector<UiFieldInfo> *halfTables, QVector<UiFieldInfo> *fullTables) const;
    void createFieldWidget(const UiFieldInfo &field, QBoxLayout *row);
    bool findComponent(UiComponentFields *component) const;
    bool showFieldValue(const UiFieldInfo &field, QWidget *editor, const QByteArray &value);
    bool checkConnectionParameters(const QMap<QString, QVariant> &values);
    bool send(const QMap<QString, QVariant> &values);

    Ui::CCommandUiWidget *ui;
    bool m_expanded;
    bool m_editable;
    QString m_cmdName;
    quint8 m_condix;
    QTimer *m_timer;
    DiagramWidget *m_diagram;
    CMsg *m_msg;
    LogManager *m_log;
    Sender m_sender;
};
