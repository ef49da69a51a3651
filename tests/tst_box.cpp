#include "BoxBytes.h"
#include "FakeWindow.h"
#include "FullDisk.h"
#include "PtyDevice.h"
#include "QtInFrench.h"
#include "ReceptionBox.h"
#include "ReceptionLine.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTest>

#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

const QDateTime Taken(QDate(2026, 12, 8), QTime(9, 15, 0, 123));

// A piece of `size` bytes whose start tells which piece it is.
QString piece(int index, qsizetype size)
{
    QString text = QStringLiteral("<%1>").arg(index, 4, 10, QLatin1Char('0'));
    while (text.size() < size)
        text += QChar(u'a' + char16_t(text.size() % 26));
    return text.left(size);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// "Enregistrer sous…" chosen from the box's menu, as by the keyboard: the
// dialog it opens, or null.
QFileDialog *openSaveDialog(ReceptionBox *box)
{
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(box, &event);
    QMenu *menu = box->findChild<QMenu *>();
    if (!menu)
        return nullptr;
    menu->findChild<QAction *>(QStringLiteral("saveAs"))->trigger();
    menu->close();
    return box->findChild<QFileDialog *>(QStringLiteral("saveDialog"));
}

} // namespace

class tst_Box : public QObject
{
    Q_OBJECT
private slots:
    void cap_data();
    void cap();
    void longPiecesInSlices();
    void operatorSelectionStays();
    void passWithLinesLeaving_data();
    void passWithLinesLeaving();
    void lineToolTip_data();
    void lineToolTip();
    void saveRoundTrip_data();
    void saveRoundTrip();
    void journalSurvivesUnplug_data();
    void journalSurvivesUnplug();
    void targets_data();
    void targets();
    void journalFileGone_data();
    void journalFileGone();
    void editsDuringSlices_data();
    void editsDuringSlices();
    void toolTipGoesWhenLinesMove();
    void standInsTinted();
    void saveProposesAName();
    void typedNames_data();
    void typedNames();
    void menuSavesAndClears();
};

