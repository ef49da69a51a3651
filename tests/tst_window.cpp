#include "FakeWindow.h"

#include "SerialComm.h"
#include "BenchReport.h"
#include "SettingsQueue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QRect twips(int l, int t, int w, int h)
{
    return QRect(l / 15, t / 15, w / 15, h / 15);
}

} // namespace

class tst_Window : public QObject
{
    Q_OBJECT
private slots:
    void controlTable_data();
    void controlTable();
    void windowAndInitialState();
    void tabOrderAndFocus();
    void selectedPort_data();
    void selectedPort();
    void listChangeWaitsForNextOpen();
    void append_data();
    void append();
    void appendKeepsOperatorEdits();
    void viewFollowsEndUnlessScrolledUp();
    void closeStepOnClosedPortSetsNothing();
    void unload_data();
    void unload();
    void errorMessages_data();
    void errorMessages();
    void repeatedFailureShownOnceAndCleared();
    void deviceGoneThenBack();
    void sharedPort_data();
    void sharedPort();
    void statusLineKeepsTheRemedy_data();
    void statusLineKeepsTheRemedy();
    void enterClicksTheFocusedButton_data();
    void enterClicksTheFocusedButton();
    void namesForScreenReaders();
    void settingsNotWrittenSaidOnce();
    void textFilesEndLinesAsTheSystemDoes();
    void reportFilesGoTogether();
};

void tst_Window::controlTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("List1") << "List1" << "QListWidget" << "" << twips(120, 120, 1455, 1620);
    QTest::newRow("Command1") << "Command1" << "QPushButton" << "Allumer" << twips(1650, 150, 1815, 390);
    QTest::newRow("Command2") << "Command2" << "QPushButton" << "Eteindre" << twips(1650, 600, 1815, 390);
    QTest::newRow("Command3") << "Command3" << "QPushButton" << "Lire" << twips(1650, 1050, 1815, 390);
    QTest::newRow("Command4") << "Command4" << "QPushButton" << "Envoyer commande" << twips(1650, 1650, 1815, 390);
    QTest::newRow("Text1") << "Text1" << "ReceptionBox" << "" << twips(120, 2775, 5550, 2295);
    QTest::newRow("Text2") << "Text2" << "QLineEdit" << "" << twips(120, 1920, 1455, 375);
    QTest::newRow("Label1") << "Label1" << "QLabel" << "Réception" << twips(120, 2535, 1815, 255);
    QTest::newRow("Command5") << "Command5" << "QPushButton" << "Lire buffer" << twips(1650, 2100, 1815, 390);
    QTest::newRow("Text3") << "Text3" << "QLineEdit" << "6" << twips(4800, 480, 1335, 375);
    QTest::newRow("Label2") << "Label2" << "QLabel" << "Longueur a lire" << twips(4800, 240, 1335, 255);
}

void tst_Window::controlTable()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);

    FakeWindow b;
    auto *widget = b.w.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->metaObject()->className(), kind);
    QCOMPARE(widget->parentWidget(), &b.w);
    QCOMPARE(widget->geometry(), geometry);

    QString text;
    if (auto *button = qobject_cast<QPushButton *>(widget))
        text = button->text();
    else if (auto *label = qobject_cast<QLabel *>(widget))
        text = label->text();
    else if (auto *line = qobject_cast<QLineEdit *>(widget))
        text = line->text();
    else if (auto *box = qobject_cast<QPlainTextEdit *>(widget))
        text = box->toPlainText();
    QCOMPARE(text, caption);

    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
    }
}

