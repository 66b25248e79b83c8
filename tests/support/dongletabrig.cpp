#include "dongletabrig.h"

#include "cheartbeat.h"
#include "cmsg.h"
#include "logmanager.h"
#include "simbehaviour_app.h"
#include "simbehaviour_link.h"

#include <QApplication>
#include <QtTest>

DongleTabRig::DongleTabRig(const QString &dongleName)
{
    dongle = new SimulatedDongle;
    installLinkBehaviour(*dongle);
    installAppBehaviour(*dongle);
    widget = new MainDongleWidget(dongleName);
    log = new RecordingLogger(QStringLiteral("recorder"), 0);
    widget->logManager()->addLogger(log);
    widget->initWidgets();
    widget->heartBeat()->setInterval(60000);
    widget->link()->setSendInterval(2);
}

DongleTabRig::~DongleTabRig()
{
    delete widget;
    delete dongle;
}

bool DongleTabRig::start()
{
    if (widget->link()->openPort(dongle->portPath()) != 0)
        return false;
    widget->onConnectionStatusChanged(true);
    if (!QTest::qWaitFor([this] { return widget->deviceType() == 1; }, 20000))
        return false;
    dongle->clearReceived();
    return true;
}

bool DongleTabRig::showActive()
{
    widget->resize(1200, 800);
    widget->show();
    QApplication::setActiveWindow(widget);
    return QTest::qWaitForWindowActive(widget);
}
