#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ccfgfileparse.h"
#include "cconfigdonglenamedialog.h"
#include "cflatmessage.h"
#include "confirmdeletedialog.h"
#include "logdiskguard.h"
#include "logger.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "portwatcher.h"
#include "terminationwatcher.h"
#include "widgetresources.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPoint>
#include <QPointer>
#include <QScreen>
#include <QTabBar>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <QtDebug>

#include <algorithm>
#include <thread>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_configFile(QStringLiteral("config.ini"))
    , m_menu(new QMenu(this))
    , m_editAction(new QAction(tr("edit"), this))
{
    // The catalogue is read beside the building of the window: the first
    // tab's scanning page needs it only once its own form is built.
    std::thread catalogue([mainThread = QThread::currentThread()] {
        CCfgFileParse *parsed = CCfgFileParse::instance();
        if (parsed->thread() == QThread::currentThread())
            parsed->moveToThread(mainThread);
    });
    initWidgetResources();
    setWindowFlags(Qt::FramelessWindowHint);
    m_maximised = false;
    m_normalGeometry = geometry();

    ui->setupUi(this);
    ui->titleBar->installEventFilter(this);
    connect(ui->m_btnMin, &QToolButton::clicked, this, &MainWindow::on_btnMin_clicked);
    connect(ui->m_btnMax, &QToolButton::clicked, this, &MainWindow::on_btnMax_clicked);
    connect(ui->m_btnClose, &QToolButton::clicked, this, &MainWindow::on_btnExit_clicked);
    connect(ui->m_tabDongleWidget, &CDongleTabWidget::addDongleTab, this, &MainWindow::on_addDongleTab);
    connect(ui->m_tabDongleWidget, &QTabWidget::tabCloseRequested, this, &MainWindow::on_deleteDongleTab);
    connect(ui->m_tabDongleWidget, &QTabWidget::currentChanged, this, &MainWindow::on_currentChanged);
    QTabBar *bar = ui->m_tabDongleWidget->tabBar();
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bar, &QTabBar::customContextMenuRequested, this, &MainWindow::on_tabBarRightClick);
    // One box for the program; each dongle's log says it in a line of its own.
    connect(LogDiskGuard::instance(), &LogDiskGuard::sig_spaceLow, this, [this](qint64 freeBytes) {
        CFlatMessage::notify(this, tr("Disk space"), LogDiskGuard::lowText(freeBytes));
    });

    restoreTabs(m_configFile.load(MaxDongles));
    if (m_dongles.isEmpty()) {
        // First run (or nothing usable stored): one tab named once the user confirms.
        m_firstRun = true;
        const QString name = nextDongleName();
        m_firstDongle = new MainDongleWidget(name, ui->m_tabDongleWidget->pageParent());
        connect(m_firstDongle, &MainDongleWidget::showThisDongleTab, this, &MainWindow::on_showThisDongleTab);
        connect(m_firstDongle, &MainDongleWidget::updateDongleName, this, &MainWindow::on_updateDongleName);
        connect(m_firstDongle, &MainDongleWidget::sig_settingsChanged, this, &MainWindow::onDongleSettingsChanged);
        ui->m_tabDongleWidget->addTab(m_firstDongle, name);
    }
    if (!configReport().isEmpty())
        m_firstDongle->logManager()->log(configReport(), LogLevel::Error);

    ui->m_tabDongleWidget->setCurrentWidget(m_firstDongle);
    if (!m_firstDongle->isInitialized())
        m_firstDongle->initWidgets();
    catalogue.join();
}

void MainWindow::startPortWatcher()
{
    if (m_portWatcher)
        return;
    m_portWatcher = new Platform::PortWatcher(this);
    connect(m_portWatcher, &Platform::PortWatcher::arrived, this, &MainWindow::onSerialPortArrived);
    connect(m_portWatcher, &Platform::PortWatcher::removed, this, &MainWindow::onSerialPortRemoved);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Listing the ports takes a good part of the start-up: it waits until
    // the window has been drawn once.
    if (!m_portWatcher && windowHandle())
        windowHandle()->installEventFilter(this);
}

void MainWindow::showConfigReport()
{
    if (!configReport().isEmpty())
        CFlatMessage::information(this, tr("config.ini"), configReport());
}

void MainWindow::restoreTabs(const QStringList &groups)
{
    for (const QString &name : groups) {
        MainDongleWidget *widget = createDongle(name);
        widget->readSettingsGroup(m_configFile.settings(), name);
        ui->m_tabDongleWidget->addTab(widget, name);
        if (!m_firstDongle)
            m_firstDongle = widget;
        m_dongles.append(qMakePair(widget, name));
    }
}

MainDongleWidget *MainWindow::createDongle(const QString &name)
{
    auto *widget = new MainDongleWidget(name, ui->m_tabDongleWidget->pageParent());
    connect(widget, &MainDongleWidget::showThisDongleTab, this, &MainWindow::on_showThisDongleTab);
    connect(widget, &MainDongleWidget::sig_settingsChanged, this, &MainWindow::onDongleSettingsChanged);
    return widget;
}

