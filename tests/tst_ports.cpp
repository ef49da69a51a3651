#include "PortAssignments.h"
#include "PortChooser.h"
#include "LineSettingsDialog.h"
#include "PortTexts.h"
#include "PtyDevice.h"
#include "frmVantrel.h"

#include <QFile>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QHelpEvent>
#include <QLabel>
#include <QTextDocument>
#include <QToolTip>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QProcess>
#include <QLockFile>
#include <QSignalSpy>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QTest>

#include <unistd.h>

#include <termios.h>
#include <QTimer>

namespace {

// The devices a test plugs in, by a short name.
SerialDevice device(const QString &token)
{
    SerialDevice d;
    if (token.startsWith(u'S')) {
        d.systemLocation = QStringLiteral("/dev/tty") + token;
        d.builtIn = true;
    } else if (token == u"USB0") {
        d.systemLocation = QStringLiteral("/dev/ttyUSB0"); // an adapter without a by-id link
        d.description = QStringLiteral("USB Serial");
    } else {
        d.systemLocation = QStringLiteral("/dev/tty") + token;
        d.byId = QStringLiteral("/dev/serial/by-id/usb-Acme_Scanner_") + token + QStringLiteral("-if00");
        d.description = QStringLiteral("Scanner");
        d.manufacturer = QStringLiteral("Acme");
        d.serialNumber = token;
        d.vendorId = 0x1234;
    }
    return d;
}

QList<SerialDevice> devices(const QString &tokens)
{
    QList<SerialDevice> list;
    for (const QString &t : tokens.split(u' ', Qt::SkipEmptyParts))
        list << device(t);
    return list;
}

// "ACM0:A" for the scanner ACM0 given automatically; "-" for the default.
QString shown(const PortAssignments::Resolution &r)
{
    static const char *letters = "VCAD";
    if (!r.validPath)
        return u'!' + r.raw;
    if (r.source == PortAssignments::Source::Default)
        return QStringLiteral("-");
    QString name = r.path;
    for (const char *token : {"S0", "S1", "USB0", "USB1", "ACM0", "ACM1"}) {
        const QString t = QString::fromLatin1(token);
        if (r.path == device(t).stableName())
            name = t;
    }
    return name + u':' + QLatin1Char(letters[int(r.source)]);
}

QString shownPorts(const PortAssignments &ports)
{
    QStringList parts;
    for (int n = 1; n <= 4; ++n)
        parts << QString::number(n) + u'=' + shown(ports.resolve(n));
    return parts.join(u' ');
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Assignments on a settings file of the test's, with the listed devices.
struct Bench {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Vantrel/Vantrel.conf"));
    QList<SerialDevice> plugged;
    QProcessEnvironment env;
    PortAssignments ports{file, env, [this] { return plugged; }, {}};

    void settings(const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        writeAll(file, content);
    }
};

} // namespace

constexpr int WritesPerProcess = 100;

class tst_Ports : public QObject
{
    Q_OBJECT
private slots:
    void numbering_data();
    void numbering();
    void writesOnlyItsOwnLines();
    void twoProcessesWritingAtOnce_data();
    void twoProcessesWritingAtOnce();
    void writeInTheSameTick();
    void byteOrderMark();
    void variableGoneOneNumber();
    void valuesReadBack_data();
    void valuesReadBack();
    void unwritableSettingsHoldForTheSession();
    void writeWaitsForAnotherInstance();
    void valuesWaitingToBeWritten();
    void writeFailureSaidOnce_data();
    void writeFailureSaidOnce();
    void unreadableSettingsAreLeftAlone();
    void twoWindowsShareChoices();
    void handWrittenFileOpensThePty();
    void badValues_data();
    void badValues();
    void toolTipsAndMenu();
    void typedPath();
    void windowGrows();
    void lineSettingsText_data();
    void lineSettingsText();
    void lineSettingsFromTheMenu();
    void badLineSettingsSaid_data();
    void badLineSettingsSaid();
    void lineDialogRefuses();
    void outsideTextShownAsIs_data();
    void outsideTextShownAsIs();
};

// Each row lists the devices present at each listing, one after the other,
// and what COM1 to COM4 stand for at the end.
void tst_Ports::numbering_data()
{
    QTest::addColumn<QString>("variables");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("listings");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no built-in port, one scanner") << "" << QByteArray() << QStringList{"ACM0"}
                                                    << "1=ACM0:A 2=- 3=- 4=-";
    QTest::newRow("one built-in port, one scanner") << "" << QByteArray() << QStringList{"ACM0 S0"}
                                                     << "1=S0:A 2=ACM0:A 3=- 4=-";
    QTest::newRow("built-in ports in their order") << "" << QByteArray() << QStringList{"S1 USB0 S0"}
                                                    << "1=S0:A 2=S1:A 3=USB0:A 4=-";
    QTest::newRow("two USB devices, ACM0 first") << "" << QByteArray() << QStringList{"ACM0", "USB1 ACM0"}
                                                  << "1=ACM0:A 2=USB1:A 3=- 4=-";
    QTest::newRow("two USB devices, USB1 first") << "" << QByteArray() << QStringList{"USB1", "ACM0 USB1"}
                                                  << "1=USB1:A 2=ACM0:A 3=- 4=-";
    QTest::newRow("unplugged and replugged keeps its number")
        << "" << QByteArray() << QStringList{"ACM0 USB1", "USB1", "", "USB1 ACM0"} << "1=ACM0:A 2=USB1:A 3=- 4=-";
    QTest::newRow("a newcomer while another is away takes the next number")
        << "" << QByteArray() << QStringList{"ACM0", "", "USB0", "ACM0 USB0"} << "1=ACM0:A 2=USB0:A 3=- 4=-";
    QTest::newRow("a variable's number is skipped")
        << "1=/tmp/scanner" << QByteArray() << QStringList{"ACM0"} << "1=/tmp/scanner:V 2=ACM0:A 3=- 4=-";
    QTest::newRow("a variable's device gets no second number")
        << "1=/dev/ttyUSB0" << QByteArray() << QStringList{"USB0 ACM0"} << "1=USB0:V 2=ACM0:A 3=- 4=-";
    QTest::newRow("a variable stands over a saved choice")
        << "2=/tmp/scanner" << QByteArray("[Ports]\nCOM2=/dev/ttyUSB0\n") << QStringList{"USB0"}
        << "1=- 2=/tmp/scanner:V 3=- 4=-";
    QTest::newRow("hand-written choice") << "" << QByteArray("[Ports]\nCOM1=/dev/ttyUSB0\n")
                                         << QStringList{"ACM0 USB0"} << "1=USB0:C 2=ACM0:A 3=- 4=-";
    QTest::newRow("hand edit of an automatic number makes it a choice")
        << "" << QByteArray("[Ports]\nCOM1=/dev/ttyUSB0\n[AutoPorts]\nCOM1=/dev/ttyACM0\n") << QStringList{"USB0"}
        << "1=USB0:C 2=- 3=- 4=-";
    QTest::newRow("empty value leaves the number free") << "" << QByteArray("[Ports]\nCOM1=\n")
                                                        << QStringList{"ACM0"} << "1=ACM0:A 2=- 3=- 4=-";
    QTest::newRow("a value that is no path keeps its number")
        << "" << QByteArray("[Ports]\nCOM1=42\n") << QStringList{"ACM0"} << "1=!42 2=ACM0:A 3=- 4=-";
    // One device, one number, whatever the environment said before.
    QTest::newRow("a variable over a built-in port's own number")
        << "1=/tmp/scanner" << QByteArray() << QStringList{"S0 ACM0"} << "1=/tmp/scanner:V 2=ACM0:A 3=- 4=-";
    QTest::newRow("an automatic twin of a choice is dropped")
        << "" << QByteArray("[Ports]\nCOM1=/dev/ttyUSB0\nCOM3=/dev/ttyUSB0\n[AutoPorts]\nCOM3=/dev/ttyUSB0\n")
        << QStringList{"USB0"} << "1=USB0:C 2=- 3=- 4=-";
    QTest::newRow("a built-in port numbered away from its own is given it back")
        << "" << QByteArray("[Ports]\nCOM2=/dev/ttyS0\n[AutoPorts]\nCOM2=/dev/ttyS0\n") << QStringList{"S0"}
        << "1=S0:A 2=- 3=- 4=-";
    QTest::newRow("two automatic numbers for one device: the first stays")
        << "" << QByteArray("[Ports]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB0\n[AutoPorts]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB0\n")
        << QStringList{"USB0"} << "1=USB0:A 2=- 3=- 4=-";
}

void tst_Ports::numbering()
{
    QFETCH(QString, variables);
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, listings);
    QFETCH(QString, expected);

