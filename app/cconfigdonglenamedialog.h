#pragma once

#include "cflatdialog.h"

#include <QPair>
#include <QString>
#include <QVector>

class MainDongleWidget;

namespace Ui {
class ConfigDongleName;
}

// Asks for the name of a dongle tab. The name becomes a log folder, a data
// folder and a config.ini group, so names that could not be any of those are
// refused, as are names another tab carries.
class CConfigDongleNameDialog : public CFlatDialog
{
    Q_OBJECT
public:
    using TabList = QVector<QPair<MainDongleWidget *, QString>>;

    CConfigDongleNameDialog(TabList *tabs, QWidget *parent = nullptr);
    ~CConfigDongleNameDialog() override;

    void setName(const QString &name);
    QString getName() const;

    // Longest name, in UTF-8 bytes: the log folder puts a time stamp before
    // it and a folder name may not exceed 255 bytes.
    static constexpr int MaxNameBytes = 200;

    // Not empty, ".", "..", longer than MaxNameBytes, or holding "/", "\",
    // a control character or markup ("<", ">").
    static bool isUsableName(const QString &name);
    // Why a name cannot name a dongle, empty when it can.
    static QString whyUnusable(const QString &name);

signals:
    void showDongleTab(CConfigDongleNameDialog *dialog);

public slots:
    void on_PB_Config_clicked();
    void on_PB_Cancle_clicked();
    void on_close();

private:
    Ui::ConfigDongleName *ui;
    TabList *m_tabs;
};
