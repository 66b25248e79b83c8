#pragma once

#include "maindonglewidget.h"
#include "recordinglogger.h"
#include "simulateddongle.h"

#include <QTabWidget>

// A whole dongle tab on the simulated dongle, connected and past its start-up
// queries, with every log line recorded.
class DongleTabRig
{
public:
    explicit DongleTabRig(const QString &dongleName);
    ~DongleTabRig();
    DongleTabRig(const DongleTabRig &) = delete;
    DongleTabRig &operator=(const DongleTabRig &) = delete;

    // Opens the port and waits for the dongle's device type; false when it never came.
    bool start();
    // Shows the tab as a window of its own and waits until it is the active
    // one, for tests that click and type as a user does.
    bool showActive();

    QTabWidget *tabs() const { return widget->pageTabWidget(); }
    template <typename Page>
    int countOf() const
    {
        int count = 0;
        for (int i = 0; i < tabs()->count(); ++i)
            count += qobject_cast<Page *>(tabs()->widget(i)) ? 1 : 0;
        return count;
    }

    SimulatedDongle *dongle = nullptr;
    MainDongleWidget *widget = nullptr;
    RecordingLogger *log = nullptr;
};