    Bench b;
    for (const QString &v : variables.split(u' ', Qt::SkipEmptyParts))
        b.env.insert(QStringLiteral("VANTREL_COM") + v.section(u'=', 0, 0), v.section(u'=', 1));
    b.ports = PortAssignments(b.file, b.env, [&b] { return b.plugged; }, {});
    if (!settings.isEmpty())
        b.settings(settings);
    for (const QString &listing : listings) {
        b.plugged = devices(listing);
        b.ports.refresh();
    }
    QCOMPARE(shownPorts(b.ports), expected);
    QVERIFY(!b.ports.unsaved());

    // A second run of the tool reads the same numbers back from the file.
    PortAssignments again(b.file, b.env, [&b] { return b.plugged; }, {});
    again.refresh();
    QCOMPARE(shownPorts(again), expected);
}

// The file is the tool's, written by QSettings; a hand-edited one keeps
// every key the tool does not own, in every group.
void tst_Ports::writesOnlyItsOwnLines()
{
    Bench b;
    b.settings("; mes réglages\r\n[General]\r\nx=1, 2\r\n\r\n[Ports]\r\n"
               "COM9=/dev/ttyUSB9\r\nligne sans égal\r\n\r\n[Autre]\r\ny=\"q\"\r\n");
    const auto others = [&b] {
        const QSettings s(b.file, QSettings::IniFormat);
        return s.value(QStringLiteral("x")).toStringList().join(u'|') + u' ' + s.value(QStringLiteral("Autre/y")).toString()
            + u' ' + s.value(QStringLiteral("Ports/COM9")).toString();
    };
    const auto value = [&b](const char *key) {
        return QSettings(b.file, QSettings::IniFormat).value(QLatin1String(key)).toString();
    };
    QCOMPARE(others(), QStringLiteral("1|2 q /dev/ttyUSB9"));

    QVERIFY(b.ports.choose(3, QStringLiteral("/dev/ttyUSB0")));
    QCOMPARE(value("Ports/COM3"), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(value("AutoPorts/COM3"), QString());
    QCOMPARE(others(), QStringLiteral("1|2 q /dev/ttyUSB9"));

    QVERIFY(b.ports.release(3));
    QVERIFY(!readAll(b.file).contains("COM3="));
    QCOMPARE(others(), QStringLiteral("1|2 q /dev/ttyUSB9"));

    // An automatic number writes both groups; giving it back removes both.
    b.plugged = devices(QStringLiteral("ACM0"));
    b.ports.refresh();
    QCOMPARE(value("Ports/COM1"), QStringLiteral("/dev/serial/by-id/usb-Acme_Scanner_ACM0-if00"));
    QCOMPARE(value("AutoPorts/COM1"), QStringLiteral("/dev/serial/by-id/usb-Acme_Scanner_ACM0-if00"));
    QVERIFY(b.ports.release(1));
    QVERIFY(!readAll(b.file).contains("COM1="));
    QCOMPARE(others(), QStringLiteral("1|2 q /dev/ttyUSB9"));
}

// Two programs writing the same settings file at the same moment: each
// adds keys of its own, or rewrites one value of its own at the same size
// (the file's size then never changes). Every write of both holds at the end.
void tst_Ports::twoProcessesWritingAtOnce_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("each adds its keys") << "keys";
    QTest::newRow("each rewrites its value") << "value";
    QTest::newRow("each changes its windows' values, kept for later") << "later";
}

