#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ccfgfileparse.h"
#include "cconfigdonglenamedialog.h"
#include "cflatmessage.h"
#include "confirmdeletedialog.h"
#include "logger.h"
#include "logmanager.h"
#include "maindonglewidget.h"
#include "portwatcher.h"
#include "regularfile.h"
#include "savefilewriter.h"
#include "terminationwatcher.h"
#include "widgetresources.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPoint>
#include <QPointer>
#include <QScreen>
#include <QSaveFile>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <QtDebug>

#include <algorithm>
#include <thread>

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

    QStringList problems;
    bool unusable = false;
    QStringList groups = usableGroups(&problems, &unusable);
    if (unusable || (groups.isEmpty() && !problems.isEmpty())) {
        m_configReport = setBadConfigAside(problems);
        groups.clear();
        problems.clear();
    }
    const bool skipped = !problems.isEmpty();
    // What is skipped is not written back: the file as it was is kept first.
    if (skipped)
        m_configSetAside = keepConfigAside(m_settings->fileName(), false);
    if (!groups.isEmpty())
        restoreTabs(groups, &problems);
    if (m_configReport.isEmpty() && !problems.isEmpty()) {
        m_configReport = tr("%1:\n%2").arg(m_settings->fileName(), problems.join(QLatin1Char('\n')));
        if (skipped)
            m_configReport += tr("\nThe other dongles open as stored; what was skipped is not written back. ")
                              + (m_configSetAside.isEmpty()
                                     ? tr("The file as it was could not be kept aside.")
                                     : tr("The file as it was is kept as %1.").arg(m_configSetAside));
    }
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
    if (!m_configReport.isEmpty())
        m_firstDongle->logManager()->log(m_configReport, LogLevel::Error);

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