void tst_Window::windowAndInitialState()
{
    FakeWindow b;
    QCOMPARE(b.w.windowTitle(), QStringLiteral("Vantrel"));
    QCOMPARE(b.w.width(), 467);
    QVERIFY(b.w.height() > 347);
    // The status line sits under the client area of the layout, full width.
    QCOMPARE(b.w.StatusLine->geometry().top(), 347);
    QCOMPARE(b.w.StatusLine->width(), 467);
    QCOMPARE(b.w.statusText(), QStringLiteral("Port fermé"));

    QStringList items;
    for (int i = 0; i < b.w.List1->count(); ++i)
        items << b.w.List1->item(i)->text();
    QCOMPARE(items, QStringList({"1", "2", "3", "4", "5", "6", "7", "8"}));
    QCOMPARE(b.w.List1->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(b.w.List1->selectedItems().isEmpty());

    QCOMPARE(b.w.Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(b.w.Text1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(b.w.Text1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QVERIFY(!b.w.Text1->isReadOnly());

    QCOMPARE(b.w.Timer1->interval(), 500);
    QVERIFY(!b.comm->PortOpen());
    QVERIFY(b.comm->sets.isEmpty());

    // The timer runs from creation on a window of its own.
    frmVantrel fresh(new FakeComm);
    QVERIFY(fresh.Timer1->isActive());
    QCOMPARE(fresh.Timer1->interval(), 500);
}

void tst_Window::tabOrderAndFocus()
{
    FakeWindow b;
    b.w.show();
    b.w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&b.w));
    QCOMPARE(QApplication::focusWidget(), b.w.List1);

    const QStringList expected = {"List1", "Command1", "Command2", "Command3", "Command4",
                                  "Text1", "Text2", "Command5", "Text3"};
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
        seen << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(seen, expected);
    // Round to the start: labels and the status line take no focus.
    QCOMPARE(QApplication::focusWidget(), b.w.List1);
}

void tst_Window::selectedPort_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("port");
    QTest::newRow("nothing selected") << -1 << 1;
    QTest::newRow("1") << 0 << 1;
    QTest::newRow("3") << 2 << 3;
    QTest::newRow("8") << 7 << 8;
}

void tst_Window::selectedPort()
{
    QFETCH(int, row);
    QFETCH(int, port);
    FakeWindow b;
    if (row >= 0)
        b.w.List1->setCurrentRow(row);
    b.quickTick();
    QCOMPARE(b.comm->sets, QStringList({QStringLiteral("CommPort=%1").arg(port), "PortOpen=True"}));
    QCOMPARE(b.w.statusText(), QStringLiteral("COM%1 ouvert (/dev/fake%1)").arg(port));
}

void tst_Window::listChangeWaitsForNextOpen()
{
    FakeWindow b;
    b.quickTick();
    b.w.List1->setCurrentRow(2);
    b.quickTick();
    QCOMPARE(b.comm->CommPort(), qint16(1));
    QCOMPARE(b.comm->sets, QStringList({"CommPort=1", "PortOpen=True"}));

    b.comm->sets.clear();
    b.w.Command2->click();
    b.quickTick();
    QCOMPARE(b.comm->sets, QStringList({"PortOpen=False", "CommPort=3", "PortOpen=True"}));
}

void tst_Window::append_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QString>("expected");

    using L = QList<QByteArray>;
    QTest::newRow("ABC on empty box") << L{"ABC"} << "ABC\r\n";
    QTest::newRow("ABC then DE") << L{"ABC", "DE"} << "ABC\r\nDE\r\n";
    QTest::newRow("barcode with its CR") << L{"4006381333931\r"} << QString::fromUtf8("4006381333931\u240D\r\n");
    QTest::newRow("lone LF and CR LF inside")
        << L{"A\nB\r\nC"} << QString::fromUtf8("A\u240AB\u240D\u240AC\r\n");
    QTest::newRow("NUL ESC TAB DEL")
        << L{QByteArray("\x00\x1b\t\x7f", 4)} << QString::fromUtf8("\u2400\u241B\u2409\u2421\r\n");
    QTest::newRow("high bytes: Latin-1, then Windows-1252") << L{"\xe9t\xe9 \xff\x80\x93"}
                                                             << QString::fromUtf8("été ÿ€“\r\n");
    QTest::newRow("no-break space and soft hyphen shown") << L{"a\xa0" "b\xad"} << QString::fromUtf8("a⍽b‐\r\n");
    QTest::newRow("spaces kept") << L{"  x  "} << "  x  \r\n";
}

void tst_Window::append()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QString, expected);
    FakeWindow b;
    b.quickTick();
    for (const QByteArray &p : pieces)
        b.show(p);
    QCOMPARE(b.w.receptionText(), expected);
    QCOMPARE(b.comm->InBufferCount(), 0);
}

void tst_Window::appendKeepsOperatorEdits()
{
    FakeWindow b;
    b.quickTick();
    b.show("ABC");
    b.w.Text1->moveCursor(QTextCursor::End);
    QTest::keyClicks(b.w.Text1, QStringLiteral("note"));
    b.show("DE");
    QCOMPARE(b.w.receptionText(), QStringLiteral("ABC\r\nnoteDE\r\n"));

    // The operator's caret at the top stays there.
    b.w.Text1->moveCursor(QTextCursor::Start);
    b.show("F");
    QCOMPARE(b.w.Text1->textCursor().position(), 0);
    QCOMPARE(b.w.receptionText(), QStringLiteral("ABC\r\nnoteDE\r\nF\r\n"));
}