void tst_Ports::twoProcessesWritingAtOnce()
{
    QFETCH(QString, mode);
    Bench b;
    b.settings("[Ports]\nCOM1=/dev/ttyUSB0\n");
    QProcess one, two;
    for (QProcess *p : {&one, &two})
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--write-settings"), b.file, p == &one ? QStringLiteral("a") : QStringLiteral("b"), mode});
    for (QProcess *p : {&one, &two}) {
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitCode(), 0);
    }
    // The file's time is the system's: no stamp from another age.
    QVERIFY(QFileInfo(b.file).lastModified().date().year() >= 2020);
    const QSettings s(b.file, QSettings::IniFormat);
    QCOMPARE(s.value(QStringLiteral("Ports/COM1")).toString(), QStringLiteral("/dev/ttyUSB0"));
    if (mode == QLatin1String("later")) {
        for (const char *key : {"Window/a", "Window/b", "Bench/a", "Bench/b", "Console/a", "Console/b"})
            QCOMPARE(s.value(QLatin1String(key)).toString(), QStringLiteral("099"));
        return;
    }
    if (mode == QLatin1String("value")) {
        QCOMPARE(s.value(QStringLiteral("Race/a")).toString(), QStringLiteral("099"));
        QCOMPARE(s.value(QStringLiteral("Race/b")).toString(), QStringLiteral("099"));
        return;
    }
    QStringList missing;
    for (const char *prefix : {"a", "b"})
        for (int i = 0; i < WritesPerProcess; ++i) {
            const QString key = QStringLiteral("Race/%1%2").arg(QLatin1String(prefix)).arg(i, 3, 10, QLatin1Char('0'));
            if (s.value(key).toString() != QString::number(i))
                missing << key;
        }
    QCOMPARE(missing, QStringList());
}

// Another instance's write that left the file at the same size and the
// same time to the millisecond as this one last saw it (two writes in one
// clock tick): it is read, not overwritten.
void tst_Ports::writeInTheSameTick()
{
    Bench b;
    SettingsStore settings(b.file);
    QVERIFY(settings.writeValues(QStringLiteral("Race"), {{QStringLiteral("a"), QStringLiteral("000")}, {QStringLiteral("b"), QStringLiteral("000")}}));
    const QByteArray mine = readAll(b.file);
    QCOMPARE(mine, QByteArray("[Race]\na=000\nb=000\n"));
    const QDateTime tick = QFileInfo(b.file).lastModified();

    QByteArray theirs = mine;
    theirs.replace("b=000", "b=001");
    writeAll(b.file, theirs);
    QFile touched(b.file);
    QVERIFY(touched.open(QIODevice::ReadOnly));
    QVERIFY(touched.setFileTime(tick, QFileDevice::FileModificationTime));
    touched.close();

    QVERIFY(settings.writeValues(QStringLiteral("Race"), {{QStringLiteral("a"), QStringLiteral("001")}}));
    QCOMPARE(readAll(b.file), QByteArray("[Race]\na=001\nb=001\n"));
}

// A run with a variable over COM1 (the demo), then one without it: the
// built-in port is COM1 alone, never also COM2.
void tst_Ports::variableGoneOneNumber()
{
    Bench b;
    b.plugged = devices(QStringLiteral("S0 ACM0"));
    b.env.insert(QStringLiteral("VANTREL_COM1"), QStringLiteral("/tmp/scanner"));
    PortAssignments demo(b.file, b.env, [&b] { return b.plugged; }, {});
    demo.refresh();
    QCOMPARE(shownPorts(demo), QStringLiteral("1=/tmp/scanner:V 2=ACM0:A 3=- 4=-"));

    PortAssignments later(b.file, QProcessEnvironment(), [&b] { return b.plugged; }, {});
    later.refresh();
    QCOMPARE(shownPorts(later), QStringLiteral("1=S0:A 2=ACM0:A 3=- 4=-"));
}

// A settings file that an editor saved with a UTF-8 byte-order mark: read,
// changed and given back like any other, with one [Ports] group.
void tst_Ports::byteOrderMark()
{
    Bench b;
    b.settings("\xEF\xBB\xBF[Ports]\nCOM1=/dev/ttyUSB0\n");
    QCOMPARE(b.ports.resolve(1).path, QStringLiteral("/dev/ttyUSB0"));

    QVERIFY(b.ports.choose(2, QStringLiteral("/dev/ttyUSB1")));
    QCOMPARE(readAll(b.file), QByteArray("[Ports]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB1\n"));
    QVERIFY(b.ports.release(1));
    QCOMPARE(readAll(b.file), QByteArray("[Ports]\nCOM2=/dev/ttyUSB1\n"));
    QCOMPARE(b.ports.resolve(1).source, PortAssignments::Source::Default);
    QCOMPARE(b.ports.resolve(2).path, QStringLiteral("/dev/ttyUSB1"));
}

void tst_Ports::valuesReadBack_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "/dev/ttyACM0";
    QTest::newRow("spaces") << "/tmp/banc 2/ scanner ";
    QTest::newRow("comma") << "/tmp/a,b";
    QTest::newRow("quote and backslash") << "/tmp/a\"b\\c";
    QTest::newRow("percent") << "/tmp/%1%2";
    QTest::newRow("semicolon and hash") << "/tmp/a;b#c";
    QTest::newRow("accents") << "/tmp/périphérique";
    QTest::newRow("equals and brackets") << "/tmp/[a]=b";
}

// What write() puts in the file, QSettings reads back as it was.
void tst_Ports::valuesReadBack()
{
    QFETCH(QString, path);
    Bench b;
    SettingsStore settings(b.file);
    QVERIFY(settings.write(5, path, true));
    const SettingsStore::Entry e = settings.read().entries[5];
    QCOMPARE(e.path, path);
    QVERIFY(e.valid);
    QVERIFY(e.automatic);
}

// A settings file that cannot be written: the choice holds for the session
// and says so; nothing is written anywhere.
void tst_Ports::unwritableSettingsHoldForTheSession()
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
    writeAll(blocker, "x");
    const QString file = blocker + QStringLiteral("/Vantrel/Vantrel.conf"); // under a plain file
    QList<SerialDevice> plugged = devices(QStringLiteral("ACM0"));
    PortAssignments ports(file, QProcessEnvironment(), [&] { return plugged; }, {});

    ports.refresh();
    QCOMPARE(shownPorts(ports), QStringLiteral("1=ACM0:A 2=- 3=- 4=-"));
    QVERIFY(!ports.choose(2, QStringLiteral("/dev/ttyUSB0")));
    QVERIFY(ports.unsaved());
    QCOMPARE(shownPorts(ports), QStringLiteral("1=ACM0:A 2=USB0:C 3=- 4=-"));
    QVERIFY(!ports.release(1));
    QCOMPARE(ports.resolve(1).source, PortAssignments::Source::Default);
    QCOMPARE(readAll(blocker), QByteArray("x"));

    const QString text = choiceText(ports.resolve(2), false, file);
    QVERIFY2(text.contains(QStringLiteral("pour cette session seulement")), qPrintable(text));
}

