#include "ComDevice.h"

#include <QTest>

class tst_ComDevice : public QObject
{
    Q_OBJECT
private slots:
    void mapping_data();
    void mapping();
};

void tst_ComDevice::mapping_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    const QString none;
    QTest::newRow("COM1 default") << 1 << none << none << "/dev/ttyS0";
    QTest::newRow("COM8 default") << 8 << none << none << "/dev/ttyS7";
    QTest::newRow("COM1 from USB adapter") << 1 << "VANTREL_COM1" << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("COM3 by-id link") << 3 << "VANTREL_COM3"
                                     << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"
                                     << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    QTest::newRow("COM2 path with spaces") << 2 << "VANTREL_COM2" << "/tmp/banc 2/scanner" << "/tmp/banc 2/scanner";
    QTest::newRow("other COM's variable ignored") << 2 << "VANTREL_COM1" << "/dev/ttyUSB0" << "/dev/ttyS1";
    QTest::newRow("COM10 not confused with COM1") << 10 << "VANTREL_COM1" << "/dev/ttyUSB0" << "/dev/ttyS9";
    QTest::newRow("empty variable means default") << 4 << "VANTREL_COM4" << "" << "/dev/ttyS3";
    QTest::newRow("COM0 is no device") << 0 << none << none << "";
    QTest::newRow("negative is no device") << -3 << "VANTREL_COM-3" << "/dev/ttyUSB0" << "";
}

void tst_ComDevice::mapping()
{
    QFETCH(int, n);
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    QProcessEnvironment env;
    if (!variable.isEmpty())
        env.insert(variable, value);
    QCOMPARE(comDevicePath(n, env), expected);
}

QTEST_APPLESS_MAIN(tst_ComDevice)
#include "tst_comdevice.moc"