void tst_Box::cap_data()
{
    QTest::addColumn<qsizetype>("cap");
    QTest::addColumn<qsizetype>("size");   // of each piece
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("kept");         // the newest pieces still shown

    // Each line takes its size and one character for its break.
    QTest::newRow("short lines") << qsizetype(1000) << qsizetype(99) << 50 << 9;
    QTest::newRow("lines in slices") << qsizetype(200'000) << qsizetype(70'000) << 6 << 2;
    QTest::newRow("nothing leaves under the cap") << qsizetype(10'000) << qsizetype(99) << 50 << 50;
}

// The oldest whole lines leave, in order, and the count of those that left
// is said in the status line.
void tst_Box::cap()
{
    QFETCH(qsizetype, cap);
    QFETCH(qsizetype, size);
    QFETCH(int, pieces);
    QFETCH(int, kept);

    FakeWindow b;
    b.w.Text1->setCap(cap);
    QString expected;
    for (int i = 0; i < pieces; ++i) {
        b.w.Text1->append(piece(i, size));
        if (i >= pieces - kept)
            expected += piece(i, size) + QStringLiteral("\r\n");
    }
    b.w.Text1->finishAppends();
    QCOMPARE(b.w.receptionText(), expected);
    QVERIFY(b.w.Text1->document()->characterCount() <= cap);
    QCOMPARE(b.w.Text1->linesLeft(), qint64(pieces - kept));
    if (pieces > kept)
        QVERIFY2(b.w.statusText().contains(QString::number(pieces - kept) + QStringLiteral(" lignes sont sorties")),
                 qPrintable(b.w.statusText()));
    else
        QVERIFY(!b.w.statusText().contains(QStringLiteral("sorties")));
}

// A long piece goes in by slices between event passes, in order, with what
// comes meanwhile after it; a piece longer than the box shows its end.
void tst_Box::longPiecesInSlices()
{
    FakeWindow b;
    ReceptionBox *box = b.w.Text1;
    box->setCap(300'000);
    const QString big = piece(1, 5 * ReceptionBox::SliceChars + 17);
    box->append(big);
    QVERIFY(box->appending());
    QVERIFY(box->document()->characterCount() <= ReceptionBox::SliceChars + 1); // one slice so far
    box->append(QStringLiteral("after"));
    QTRY_VERIFY(!box->appending());
    QCOMPARE(box->receptionText(), big + QStringLiteral("\r\nafter\r\n"));

    // A copy gives the piece as one line.
    box->selectAll();
    box->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), big + QStringLiteral("\nafter\n"));

    // Longer than the box: its end only, and the tooltip counts every byte.
    const QString huge = piece(2, 400'000);
    box->append(huge);
    box->finishAppends();
    const QString text = box->receptionText();
    QVERIFY(text.endsWith(huge.right(290'000) + QStringLiteral("\r\n")));
    QVERIFY(!text.contains(QStringLiteral("<0002>"))); // its start left at once
    QVERIFY(box->document()->characterCount() <= box->cap());
    const int last = box->document()->blockCount() - 2;
    QVERIFY2(box->lineToolTip(last).contains(QStringLiteral("400000 octets")), qPrintable(box->lineToolTip(last)));
}

// The operator edits the box while a long piece goes in by slices: the rest
// of the piece never joins the operator's text, and what the box gives
// (its text, a save) keeps the piece on a line of its own.
void tst_Box::editsDuringSlices_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("expected"); // %1 the piece's end, from its second slice on

    QTest::newRow("all deleted, a note typed") << "delete-type" << "note\r\n%1\r\n";
    QTest::newRow("a note typed on a new line") << "newline-type" << "%0\r\nnote\r\n%1\r\n";
}

void tst_Box::editsDuringSlices()
{
    QFETCH(QString, edit);
    QFETCH(QString, expected);
    FakeWindow b;
    ReceptionBox *box = b.w.Text1;
    const QString big = piece(4, 3 * ReceptionBox::SliceChars + 5);
    box->append(big);
    QVERIFY(box->appending()); // its first slice is in
    QTextCursor c = box->textCursor();
    if (edit == QLatin1String("delete-type")) {
        c.select(QTextCursor::Document);
        c.removeSelectedText();
    } else {
        c.movePosition(QTextCursor::End);
        c.insertBlock();
    }
    c.insertText(QStringLiteral("note"));
    box->finishAppends();

    const QString rest = big.mid(ReceptionBox::SliceChars);
    QCOMPARE(box->receptionText(),
             QString(expected).replace(QStringLiteral("%0"), big.left(ReceptionBox::SliceChars))
                 .replace(QStringLiteral("%1"), rest));
    QTemporaryDir dir;
    QCOMPARE(box->save(dir.filePath(QStringLiteral("r.bin")), ReceptionJournal::Format::Raw), QString());
    // The bytes saved are those received, whatever was edited on screen.
    QCOMPARE(readFile(dir.filePath(QStringLiteral("r.bin"))), big.toLatin1());
}

// Text that comes moves neither the operator's selection nor the caret.
void tst_Box::operatorSelectionStays()
{
    FakeWindow b;
    ReceptionBox *box = b.w.Text1;
    box->append(QStringLiteral("first"));
    box->selectAll();
    box->append(QStringLiteral("second"));
    box->append(piece(3, 3 * ReceptionBox::SliceChars));
    box->finishAppends();
    QCOMPARE(box->textCursor().selectionStart(), 0);
    QCOMPARE(box->textCursor().selectionEnd(), 6); // "first" and its break

    // A caret placed in the text stays on its character.
    QTextCursor caret = box->textCursor();
    caret.setPosition(8);
    box->setTextCursor(caret);
    box->append(QStringLiteral("third"));
    QCOMPARE(box->textCursor().position(), 8);
    QVERIFY(!box->textCursor().hasSelection());
}

// Slices go in by passes of several at once, and at the cap the oldest
// lines leave in the middle of a pass: the operator's caret or selection
// still marks the same text, a caret left at the end stays where it was
// (text that comes never carries it along), and the box holds the newest
// lines whole, in order.
void tst_Box::passWithLinesLeaving_data()
{
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("marked"); // the selected text afterwards; "end" for a caret at the end

    QTest::newRow("caret at the end") << "end" << "end";
    QTest::newRow("a line that stays, selected") << "line 3" << piece(3, 400);
}

void tst_Box::passWithLinesLeaving()
{
    QFETCH(QString, mark);
    QFETCH(QString, marked);
    FakeWindow b;
    ReceptionBox *box = b.w.Text1;
    const qsizetype slice = ReceptionBox::SliceChars;
    // Lines of 400 take 401 characters; a piece of three slices takes two
    // more between them. After both pieces the box would hold 18,011: at
    // 17,000, lines 0 to 2 (1,203) must leave, line 3 stays.
    box->setCap(17'000);
    for (int i = 0; i < 4; ++i)
        box->append(piece(i, 400));
    QTextCursor c = box->textCursor();
    if (mark == QLatin1String("end")) {
        c.movePosition(QTextCursor::End);
    } else {
        c.setPosition(3 * 401);
        c.setPosition(3 * 401 + 400, QTextCursor::KeepAnchor);
    }
    box->setTextCursor(c);
    QCOMPARE(marked == QLatin1String("end") ? marked : box->textCursor().selectedText(), marked);

    // Two pieces of several slices each: the first fits beside the short
    // lines, the second makes lines 0 to 2 leave halfway through.
    const QString big1 = piece(10, 2 * slice + 7);
    const QString big2 = piece(11, 2 * slice + 9);
    box->append(big1);
    box->append(big2);
    box->finishAppends();

    QCOMPARE(box->receptionText(), piece(3, 400) + QStringLiteral("\r\n") + big1 + QStringLiteral("\r\n") + big2
                                       + QStringLiteral("\r\n"));
    QCOMPARE(box->linesLeft(), qint64(3));
    if (mark == QLatin1String("end"))
        QCOMPARE(box->textCursor().position(), 401); // where it was: after line 3, before what came
    else
        QCOMPARE(box->textCursor().selectedText(), marked);
}

void tst_Box::lineToolTip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("tip");
    QTest::newRow("a trigger") << QByteArray("\x1bS7\r") << QStringLiteral("Reçu le 08/12/2026 à 09:15:00,123 — 4 octets\n1B 53 37 0D");
    QTest::newRow("one byte") << QByteArray("\xff") << QStringLiteral("Reçu le 08/12/2026 à 09:15:00,123 — 1 octet\nFF");
    QByteArray hundred(100, '\x41');
    QTest::newRow("100 bytes") << hundred
                               << QStringLiteral("Reçu le 08/12/2026 à 09:15:00,123 — 100 octets\n")
            + QString::fromLatin1(QByteArray(64, 'A').toHex(' ').toUpper()) + QStringLiteral(" …");
}

// The line's time and bytes are kept with it; a typed line has none.
void tst_Box::lineToolTip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, tip);
    FakeWindow b;
    b.w.Text1->setNow([] { return Taken; });
    b.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.w));
    b.w.openPort();
    b.show(bytes);
    QCOMPARE(b.w.Text1->lineToolTip(0), tip);

    // Hovering the line shows it; so does Ctrl+I on the caret's line.
    QWidget *viewport = b.w.Text1->viewport();
    const QPoint onLine = b.w.Text1->cursorRect(QTextCursor(b.w.Text1->document())).center();
    QHelpEvent hover(QEvent::ToolTip, onLine, viewport->mapToGlobal(onLine));
    QApplication::sendEvent(viewport, &hover);
    QTRY_COMPARE(QToolTip::text(), tip);
    QToolTip::hideText();
    QTRY_VERIFY(QToolTip::text().isEmpty());
    b.w.Text1->setFocus();
    b.w.Text1->moveCursor(QTextCursor::Start);
    QTest::keyClick(b.w.Text1, Qt::Key_I, Qt::ControlModifier);
    QTRY_COMPARE(QToolTip::text(), tip);
    QToolTip::hideText();

    b.w.Text1->moveCursor(QTextCursor::End);
    QTest::keyClicks(b.w.Text1, QStringLiteral("note"));
    QCOMPARE(b.w.Text1->lineToolTip(1), QString());
}