// Another instance holds the file's write lock for longer than a write's
// try: the change is kept (this process reads it as set), written as soon
// as the lock is free, and nothing else in the file is lost.
void tst_Ports::writeWaitsForAnotherInstance()
{
    Bench b;
    b.settings("[Ports]\nCOM1=/dev/ttyUSB0\n");
    SettingsStore settings(b.file);
    QLockFile other(b.file + QStringLiteral(".writing"));
    QVERIFY(other.tryLock(0));
    QVERIFY(settings.writeValues(QStringLiteral("Window"), {{QStringLiteral("geometry"), QStringLiteral("10 20 700 400")}}));
    QVERIFY(settings.write(2, QStringLiteral("/dev/ttyACM0"), false));
    QTest::qWait(3 * SettingsStore::RetryMs);
    QCOMPARE(readAll(b.file), QByteArray("[Ports]\nCOM1=/dev/ttyUSB0\n"));
    QCOMPARE(settings.values(QStringLiteral("Window")).value(QStringLiteral("geometry")), QStringLiteral("10 20 700 400"));
    QCOMPARE(settings.read().entries[2].path, QStringLiteral("/dev/ttyACM0"));

    other.unlock();
    QTRY_COMPARE_WITH_TIMEOUT(readAll(b.file),
                              QByteArray("[Ports]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyACM0\n\n"
                                         "[Window]\ngeometry=10 20 700 400\n"), 10000);
    QVERIFY(SettingsQueue::instance().isEmpty());
}

// Values kept for later read as set (a removal as gone) in their own group
// only, and reach the file when the queue is written out, beside the rest.
void tst_Ports::valuesWaitingToBeWritten()
{
    Bench b;
    b.settings("[Window]\ntextSize=12\n");
    SettingsStore settings(b.file);
    settings.writeValuesLater(QStringLiteral("Window"), {{QStringLiteral("geometry"), QStringLiteral("1 2 700 400")},
                                                        {QStringLiteral("textSize"), QString()}});
    settings.writeValuesLater(QStringLiteral("WindowX"), {{QStringLiteral("geometry"), QStringLiteral("9 9 9 9")}});
    QCOMPARE(readAll(b.file), QByteArray("[Window]\ntextSize=12\n"));
    const QHash<QString, QString> window = settings.values(QStringLiteral("Window"));
    QCOMPARE(window, (QHash<QString, QString>{{QStringLiteral("geometry"), QStringLiteral("1 2 700 400")}}));

    QVERIFY(SettingsQueue::instance().flush(5000));
    QCOMPARE(readAll(b.file), QByteArray("[Window]\ngeometry=1 2 700 400\n\n[WindowX]\ngeometry=9 9 9 9\n"));
}

// A settings file that cannot be written: each write says so (false), the
// status line is told once, and told again only after a write went through.
void tst_Ports::writeFailureSaidOnce_data()
{
    QTest::addColumn<bool>("readOnly"); // else: its folder cannot be made
    QTest::newRow("its folder cannot be made") << false;
    QTest::newRow("read-only file") << true;
}

void tst_Ports::writeFailureSaidOnce()
{
    QFETCH(bool, readOnly);
    if (readOnly && ::geteuid() == 0)
        QSKIP("root writes a read-only file");
    QTemporaryDir dir;
    QString file;
    if (readOnly) {
        file = dir.filePath(QStringLiteral("Vantrel.conf"));
        writeAll(file, "[Window]\ntextSize=12\n");
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
    } else {
        writeAll(dir.filePath(QStringLiteral("plain")), "x");
        file = dir.filePath(QStringLiteral("plain/Vantrel/Vantrel.conf"));
    }
    QSignalSpy said(&SettingsQueue::instance(), &SettingsQueue::writeFailed);
    SettingsStore settings(file);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!settings.writeValues(QStringLiteral("Window"), {{QStringLiteral("textSize"), QString::number(20 + i)}}));
    QCOMPARE(said.count(), 1);
    QCOMPARE(said.at(0).at(0).toString(), file);
    QVERIFY2(said.at(0).at(1).toString().contains(readOnly ? QStringLiteral("lecture seule") : QStringLiteral("dossier")),
             qPrintable(said.at(0).at(1).toString()));
    if (readOnly) {
        QCOMPARE(readAll(file), QByteArray("[Window]\ntextSize=12\n"));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    } else {
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("plain"))));
    }
    QVERIFY(settings.writeValues(QStringLiteral("Window"), {{QStringLiteral("textSize"), QStringLiteral("30")}}));
    QCOMPARE(settings.values(QStringLiteral("Window")).value(QStringLiteral("textSize")), QStringLiteral("30"));
    QCOMPARE(said.count(), 1);
}

// A settings "file" that cannot be read is reported and never replaced.
void tst_Ports::unreadableSettingsAreLeftAlone()
{
    Bench b;
    QVERIFY(QDir().mkpath(b.file)); // a folder where the file should be
    b.plugged = devices(QStringLiteral("ACM0"));
    b.ports.refresh();
    QCOMPARE(b.ports.settingsStatus(), QSettings::AccessError);
    QVERIFY(QFileInfo(b.file).isDir());
    QCOMPARE(shownPorts(b.ports), QStringLiteral("1=ACM0:A 2=- 3=- 4=-")); // for this session
    QVERIFY(settingsProblemText(b.ports.settingsStatus(), b.file).startsWith(QStringLiteral("Réglages illisibles")));
}

