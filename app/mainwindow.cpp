#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "cconfigdonglenamedialog.h"
#include "cflatmessage.h"
#include "confirmdeletedialog.h"
#include "logger.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "portwatcher.h"
#include "terminationwatcher.h"
#include "widgetresources.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPoint>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QTabBar>
#include <QWindow>
#include <QtDebug>

#include <algorithm>

namespace {
const char kTabNumberKey[] = "TabWidgetNumber";
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_settings(new QSettings(QStringLiteral("config.ini"), QSettings::IniFormat))
    , m_menu(new QMenu(this))
    , m_editAction(new QAction(tr("edit"), this))
{
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

    QStringList groups = m_settings->childGroups();
    QString badConfigReport;
    const QString problem = configProblem(groups);
    if (!problem.isEmpty()) {
        badConfigReport = setBadConfigAside(problem);
        groups.clear();
    }
    if (!groups.isEmpty()) {
        restoreTabs(groups);
    }
    if (m_dongles.isEmpty()) {
        // First run (or nothing usable stored): one tab named once the user confirms.
        m_firstRun = true;
        const QString name = nextDongleName();
        m_firstDongle = new MainDongleWidget(name, this);
        m_nameDialog = new CConfigDongleNameDialog(&m_dongles, this);
        m_nameDialog->setName(name);
        connect(m_firstDongle, &MainDongleWidget::showThisDongleTab, this, &MainWindow::on_showThisDongleTab);
        connect(m_firstDongle, &MainDongleWidget::updateDongleName, this, &MainWindow::on_updateDongleName);
        ui->m_tabDongleWidget->addTab(m_firstDongle, name);
    }
    if (!badConfigReport.isEmpty())
        m_firstDongle->logManager()->log(badConfigReport, LogLevel::Error);

    ui->m_tabDongleWidget->setCurrentWidget(m_firstDongle);
    if (!m_firstDongle->isInitialized())
        m_firstDongle->initWidgets();

    m_addDialog = new CConfigDongleNameDialog(&m_dongles, this);

    auto *ports = new Platform::PortWatcher(this);
    connect(ports, &Platform::PortWatcher::arrived, this, &MainWindow::onSerialPortArrived);
    connect(ports, &Platform::PortWatcher::removed, this, &MainWindow::onSerialPortRemoved);
}

QString MainWindow::configProblem(const QStringList &groups) const
{
    if (m_settings->status() != QSettings::NoError)
        return tr("it cannot be parsed");
    QFile raw(m_settings->fileName());
    if (raw.open(QIODevice::ReadOnly) && raw.readAll().contains('\0'))
        return tr("it is not text");
    // Everything we write lives in a dongle's group.
    if (!m_settings->childKeys().isEmpty())
        return tr("it holds values outside any dongle");
    for (const QString &group : groups) {
        if (!CConfigDongleNameDialog::isUsableName(group))
            return tr("\"%1\" is no dongle name").arg(group);
    }
    return QString();
}

QString MainWindow::setBadConfigAside(const QString &problem)
{
    const QString fileName = m_settings->fileName();
    const QString aside = fileName + QStringLiteral(".bad");
    delete m_settings;
    m_settings = nullptr;
    QFile::remove(aside);
    QString report;
    if (QFile::rename(fileName, aside))
        report = tr("%1 was not used: %2. It is kept as %3; the program starts as on a first run.")
                     .arg(fileName, problem, aside);
    else
        report = tr("%1 was not used: %2, and could not be kept as %3; the program starts as on a first run.")
                     .arg(fileName, problem, aside);
    qWarning().noquote() << report;
    m_settings = new QSettings(fileName, QSettings::IniFormat);
    return report;
}

void MainWindow::restoreTabs(const QStringList &groups)
{
    // Order by the stored tab number; a hand-edited file may repeat numbers or
    // leave them out, so those groups follow in the file's order.
    struct Stored
    {
        QString name;
        int number;
        bool valid;
    };
    QVector<Stored> stored;
    for (const QString &group : groups) {
        bool ok = false;
        const int number = m_settings->value(group + QLatin1Char('/') + QLatin1String(kTabNumberKey)).toInt(&ok);
        stored.append({group, number, ok && number >= 0});
    }
    std::stable_sort(stored.begin(), stored.end(), [](const Stored &a, const Stored &b) {
        if (a.valid != b.valid)
            return a.valid;
        return a.valid && a.number < b.number;
    });

    for (const Stored &entry : stored) {
        if (m_dongles.size() >= MaxDongles) {
            qWarning().noquote() << "config.ini holds more than" << MaxDongles
                                 << "dongles; the group" << entry.name << "is not shown but kept";
            QVariantMap values;
            m_settings->beginGroup(entry.name);
            const QStringList keys = m_settings->childKeys();
            for (const QString &key : keys)
                values.insert(key, m_settings->value(key));
            m_settings->endGroup();
            m_leftOutGroups.append(qMakePair(entry.name, values));
            continue;
        }
        MainDongleWidget *widget = createDongle(entry.name);
        widget->readSettingsGroup(*m_settings, entry.name);
        ui->m_tabDongleWidget->addTab(widget, entry.name);
        if (!m_firstDongle)
            m_firstDongle = widget;
        m_dongles.append(qMakePair(widget, entry.name));
    }
}

MainDongleWidget *MainWindow::createDongle(const QString &name)
{
    auto *widget = new MainDongleWidget(name, this);
    connect(widget, &MainDongleWidget::showThisDongleTab, this, &MainWindow::on_showThisDongleTab);
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
        dongle->closeTestPages();
    for (const QPointer<MainDongleWidget> &dongle : qAsConst(tabs)) {
        if (dongle)
            dongle->closePort();
    }
    delete ui;
    ui = nullptr;
    saveConfig();
    delete m_settings;
    m_settings = nullptr;
}

bool MainWindow::saveConfig()
{
    // A fresh object: a failed earlier write leaves its status behind.
    const QString fileName = m_settings->fileName();
    delete m_settings;
    m_settings = new QSettings(fileName, QSettings::IniFormat);
    m_settings->clear();
    for (int i = 0; i < m_dongles.size(); ++i) {
        MainDongleWidget *widget = m_dongles.at(i).first;
        m_settings->beginGroup(widget->dongleName());
        const QMap<QString, QVariant> *values = widget->settingsMap();
        for (auto it = values->cbegin(); it != values->cend(); ++it) {
            if (it.key() == QLatin1String(kTabNumberKey))
                continue;
            // An unsigned int is kept as a point so that it reads back as unsigned.
            if (it.value().userType() == QMetaType::UInt)
                m_settings->setValue(it.key(), QPoint(int(it.value().toUInt()), 0));
            else
                m_settings->setValue(it.key(), it.value());
        }
        m_settings->setValue(QLatin1String(kTabNumberKey), i);
        m_settings->endGroup();
    }
    int number = m_dongles.size();
    for (const auto &group : qAsConst(m_leftOutGroups)) {
        // A tab added since under the same name has taken the group over.
        const bool taken = std::any_of(m_dongles.cbegin(), m_dongles.cend(),
                                       [&group](const QPair<MainDongleWidget *, QString> &entry) {
                                           return entry.first->dongleName() == group.first;
                                       });
        if (taken)
            continue;
        m_settings->beginGroup(group.first);
        for (auto it = group.second.cbegin(); it != group.second.cend(); ++it) {
            if (it.key() != QLatin1String(kTabNumberKey))
                m_settings->setValue(it.key(), it.value());
        }
        m_settings->setValue(QLatin1String(kTabNumberKey), number++);
        m_settings->endGroup();
    }
    // QSettings writes the file whole through a temporary file, so a failure
    // (or a crash half-way) leaves the previous file in place.
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        qCritical().noquote() << "MainWindow::saveConfig, writing" << m_settings->fileName() << "failed:"
                              << (m_settings->status() == QSettings::AccessError ? "access error" : "format error");
        return false;
    }
    return true;
}

void MainWindow::configureFirstDongle()
{
    if (!m_firstRun || !m_nameDialog)
        return;
    const QString proposed = nextDongleName();
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
        ui->m_btnMax->setIcon(QIcon(QStringLiteral(":/icons/max")));
    } else {
        m_normalGeometry = geometry();
        // The available area keeps the task bar visible.
        if (QScreen *screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
        ui->m_btnMax->setIcon(QIcon(QStringLiteral(":/icons/restore")));
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
    widget->closeTestPages();
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

void MainWindow::onSerialPortRemoved(const QString &port)
{
    const auto dongles = m_dongles;
    for (const auto &entry : dongles)
        entry.first->serialPortRemoved(port);
}
