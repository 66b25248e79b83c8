#include "cgattcmddlg.h"
#include "ui_cgattcmddlg.h"

#include "ccfgfileparse.h"
#include "cmsgfield.h"
#include "cstandardmsgdlg.h"
#include "logger.h"
#include "logmanager.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardItemModel>

const QString CGattCmdDlg::DefaultGroupFile = QStringLiteral(":/config/resources/conf/gatt_down_link_command_group.xml");

CGattCmdDlg::CGattCmdDlg(CMsg *link, LogManager *logger, uint8_t condix, QWidget *parent, const QString &groupFile)
    : QWidget(parent)
    , ui(new Ui_CGattCmdDlg)
    , m_condix(condix)
    , m_logger(logger)
    , m_wire(link, logger, QStringLiteral(".\\cgattcmddlg"), condix)
{
    ui->setupUi(this);
    ui->treeViewMsg->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->treeViewMsg->setUniformRowHeights(true);
    ui->treeViewMsg->setHeaderHidden(true);
    ui->toolButtonAddSubField->hide();
    ui->toolButtonRemoveSubField->hide();
    ui->cmdDivisionLine->hide();
    ui->frameField->hide();

    // The catalogue registers the resources the group file is one of.
    CCfgFileParse::instance();
    if (!parseCommandGroupXml(groupFile)) {
        if (m_logger) {
            QString shown = groupFile;
            if (shown.startsWith(QLatin1Char(':')))
                shown.remove(0, 1);
            m_logger->log(QStringLiteral("parse xml fail: ") + shown, LogLevel::Error);
        }
        return;
    }
    buildCommandTree();
}

CGattCmdDlg::~CGattCmdDlg()
{
    delete ui;
}

bool CGattCmdDlg::parseCommandGroupXml(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (m_logger)
            m_logger->log(QStringLiteral("Open file faied: ") + fileName, LogLevel::Error);
        return false;
    }
    QDomDocument document;
    if (!document.setContent(&file, false)) {
        if (m_logger)
            m_logger->log(QStringLiteral("xml file is invalid: ") + fileName, LogLevel::Error);
        return false;
    }
    // Every child node is a group, whatever its element name; a comment
    // between groups makes a group without name and commands.
    const QDomNodeList groupNodes = document.documentElement().childNodes();
    for (int i = 0; i < groupNodes.count(); ++i) {
        const QDomElement groupElement = groupNodes.at(i).toElement();
        GattCommandGroup group;
        group.name = groupElement.attribute(QStringLiteral("name"));
        const QDomNodeList commandNodes = groupNodes.at(i).childNodes();
        for (int j = 0; j < commandNodes.count(); ++j) {
            const QDomElement commandElement = commandNodes.at(j).toElement();
            group.commands.append(GattCommandInfo{commandElement.attribute(QStringLiteral("name")),
                                                  commandElement.attribute(QStringLiteral("ID")),
                                                  commandElement.attribute(QStringLiteral("type"))});
        }
        m_groups.append(group);
    }
    return true;
}

void CGattCmdDlg::buildCommandTree()
{
    auto *model = new QStandardItemModel(ui->treeViewMsg);
    ui->treeViewMsg->setModel(model);
    for (const GattCommandGroup &group : qAsConst(m_groups)) {
        auto *groupItem = new QStandardItem(group.name);
        model->appendRow(groupItem);
        for (const GattCommandInfo &command : group.commands) {
            groupItem->appendRow(new QStandardItem(command.name));
            auto *form = new CmsgField(m_logger, command.name, nullptr, this);
            m_currentField = form;
            connect(form, &CmsgField::sig_containsSubField, this, &CGattCmdDlg::on_containsSubFields);
            form->buildForm(false);
            form->hide();
            // A later command of the same name replaces the entry; the
            // earlier form stays a hidden child.
            m_fieldMap.insert(command.name, form);
        }
    }
    ui->frameField->hide();
}

void CGattCmdDlg::on_treeViewMsg_clicked(const QModelIndex &index)
{
    ui->toolButtonAddSubField->hide();
    ui->toolButtonRemoveSubField->hide();
    m_currentName = index.data().toString();
    for (CmsgField *form : qAsConst(m_fieldMap))
        form->hide();

    // Only commands have forms; anything without one (also a group that
    // holds no command) is a group, so "Send" never runs without a form.
    CmsgField *form = index.parent().isValid() ? m_fieldMap.value(m_currentName) : nullptr;
    if (form) {
        m_currentField = form;
        form->checkSubField(m_currentName);
        // Joining the layout re-parents the form, which hides it: show it after.
        if (ui->gLayoutField->indexOf(form) < 0)
            ui->gLayoutField->addWidget(form);
        form->show();
        ui->cmdDivisionLine->show();
        ui->labelFieldTitle->setText(m_currentName + QStringLiteral(" Parameters"));
        ui->frameField->show();
        ui->btnSend->show();
    } else {
        ui->cmdDivisionLine->hide();
        ui->frameField->hide();
    }
}

void CGattCmdDlg::onRcvMsg(const QByteArray &frame)
{
    // Not connected: the GATT page logs the answers, and a copy on the
    // process output would only repeat them.
    Q_UNUSED(frame)
}

void CGattCmdDlg::on_btnSend_clicked()
{
    if (!m_currentField || !ui->frameField->isVisibleTo(this) || !m_currentField->acceptTypedValues())
        return;
    QMap<QString, QVariant> fields = m_currentField->getFieldValues(false);
    fields.insert(QStringLiteral("condix"), int(m_condix));
    m_wire.send(m_currentName, fields);

    for (const GattCommandGroup &group : qAsConst(m_groups)) {
        for (const GattCommandInfo &command : group.commands) {
            if (command.name != m_currentName)
                continue;
            if (command.type == QLatin1String("discover"))
                emit sig_sendDicoverCmd();
            return;
        }
    }
}

void CGattCmdDlg::on_toolButtonAddSubField_clicked()
{
    if (!m_currentField)
        return;
    auto *dialog = new CStandardMsgDlg(m_logger, QStringLiteral("Add Attribute"), m_currentName, this);
    dialog->buildSubFieldForm();
    connect(dialog, &CStandardMsgDlg::sig_standardOKClicked, m_currentField, &CmsgField::on_addElemToTableWidget);
    emit sig_btnAddSubFieldClicked();
    dialog->exec();
}

void CGattCmdDlg::on_toolButtonRemoveSubField_clicked()
{
    if (m_currentField)
        m_currentField->removeCurrentSubFieldRow();
}

void CGattCmdDlg::on_containsSubFields()
{
    ui->toolButtonAddSubField->show();
    ui->toolButtonRemoveSubField->show();
    if (m_currentField)
        connect(this, &CGattCmdDlg::sig_btnAddSubFieldClicked, m_currentField, &CmsgField::on_btnAddSubFieldClicked,
                Qt::UniqueConnection);
}
