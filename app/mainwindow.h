#pragma once

#include "configfile.h"

#include <QMainWindow>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>

class CConfigDongleNameDialog;
class MainDongleWidget;
class QAction;
class QMenu;
namespace Platform {
class PortWatcher;
}

namespace Ui {
class MainWindow;
}

// The one top-level window: frameless, its own title bar, one tab per dongle
// (at most five). Restores the tabs from config.ini and writes them back.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int MaxDongles = 5;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // First run only: asks for the first dongle's name.
    void configureFirstDongle();
    MainDongleWidget *firstDongleWidget() const { return m_firstDongle; }
    // "Dongle" followed by the lowest positive number no tab carries.
    QString nextDongleName() const;

    // Rewrites config.ini from the live tabs; false when the file could not
    // be written, in which case the previous file is kept. While the window
    // runs, the first of a row of failures is told in a message box.
    bool saveConfig();

    // What start-up made of config.ini when not all of it could be used;
    // empty when all of it was. showConfigReport() tells it in a message box.
    QString configReport() const { return m_configFile.report(); }
    void showConfigReport();
    // Where config.ini was kept aside, empty when it was not.
    QString configSetAside() const { return m_configFile.setAside(); }

    const QVector<QPair<MainDongleWidget *, QString>> &dongles() const { return m_dongles; }
    // Null until the user first adds a dongle tab.
    CConfigDongleNameDialog *addDialog() const { return m_addDialog; }
    CConfigDongleNameDialog *nameDialog() const { return m_nameDialog; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

    // The title bar's buttons, connected explicitly: the form calls them
    // m_btnMin, m_btnMax and m_btnClose, and as slots these names would send
    // connectSlotsByName looking for objects that do not exist.
    void on_btnMin_clicked();
    void on_btnMax_clicked();
    void on_btnExit_clicked();

public slots:
    void on_addDongleTab();
    void on_deleteDongleTab(int index);
    void on_showThisDongleTab(QString name);
    void on_updateDongleName(MainDongleWidget *widget, QString name);
    void on_currentChanged(int index);
    void on_tabBarRightClick(QPoint pos);
    void on_ConfirmDeleteDongleTab();
    void on_CancelDeleteDongleTab();
    void on_m_tabDongleWidget_tabBarClicked(int index);
    // A serial port appeared or went away; every dongle tab hears of it, in tab order.
    void onSerialPortArrived(const QString &port);
    void onSerialPortRemoved(const QString &port);
    // A dongle's settings were applied: on disk at once, not only at exit.
    void onDongleSettingsChanged();
    // The system asked the program to end (SIGTERM, SIGINT, SIGHUP): each
    // dongle's log says why, then the program closes as its close button does.
    void onTerminationRequested(int signalNumber);

private:
    void restoreTabs(const QStringList &groups);
    MainDongleWidget *createDongle(const QString &name);
    // Follows ports coming and going from here on.
    void startPortWatcher();

    Ui::MainWindow *ui;
    bool m_dragging = false;
    QPoint m_dragOffset;
    bool m_maximised = false;
    QRect m_normalGeometry;
    MainDongleWidget *m_firstDongle = nullptr;
    CConfigDongleNameDialog *m_nameDialog = nullptr;
    QVector<QPair<MainDongleWidget *, QString>> m_dongles;
    ConfigFile m_configFile;
    int m_tabIndex = -1;
    CConfigDongleNameDialog *m_addDialog = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_editAction = nullptr;
    bool m_firstRun = false;
    bool m_saveFailureShown = false;
    bool m_closing = false;
    Platform::PortWatcher *m_portWatcher = nullptr;
};