// Two windows on one settings file: a choice in one is what the other opens
// next, and the numbers each gives are all kept.
void tst_Ports::twoWindowsShareChoices()
{
    Bench b;
    QList<SerialDevice> first = devices(QStringLiteral("ACM0")), second = devices(QStringLiteral("ACM0 USB1"));
    PortAssignments one(b.file, QProcessEnvironment(), [&] { return first; }, {});
    PortAssignments two(b.file, QProcessEnvironment(), [&] { return second; }, {});
    one.refresh();
    two.refresh();
    QVERIFY(one.choose(4, QStringLiteral("/dev/ttyUSB0")));
    QCOMPARE(shownPorts(two), QStringLiteral("1=ACM0:A 2=USB1:A 3=- 4=USB0:C"));
    QCOMPARE(shownPorts(one), shownPorts(two));
}

// A file written by hand sends COM3 to a pseudo-terminal; the window opens
// it when 3 is chosen and shows what the device sent.
void tst_Ports::handWrittenFileOpensThePty()
{
    PtyDevice pty;
    QVERIFY(pty.isValid());
    Bench b;
    b.settings("[Ports]\nCOM3=" + pty.path().toUtf8() + "\n");
    frmVantrel w(nullptr, nullptr, &b.ports);
    w.Timer1->stop();
    w.List1->setCurrentRow(2);
    // The device sends once the port is open: from Qt 6.8 on, the open
    // drops whatever the line held before it.
    QVERIFY(w.openPort());
    pty.write("ABCDEF");
    w.Timer1_Timer();
    QCOMPARE(w.statusText(), QStringLiteral("COM3 ouvert (") + pty.path() + u')');
    QCOMPARE(w.receptionText(), QStringLiteral("ABCDEF\r\n"));
    QCOMPARE(w.List1->item(2)->toolTip(), QStringLiteral("COM3 : ") + pty.path() + QStringLiteral(" — choisi"));
    w.close();
}

void tst_Ports::badValues_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("says");
    QTest::newRow("not a path") << QByteArray("42") << "« 42 » n'est pas un chemin de périphérique";
    QTest::newRow("a list") << QByteArray("/dev/a, /dev/b") << "« /dev/a, /dev/b » n'est pas un chemin";
    QTest::newRow("/dev/null") << QByteArray("/dev/null") << "/dev/null n'est pas un port série";
    QTest::newRow("a folder") << QByteArray("/tmp") << "/tmp n'est pas un port série";
    QTest::newRow("a plain file") << QByteArray("/etc/passwd") << "/etc/passwd n'est pas un port série";
    QTest::newRow("absent") << QByteArray("/dev/ttyACM97") << "COM1 introuvable (/dev/ttyACM97)";
    QTest::newRow("a value of another type") << QByteArray("@Point(1 2)")
                                             << "« @QPoint(…) » n'est pas un chemin de périphérique";
}

// A bad value in the settings: one clear message naming COM1 and the value,
// no crash, no spin, and the file as it was.
void tst_Ports::badValues()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, says);
    Bench b;
    const QByteArray content = "[Ports]\nCOM1=" + value + "\n";
    b.settings(content);
    frmVantrel w(nullptr, nullptr, &b.ports);
    w.Timer1->stop();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 5; ++i)
        w.Timer1_Timer();
    QVERIFY(t.elapsed() < 4000); // no wait on a port that did not open (5 s if each tick waited)
    QVERIFY(!w.MSComm1->PortOpen());
    QVERIFY2(w.statusText().contains(says), qPrintable(w.statusText()));
    QVERIFY2(w.statusText().contains(QStringLiteral("clic droit sur la liste"), Qt::CaseInsensitive),
             qPrintable(w.statusText()));
    QVERIFY(!w.statusText().contains(QStringLiteral("VANTREL_COM")));
    QCOMPARE(readAll(b.file), content);
    w.close();
}

// What each number stands for, seen in the tooltips, and changed from the
// list's menu without a modal loop.
void tst_Ports::toolTipsAndMenu()
{
    Bench b;
    b.plugged = devices(QStringLiteral("ACM0"));
    b.plugged.first().description = QStringLiteral("Scan & Go");
    frmVantrel w(nullptr, nullptr, &b.ports);
    w.Timer1->stop();
    const QString byId = device(QStringLiteral("ACM0")).byId;
    QCOMPARE(w.List1->item(0)->toolTip(), QStringLiteral("COM1 : /dev/ttyACM0 — Scan & Go (Acme, n° ACM0) — "
                                                         "attribué automatiquement\n")
                                              + byId);
    QCOMPARE(w.List1->item(1)->toolTip(), QStringLiteral("COM2 : /dev/ttyS1 — absent — par défaut"));

    // The menu of COM2, from the keyboard on the current item.
    w.show();
    w.List1->setFocus();
    w.List1->setCurrentRow(1);
    QTest::keyClick(w.List1, Qt::Key_F10, Qt::ShiftModifier);
    QMenu *menu = w.portChooser()->menu();
    QVERIFY(menu && menu->isVisible());
    QVERIFY(menu->actions().first()->text().startsWith(QStringLiteral("COM2 : /dev/ttyS1")));
    auto *assign = menu->findChild<QMenu *>(QStringLiteral("AssignMenu"));
    QVERIFY(assign);
    QCOMPARE(assign->title(), QStringLiteral("Associer COM2 à"));
    QCOMPARE(assign->actions().size(), 1);
    QCOMPARE(assign->actions().first()->text(),
             QStringLiteral("/dev/ttyACM0 — Scan && Go (Acme, n° ACM0) — déjà COM1"));

    // The scanner moves to COM2: the choice is saved, COM1 is free again.
    assign->actions().first()->trigger();
    QCOMPARE(shownPorts(b.ports), QStringLiteral("1=- 2=ACM0:C 3=- 4=-"));
    QVERIFY(w.statusText().endsWith(QStringLiteral("COM2 associé à ") + byId
                                    + QStringLiteral(" : prend effet à la prochaine ouverture du port.")));
    QVERIFY(w.List1->item(1)->toolTip().endsWith(QStringLiteral("— choisi\n") + byId));
    menu->close();

    // Given back, the system numbers it again: the lowest free number.
    w.portChooser()->showMenu(2, QPoint());
    QAction *give = w.portChooser()->menu()->findChild<QAction *>(QStringLiteral("release"));
    QVERIFY(give);
    QCOMPARE(give->text(), QStringLiteral("Rendre le numéro au système"));
    QVERIFY(give->isEnabled());
    give->trigger();
    QCOMPARE(shownPorts(b.ports), QStringLiteral("1=ACM0:A 2=- 3=- 4=-"));
    QVERIFY(w.statusText().contains(QStringLiteral("COM2 rendu au système : /dev/ttyS1 (par défaut)")));
    w.close();
}