namespace {

// A name from the file as a message can show it: control characters spelt
// out, and not longer than a line.
QString shownName(const QString &name)
{
    constexpr int Longest = 40;
    QString shown;
    for (const QChar c : name) {
        if (shown.size() >= Longest) {
            shown += QChar(0x2026);
            break;
        }
        if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// At most a few names in a message; a hostile file may hold thousands.
QString nameList(const QStringList &names, const QString &separator = QStringLiteral(", "))
{
    constexpr int MostNamed = 10;
    QString list = names.mid(0, MostNamed).join(separator);
    if (names.size() > MostNamed)
        list += separator + QCoreApplication::translate("MainWindow", "and %1 more").arg(names.size() - MostNamed);
    return list;
}

// Lines that the INI reader passes over without a word (no "=", a key
// without a name) or cannot parse (a group's header without its "]").
// Blank lines and ";" comments hold nothing to read.
bool holdsUnreadableLines(QByteArray text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    bool continued = false;
    for (const QByteArray &each : text.split('\n')) {
        const QByteArray line = each.trimmed();
        // A backslash at the end carries the value on to the next line.
        const bool continuation = continued;
        continued = line.endsWith('\\');
        if (continuation || line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[') ? !line.endsWith(']') : line.indexOf('=') <= 0)
            return true;
    }
    return false;
}

// Copies the file under a name nothing has; a copy cut short is removed.
bool copyConfig(const QString &fileName, const QString &copy)
{
    QFile source(fileName);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = source.readAll();
    QFile target;
    if (!Platform::openForWriting(target, copy, QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                                  nullptr))
        return false;
    if (SaveFileWriter::write(target, text))
        return true;
    target.remove();
    return false;
}

} // namespace

QStringList MainWindow::usableGroups(QStringList *problems, bool *unusable) const
{
    *unusable = false;
    QFile raw(m_settings->fileName());
    const QByteArray text = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
    if (text.contains('\0')) {
        // Zeros in a text file: a write cut short; none of it can be trusted.
        *unusable = true;
        problems->append(tr("it is not text"));
        return QStringList();
    }
    if (m_settings->status() != QSettings::NoError || holdsUnreadableLines(text))
        problems->append(tr("some of its lines cannot be parsed"));
    // Everything we write lives in a dongle's group.
    const QStringList outside = m_settings->childKeys();
    if (!outside.isEmpty()) {
        QStringList names;
        for (const QString &key : outside)
            names << shownName(key);
        problems->append(tr("it holds values outside any dongle (%1)").arg(nameList(names)));
    }
    QStringList usable;
    QStringList skipped;
    const QStringList groups = m_settings->childGroups();
    for (const QString &group : groups) {
        m_settings->beginGroup(group);
        // A line "=" gives a key without a name; it holds nothing.
        QStringList values = m_settings->childKeys();
        values.removeAll(QString());
        const bool hasValues = !values.isEmpty();
        // A "/" or "\" in a group's name makes groups inside it.
        QStringList inner;
        const QStringList keys = m_settings->allKeys();
        for (const QString &key : keys) {
            const int last = key.lastIndexOf(QLatin1Char('/'));
            const QString path = group + QLatin1Char('/') + key.left(last);
            if (last > 0 && !inner.contains(path))
                inner << path;
        }
        m_settings->endGroup();
        for (const QString &path : qAsConst(inner))
            skipped << tr("%1 (%2)").arg(shownName(path), CConfigDongleNameDialog::whyUnusable(path));
        if (!hasValues)
            continue;
        const QString why = CConfigDongleNameDialog::whyUnusable(group);
        if (why.isEmpty())
            usable << group;
        else
            skipped << tr("%1 (%2)").arg(shownName(group), why);
    }
    if (!skipped.isEmpty())
        problems->append(tr("these groups name no dongle and were skipped:\n%1")
                             .arg(nameList(skipped, QStringLiteral("\n"))));
    return usable;
}

QString MainWindow::setBadConfigAside(const QStringList &problems)
{
    const QString fileName = m_settings->fileName();
    delete m_settings;
    m_settings = nullptr;
    const QString aside = keepConfigAside(fileName, true);
    const QString problem = problems.join(QLatin1Char('\n'));
    QString report;
    if (!aside.isEmpty()) {
        m_configSetAside = aside;
        report = tr("%1 was not used:\n%2\nIt is kept as %3; the program starts as on a first run.")
                     .arg(fileName, problem, aside);
    } else {
        report = tr("%1 was not used:\n%2\nIt could not be kept aside; the program starts as on a first run.")
                     .arg(fileName, problem);
    }
    m_settings = new QSettings(fileName, QSettings::IniFormat);
    return report;
}

QString MainWindow::keepConfigAside(const QString &fileName, bool move)
{
    // The time in the name, and a number after it if need be: an earlier
    // copy, or anything else of that name, is never replaced or written through.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString aside = fileName + QLatin1Char('.') + stamp
                              + (attempt > 1 ? QStringLiteral("-%1").arg(attempt) : QString())
                              + QStringLiteral(".bad");
        if (Platform::nameTaken(aside))
            continue;
        if (move ? Platform::renameWithoutReplacing(fileName, aside, nullptr) : copyConfig(fileName, aside))
            return aside;
        // Taken meanwhile, or it cannot be made at all.
        if (!Platform::nameTaken(aside))
            break;
    }
    return QString();
}

void MainWindow::showConfigReport()
{
    if (!m_configReport.isEmpty())
        CFlatMessage::information(this, tr("config.ini"), m_configReport);
}

void MainWindow::restoreTabs(const QStringList &groups, QStringList *problems)
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

    QStringList notShown;
    for (const Stored &entry : stored) {
        if (m_dongles.size() >= MaxDongles) {
            notShown << shownName(entry.name);
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
    if (!notShown.isEmpty())
        problems->append(tr("at most %1 dongles have tabs; %2 are kept in the file but not shown")
                             .arg(MaxDongles)
                             .arg(nameList(notShown)));
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
    delete m_settings;
    m_settings = nullptr;
}

bool MainWindow::saveConfig()
{
    if (writeConfig()) {
        m_saveFailureShown = false;
        return true;
    }
    const QFileInfo file(m_settings->fileName());
    const QFileInfo folder(file.absolutePath());
    QString why;
    if (file.isSymLink())
        why = tr("it is a symbolic link, which is not written through");
    else if (file.isDir())
        why = tr("a folder of that name is in the way");
    else if (!folder.isWritable())
        why = tr("its folder is not writable");
    else if (file.exists() && !file.isWritable())
        why = tr("the file is read-only");
    else
        why = tr("the disk may be full");
    const QString text =
        tr("The settings could not be saved: %1 cannot be written (%2).").arg(file.absoluteFilePath(), why);
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

bool MainWindow::writeConfig()
{
    // QSettings writes the text into a scratch file beside config.ini. On a
    // full disk its write can come out cut short without an error, so the
    // text is read back before it replaces config.ini, through a write that
    // sees a full disk; until then the previous file stays as it was.
    const QString fileName = m_settings->fileName();
    QTemporaryFile scratchFile(fileName + QStringLiteral(".XXXXXX"));
    if (!scratchFile.open())
        return false;
    scratchFile.close();
    QMap<QString, QVariant> written;
    {
        QSettings scratch(scratchFile.fileName(), QSettings::IniFormat);
        const auto put = [&scratch, &written](const QString &group, const QString &key, const QVariant &value) {
            const QString path = group + QLatin1Char('/') + key;
            scratch.setValue(path, value);
            written.insert(path, value);
        };
        for (int i = 0; i < m_dongles.size(); ++i) {
            MainDongleWidget *widget = m_dongles.at(i).first;
            const QMap<QString, QVariant> *values = widget->settingsMap();
            for (auto it = values->cbegin(); it != values->cend(); ++it) {
                if (it.key() == QLatin1String(kTabNumberKey))
                    continue;
                // An unsigned int is kept as a point so that it reads back as unsigned.
                if (it.value().userType() == QMetaType::UInt)
                    put(widget->dongleName(), it.key(), QPoint(int(it.value().toUInt()), 0));
                else
                    put(widget->dongleName(), it.key(), it.value());
            }
            put(widget->dongleName(), QLatin1String(kTabNumberKey), i);
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
            for (auto it = group.second.cbegin(); it != group.second.cend(); ++it) {
                if (it.key() != QLatin1String(kTabNumberKey))
                    put(group.first, it.key(), it.value());
            }
            put(group.first, QLatin1String(kTabNumberKey), number++);
        }
        scratch.sync();
        if (scratch.status() != QSettings::NoError)
            return false;
    }
    QFile scratchText(scratchFile.fileName());
    if (!scratchText.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = scratchText.readAll();
    scratchText.close();
    if (!holdsAll(text, written))
        return false;
    QSaveFile file(fileName);
    return SaveFileWriter::open(file) && SaveFileWriter::write(file, text) && file.commit();
}

bool MainWindow::holdsAll(const QByteArray &text, const QMap<QString, QVariant> &written) const
{
    // Read under a name of its own: QSettings keeps files it has written in
    // memory and would not read the scratch file again.
    QTemporaryFile copy(m_settings->fileName() + QStringLiteral(".XXXXXX"));
    if (!copy.open() || copy.write(text) != text.size() || !copy.flush())
        return false;
    copy.close();
    const QSettings check(copy.fileName(), QSettings::IniFormat);
    if (check.status() != QSettings::NoError || check.allKeys().size() != written.size())
        return false;
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        if (check.value(it.key()).toString() != it.value().toString())
            return false;
    }
    return true;
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