// The Windows-1252 stand-ins of 0x80-0x9F ("…" for 0x85) carry a tint of
// their own, so that they never read as text; control pictures keep theirs,
// plain text has none.
void tst_Box::standInsTinted()
{
    FakeWindow b;
    b.w.openPort();
    b.show(QByteArray("a\x85\x80") + "b\r");
    const QTextBlock line = b.w.Text1->document()->firstBlock();
    QCOMPARE(line.text(), QStringLiteral("a\u2026\u20ACb\u240D"));
    auto backgroundAt = [&line](int pos) {
        for (const QTextLayout::FormatRange &r : line.layout()->formats())
            if (pos >= r.start && pos < r.start + r.length)
                return r.format.background().color().name();
        return QStringLiteral("none");
    };
    QCOMPARE(backgroundAt(0), QStringLiteral("none"));
    QCOMPARE(backgroundAt(1), QStringLiteral("#d8ecff"));
    QCOMPARE(backgroundAt(2), QStringLiteral("#d8ecff"));
    QCOMPARE(backgroundAt(3), QStringLiteral("none"));
    QCOMPARE(backgroundAt(4), QStringLiteral("#ffe8b0"));
}

// The save dialog lists both forms' files and proposes a dated name.
void tst_Box::saveProposesAName()
{
    FakeWindow b;
    b.w.Text1->setNow([] { return Taken; });
    b.w.openPort();
    b.show("AAA");
    QFileDialog *dialog = openSaveDialog(b.w.Text1);
    QVERIFY(dialog);
    QCOMPARE(dialog->nameFilters(), QStringList({QStringLiteral("Réceptions (*.txt *.bin)"),
                                                 QStringLiteral("Texte horodaté (*.txt)"),
                                                 QStringLiteral("Octets reçus (*.bin)")}));
    QVERIFY2(dialog->selectedFiles().value(0).endsWith(QStringLiteral("/vantrel-20261208-091500.txt")),
             qPrintable(dialog->selectedFiles().value(0)));
    dialog->reject();
}

