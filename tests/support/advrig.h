#pragma once

#include "linkrig.h"
#include "simbehaviour_adv.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class CAdvBaseWidget;
class CAdvDataWidget;
class QTableView;
class QWidget;

// A link on the simulated dongle that knows advertising, with helpers to fill
// the advertising forms the way a user does.
struct AdvRig : LinkRig
{
    AdvRig();

    // Frames of that downlink ID ("01@23") the dongle received, checksum included.
    QList<QByteArray> downlinks(const QString &id) const;
    // Waits until the dongle has received `count` frames in all.
    bool waitForDownlinks(int count, int timeoutMs = 5000);

    AdvertisingBehaviour *adv;
};

namespace AdvForms {

// Adds one AD row through the editor's own widgets.
void addRow(CAdvDataWidget *editor, bool response, const QString &type, const QString &value);

// Applies "name=value" settings to the widgets of a form: a combo takes its
// index, a check box 1 or 0, a line edit its text. "adv:Type=value",
// "res:Type=value" add an AD row; "periodic=digits" types the periodic data.
void apply(QWidget *form, const QStringList &settings);

// The parameter command's frame as the dongle receives it (checksum added).
QByteArray wireFrame(quint8 opcode, const QByteArray &payload);

// The offset of a field in the payload of a downlink command, from the catalogue.
int payloadOffset(const QString &commandId, const QString &key);

} // namespace AdvForms

// Drives an advertising page through its own widgets, as a user does.
namespace AdvPageDriver {

QTableView *table(QWidget *page);
// Adds a set through the add button and the new-set dialog.
void addSet(QWidget *page, const QString &type, int index);
// Adds a set with a local name (and periodic data), makes it the row given
// and presses Start.
void startSet(QWidget *page, const QString &type, int index, int row);
// Presses a row of the set table.
void press(QWidget *page, int row);
// The form shown in the page's right pane.
CAdvBaseWidget *shownForm(const QWidget *page);
// True once the row shows the advertising icon.
bool rowAdvertising(QWidget *page, int row);

} // namespace AdvPageDriver
