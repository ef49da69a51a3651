#include "ComDevice.h"
#include "PortAssignments.h"
#include "SettingsStore.h"

#include <QSettings>
#include <QTemporaryDir>

#include <QTest>

class tst_ComDevice : public QObject
{
    Q_OBJECT
private slots:
    void mapping_data();
    void mapping();
    void pathBytes_data();
    void pathBytes();
};

void tst_ComDevice::mapping_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    const QString none;
#ifdef Q_OS_WIN
    // COM n is the system's own port: \\.\COMn.
    QTest::newRow("COM1 default") << 1 << none << none << "\\\\.\\COM1";
    QTest::newRow("COM8 default") << 8 << none << none << "\\\\.\\COM8";
    QTest::newRow("COM1 from another port") << 1 << "VANTREL_COM1" << "COM12" << "COM12";
    QTest::newRow("other COM's variable ignored") << 2 << "VANTREL_COM1" << "COM12" << "\\\\.\\COM2";
    QTest::newRow("COM10 not confused with COM1") << 10 << "VANTREL_COM1" << "COM12" << "\\\\.\\COM10";
    QTest::newRow("empty variable means default") << 4 << "VANTREL_COM4" << "" << "\\\\.\\COM4";
#else
    QTest::newRow("COM1 default") << 1 << none << none << "/dev/ttyS0";
    QTest::newRow("COM8 default") << 8 << none << none << "/dev/ttyS7";
    QTest::newRow("other COM's variable ignored") << 2 << "VANTREL_COM1" << "/dev/ttyUSB0" << "/dev/ttyS1";
    QTest::newRow("COM10 not confused with COM1") << 10 << "VANTREL_COM1" << "/dev/ttyUSB0" << "/dev/ttyS9";
    QTest::newRow("empty variable means default") << 4 << "VANTREL_COM4" << "" << "/dev/ttyS3";
#endif
    QTest::newRow("COM1 from USB adapter") << 1 << "VANTREL_COM1" << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("COM3 by-id link") << 3 << "VANTREL_COM3"
                                     << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"
                                     << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    QTest::newRow("COM2 path with spaces") << 2 << "VANTREL_COM2" << "/tmp/banc 2/scanner" << "/tmp/banc 2/scanner";
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

void tst_ComDevice::pathBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("shown");

    QTest::newRow("ASCII") << QByteArray("/dev/ttyACM0") << false << "/dev/ttyACM0";
    QTest::newRow("UTF-8 accents") << QByteArray("/tmp/banc \xc3\xa9t\xc3\xa9") << false << QString::fromUtf8("/tmp/banc été");
    QTest::newRow("four-byte UTF-8") << QByteArray("/tmp/\xf0\x9f\x93\xa0") << false << QString::fromUtf8("/tmp/📠");
    QTest::newRow("Latin-1 byte") << QByteArray("/tmp/caf\xe9") << true << "/tmp/caf\\xE9";
    QTest::newRow("Latin-1 byte, then hex digits") << QByteArray("/tmp/\xe9" "abc") << true << "/tmp/\\xE9abc";
    QTest::newRow("stray continuation") << QByteArray("/tmp/\x80\xbf") << true << "/tmp/\\x80\\xBF";
    QTest::newRow("overlong slash") << QByteArray("/tmp/\xc0\xaf") << true << "/tmp/\\xC0\\xAF";
    QTest::newRow("encoded surrogate") << QByteArray("/tmp/\xed\xb3\xa9") << true << "/tmp/\\xED\\xB3\\xA9";
    QTest::newRow("cut short at the end") << QByteArray("/tmp/\xe2\x82") << true << "/tmp/\\xE2\\x82";
    QTest::newRow("beyond U+10FFFF") << QByteArray("/tmp/\xf4\x90\x80\x80") << true << "/tmp/\\xF4\\x90\\x80\\x80";
    QTest::newRow("accent, then a stray byte") << QByteArray("/tmp/\xc3\xa9\xff") << true << "/tmp/\\xC3\\xA9\\xFF";
}

// Device names are UTF-8: a variable that is not is refused, whether the
// ports are numbered or not, and shown byte for byte; UTF-8 paths are kept
// as they are, also in the settings file.
void tst_ComDevice::pathBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, refused);
    QFETCH(QString, shown);

    qputenv("VANTREL_COM3", bytes);
    auto unset = qScopeGuard([] { qunsetenv("VANTREL_COM3"); });
    const PortRoutes::Route bare = comRoute(3);
    QCOMPARE(bare.refusal, refused ? CommError::PathNotText : CommError::None);
    QCOMPARE(refused ? bare.shown : bare.path, shown);
    QCOMPARE(bare.detail, refused ? QStringLiteral("VANTREL_COM3") : QString());

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Vantrel.conf"));
    const PortAssignments ports(file, std::nullopt, [] { return QList<SerialDevice>(); }, [] { return qint64(0); });
    const PortRoutes::Route numbered = ports.route(3);
    QCOMPARE(numbered.refusal, bare.refusal);
    QCOMPARE(numbered.path, bare.path);
    QCOMPARE(numbered.shown, bare.shown);
    QCOMPARE(numbered.detail, bare.detail);
    if (refused)
        return;

    SettingsStore settings(file);
    QVERIFY(settings.write(3, shown, false));
    const SettingsStore::Snapshot snap = settings.read();
    QCOMPARE(snap.status, QSettings::NoError);
    QCOMPARE(snap.entries[3].path, shown);
}

QTEST_APPLESS_MAIN(tst_ComDevice)
#include "tst_comdevice.moc"