// A line's tooltip goes as soon as the lines under it scroll away: it would
// name another line. "Arrêter le journal" says which file and how large.
void tst_Box::toolTipGoesWhenLinesMove()
{
    FakeWindow b;
    b.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.w));
    b.w.openPort();
    for (int i = 0; i < 40; ++i)
        b.show(QByteArray("line ") + QByteArray::number(i));
    b.w.Text1->setFocus();
    b.w.Text1->moveCursor(QTextCursor::End);
    b.w.Text1->moveCursor(QTextCursor::Up);
    QTest::keyClick(b.w.Text1, Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(!QToolTip::text().isEmpty());
    b.show("the next scan");
    QTRY_VERIFY(QToolTip::text().isEmpty());

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("j.bin"));
    QVERIFY(b.w.Text1->startJournal(file));
    b.show("ABCD");
    b.w.Text1->stopJournal();
    QCOMPARE(b.w.statusText().section(u'\n', 1), QStringLiteral("Journal arrêté : ") + file + QStringLiteral(" (4 octets)."));
}

void tst_Box::saveRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("raw bytes") << "capture.bin";
    QTest::newRow("text with times") << "capture.txt";
}

// Both forms give back the bytes received, line by line; a typed line is
// kept in the text and left out of the bytes.
void tst_Box::saveRoundTrip()
{
    QFETCH(QString, name);
    FakeWindow b;
    b.w.Text1->setNow([] { return Taken; });
    b.w.openPort();
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QList<QByteArray> pieces = {all, QByteArray("4006381333931\r"),
                                      QByteArray(3 * ReceptionBox::SliceChars, '\x1b')};
    for (const QByteArray &p : pieces)
        b.show(p);
    b.w.Text1->finishAppends();
    b.w.Text1->moveCursor(QTextCursor::End);
    QTest::keyClicks(b.w.Text1, QStringLiteral("note"));

    QTemporaryDir dir;
    const QString file = dir.filePath(name);
    QCOMPARE(b.w.Text1->save(file, ReceptionJournal::formatFor(file)), QString());
    const QByteArray saved = readFile(file);
    if (name.endsWith(QLatin1String(".bin"))) {
        QCOMPARE(saved, pieces.join());
        return;
    }
    const QList<QByteArray> lines = saved.split('\n');
    QCOMPARE(lines.size(), pieces.size() + 2); // the typed line, then the end
    for (int i = 0; i < pieces.size(); ++i) {
        QVERIFY(lines[i].startsWith("2026-12-08 09:15:00.123 "));
        QCOMPARE(bytesOfShownText(QString::fromUtf8(lines[i].mid(24))).value_or("<not shown text>"), pieces[i]);
    }
    QCOMPARE(lines[pieces.size()], QByteArray("note"));
}