void tst_Window::viewFollowsEndUnlessScrolledUp()
{
    FakeWindow b;
    b.w.show();
    b.quickTick();
    for (int i = 0; i < 40; ++i)
        b.show(QByteArray::number(i));
    QScrollBar *bar = b.w.Text1->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    bar->setValue(0);
    b.show("lu plus tard");
    QCOMPARE(bar->value(), 0);

    bar->setValue(bar->maximum());
    b.show("suivi");
    QCOMPARE(bar->value(), bar->maximum());
}

void tst_Window::closeStepOnClosedPortSetsNothing()
{
    FakeWindow b;
    b.w.Command2->click();
    QVERIFY(b.comm->sets.isEmpty());
    b.quickTick();
    b.comm->sets.clear();
    b.w.Command2->click();
    QCOMPARE(b.comm->sets, QStringList({"PortOpen=False"}));
    QCOMPARE(b.w.statusText(), QStringLiteral("Port fermé"));
}

void tst_Window::unload_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QStringList>("expectedSets");
    QTest::newRow("port open") << true << QStringList({"PortOpen=False"});
    QTest::newRow("port closed") << false << QStringList();
}

void tst_Window::unload()
{
    QFETCH(bool, open);
    QFETCH(QStringList, expectedSets);
    FakeWindow b;
    b.w.show();
    if (open)
        b.quickTick();
    b.comm->sets.clear();
    QSignalSpy ended(&b.w, &frmVantrel::programEnded);

    QVERIFY(b.w.close()); // closing is never refused
    QCOMPARE(b.comm->sets, expectedSets);
    QVERIFY(!b.comm->PortOpen());
    QCOMPARE(ended.count(), 1);
    QVERIFY(b.w.ending());
    QVERIFY(!b.w.Timer1->isActive());

    // Nothing runs after the end.
    b.comm->sets.clear();
    b.w.Timer1_Timer();
    b.w.Command1_Click();
    QVERIFY(b.comm->sets.isEmpty());
}

void tst_Window::errorMessages_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("not found") << int(CommError::NotFound) << "COM1 introuvable (/dev/fake1)";
    QTest::newRow("permission") << int(CommError::PermissionDenied) << "groupe dialout";
    QTest::newRow("busy") << int(CommError::Busy) << "un autre programme utilise ce port";
    QTest::newRow("other") << int(CommError::Other) << "ouverture de /dev/fake1 impossible";
    QTest::newRow("lock file left behind") << int(CommError::StaleLock) << "aucun programme n'utilise /dev/fake1";
}

void tst_Window::errorMessages()
{
    QFETCH(int, error);
    QFETCH(QString, phrase);
    FakeWindow b;
    b.comm->refuseOpen = CommError(error);
    b.quickTick();
    QVERIFY(!b.comm->PortOpen());
    QVERIFY2(b.w.statusText().contains(phrase), qPrintable(b.w.statusText()));
    QVERIFY(b.w.statusText().contains(QStringLiteral("/dev/fake1")));
    QVERIFY(b.w.statusText().startsWith(QStringLiteral("Port fermé\n")));

    // The handler stopped at the refused open: "Lire" sends nothing.
    b.comm->sets.clear();
    b.w.Command3_Click();
    QCOMPARE(b.comm->sets, QStringList({"CommPort=1", "PortOpen=True"}));
    QVERIFY(b.comm->written.isEmpty());
}

void tst_Window::repeatedFailureShownOnceAndCleared()
{
    FakeWindow b;
    b.comm->refuseOpen = CommError::NotFound;
    b.quickTick();
    const QString first = b.w.statusText();
    QVERIFY(first.contains(QStringLiteral("introuvable")));

    // Another message in between; the same failure again does not come back.
    b.w.Text3->setText(QStringLiteral("abc"));
    b.comm->sets.clear();
    b.quickTick();
    b.quickTick();
    QCOMPARE(b.comm->sets.count(QStringLiteral("PortOpen=True")), 2); // it did try again
    QCOMPARE(b.w.statusText(), first);

    // A different failure is news.
    b.comm->refuseOpen = CommError::Busy;
    b.quickTick();
    QVERIFY(b.w.statusText().contains(QStringLiteral("occupé")));

    // Cleared when the port opens.
    b.comm->refuseOpen = CommError::None;
    b.quickTick();
    QCOMPARE(b.w.statusText(), QStringLiteral("COM1 ouvert (/dev/fake1)"));
}

