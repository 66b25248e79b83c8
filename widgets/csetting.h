#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

class QBoxLayout;
class QHBoxLayout;
class QLabel;

// One node of a settings screen: a group, a category or a labelled editor.
// Nodes are child widgets of their parent node; a node itself is never shown,
// only the editors it builds into a page.
class CSetting : public QWidget
{
    Q_OBJECT

public:
    CSetting(const QString &key, const QString &title, CSetting *parent);

    virtual QVariant defaultValue() const;
    virtual bool isValid() const;
    virtual void setEditable(bool editable);
    virtual QVariant value() const;
    virtual void setValue(const QVariant &value);
    virtual void createWidget(QBoxLayout *layout);
    virtual void addChild(CSetting *child);
    virtual void removeChild(CSetting *child);
    virtual CSetting *child(int index) const;
    virtual int childCount() const;

    QString key() const;
    QString title() const;
    void setDefaultValue(const QVariant &value);
    CSetting *parentSetting() const;
    void setParentSetting(CSetting *parent);

protected:
    // For a top-level group, which has a plain widget as its parent.
    CSetting(const QString &key, const QString &title, QWidget *parentWidget);

    // Appends a row to layout with the title (4 parts) beside the editor (6 parts).
    QHBoxLayout *addTitledRow(QBoxLayout *layout, QWidget *editor, QLabel **label) const;

    QString m_key;
    QString m_title;
    QVariant m_defaultValue;
    QVariant m_value;
    CSetting *m_parentSetting = nullptr;
};