void tst_Box::journalSurvivesUnplug_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("raw bytes") << "journal.bin";
    QTest::newRow("text with times") << "journal.txt";
}

// Every piece taken is in the journal as soon as it is shown, also the last
// bytes of a device pulled in the middle of a wait.
void tst_Box::journalSurvivesUnplug()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString file = dir.filePath(name);
    auto pty = std::make_unique<PtyDevice>();
    qputenv("VANTREL_COM1", pty->path().toLocal8Bit());
    frmVantrel w;
    QVERIFY(w.Text1->startJournal(file));
    QVERIFY(w.statusText().contains(QStringLiteral("journal : ") + file));
    QTRY_VERIFY(w.MSComm1->PortOpen());
    pty->write("ABCDEF");
    QTRY_COMPARE(w.receptionText(), QStringLiteral("ABCDEF\r\n"));
    pty->write(QByteArray("\x02" "XY", 3)); // fewer than 6: the tick still waits
    QTRY_COMPARE(w.MSComm1->InBufferCount(), 3);
    pty->unplug();
    QTRY_COMPARE(w.receptionText(), QStringLiteral("ABCDEF\r\n\u2402XY\r\n"));
    const QByteArray journal = readFile(file);
    if (name.endsWith(QLatin1String(".bin"))) {
        QCOMPARE(journal, QByteArray("ABCDEF\x02XY"));
    } else {
        const QList<QByteArray> lines = journal.split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0].mid(24), QByteArray("ABCDEF"));
        QCOMPARE(lines[1].mid(24), QStringLiteral("\u2402XY").toUtf8());
    }
}

namespace {

// What stands at a path: "file:<content>", "fifo", "char", "folder", "none".
QString onDisk(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("none");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("fifo");
    if (S_ISCHR(st.st_mode))
        return QStringLiteral("char");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("folder");
    return QStringLiteral("file:") + QString::fromLatin1(readFile(path));
}

} // namespace

// Save and journal on every kind of target: what the status line says and
// what is on disk before and after. Nothing but a regular file is written,
// and a save that cannot finish leaves the old file whole.
void tst_Box::targets_data()
{
    QTest::addColumn<QString>("target");   // what stands at the name
    QTest::addColumn<bool>("journal");     // a journal, else a save
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("said");     // in the status line, or the save's reason
    QTest::addColumn<QString>("after");

    QTest::newRow("save, regular file") << "file" << false << "file:OLD" << "" << "file:AAA\r";
    QTest::newRow("save, full disk") << "full" << false << "file:OLD" << "disque plein" << "file:OLD";
    QTest::newRow("save, FIFO") << "fifo" << false << "fifo" << "c'est un tube (FIFO), pas un fichier ordinaire" << "fifo";
    QTest::newRow("save, device node") << "device" << false << "char" << "c'est un périphérique, pas un fichier ordinaire"
                                       << "char";
    QTest::newRow("save, folder") << "folder" << false << "folder" << "c'est un dossier" << "folder";
    QTest::newRow("journal, regular file") << "file" << true << "file:OLD" << "— journal : %1" << "file:OLDBBB\r";
    // A new file on the full disk: its name fits, its first byte does not.
    QTest::newRow("journal, full disk") << "full" << true << "none" << "Journal arrêté : %1 (disque plein)"
                                        << "file:";
    QTest::newRow("journal, FIFO") << "fifo" << true << "fifo"
                                   << "Journal impossible dans %1 (c'est un tube (FIFO), pas un fichier ordinaire)"
                                   << "fifo";
    QTest::newRow("journal, device node") << "device" << true << "char"
                                          << "Journal impossible dans %1 (c'est un périphérique, pas un fichier ordinaire)"
                                          << "char";
    QTest::newRow("journal, folder") << "folder" << true << "folder" << "Journal impossible dans %1 (c'est un dossier)"
                                     << "folder";
}