void tst_Window::deviceGoneThenBack()
{
    FakeWindow b;
    b.quickTick();
    b.comm->unplug();
    const QString gone = b.w.statusText();
    QVERIFY2(gone.startsWith(QStringLiteral("Port fermé\nCOM1 : appareil déconnecté (/dev/fake1)")), qPrintable(gone));

    // While it is away, the retries fail quietly.
    b.comm->refuseOpen = CommError::NotFound;
    b.quickTick();
    b.quickTick();
    QCOMPARE(b.w.statusText(), gone);

    // It comes back: one message for the return.
    b.comm->refuseOpen = CommError::None;
    b.quickTick();
    QCOMPARE(b.w.statusText(), QStringLiteral("COM1 ouvert (/dev/fake1)\nCOM1 : appareil reconnecté (/dev/fake1)."));
}

void tst_Window::sharedPort_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("remedy");
    QTest::newRow("a terminal program") << "cat" << "Fermez ce programme pour tout recevoir.";
    QTest::newRow("ModemManager") << "ModemManager" << "(sudo systemctl stop ModemManager).";
    QTest::newRow("brltty") << "brltty" << "(sudo apt remove brltty) puis rebranchez l'appareil.";
}

// Another program holds the device too: said once when the port opens, the
// port stays open, and it is no unplug.
void tst_Window::sharedPort()
{
    QFETCH(QString, program);
    QFETCH(QString, remedy);
    FakeWindow b;
    b.comm->holders = {{4242, program}};
    b.quickTick();
    QVERIFY(b.comm->PortOpen());
    const QString expected = QStringLiteral("COM1 ouvert (/dev/fake1)\nCOM1 : /dev/fake1 est aussi ouvert par ")
        + program + QStringLiteral(" (pid 4242) ; des octets peuvent lui aller au lieu de Vantrel. ");
    QVERIFY2(b.w.statusText().startsWith(expected), qPrintable(b.w.statusText()));
    QVERIFY2(b.w.statusText().endsWith(remedy), qPrintable(b.w.statusText()));
    QVERIFY(!b.w.statusText().contains(QStringLiteral("retour")));

    // A tick on the open port keeps it open and the message shown.
    b.quickTick();
    QVERIFY(b.comm->PortOpen());
    QVERIFY(b.w.statusText().startsWith(expected));
}

void tst_Window::statusLineKeepsTheRemedy_data()
{
    QTest::addColumn<QString>("device");  // COM1's path, for the real control; empty: the fake one
    QTest::addColumn<QString>("length");  // what "Longueur a lire" holds
    QTest::addColumn<QString>("remedy");  // what the shown text must still say
    QTest::addColumn<QString>("piece");   // what the whole text must hold

    const QString part(75, u'p');
    const QString longPath = QStringLiteral("/tmp/") + QStringList(4, part).join(u'/') + QStringLiteral("/ttyUSB9");
    QTest::newRow("a 300-character path") << longPath << "6" << " : branchez l'appareil." << longPath;
    QTest::newRow("a path with a newline") << "/tmp/a\nb/" + part + "/" + part + "/ttyUSB9" << "6"
                                           << " : branchez l'appareil."
                                           << QString::fromUtf8("/tmp/a␊b/") + part + "/" + part + "/ttyUSB9";
    const QString typed = QString(5000, u'7') + QStringLiteral("\n\r") + QString(5000, u'x');
    QTest::newRow("10,000 characters typed") << "" << typed << "Tapez un entier de -32768 à 32767."
                                             << QString(5000, u'7') + QString::fromUtf8("␊␍") + QString(5000, u'x');
}