// "Autre chemin…" asks in a dialog that does not block the window.
void tst_Ports::typedPath()
{
    Bench b;
    frmVantrel w(nullptr, nullptr, &b.ports);
    w.Timer1->stop();
    w.show();

    struct Row {
        QString typed;
        QString status;
        QString com5;
    };
    const Row rows[] = {
        {QStringLiteral("ttyUSB7"), QStringLiteral("COM5 : « ttyUSB7 » n'est pas un chemin complet"), QStringLiteral("-")},
        {QStringLiteral("  /dev/ttyUSB7 "), QStringLiteral("COM5 associé à /dev/ttyUSB7"), QStringLiteral("/dev/ttyUSB7:C")},
    };
    for (const Row &row : rows) {
        w.portChooser()->showMenu(5, QPoint());
        const auto actions = w.portChooser()->menu()->actions();
        const auto other = std::find_if(actions.begin(), actions.end(),
                                        [](QAction *a) { return a->text() == QStringLiteral("Autre chemin…"); });
        QVERIFY(other != actions.end());
        (*other)->trigger();
        QInputDialog *dialog = w.portChooser()->pathDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->isModal()); // window-modal, through open(): the event loop goes on
        dialog->setTextValue(row.typed);
        dialog->accept();
        QVERIFY2(w.statusText().contains(row.status), qPrintable(w.statusText()));
        QCOMPARE(shown(b.ports.resolve(5)), row.com5);
    }
    w.close();
}

// The operator enlarges the window: the box and the status line take the
// room, every other control stays where it was drawn. The size, the place
// and the box's text size (Ctrl+plus) are kept for the next start.
void tst_Ports::windowGrows()
{
    Bench b;
    QRect box, status;
    QList<QRect> others;
    QSize base;
    {
        frmVantrel w(nullptr, nullptr, &b.ports);
        w.Timer1->stop();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        base = w.size();
        QCOMPARE(w.minimumSize(), base);
        box = w.Text1->geometry();
        status = w.StatusLine->geometry();
        for (QWidget *c : {static_cast<QWidget *>(w.List1), static_cast<QWidget *>(w.Command1),
                           static_cast<QWidget *>(w.Command5), static_cast<QWidget *>(w.Text2),
                           static_cast<QWidget *>(w.Text3), static_cast<QWidget *>(w.Label1)})
            others << c->geometry();

        w.resize(base + QSize(200, 150));
        QTRY_COMPARE(w.Text1->geometry(), box.adjusted(0, 0, 200, 150));
        QCOMPARE(w.StatusLine->geometry(), status.translated(0, 150).adjusted(0, 0, 200, 0));
        QList<QRect> now;
        for (QWidget *c : {static_cast<QWidget *>(w.List1), static_cast<QWidget *>(w.Command1),
                           static_cast<QWidget *>(w.Command5), static_cast<QWidget *>(w.Text2),
                           static_cast<QWidget *>(w.Text3), static_cast<QWidget *>(w.Label1)})
            now << c->geometry();
        QCOMPARE(now, others);

        QCOMPARE(w.Text1->textSize(), 10);
        QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(w.Text1->textSize(), 12);
        QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(w.Text1->textSize(), 11);
        w.close();
    }
    QVERIFY(readAll(b.file).contains("[Window]\n"));
    QVERIFY(readAll(b.file).contains("\ntextSize=11\n"));

    frmVantrel again(nullptr, nullptr, &b.ports);
    again.Timer1->stop();
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    again.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&again));
    QCOMPARE(again.size(), base + QSize(200, 150));
    QCOMPARE(again.Text1->textSize(), 11);
    QTRY_COMPARE(again.Text1->geometry(), box.adjusted(0, 0, 200, 150));
    QTest::keyClick(&again, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(again.Text1->textSize(), 10);
    again.resize(base);
    again.close();
    QVERIFY(!readAll(b.file).contains("[Window]\ngeometry"));
    QVERIFY(!readAll(b.file).contains("textSize"));
}

// The line as the settings and the status line write it, read back; a text
// that is no line is refused (the default then holds).
void tst_Ports::lineSettingsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("readBack"); // empty: refused

    QTest::newRow("default") << "9600 8N1" << "9600 8N1";
    QTest::newRow("spaces and case") << "  115200   7e2 " << "115200 7E2";
    QTest::newRow("one and a half stop bits") << "19200 8N1.5 XON/XOFF" << "19200 8N1.5 XON/XOFF";
    QTest::newRow("mark parity, RTS/CTS") << "921600 8M1 rts/cts" << "921600 8M1 RTS/CTS";
    QTest::newRow("a speed typed") << "250000 8N1" << "250000 8N1";
    QTest::newRow("no frame") << "9600" << "";
    QTest::newRow("9 data bits") << "9600 9N1" << "";
    QTest::newRow("unknown parity") << "9600 8X1" << "";
    QTest::newRow("3 stop bits") << "9600 8N3" << "";
    QTest::newRow("speed too high") << "5000000 8N1" << "";
    QTest::newRow("unknown flow") << "9600 8N1 DTR" << "";
}

void tst_Ports::lineSettingsText()
{
    QFETCH(QString, text);
    QFETCH(QString, readBack);
    const std::optional<LineSettings> line = LineSettings::fromText(text);
    QCOMPARE(line ? line->text() : QString(), readBack);
}

