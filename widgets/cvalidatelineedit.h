#pragma once

#include <QLineEdit>
#include <QString>

class QRegExpValidator;
class QIntValidator;

// One-line editor of a typed field. The subType decides what may be typed, how
// the text is made canonical on focus out, and how the shown text turns into
// the field's message value (hexadecimal digits, most significant first) and back.
class CValidateLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit CValidateLineEdit(QWidget *parent = nullptr);

    void setIntType(const QString &min, const QString &max, const QString &length,
                    const QString &defaultValue);
    void setInt8Type(const QString &min, const QString &max, const QString &length,
                     const QString &defaultValue);
    void setDoubleType(const QString &min, const QString &max, const QString &singleStep,
                       const QString &precision, const QString &length, const QString &defaultValue);
    void setInt16DoubleType(const QString &min, const QString &max, const QString &singleStep,
                            const QString &precision, const QString &length,
                            const QString &defaultValue);
    void setHexType(const QString &maxLength, const QString &min, const QString &max,
                    const QString &defaultValue, const QString &regExp);
    void setAddrType(const QString &maxLength, const QString &defaultValue, const QString &regExp);
    void setUuidType(const QString &maxLength, const QString &defaultValue, const QString &regExp);
    void setLittleEndType(const QString &maxLength, const QString &defaultValue,
                          const QString &regExp);
    void setStringType(const QString &defaultValue, const QString &maxLength);

    QString getValue();
    void setValue(const QString &value);
    QString getSubType() const;

    void normalizeText();

    // Whether the shown text can be sent as it stands: a number within its
    // range (a scaled number in whole steps), an address of six bytes, bytes
    // in whole pairs. Normalisation leaves a text that is not as it was typed.
    bool isAcceptable() const;
    // What the field takes, told to the user when it refuses a text.
    QString expectedInput() const;
    // True when the shown text can be sent; otherwise tells the user what the
    // field (named by its title) takes, gives it the focus back and returns false.
    bool acceptTyped(const QString &fieldTitle);

    // floor(value / step) that keeps exact multiples exact: 0.3 / 0.1 is
    // 2.9999999999999996 in double precision and must still give 3. A step
    // that is zero or no number gives 0.
    static double flooredQuotient(double value, double step);

public slots:
    void on_hexTextEdited(const QString &text);
    void on_stringTextEdit(const QString &text);
    void on_advDataTextEdited(const QString &text);

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void resetType();
    void setRangeType(const QString &subType, const QString &min, const QString &max,
                      const QString &length);
    // A number shown with a fixed count of decimals and sent as whole steps.
    void setScaledType(const QString &subType, const QString &min, const QString &max,
                       const QString &singleStep, const QString &precision, const QString &length,
                       const QString &integerPattern, const QString &defaultValue);
    void installRegExp(const QString &regExp);
    bool matchesRegExp(const QString &text, const QString &regExp) const;
    // Hexadecimal pairs between colons.
    void setColonType(const QString &subType, const QString &maxLength, const QString &defaultValue,
                      const QString &regExp, int maxChars);
    QString colonDefault(const QString &maxLength) const;
    QString matchingOrColonDefault(const QString &defaultValue, const QString &regExp,
                                   const QString &maxLength) const;
    int uuidGroupSize() const;
    // The number a scaled text stands for, in whole steps; false when it is
    // no number, out of range or between two steps.
    bool scaledValue(double *value) const;
    // The digits a "littleEnd" field takes, 0 for free length.
    int littleEndDigits() const;

    QString m_min;
    QString m_max;
    QString m_initial;
    QString m_length;
    QString m_step;
    QString m_precision;
    QString m_subType;
    QRegExpValidator *m_regExpValidator;
    QIntValidator *m_intValidator;
};
