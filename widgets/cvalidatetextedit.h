#pragma once

#include "tflatscrollarea.h"

#include <QTextEdit>

class QMimeData;

// Multi-line editor of a byte string typed as hexadecimal pairs. Its value is
// the message value of the shown bytes: the command sender writes it least
// significant byte first, so the bytes go out in the order they are shown.
class CValidateTextEdit : public TFlatScrollArea<QTextEdit>
{
    Q_OBJECT

public:
    explicit CValidateTextEdit(QWidget *parent = nullptr);

    QString getText() const;
    QString getByteArray() const;
    // Whether the text is whole bytes: an even number of digits.
    bool isAcceptable() const;
    // True when it is; otherwise tells the user what the field (named by its
    // title) takes, gives it the focus back and returns false.
    bool acceptTyped(const QString &fieldTitle);

    QSize sizeHint() const override;

    // The longest text a paste or drop may insert.
    static constexpr int MaxInsertLength = 1024;

signals:
    void sig_textEditLength(int digits);

public slots:
    void on_textChanged();

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
};

// Editor that refuses, key by key, anything but a decimal number (base 10)
// or hexadecimal pairs with colons (any other base).
class CValidatorTextEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit CValidatorTextEdit(QWidget *parent = nullptr);

    void setBase(quint8 base);
    quint8 base() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    quint8 m_base = 16;
};
