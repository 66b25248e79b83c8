#include "l2caprig.h"

#include "cl2capwidget.h"
#include "csduwidget.h"
#include "cvalidatelineedit.h"
#include "datafolder.h"
#include "modalanswerer.h"
#include "simbehaviour_l2cap.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

L2capRig::L2capRig(int sendIntervalMs, quint8 condix)
    : rig(QStringLiteral("l2cap-rig"), sendIntervalMs)
    , dongleName(QStringLiteral("l2cap-rig-%1").arg(QCoreApplication::applicationPid()))
    , condix(condix)
{
    l2cap = L2capBehaviour::install(rig.dongle);
    page.reset(new CL2capWidget(&rig.link, &rig.logs, &dongleName, condix));
}

L2capRig::~L2capRig()
{
    page.reset();
    QDir(dataFolderOfDongle()).removeRecursively();
}

QString L2capRig::dataFolderOfDongle() const
{
    return Platform::dataFolder() + QLatin1Char('/') + Platform::safeFolderName(dongleName);
}

bool L2capRig::open()
{
    return rig.openAndSync();
}

bool L2capRig::waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

bool L2capRig::setFormField(QWidget *form, const QString &title, const QString &value)
{
    for (QGridLayout *grid : form->findChildren<QGridLayout *>()) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            QLayoutItem *caption = grid->itemAtPosition(row, 0);
            QLayoutItem *editor = grid->itemAtPosition(row, 1);
            auto *label = caption ? qobject_cast<QLabel *>(caption->widget()) : nullptr;
            if (!label || label->text() != title || !editor)
                continue;
            if (auto *line = qobject_cast<QLineEdit *>(editor->widget())) {
                line->setText(value);
                return true;
            }
            if (auto *combo = qobject_cast<QComboBox *>(editor->widget())) {
                combo->setCurrentText(value);
                return combo->currentText() == value;
            }
        }
    }
    return false;
}

bool L2capRig::requestChannel(quint16 cid, quint16 mtu, quint16 mps, quint16 credits, quint16 psm)
{
    ModalAnswerer answerer;
    bool filled = false;
    answerer.answerWith([&](QWidget *dialog) {
        filled = setFormField(dialog, QStringLiteral("LE PSM"), QString::number(psm))
                 && setFormField(dialog, QStringLiteral("Local CID"), QString::number(cid))
                 && setFormField(dialog, QStringLiteral("Local Credits"), QString::number(credits))
                 && setFormField(dialog, QStringLiteral("MTU"), QString::number(mtu))
                 && setFormField(dialog, QStringLiteral("MPS"), QString::number(mps));
        dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
    });
    page->on_toolButtonAdd_clicked();
    return filled;
}

bool L2capRig::createChannel(quint16 cid, quint16 mtu, quint16 mps, quint16 credits, quint16 psm)
{
    const QString key = QString::number(cid);
    return requestChannel(cid, mtu, mps, credits, psm)
           && waitUntil([&] { return page->openChannels().contains(key); });
}

CSduWidget *L2capRig::sdu(quint16 cid) const
{
    return page->sduWidget(QString::number(cid));
}

QList<QByteArray> L2capRig::downlinks(const QString &id) const
{
    QList<QByteArray> frames;
    for (const SimulatedDongle::ReceivedFrame &frame : rig.dongle.receivedFrames()) {
        if (frame.id == id)
            frames.append(frame.bytes);
    }
    return frames;
}

QByteArray L2capRig::payloadOf(const QByteArray &downlink)
{
    return downlink.mid(5, downlink.size() - 6);
}
