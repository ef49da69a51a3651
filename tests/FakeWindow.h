#pragma once

#include "FakeClock.h"
#include "FakeComm.h"
#include "frmVantrel.h"

#include <QLineEdit>
#include <QTimer>

// A window on the in-memory control and the test clock, with the timer
// stopped so that the test decides when a tick runs.
struct FakeWindow {
    FakeComm *comm = new FakeComm; // owned by the window
    FakeClock clock;
    // No devices listed, no variables: the in-memory control decides alone.
    PortAssignments ports{SettingsStore::userFileName(), QProcessEnvironment(), {}, {}};
    frmVantrel w{comm, &clock, &ports};

    FakeWindow()
    {
        w.Timer1->stop();
        comm->onWait = [this](int ms) { clock.advance(std::chrono::milliseconds(ms)); };
    }

    // A tick that ends after its first pass: "Longueur a lire" at 0.
    void quickTick()
    {
        const QString keep = w.Text3->text();
        w.Text3->setText(QStringLiteral("0"));
        w.Timer1_Timer();
        w.Text3->setText(keep);
    }

    // Bytes from the device, shown through the buffer read.
    void show(const QByteArray &bytes)
    {
        comm->arrive(bytes);
        w.Command5_Click();
    }
};
