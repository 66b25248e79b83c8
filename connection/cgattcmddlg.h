#pragma once

#include "pagewire.h"

#include <QMap>
#include <QModelIndex>
#include <QString>
#include <QVector>
#include <QWidget>

#include <cstdint>

class CMsg;
class CmsgField;
class LogManager;
class QStandardItemModel;
class Ui_CGattCmdDlg;

struct GattCommandInfo
{
    QString name;
    QString ID;
    QString type; // "discover" or "readOrWrite"
};

struct GattCommandGroup
{
    QString name;
    QVector<GattCommandInfo> commands;
};

// The "Send Commands" tab of a connection's GATT page: any single GATT client
// command of the dongle, picked from a tree of groups and sent with the
// values of its parameter form and this connection's index.
class CGattCmdDlg : public QWidget
{
    Q_OBJECT

public:
    static const QString DefaultGroupFile;

    // groupFile: the group description; tests hand in a broken one.
    CGattCmdDlg(CMsg *link, LogManager *logger, uint8_t condix, QWidget *parent = nullptr,
                const QString &groupFile = DefaultGroupFile);
    ~CGattCmdDlg() override;

    // Sends as a part of the GATT page's wire (its connection, its end).
    void setPageWire(const PageWire &page) { m_wire = PageWire(page, QStringLiteral(".\\cgattcmddlg")); }
    CmsgField *currentField() const { return m_currentField; }
    QVector<GattCommandGroup> groups() const { return m_groups; }

signals:
    void sig_sendDicoverCmd();
    void sig_btnAddSubFieldClicked();
    void sig_btnRemoveSubFieldClicked();

public slots:
    void on_treeViewMsg_clicked(const QModelIndex &index);
    void onRcvMsg(const QByteArray &frame);
    void on_btnSend_clicked();
    void on_toolButtonAddSubField_clicked();
    void on_toolButtonRemoveSubField_clicked();
    void on_containsSubFields();

private:
    bool parseCommandGroupXml(const QString &path);
    void buildCommandTree();

    Ui_CGattCmdDlg *ui;
    QVector<GattCommandGroup> m_groups;
    QString m_currentName;
    uint8_t m_condix;
    CmsgField *m_currentField = nullptr;
    QMap<QString, CmsgField *> m_fieldMap;
    LogManager *m_logger;
    PageWire m_wire;
};