void tst_Box::targets()
{
    QFETCH(QString, target);
    QFETCH(bool, journal);
    QFETCH(QString, before);
    QFETCH(QString, said);
    QFETCH(QString, after);

    QTemporaryDir dir;
    PtyDevice pty; // a device node of our own
    std::unique_ptr<FullDisk> full;
    QString path = dir.filePath(QStringLiteral("x.bin"));
    if (target == QLatin1String("file")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("OLD");
    } else if (target == QLatin1String("full")) {
        full = std::make_unique<FullDisk>(dir.path());
        if (full->path().isEmpty())
            QSKIP("a small disk cannot be mounted here (root only)");
        path = full->path() + (journal ? QStringLiteral("/new.bin") : QStringLiteral("/x.bin"));
    } else if (target == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else if (target == QLatin1String("device")) {
        path = pty.path();
    } else {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x.bin")));
    }
    QCOMPARE(onDisk(path), before);
    said.replace(QStringLiteral("%1"), path);

    FakeWindow b;
    b.w.openPort();
    b.show("AAA\r");
    if (journal) {
        b.w.Text1->startJournal(path);
        b.show("BBB\r");
        QVERIFY2(b.w.statusText().contains(said), qPrintable(b.w.statusText()));
    } else {
        QCOMPARE(b.w.Text1->save(path, ReceptionJournal::Format::Raw), said);
    }
    b.show("CCC\r"); // reception goes on
    QVERIFY(b.w.receptionText().endsWith(QStringLiteral("CCC\u240D\r\n")));
    b.w.Text1->stopJournal();
    if (target == QLatin1String("file") && journal)
        after += QStringLiteral("CCC\r");
    QCOMPARE(onDisk(path), after);
}

// The journal's file deleted, or moved away by log rotation, while the
// journal runs: the next piece goes into a new file at the name, and the
// status line says so; nothing goes on into a file nobody sees.
void tst_Box::journalFileGone_data()
{
    QTest::addColumn<bool>("rotated"); // moved to x.bin.1, else deleted
    QTest::newRow("deleted") << false;
    QTest::newRow("rotated") << true;
}

void tst_Box::journalFileGone()
{
    QFETCH(bool, rotated);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.bin"));
    FakeWindow b;
    b.w.openPort();
    QVERIFY(b.w.Text1->startJournal(path));
    b.show("AAA\r");
    if (rotated)
        QVERIFY(QFile::rename(path, path + QStringLiteral(".1")));
    else
        QVERIFY(QFile::remove(path));
    b.show("BBB\r");
    QCOMPARE(b.w.statusText(), QStringLiteral("COM1 ouvert (/dev/fake1) — journal : ") + path
                                   + QStringLiteral("\nLe fichier du journal ") + path
                                   + QStringLiteral(" a été supprimé ou remplacé : le journal continue dans un nouveau "
                                                    "fichier à ce nom."));
    b.show("CCC\r");
    QVERIFY(b.w.Text1->journal().running());
    QCOMPARE(onDisk(path), QStringLiteral("file:BBB\rCCC\r"));
    QCOMPARE(onDisk(path + QStringLiteral(".1")), rotated ? QStringLiteral("file:AAA\r") : QStringLiteral("none"));
}

// The menu keeps Qt's entries; the file dialog opens without a loop of its
// own (the click returns at once) and saves in the form of the filter chosen.
void tst_Box::menuSavesAndClears()
{
    useFrenchForQt(); // as the program does
    FakeWindow b;
    b.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.w));
    b.w.openPort();
    b.show("\x1bS7\r");
    auto openMenu = [&] {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), b.w.Text1->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(b.w.Text1, &event);
        return b.w.Text1->findChild<QMenu *>();
    };
    QMenu *menu = openMenu();
    QVERIFY(menu && menu->isVisible());
    QVERIFY(menu->findChild<QAction *>(QStringLiteral("edit-copy")));
    if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_fr.qm")))
        QVERIFY(menu->findChild<QAction *>(QStringLiteral("edit-copy"))->text().startsWith(QStringLiteral("Cop&ier")));
    QVERIFY(menu->findChild<QAction *>(QStringLiteral("select-all")));
    QCOMPARE(menu->findChild<QAction *>(QStringLiteral("saveAs"))->text(), QStringLiteral("Enregistrer sous…"));
    QCOMPARE(menu->findChild<QAction *>(QStringLiteral("journal"))->text(), QStringLiteral("Journal…"));
    menu->findChild<QAction *>(QStringLiteral("saveAs"))->trigger();
    menu->close();

    auto *dialog = b.w.Text1->findChild<QFileDialog *>(QStringLiteral("saveDialog"));
    QVERIFY(dialog && dialog->isVisible());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("capture"));
    dialog->selectNameFilter(QStringLiteral("Octets reçus (*.bin)"));
    dialog->selectFile(file);
    QMetaObject::invokeMethod(dialog, "accept");
    QTRY_VERIFY(b.w.statusText().contains(QStringLiteral("Réception enregistrée dans ")));
    const QString saved = b.w.statusText().section(QStringLiteral("enregistrée dans "), 1).chopped(1);
    QCOMPARE(readFile(saved), QByteArray("\x1bS7\r"));

    QTRY_VERIFY(!b.w.Text1->findChild<QMenu *>()); // the first menu is gone
    menu = openMenu();
    QVERIFY(menu);
    menu->findChild<QAction *>(QStringLiteral("clear"))->trigger();
    QCOMPARE(b.w.receptionText(), QString());
    menu->close();
}

