#include "advrig.h"

#include "cadvbasewidget.h"
#include "cadvdatawidget.h"
#include "ccfgfileparse.h"
#include "cstyledcombobox.h"
#include "cvalidatelineedit.h"
#include "framebuilder.h"
#include "modalanswerer.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QTest>

AdvRig::AdvRig()
    : LinkRig(QStringLiteral("advertising-test"), 2)
    , adv(AdvertisingBehaviour::install(dongle))
{
}

QList<QByteArray> AdvRig::downlinks(const QString &id) const
{
    QList<QByteArray> frames;
    for (const SimulatedDongle::ReceivedFrame &frame : dongle.receivedFrames()) {
        if (frame.id == id)
            frames << frame.bytes;
    }
    return frames;
}

bool AdvRig::waitForDownlinks(int count, int timeoutMs)
{
    return dongle.waitForFrames(count, timeoutMs);
}

namespace AdvForms {

void addRow(CAdvDataWidget *editor, bool response, const QString &type, const QString &value)
{
    editor->findChild<CStyledComboBox *>(QStringLiteral("ADtypeCombox"))->setCurrentText(type);
    auto *edit = editor->findChild<CValidateLineEdit *>(QStringLiteral("valueLineEdit"));
    edit->setText(value);
    editor->findChild<QPushButton *>(response ? QStringLiteral("addResponceData") : QStringLiteral("addDataButton"))
        ->click();
}

void apply(QWidget *form, const QStringList &settings)
{
    QVERIFY2(form, "no form to fill");
    auto *editor = form->findChild<CAdvDataWidget *>(QStringLiteral("m_AdvDataWidget"));
    for (const QString &setting : settings) {
        const int equals = setting.indexOf(QLatin1Char('='));
        const QString name = setting.left(equals);
        const QString value = setting.mid(equals + 1);
        if (name.startsWith(QLatin1String("adv:")) || name.startsWith(QLatin1String("res:"))) {
            addRow(editor, name.startsWith(QLatin1String("res:")), name.mid(4), value);
        } else if (name == QLatin1String("periodic")) {
            editor->findChild<CValidateLineEdit *>(QStringLiteral("le_periodicadvdatda"))->setText(value);
        } else if (auto *combo = form->findChild<QComboBox *>(name)) {
            combo->setCurrentIndex(value.toInt());
        } else if (auto *box = form->findChild<QCheckBox *>(name)) {
            box->setChecked(value == QLatin1String("1"));
        } else if (auto *edit = form->findChild<QLineEdit *>(name)) {
            edit->setText(value);
        } else {
            QTest::qFail(qPrintable(QStringLiteral("no widget ") + name), __FILE__, __LINE__);
        }
    }
}

QByteArray wireFrame(quint8 opcode, const QByteArray &payload)
{
    return FrameBuilder::withChecksum(FrameBuilder::frame(0xAA, 0x01, opcode, payload));
}

int payloadOffset(const QString &commandId, const QString &key)
{
    for (const CmdFieldInfo &field : CCfgFileParse::instance()->m_downlinkIdToFieldsMap.value(commandId)) {
        if (field.key == key)
            return int(field.index) - 4;
    }
    return -1;
}

} // namespace AdvForms

namespace AdvPageDriver {

QTableView *table(QWidget *page)
{
    return page->findChild<QTableView *>(QStringLiteral("tableView_advList"));
}

void addSet(QWidget *page, const QString &type, int index)
{
    ModalAnswerer answerer;
    answerer.answerWith([type, index](QWidget *dialog) {
        dialog->findChild<CStyledComboBox *>(QStringLiteral("comboBox_AdvType"))->setCurrentText(type);
        dialog->findChild<CStyledComboBox *>(QStringLiteral("comboBox_AdvIndex"))->setCurrentText(QString::number(index));
        dialog->findChild<QPushButton *>(QStringLiteral("PB_AddAdv"))->click();
    });
    page->findChild<QToolButton *>(QStringLiteral("btnAddAdvList"))->click();
    QVERIFY(answerer.waitUntilAnswered());
}

void startSet(QWidget *page, const QString &type, int index, int row)
{
    addSet(page, type, index);
    QStringList data{QStringLiteral("adv:Complete Local Name=abc")};
    if (type == QLatin1String("Periodic Advertising"))
        data << QStringLiteral("periodic=01");
    AdvForms::apply(shownForm(page), data);
    press(page, row);
    page->findChild<QToolButton *>(QStringLiteral("btnStartAdv"))->click();
}

void press(QWidget *page, int row)
{
    QTableView *view = table(page);
    const QPoint centre = view->visualRect(view->model()->index(row, 0)).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, centre);
}

CAdvBaseWidget *shownForm(const QWidget *page)
{
    for (CAdvBaseWidget *form : page->findChildren<CAdvBaseWidget *>()) {
        if (form->isVisible())
            return form;
    }
    return nullptr;
}

bool rowAdvertising(QWidget *page, int row)
{
    return table(page)->model()->index(row, 2).data(Qt::DecorationRole).isValid();
}

} // namespace AdvPageDriver