// "Paramètres de la ligne…" in the list's menu: a dialog that leaves the
// window working, the choice kept in the settings, applied at the next open
// and named in the status line; "9600 8N1" takes the entry away again.
void tst_Ports::lineSettingsFromTheMenu()
{
    PtyDevice pty;
    Bench b;
    b.settings("[Ports]\nCOM3=" + pty.path().toUtf8() + "\n");
    frmVantrel w(nullptr, nullptr, &b.ports);
    w.Timer1->stop();
    w.show();
    w.List1->setCurrentRow(2);

    w.portChooser()->showMenu(3, QPoint());
    const auto actions = w.portChooser()->menu()->actions();
    const auto item = std::find_if(actions.begin(), actions.end(),
                                   [](QAction *a) { return a->text() == QStringLiteral("Paramètres de la ligne…"); });
    QVERIFY(item != actions.end());
    (*item)->trigger();
    LineSettingsDialog *dialog = w.portChooser()->lineDialog();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->speed->currentText(), QStringLiteral("9600"));
    dialog->speed->setCurrentText(QStringLiteral("115200"));
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(readAll(b.file), QByteArray("[Lines]\nCOM3=115200 8N1\n\n[Ports]\nCOM3=") + pty.path().toUtf8() + "\n");
    QCOMPARE(w.statusText().section(u'\n', 1),
             QStringLiteral("COM3 : ligne réglée à 115200 8N1. Elle s'applique à la prochaine ouverture du port "
                            "(« Eteindre », puis la réception le rouvre)."));

    QVERIFY(w.openPort());
    QCOMPARE(w.statusText().section(u'\n', 0, 0), QStringLiteral("COM3 ouvert (") + pty.path() + QStringLiteral(", 115200 8N1)"));
    termios t {};
    QVERIFY(pty.lineSettings(&t));
    QCOMPARE(cfgetospeed(&t), speed_t(B115200));

    QVERIFY(b.ports.setLine(3, LineSettings{}));
    QCOMPARE(readAll(b.file), QByteArray("[Ports]\nCOM3=") + pty.path().toUtf8() + "\n");
    w.Command2_Click();
    QVERIFY(w.openPort());
    QCOMPARE(w.statusText().section(u'\n', 0, 0), QStringLiteral("COM3 ouvert (") + pty.path() + u')');
    w.close();
}

// A [Lines] value that is no line: its good parts are used, its bad ones
// replaced by the default's, and the status line says which when the port
// opens. The line the device gets is the one said.
void tst_Ports::badLineSettingsSaid_data()
{
    QTest::addColumn<QByteArray>("kept");  // COM3's [Lines] value
    QTest::addColumn<QString>("used");     // as the status line's first line names it
    QTest::addColumn<int>("speed");        // termios speed code the device gets
    QTest::addColumn<QString>("said");     // the status line's second line

    QTest::newRow("speed abc") << QByteArray("abc 8N1") << "" << int(B9600)
                               << "vitesse « abc » invalide dans les réglages de COM3 : 9600 utilisé.";
    QTest::newRow("speed 0") << QByteArray("0 8N1") << "" << int(B9600)
                             << "vitesse « 0 » invalide dans les réglages de COM3 : 9600 utilisé.";
    QTest::newRow("speed -1") << QByteArray("-1 7E1") << ", 9600 7E1" << int(B9600)
                              << "vitesse « -1 » invalide dans les réglages de COM3 : 9600 utilisé.";
    QTest::newRow("speed 99999999999") << QByteArray("99999999999 8N1") << "" << int(B9600)
                                       << "vitesse « 99999999999 » invalide dans les réglages de COM3 : 9600 utilisé.";
    QTest::newRow("frame 8Z1") << QByteArray("19200 8Z1") << ", 19200 8N1" << int(B19200)
                               << "format « 8Z1 » invalide dans les réglages de COM3 : 8N1 utilisé.";
    QTest::newRow("frame 9N1") << QByteArray("19200 9N1") << ", 19200 8N1" << int(B19200)
                               << "format « 9N1 » invalide dans les réglages de COM3 : 8N1 utilisé.";
    QTest::newRow("no frame") << QByteArray("19200") << ", 19200 8N1" << int(B19200)
                              << "format absent dans les réglages de COM3 : 8N1 utilisé.";
    QTest::newRow("speed and frame") << QByteArray("abc 9N1") << "" << int(B9600)
                                     << "vitesse « abc » invalide dans les réglages de COM3 : 9600 utilisé ; "
                                        "format « 9N1 » invalide dans les réglages de COM3 : 8N1 utilisé.";
    QTest::newRow("flow DTR") << QByteArray("38400 7E1 DTR") << ", 38400 7E1" << int(B38400)
                              << "contrôle de flux « DTR » invalide dans les réglages de COM3 : aucun utilisé.";
    QTest::newRow("four words") << QByteArray("9600 8N1 RTS/CTS x") << "" << int(B9600)
                                << "réglage « 9600 8N1 RTS/CTS x » illisible dans les réglages de COM3 : 9600 8N1 "
                                   "utilisé.";
    QTest::newRow("a good line") << QByteArray("115200 8N1") << ", 115200 8N1" << int(B115200) << "";
}

void tst_Ports::badLineSettingsSaid()
{
    QFETCH(QByteArray, kept);
    QFETCH(QString, used);
    QFETCH(int, speed);
    QFETCH(QString, said);
    PtyDevice pty;
    Bench b;
    b.settings("[Lines]\nCOM3=" + kept + "\n[Ports]\nCOM3=" + pty.path().toUtf8() + "\n");
    frmVantrel w(nullptr, nullptr, &b.ports);
    w.Timer1->stop();
    w.show();
    w.List1->setCurrentRow(2);
    QVERIFY(w.openPort());
    QCOMPARE(w.statusText(), QStringLiteral("COM3 ouvert (") + pty.path() + used + u')'
                                 + (said.isEmpty() ? QString() : u'\n' + said));
    termios t {};
    QVERIFY(pty.lineSettings(&t));
    QCOMPARE(cfgetospeed(&t), speed_t(speed));
    // The file is the user's: left as it was written.
    QCOMPARE(readAll(b.file), "[Lines]\nCOM3=" + kept + "\n[Ports]\nCOM3=" + pty.path().toUtf8() + "\n");
    w.close();
}