// However long the outside pieces of a message, the status line shows its
// end (the remedy) on its own lines, cut in the middle of the pieces; the
// tooltip and the accessible description keep the whole text.
void tst_Window::statusLineKeepsTheRemedy()
{
    QFETCH(QString, device);
    QFETCH(QString, length);
    QFETCH(QString, remedy);
    QFETCH(QString, piece);

    FakeWindow b;
    PortAssignments ports{SettingsStore::userFileName(), [&] {
                              QProcessEnvironment env;
                              env.insert(QStringLiteral("VANTREL_COM1"), device);
                              return env;
                          }(), {}, {}};
    std::unique_ptr<frmVantrel> real;
    frmVantrel *w = &b.w;
    if (!device.isEmpty()) {
        real = std::make_unique<frmVantrel>(new SerialComm(&ports, nullptr), &b.clock, &ports);
        real->Timer1->stop();
        w = real.get();
    }
    w->Text3->setText(length);
    w->openPort();
    if (device.isEmpty()) {
        QTimer::singleShot(50, [&] { b.clock.advance(std::chrono::seconds(1)); });
        w->Timer1_Timer(); // sees the length and says it is not one
    }

    QLabel *line = w->StatusLine;
    const QString shown = line->accessibleName();
    QVERIFY2(shown.contains(remedy), qPrintable(shown));
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown)); // cut
    QCOMPARE(shown.count(u'\n'), 1);                            // the state, then the message
    QVERIFY(!shown.contains(QChar(0x200B)));
    const QRect room = line->contentsRect().adjusted(line->margin() + line->indent(), line->margin(),
                                                     -line->margin(), -line->margin());
    const QRect needed = line->fontMetrics().boundingRect(room, Qt::TextWordWrap, line->text());
    QVERIFY(needed.height() <= room.height() && needed.width() <= room.width());

    QCOMPARE(line->toolTip(), w->statusText());
    QCOMPARE(line->accessibleDescription(), w->statusText());
    QVERIFY2(w->statusText().contains(piece), qPrintable(w->statusText().left(200)));
}

void tst_Window::enterClicksTheFocusedButton_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("clicks"); // of the focused button, or of any when it is no button

    QTest::newRow("Enter on a button") << "Command5" << int(Qt::Key_Return) << 0 << 1;
    QTest::newRow("keypad Enter on a button") << "Command5" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
    QTest::newRow("Escape on a button") << "Command5" << int(Qt::Key_Escape) << 0 << 0;
    QTest::newRow("Ctrl+Enter on a button") << "Command5" << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Enter in Longueur a lire") << "Text3" << int(Qt::Key_Return) << 0 << 0;
    QTest::newRow("Enter in the list") << "List1" << int(Qt::Key_Return) << 0 << 0;
}

// Enter clicks the focused button, as on the former benches; there is no
// default button, so Enter elsewhere and Escape do nothing.
void tst_Window::enterClicksTheFocusedButton()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, clicks);
    FakeWindow b;
    b.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.w));
    int clicked = 0;
    for (QPushButton *button : b.w.findChildren<QPushButton *>())
        connect(button, &QPushButton::clicked, this, [&] { ++clicked; });
    QWidget *target = b.w.findChild<QWidget *>(focus);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(clicked, clicks);
}

void tst_Window::namesForScreenReaders()
{
    FakeWindow b;
    QCOMPARE(b.w.List1->accessibleName(), QStringLiteral("Port COM"));
    QCOMPARE(b.w.Text1->accessibleName(), QStringLiteral("Réception"));
    QCOMPARE(b.w.Text2->accessibleName(), QStringLiteral("Texte libre"));
    QCOMPARE(b.w.Text3->accessibleName(), QStringLiteral("Longueur a lire"));
    QCOMPARE(b.w.Label1->buddy(), b.w.Text1);
    QCOMPARE(b.w.Label2->buddy(), b.w.Text3);
    QCOMPARE(b.w.StatusLine->accessibleName(), QStringLiteral("Port fermé"));
    QVERIFY(!b.w.windowIcon().isNull());
}

