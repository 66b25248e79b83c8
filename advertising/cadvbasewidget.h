#pragma once

#include "pagewire.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <initializer_list>
#include <utility>

class CAdvDataWidget;
class CMsg;
class CValidateLineEdit;
class LogManager;
class QCheckBox;
class QLabel;
class QScrollArea;
class QSplitter;

// What the three advertising parameter forms share: the dongle's link and
// logger, the invalid-data marker, and the sending of the parameter command
// and the hand-built data frame.
class CAdvBaseWidget : public QWidget
{
    Q_OBJECT

public:
    CAdvBaseWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent = nullptr);
    ~CAdvBaseWidget() override;

    // Checks the form and sends its parameter command for that one-byte
    // index; false when the form refused or the command could not be sent.
    // The acknowledgement goes where `answer` says.
    virtual bool setAdvParameter(QByteArray advIndex, const PageWire::Answer &answer = PageWire::Answer()) = 0;
    // Sends the form's data frame for that index, or tells why it cannot
    // (then false, and the form may be gone: a box ran the event loop).
    virtual bool setAdvData(QByteArray advIndex, const PageWire::Answer &answer = PageWire::Answer()) = 0;

protected:
    // Stretch of the parameter and data panes and the thin scroll bar.
    static void arrangePanes(QSplitter *splitter, QScrollArea *scrollArea);

    // The duration edit in whole 10 ms steps over that range; it shows the
    // range's default (0 for a range from 0, else its maximum).
    static void setDuration(CValidateLineEdit *edit, int minMs, int maxMs, const QString &tip);
    // The limited-discoverable range for that mode, else the general one.
    static void setDurationForMode(CValidateLineEdit *edit, const QString &mode, const QString &generalTip);

    // The edits the extended and periodic forms share.
    struct ExtendedEdits
    {
        CValidateLineEdit *primMax;
        CValidateLineEdit *primMin;
        CValidateLineEdit *peerAddr;
        CValidateLineEdit *duration;
        CValidateLineEdit *maxTxPower;
        CValidateLineEdit *maxAdvEvt;
        CValidateLineEdit *secMaxSkip;
        CValidateLineEdit *secSid;
    };
    static void initExtendedEdits(const ExtendedEdits &edits, const QString &primDefault, const QString &maxAdvEvtTip,
                                  const QString &secSidTip);

    // Logs the title, then shows the refusal box. The box runs the event
    // loop, where a dongle reset may delete the form: nothing of the form is
    // read after it.
    void refuse(const QString &title, const QString &text);
    // Sends the collected parameters by command name; on an empty value
    // shows "ERROR" with emptyText instead.
    bool sendParameters(bool collected, const QString &command, const QString &emptyText,
                        const PageWire::Answer &answer);
    // The data frame of the editor's blocks: 0xAA, layer, opcode, payload
    // length, then the index and each block after its length. A block the
    // editor cannot encode, or too long for its length field, is refused
    // with a log line and a box instead (false; see refuse()). False too
    // when the link does not take the frame.
    bool sendDataFrame(const CAdvDataWidget *editor, bool withPeriodic, const QString &command, quint8 opcode,
                       const QByteArray &advIndex, int lengthBytes, const PageWire::Answer &answer);

    // False after refusing the first edit whose typed value cannot be sent
    // as it stands, named by its label (see refuse() on what a box may do).
    static bool acceptTyped(std::initializer_list<std::pair<const QLabel *, CValidateLineEdit *>> fields);
    // A line edit's message value read as a base-16 number, stored under key
    // at that width; false when the edit yields nothing.
    bool collectHex(CValidateLineEdit *edit, const QString &key, int length);
    void collectNumber(const QString &key, quint64 value, int length);
    // A line edit's message value as a number (0 when empty).
    static quint64 hexValue(CValidateLineEdit *edit);
    // The bits of the checked boxes.
    static quint64 checkedBits(std::initializer_list<std::pair<const QCheckBox *, quint64>> boxes);
    // Bit 0, 1 and 2 for the boxes of channels 37, 38 and 39.
    static quint64 channelBits(const QCheckBox *ch37, const QCheckBox *ch38, const QCheckBox *ch39);

    CMsg *m_msg;
    LogManager *m_logger;
    QMap<QString, QVariant> *m_settings;
    const QByteArray m_invalidData;
    QMap<QString, QByteArray> m_paramMap;
    PageWire m_wire;
};