// The line dialog keeps what cannot be set from the settings: OK says why
// beside the field, and the dialog stays until it is mended.
void tst_Ports::lineDialogRefuses()
{
    Bench b;
    frmVantrel w(nullptr, nullptr, &b.ports);
    w.Timer1->stop();
    w.show();
    w.portChooser()->showMenu(2, QPoint());
    for (QAction *a : w.portChooser()->menu()->actions())
        if (a->text() == QStringLiteral("Paramètres de la ligne…"))
            a->trigger();
    LineSettingsDialog *dialog = w.portChooser()->lineDialog();
    QVERIFY(dialog && dialog->isVisible());
    auto *speedProblem = dialog->findChild<QLabel *>(QStringLiteral("speedProblem"));
    auto *stopProblem = dialog->findChild<QLabel *>(QStringLiteral("stopProblem"));
    QVERIFY(speedProblem && stopProblem);
    QVERIFY(!speedProblem->isVisible() && !stopProblem->isVisible());
    QPushButton *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);

    dialog->speed->setCurrentText(QStringLiteral("0"));
    ok->click();
    QVERIFY(dialog->isVisible());
    QVERIFY(speedProblem->isVisible());
    QCOMPARE(speedProblem->text(), QStringLiteral("Vitesse « 0 » impossible : de 50 à 4\u202F000\u202F000 bauds."));
    QCOMPARE(speedProblem->accessibleName(), QStringLiteral("Problème de vitesse"));
    QVERIFY(!QFileInfo::exists(b.file));

    // Mended, the word goes; 1,5 stop bits, which Linux cannot set, refused.
    dialog->speed->setCurrentText(QStringLiteral("19200"));
    QVERIFY(!speedProblem->isVisible());
    dialog->stopBits->setCurrentIndex(dialog->stopBits->findData(int(LineSettings::StopBits::OneAndHalf)));
    ok->click();
    QVERIFY(dialog->isVisible());
    QCOMPARE(stopProblem->text(), QStringLiteral("1,5 bit d'arrêt ne peut pas être réglé sous Linux : 1 ou 2 seulement."));
    QVERIFY(!QFileInfo::exists(b.file));

    dialog->stopBits->setCurrentIndex(dialog->stopBits->findData(int(LineSettings::StopBits::Two)));
    QVERIFY(!stopProblem->isVisible());
    ok->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(readAll(b.file), QByteArray("[Lines]\nCOM2=19200 8N2\n"));
    w.close();
}

// A path set through VANTREL_COM2 that holds markup and a right-to-left
// override: the list's tooltip and the status line show it character for
// character, and nothing after it is turned around.
void tst_Ports::outsideTextShownAsIs_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("tip");    // the tooltip as drawn
    QTest::addColumn<QString>("status"); // the start of the status line's second line

    QTest::newRow("markup") << "/tmp/scanner/<b>B</b><font color=red>R</font>"
                            << "COM2 : /tmp/scanner/<b>B</b><font color=red>R</font> — absent — VANTREL_COM2"
                            << "COM2 introuvable (/tmp/scanner/<b>B</b><font color=red>R</font>) : branchez l'";
    QTest::newRow("an image of a FIFO") << "/tmp/<img src=/tmp/fifo>"
                                        << "COM2 : /tmp/<img src=/tmp/fifo> — absent — VANTREL_COM2"
                                        << "COM2 introuvable (/tmp/<img src=/tmp/fifo>) : branchez l'";
    QTest::newRow("right-to-left override")
        << QStringLiteral("/tmp/scan\u202Ener") << "COM2 : /tmp/scan\\u202Ener — absent — VANTREL_COM2"
        << "COM2 introuvable (/tmp/scan\\u202Ener) : branchez l'";
    QTest::newRow("tab and newline") << "/tmp/a\tb\nc" << QStringLiteral("COM2 : /tmp/a\u2409b\u240Ac — absent — VANTREL_COM2")
                                     << QStringLiteral("COM2 introuvable (/tmp/a\u2409b\u240Ac) : branchez l'");
}

void tst_Ports::outsideTextShownAsIs()
{
    QFETCH(QString, path);
    QFETCH(QString, tip);
    QFETCH(QString, status);

    Bench b;
    b.env.insert(QStringLiteral("VANTREL_COM2"), path);
    PortAssignments ports{b.file, b.env, [] { return QList<SerialDevice>{}; }, {}};
    frmVantrel w(nullptr, nullptr, &ports);
    w.Timer1->stop();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    const QRect item = w.List1->visualItemRect(w.List1->item(1));
    QHelpEvent hover(QEvent::ToolTip, item.center(), w.List1->viewport()->mapToGlobal(item.center()));
    QApplication::sendEvent(w.List1->viewport(), &hover);
    QLabel *label = nullptr;
    QTRY_VERIFY((label = [] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->inherits("QTipLabel") && top->isVisible())
                return static_cast<QLabel *>(top);
        return static_cast<QLabel *>(nullptr);
    }()));
    QTextDocument drawn;
    drawn.setHtml(label->text());
    QCOMPARE(drawn.toRawText(), tip); // no tag taken as markup, no character lost

    w.List1->setCurrentRow(1);
    w.Timer1_Timer();
    QCOMPARE(w.statusText().section(u'\n', 1).left(status.size()), status);
    QVERIFY(!w.statusText().contains(QChar(0x202E)));
    QToolTip::hideText();
}

// Run by twoProcessesWritingAtOnce(): a write of its own for each key
// ("keys": a000, a001...; "value": a=000, a=001...; "later": the window's
// size, the bench's layout and the console's history, kept for later as the
// windows do), 5 ms apart, then what is kept written as the program ends.
// Exit status 1 when a write failed or something was left unwritten.
static int writeSettings(const QString &file, const QString &prefix, const QString &mode)
{
    SettingsStore settings(file);
    for (int i = 0; i < WritesPerProcess; ++i) {
        const QString number = QString::number(i).rightJustified(3, u'0');
        if (mode == QLatin1String("later")) {
            for (const char *group : {"Window", "Bench", "Console"})
                settings.writeValuesLater(QString::fromLatin1(group), {{prefix, number}});
        } else {
            const auto edit = mode == QLatin1String("value") ? std::pair{prefix, number}
                                                             : std::pair{prefix + number, QString::number(i)};
            if (!settings.writeValues(QStringLiteral("Race"), {edit}))
                return 1;
        }
        QThread::msleep(5);
        QCoreApplication::processEvents();
    }
    return SettingsQueue::instance().flush(30000) ? 0 : 1;
}

int main(int argc, char **argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--write-settings") == 0) {
        QCoreApplication app(argc, argv);
        return writeSettings(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                             QString::fromLocal8Bit(argv[4]));
    }
    QApplication app(argc, argv);
    tst_Ports test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ports.moc"