// The settings file cannot be written (here its folder is a plain file):
// the status line says so once, with what to do, and the value holds.
void tst_Window::settingsNotWrittenSaidOnce()
{
#ifdef Q_OS_WIN
    QSKIP("Sous Windows, le dossier des réglages (%APPDATA%) ne se déplace pas pour un essai");
#endif
    QTemporaryDir config;
    const QByteArray before = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const auto restore = qScopeGuard([&before] { qputenv("XDG_CONFIG_HOME", before); });
    QFile plain(config.filePath(QStringLiteral("Vantrel")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    FakeWindow b;
    SettingsStore settings(SettingsStore::userFileName());
    QVERIFY(!settings.writeValues(QStringLiteral("Window"), {{QStringLiteral("textSize"), QStringLiteral("14")}}));
    QCOMPARE(b.w.statusText(),
             QStringLiteral("Port fermé\nRéglages non enregistrés : le dossier %1/Vantrel ne peut pas être créé. Ils valent "
                            "jusqu'à la fermeture ; rendez le fichier modifiable (ou libérez de la place) pour les "
                            "garder.").arg(config.path()));
    b.quickTick(); // "Port fermé" or the like replaces it
    const QString next = b.w.statusText();
    QVERIFY(!settings.writeValues(QStringLiteral("Window"), {{QStringLiteral("textSize"), QStringLiteral("16")}}));
    QCOMPARE(b.w.statusText(), next);
}

// What the operator saves as text (the box, the bench's summary) ends its
// lines as the system's editors expect: CR LF on Windows (Notepad), LF
// elsewhere. The bytes received are saved as they came, CR and all; the
// bench's CSV has CR LF everywhere, as spreadsheets expect (RFC 4180).
void tst_Window::textFilesEndLinesAsTheSystemDoes()
{
#ifdef Q_OS_WIN
    const QByteArray end("\r\n");
#else
    const QByteArray end("\n");
#endif
    FakeWindow b;
    b.w.Text1->setNow([] { return QDateTime(QDate(2026, 12, 8), QTime(9, 15, 0, 123)); });
    b.w.openPort();
    b.show("ab\r");
    b.show("cd");
    b.w.Text1->finishAppends();
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("r.txt"));
    const QString raw = dir.filePath(QStringLiteral("r.bin"));
    QCOMPARE(b.w.Text1->save(text, ReceptionJournal::Format::Text), QString());
    QCOMPARE(b.w.Text1->save(raw, ReceptionJournal::Format::Raw), QString());
    QFile t(text), r(raw);
    QVERIFY(t.open(QIODevice::ReadOnly) && r.open(QIODevice::ReadOnly));
    QCOMPARE(t.readAll(), "2026-12-08 09:15:00.123 ab\xe2\x90\x8d" + end + "2026-12-08 09:15:00.123 cd" + end);
    QCOMPARE(r.readAll(), QByteArray("ab\rcd"));
    ScanTable table;
    ScanTally tally;
    BenchReport::Session session;
    session.table = &table;
    session.tally = &tally;
    session.when = QDateTime::currentDateTime();
    QVERIFY(BenchReport::summary(session).startsWith("Rapport du banc d'essai Vantrel" + end + end + "Date : "));
    QCOMPARE(BenchReport::csvHeader(),
             QStringLiteral("N°;Reçu à;Écart (ms);Longueur;Symbologie;AIM;Contrôle;Liste;État;Données;GS1;Hexa\r\n")
                 .toUtf8());
}

// The bench's report files are replaced together, on either system: a
// summary marked read-only keeps the CSV from being replaced too, and
// nothing is left beside them.
void tst_Window::reportFilesGoTogether()
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("rapport.csv"));
    const QString txt = dir.filePath(QStringLiteral("rapport.txt"));
    ScanTable table;
    ScanTally tally;
    BenchReport::Session session;
    session.when = QDateTime::currentDateTime();
    session.table = &table;
    session.tally = &tally;

    BenchReport::Written w = BenchReport::write(csv, session);
    QCOMPARE(w.why, QString());
    QCOMPARE(w.changed, QStringList({csv, txt}));
    QFile first(csv);
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray csvBefore = first.readAll();
    first.close();
    QVERIFY(csvBefore.startsWith("\xEF\xBB\xBF" "N°;"));

    ScanRow row;
    row.number = 1;
    row.data = "4006381333931";
    std::deque<ScanRow> rows;
    rows.push_back(row);
    table.append(std::move(rows));
    QVERIFY(QFile::setPermissions(txt, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    w = BenchReport::write(csv, session);
    QCOMPARE(w.why, QStringLiteral("« ") + txt + QStringLiteral(" » : fichier en lecture seule ; aucun fichier modifié"));
    QCOMPARE(w.changed, QStringList());
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), csvBefore);
    first.close();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"rapport.csv", "rapport.txt"}));

    QVERIFY(QFile::setPermissions(txt, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                           | QFileDevice::WriteUser));
    w = BenchReport::write(csv, session);
    QCOMPARE(w.why, QString());
    QVERIFY(first.open(QIODevice::ReadOnly));
    QVERIFY(first.readAll().endsWith(";4006381333931;;34 30 30 36 33 38 31 33 33 33 39 33 31\r\n"));
}

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
