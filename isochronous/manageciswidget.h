#pragma once

#include "isodatacodec.h"
#include "pagewire.h"

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QWidget>

class CMsg;
class LogManager;
class QTimer;
class ReceiveDataTableModel;

namespace Ui {
class manageCISWidget;
}

// The ISO data panel of one isochronous channel: its data path, TX sync
// values, SDUs to send (typed, random or a file; once or repeated) and the
// received SDUs (the last ten in a table, all of them in the handle's file).
// The owning page relays the results of the panel's commands to it.
class manageCISWidget : public QWidget
{
    Q_OBJECT

public:
    manageCISWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, const QString &handle,
                    const QString &dongleName, QWidget *parent = nullptr);
    ~manageCISWidget() override;

    static constexpr int MaxRows = 10;

    void setParameters(const QString &maxSdu, const QString &sduInterval);
    void disableInterval();
    // true: receive part only (BIG receiver); false: send part only (BIG broadcaster).
    void setBroadcastMode(bool receiver);

    void onSetupDataPathResult(QMap<QString, QByteArray> fields, QString name);
    void onRemoveDataPathResult(QMap<QString, QByteArray> fields, QString name);
    void onReadIsoTxSyncResult(QMap<QString, QByteArray> fields, QString name);
    void onReceiveIsoData(QMap<QString, QByteArray> fields);

    void on_sendDataLength(int digits);
    void on_repeatSendData();

    QString handle() const { return m_handle; }
    // Where received SDUs of this handle are written.
    QString receiveFilePath() const;
    bool isRepeating() const;
    ReceiveDataTableModel *receiveModel() const { return m_receiveModel; }

public slots:
    void on_pushButton_set_clicked();
    void on_pushButton_remove_clicked();
    void on_pushButton_get_clicked();
    void on_pushButton_clear_clicked();
    void on_pushButton_save_clicked();
    void on_checkBox_random_clicked(bool checked);
    void on_checkBox_repeat_clicked(bool checked);
    void on_pushButton_send_clicked();
    void on_pushButton_sendFile_clicked();
    void on_pushButton_clearSendData_clicked();

private:
    quint16 handleNumber() const;
    int maxSdu() const;
    void log(const QString &text, int level);
    void stopRepeat();
    void onPortClosed();
    // Sends once or starts a repeat; false when a repeat is already running.
    bool sendOrRepeat(const QMap<QString, QVariant> &fields);
    bool resultForThisHandle(const QMap<QString, QByteArray> &fields, const QString &wrongHandleText);
    // The result's status, which a result cannot be without.
    bool resultSucceeded(const QMap<QString, QByteArray> &fields, const QString &name, int line,
                         const QString &function) const;
    // -1 with the reason in `error` when the file cannot be opened.
    int openReceiveFile(const QString &fileName, QString *error = nullptr);
    // Nothing more goes to the receive file: said once, in the log and a box.
    void receiveFileFailed(const QString &logLine, const QString &text);
    void showError(const QString &text);
    QString fileDialogStart() const;

    Ui::manageCISWidget *ui;
    ReceiveDataTableModel *m_receiveModel = nullptr;
    int m_sendMode = 0;
    QString m_handle;
    QString m_maxSdu;
    QString m_sduInterval;
    QString m_filePath;
    QMap<QString, int> m_dataPathIds;
    // Holds the receive file's path while it is open.
    QFile m_receiveFile;
    // Set when the file failed (a write, or keeping the earlier one): later SDUs are only shown.
    bool m_receiveFileEnded = false;
    // The catalogue's field layout of a received SDU, for its file record.
    QVector<CmdFieldInfo> m_receiveLayout;
    QTimer *m_repeatTimer = nullptr;
    QMap<QString, QVariant> m_repeatFields;
    int m_repeatCount = 0;
    IsoRepeatPacer m_pacer;
    CMsg *m_msg = nullptr;
    LogManager *m_logger = nullptr;
    QMap<QString, QVariant> *m_settings = nullptr;
    QString m_dongleName;
    PageWire m_wire;
};