MainWindow::~MainWindow()
{
    // Every dongle's stop commands are queued first, so the links send them side by side.
    QList<QPointer<MainDongleWidget>> tabs;
    for (int i = 0; i < ui->m_tabDongleWidget->count(); ++i) {
        if (auto *dongle = qobject_cast<MainDongleWidget *>(ui->m_tabDongleWidget->widget(i)))
            tabs << dongle;
    }
    for (const QPointer<MainDongleWidget> &dongle : qAsConst(tabs))
        dongle->stopActivity();
    for (const QPointer<MainDongleWidget> &dongle : qAsConst(tabs)) {
        if (dongle)
            dongle->closePort();
    }
    delete ui;
    ui = nullptr;
    m_closing = true;
    saveConfig();
}

bool MainWindow::saveConfig()
{
    QVector<ConfigFile::Group> groups;
    for (const auto &entry : qAsConst(m_dongles))
        groups.append(qMakePair(entry.first->dongleName(), *entry.first->settingsMap()));
    QString text;
    if (m_configFile.save(groups, &text)) {
        m_saveFailureShown = false;
        return true;
    }
    for (const auto &entry : qAsConst(m_dongles))
        entry.first->logManager()->log(text, LogLevel::Error);
    if (m_dongles.isEmpty())
        qCritical().noquote() << text;
    // No box while the window goes.
    if (m_closing)
        return false;
    // One box for a row of failures; a later success arms it again.
    if (!m_saveFailureShown) {
        m_saveFailureShown = true;
        CFlatMessage::information(this, tr("error"),
                                  text + QLatin1Char('\n')
                                      + tr("The settings of this session are lost when the program ends unless "
                                           "the file can be written by then.\nMake it writable or free disk "
                                           "space: it is written again at the next change and when the program "
                                           "ends."));
    }
    return false;
}

void MainWindow::configureFirstDongle()
{
    if (!m_firstRun)
        return;
    const QString proposed = nextDongleName();
    if (!m_nameDialog) {
        m_nameDialog = new CConfigDongleNameDialog(&m_dongles, this);
        m_nameDialog->setName(proposed);
    }
    m_nameDialog->exec();
    QString name = m_nameDialog->getName();
    // The text is taken however the dialog ended; one that cannot name a
    // dongle falls back to the proposed name.
    if (!CConfigDongleNameDialog::isUsableName(name))
        name = proposed;
    m_firstDongle->on_configDongleName(name);
    m_firstRun = false;
}

QString MainWindow::nextDongleName() const
{
    for (int number = 1;; ++number) {
        const QString name = QStringLiteral("Dongle%1").arg(number);
        const bool taken = std::any_of(m_dongles.cbegin(), m_dongles.cend(),
                                       [&name](const QPair<MainDongleWidget *, QString> &entry) {
                                           return entry.second == name;
                                       });
        if (!taken)
            return name;
    }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        // After this expose has drawn the window.
        QTimer::singleShot(0, this, &MainWindow::startPortWatcher);
    }
    if (ui && watched == ui->titleBar && event->type() == QEvent::MouseButtonDblClick) {
        on_btnMax_clicked();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    const QRect titleRect(ui->titleBar->mapTo(this, QPoint(0, 0)), ui->titleBar->size());
    if (event->button() == Qt::LeftButton && titleRect.contains(event->pos())) {
        event->accept();
        // As the dialogs do: the window manager moves the window where it can,
        // which also works where a window may not place itself (Wayland).
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        m_dragging = true;
        m_dragOffset = event->globalPos() - pos();
        return;
    }
    QMainWindow::mousePressEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && event->buttons() != Qt::NoButton) {
        move(event->globalPos() - m_dragOffset);
        event->accept();
        return;
    }
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::on_btnMin_clicked()
{
    showMinimized();
}