// A name typed without an extension in the save dialog: the filter's
// extension is added only where nothing stands at the name typed, and a file
// that the dialog did not ask about is not replaced without a question.
void tst_Box::typedNames_data()
{
    QTest::addColumn<QString>("present"); // what stands in the folder first: "pipe" (a FIFO), "notes.txt"
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("status");  // after the dialog, %1 the folder
    QTest::addColumn<QString>("listing"); // the folder afterwards

    QTest::newRow("nothing there") << "" << "capture" << "Réception enregistrée dans %1/capture.txt."
                                   << "capture.txt";
    QTest::newRow("a FIFO at the name") << "pipe" << "pipe"
                                        << "Enregistrement impossible dans %1/pipe (c'est un tube (FIFO), pas un "
                                           "fichier ordinaire). Choisissez un autre fichier."
                                        << "pipe";
    QTest::newRow("the extension's file exists: asked, kept") << "notes.txt" << "notes" << "" << "notes.txt";
}

void tst_Box::typedNames()
{
    QFETCH(QString, present);
    QFETCH(QString, typed);
    QFETCH(QString, status);
    QFETCH(QString, listing);

    QTemporaryDir dir;
    if (present == QLatin1String("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(present)).constData(), 0644), 0);
    else if (!present.isEmpty()) {
        QFile f(dir.filePath(present));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KEEP");
    }
    FakeWindow b;
    b.w.openPort();
    b.show("AAA\r");
    QFileDialog *dialog = openSaveDialog(b.w.Text1);
    QVERIFY(dialog);
    dialog->selectFile(dir.filePath(typed));
    QMetaObject::invokeMethod(dialog, "accept");

    auto *question = b.w.Text1->findChild<QMessageBox *>(QStringLiteral("confirmSave"));
    if (status.isEmpty()) {
        QVERIFY(question && question->isVisible());
        QCOMPARE(question->text(), QStringLiteral("« ") + dir.filePath(present)
                                       + QStringLiteral(" » existe déjà. Voulez-vous le remplacer ?"));
        question->button(QMessageBox::No)->click();
        QCOMPARE(readFile(dir.filePath(present)), QByteArray("KEEP"));
    } else {
        QVERIFY(!question);
        QTRY_COMPARE(b.w.statusText().section(u'\n', 1), status.arg(dir.path()));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).join(u' '), listing);
}

QTEST_MAIN(tst_Box)
#include "tst_box.moc"