void MainWindow::on_btnMax_clicked()
{
    if (m_maximised) {
        setGeometry(m_normalGeometry);
        ui->m_btnMax->setIcon(QIcon(QStringLiteral(":/icons/max.png")));
    } else {
        m_normalGeometry = geometry();
        // The available area keeps the task bar visible.
        if (QScreen *screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
        ui->m_btnMax->setIcon(QIcon(QStringLiteral(":/icons/restore.png")));
    }
    m_maximised = !m_maximised;
}

void MainWindow::on_btnExit_clicked()
{
    QCoreApplication::exit(0);
}

void MainWindow::onTerminationRequested(int signalNumber)
{
    const QString text = QStringLiteral("Closing: %1 received.")
                             .arg(Platform::TerminationWatcher::signalName(signalNumber));
    for (int i = 0; i < ui->m_tabDongleWidget->count(); ++i) {
        if (auto *dongle = qobject_cast<MainDongleWidget *>(ui->m_tabDongleWidget->widget(i)))
            dongle->logManager()->log(text, LogLevel::Info);
    }
    on_btnExit_clicked();
}

void MainWindow::on_addDongleTab()
{
    if (ui->m_tabDongleWidget->count() >= MaxDongles) {
        CFlatMessage::information(this, tr("error"), tr("widget numbers should < 5"));
        return;
    }
    // Built when first asked for: start-up does not need it.
    if (!m_addDialog)
        m_addDialog = new CConfigDongleNameDialog(&m_dongles, this);
    m_addDialog->setName(nextDongleName());
    if (m_addDialog->exec() != QDialog::Accepted)
        return;
    const QString name = m_addDialog->getName();
    if (!CConfigDongleNameDialog::isUsableName(name))
        return;
    MainDongleWidget *widget = createDongle(name);
    ui->m_tabDongleWidget->addTab(widget, name);
    connect(widget, &MainDongleWidget::updateDongleName, this, &MainWindow::on_updateDongleName);
    widget->on_configDongleName(name);
    ui->m_tabDongleWidget->setCurrentWidget(widget);
}

void MainWindow::on_deleteDongleTab(int index)
{
    // Refused before the question, not silently after it.
    if (m_dongles.size() <= 1) {
        CFlatMessage::information(this, tr("error"),
                                  tr("The last dongle tab cannot be closed. Add another dongle tab first if this "
                                     "one is to go."));
        return;
    }
    m_tabIndex = index;
    confirmdeletedialog dialog(this);
    connect(&dialog, &confirmdeletedialog::confirmDelete, this, &MainWindow::on_ConfirmDeleteDongleTab);
    connect(&dialog, &confirmdeletedialog::cancelDelete, this, &MainWindow::on_CancelDeleteDongleTab);
    dialog.exec();
}

void MainWindow::on_ConfirmDeleteDongleTab()
{
    if (m_dongles.size() <= 1)
        return;
    auto *widget = qobject_cast<MainDongleWidget *>(ui->m_tabDongleWidget->widget(m_tabIndex));
    if (!widget)
        return;
    const QPointer<MainDongleWidget> alive(widget);
    widget->stopActivity();
    widget->closePort();
    if (!alive)
        return;
    ui->m_tabDongleWidget->removeTab(ui->m_tabDongleWidget->indexOf(widget));
    m_dongles.erase(std::remove_if(m_dongles.begin(), m_dongles.end(),
                                   [widget](const QPair<MainDongleWidget *, QString> &entry) {
                                       return entry.first == widget;
                                   }),
                    m_dongles.end());
    if (m_firstDongle == widget)
        m_firstDongle = m_dongles.isEmpty() ? nullptr : m_dongles.first().first;
    // We are inside the confirmation dialog's signal; the widget goes once
    // control is back in the event loop.
    widget->hide();
    widget->deleteLater();
    saveConfig();
}

void MainWindow::on_CancelDeleteDongleTab()
{
}

void MainWindow::on_showThisDongleTab(QString name)
{
    for (const auto &entry : qAsConst(m_dongles)) {
        if (entry.second == name)
            ui->m_tabDongleWidget->setCurrentWidget(entry.first);
    }
}

void MainWindow::on_updateDongleName(MainDongleWidget *widget, QString name)
{
    const bool known = std::any_of(m_dongles.cbegin(), m_dongles.cend(),
                                   [widget](const QPair<MainDongleWidget *, QString> &entry) {
                                       return entry.first == widget;
                                   });
    if (!known)
        m_dongles.append(qMakePair(widget, name));
    for (auto &entry : m_dongles) {
        if (entry.first == widget) {
            entry.second = name;
            ui->m_tabDongleWidget->setTabText(ui->m_tabDongleWidget->indexOf(widget), name);
        }
    }
    // Written at once: a crash or a kill later loses nothing the user did.
    saveConfig();
}

void MainWindow::on_currentChanged(int index)
{
    const QString text = ui->m_tabDongleWidget->tabText(index);
    for (const auto &entry : qAsConst(m_dongles)) {
        if (entry.second == text && !entry.first->isInitialized())
            entry.first->initWidgets();
    }
}

void MainWindow::on_tabBarRightClick(QPoint pos)
{
    Q_UNUSED(pos)
    // The menu has no entries; an empty popup would only flash.
    if (!m_menu->actions().isEmpty())
        m_menu->popup(QCursor::pos());
}

void MainWindow::on_m_tabDongleWidget_tabBarClicked(int index)
{
    m_tabIndex = index;
}

void MainWindow::onSerialPortArrived(const QString &port)
{
    const auto dongles = m_dongles;
    for (const auto &entry : dongles)
        entry.first->serialPortArrived(port);
}

void MainWindow::onDongleSettingsChanged()
{
    saveConfig();
}

void MainWindow::onSerialPortRemoved(const QString &port)
{
    const auto dongles = m_dongles;
    for (const auto &entry : dongles)
        entry.first->serialPortRemoved(port);
}
