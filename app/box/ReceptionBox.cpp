#include "ReceptionBox.h"

#include "ControlPictures.h"
#include "NonPrintingHighlighter.h"
#include "ReceptionLine.h"
#include "TargetFile.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QWheelEvent>
#include <QFileDialog>
#include <QHelpEvent>
#include <QMenu>
#include <QMessageBox>
#include <QFileInfo>
#include <QMimeData>
#include <QSaveFile>

#include <cerrno>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QToolTip>

#include <algorithm>

namespace {

ReceptionLine *lineOf(const QTextBlock &block)
{
    return dynamic_cast<ReceptionLine *>(block.userData());
}

} // namespace

ReceptionBox::ReceptionBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Received data often has no spaces; word wrapping would lay it out in
    // quadratic time, so long lines break anywhere.
    setWordWrapMode(QTextOption::WrapAnywhere);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false); // the log only grows; no undo history to keep

    // A serial monitor's font: monospace, at a reading size. DejaVu Sans
    // Mono lacks the control pictures; Unifont draws them as upright
    // abbreviations (CR, LF, ESC) that read at this size, where the system's
    // fallback would draw them a few pixels tall.
    QFont mono;
    mono.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Unifont")});
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(DefaultTextSize);
    setFont(mono);
    m_highlighter = new NonPrintingHighlighter(document(), mono);

    // The text's size: Ctrl+plus (or Ctrl+=), Ctrl+minus, Ctrl+0 for the
    // default, anywhere in the window (and Ctrl+wheel over the box).
    for (const QKeySequence &keys : {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { setTextSize(textSize() + 1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus), this), &QShortcut::activated, this,
            [this] { setTextSize(textSize() - 1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_0), this), &QShortcut::activated, this,
            [this] { setTextSize(DefaultTextSize); });

    m_slices.setSingleShot(true);
    m_slices.setInterval(0);
    connect(&m_slices, &QTimer::timeout, this, [this] {
        QElapsedTimer took;
        took.start();
        pass(m_stepsPerPass);
        adaptSteps(took.nsecsElapsed());
        if (!m_queue.empty())
            m_slices.start();
    });

    auto *info = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), this);
    info->setContext(Qt::WidgetShortcut);
    connect(info, &QShortcut::activated, this, &ReceptionBox::showLineToolTip);
}

ReceptionBox::~ReceptionBox()
{
    // What was taken and not yet shown still goes to the journal.
    for (Piece &p : m_queue) {
        if (!m_journal.running())
            break;
        if (!p.begun)
            m_journal.beginPiece(p.taken);
        const QStringView rest = QStringView(p.received).mid(p.next);
        m_journal.writePart(rest, shownText(rest));
        m_journal.endPiece();
    }
}

void ReceptionBox::append(const QString &received)
{
    Piece p;
    p.id = ++m_pieces;
    p.received = received;
    p.length = received.size();
    p.taken = m_now();
    p.head = QStringView(received).left(ReceptionLine::HeadBytes).toLatin1();
    m_queue.push_back(std::move(p));
    planShown();
    if (m_queue.size() == 1)
        pass(1); // a short piece goes in whole now; a long one starts now
    if (!m_queue.empty() && !m_slices.isActive())
        m_slices.start();
}

// What each waiting piece will show: the newest pieces the cap can hold
// (the newest one its end, when it alone is longer), since the others would
// leave the box as soon as they came. Without a journal, a piece that will show nothing
// leaves at once, with its memory.
void ReceptionBox::planShown()
{
    qsizetype later = 0;
    for (auto it = m_queue.rbegin(); it != m_queue.rend(); ++it) {
        if (it->shown)
            break; // showing already: it goes on whole, and leaves whole later
        // A shown piece takes a line break for each slice and one after it.
        qsizetype room = m_cap - later;
        room = qMax<qsizetype>(room - room / SliceChars - 2, 0);
        // The newest piece shows its end when it is longer than the box;
        // an older one shows whole or not at all.
        const qsizetype from = it == m_queue.rbegin() || it->received.size() <= room ? it->received.size() - room
                                                                                      : it->received.size();
        it->shownFrom = qMax(it->shownFrom, from);
        const qsizetype shown = it->received.size() - it->shownFrom;
        later += shown + shown / SliceChars + 2;
    }
    if (m_journal.running())
        return;
    const auto gone = std::remove_if(m_queue.begin(), m_queue.end(), [](const Piece &p) {
        return !p.begun && !p.received.isEmpty() && p.shownFrom >= p.received.size();
    });
    const auto dropped = std::distance(gone, m_queue.end());
    if (dropped == 0)
        return;
    m_queue.erase(gone, m_queue.end());
    m_linesLeft += dropped;
    emit linesLeftView(m_linesLeft);
}

// The slices of a pass are counted so that the whole pass, the end of its
// edit included (the layout and the highlighter hear of it then, and that
// costs more than the inserts), stays within SliceBudgetMs: fewer after a
// pass that took too long, more after one that took less than half.
void ReceptionBox::adaptSteps(qint64 tookNs)
{
    constexpr qint64 budgetNs = qint64(SliceBudgetMs) * 1'000'000;
    if (tookNs > budgetNs)
        m_stepsPerPass = qMax(1, int(qint64(m_stepsPerPass) * budgetNs / tookNs));
    else if (tookNs < budgetNs / 2)
        m_stepsPerPass = qMin(m_stepsPerPass * 2, MaxStepsPerPass);
}

void ReceptionBox::finishAppends()
{
    m_slices.stop();
    while (!m_queue.empty())
        pass(0);
}

// Steps as one edit of the box: at most `steps` of them and no more than
// SliceBudgetMs allows, or with 0 as many as it allows. The view and the highlighter hear of the edit
// once, and no cursor is placed (which would lay out the block it is in)
// until it is done: laying out text costs far more than inserting it, and
// only the end the view shows needs it. Lines that leave for room go in
// edits of their own, so that the highlighter never goes over the lines
// that stay. The operator's caret and selection stay where they were; the
// view follows the end unless scrolled up.
void ReceptionBox::pass(int steps)
{
    QTextDocument *doc = document();
    QScrollBar *bar = verticalScrollBar();
    const bool follow = bar->value() >= bar->maximum();
    const int oldValue = bar->value();
    // Text inserted at the end would otherwise carry along an end of the
    // selection that sits there.
    const QTextCursor view = textCursor();
    const int end = doc->characterCount() - 1;
    const bool anchorAtEnd = view.anchor() >= end;
    const bool caretAtEnd = view.position() >= end;
    int removed = 0;

    QElapsedTimer budget;
    budget.start();
    QTextCursor edit(doc);
    edit.beginEditBlock();
    int done = 0;
    do {
        step(edit, removed);
        ++done;
    } while (!m_queue.empty() && budget.elapsed() < SliceBudgetMs && (steps == 0 || done < steps));
    edit.endEditBlock();

    if (anchorAtEnd || caretAtEnd) {
        const int last = doc->characterCount() - 1;
        QTextCursor back(doc);
        back.setPosition(qBound(0, anchorAtEnd ? end - removed : view.anchor(), last));
        back.setPosition(qBound(0, caretAtEnd ? end - removed : view.position(), last), QTextCursor::KeepAnchor);
        setTextCursor(back);
    }
    bar->setValue(follow ? bar->maximum() : qMin(oldValue, bar->maximum()));
    if (removed > 0 || bar->value() != oldValue)
        hideLineToolTip();
}

// One step of the oldest waiting piece: a slice to the journal and into the
// box as a block of its own, or, for the start of a piece that the box will
// not show, a larger part to the journal alone.
void ReceptionBox::step(QTextCursor &c, int &removed)
{
    if (m_queue.empty())
        return;
    Piece &p = m_queue.front();
    if (!p.begun) {
        p.begun = true;
        journalWrote(m_journal.beginPiece(p.taken));
    }

    if (p.next < p.shownFrom) {
        if (m_journal.running()) {
            const qsizetype n = qMin(JournalChars, p.shownFrom - p.next);
            const QStringView part = QStringView(p.received).mid(p.next, n);
            const bool text = m_journal.format() == ReceptionJournal::Format::Text;
            journalWrote(m_journal.writePart(part, text ? shownText(part) : QString()));
            p.next += n;
        } else {
            p.next = p.shownFrom;
        }
        if (p.next == p.shownFrom && p.next > 0) {
            // Only the shown end is kept from here on.
            p.received = p.received.mid(p.next);
            p.shownFrom = 0;
            p.next = 0;
        }
        if (!p.received.isEmpty() || p.shown)
            return;
    }

    QTextDocument *doc = document();
    if (p.next < p.received.size() || (!p.shown && p.length == 0)) {
        const qsizetype n = qMin(SliceChars, p.received.size() - p.next);
        const QStringView part = QStringView(p.received).mid(p.next, n);
        const QString shown = shownText(part);
        journalWrote(m_journal.writePart(part, shown));

        if (doc->characterCount() + shown.size() + 1 > m_cap) {
            c.endEditBlock(); // the lines that leave, in an edit of their own
            const int before = doc->characterCount();
            makeRoom(shown.size() + 1);
            removed += before - doc->characterCount();
            c.beginEditBlock();
        }
        // setPosition(), not movePosition(): a move lays out the block it
        // starts from, which the edit has just changed.
        c.setPosition(doc->characterCount() - 1);
        // A piece starts at the end of whatever the box holds, the
        // operator's edits included. Its later slices go on its line only
        // right after its own last slice; after anything the operator left
        // there meanwhile, the rest starts a line of its own, never joining
        // that text.
        const ReceptionLine *last = lineOf(c.block());
        const bool continuation = p.shown && last && last->piece() == p.id
            && c.block().text() == shownText(QString::fromLatin1(last->bytes()));
        if (p.shown)
            c.insertBlock();
        auto *line = new ReceptionLine(p.taken, p.length, continuation, p.head, p.id);
        line->addBytes(QByteArrayView(part.toLatin1()));
        c.block().setUserData(line);
        p.shown = true;
        c.insertText(shown);
        p.next += n;
    }
    if (p.next >= p.received.size()) {
        if (p.shown) {
            c.setPosition(doc->characterCount() - 1);
            c.insertBlock(); // the line break after the piece
        } else {
            emit linesLeftView(++m_linesLeft); // nothing of it was to be shown
        }
        journalWrote(m_journal.endPiece());
        m_queue.pop_front();
    }

}

// A write that failed has stopped the journal: said once, reception goes on.
void ReceptionBox::journalWrote(bool ok)
{
    if (m_journal.takeReopened())
        emit journalReopened(m_journal.fileName());
    if (!ok)
        emit journalFailed(m_journal.fileName(), m_journal.failure());
}

// The first block of the piece being shown: back from the end, past what
// the operator may have typed after it, through its continuations.
QTextBlock ReceptionBox::shownStart() const
{
    const quint64 id = m_queue.front().id;
    QTextBlock b = document()->lastBlock();
    while (b.isValid() && !(lineOf(b) && lineOf(b)->piece() == id))
        b = b.previous();
    while (b.isValid() && lineOf(b) && lineOf(b)->piece() == id && lineOf(b)->isContinuation()
           && b.previous().isValid())
        b = b.previous();
    return b.isValid() ? b : document()->lastBlock();
}

// Removes the oldest whole lines (a piece with its continuations), in one
// edit, until `chars` more fit under the cap. The piece being shown stays.
void ReceptionBox::makeRoom(qsizetype chars)
{
    QTextDocument *doc = document();
    qsizetype excess = doc->characterCount() + chars - m_cap;
    if (excess <= 0)
        return;
    const QTextBlock keep = !m_queue.empty() && m_queue.front().shown ? shownStart() : doc->lastBlock();
    QTextBlock b = doc->firstBlock();
    qint64 lines = 0;
    while (b.isValid() && b != keep && b != doc->lastBlock()) {
        const ReceptionLine *line = lineOf(b);
        if (!line || !line->isContinuation()) {
            if (excess <= 0)
                break; // enough room, and the next line starts here
            ++lines;
        }
        excess -= b.length();
        b = b.next();
    }
    if (b.position() == 0)
        return;
    QTextCursor c(doc);
    c.beginEditBlock(); // no layout of the block the cursor lands in
    c.setPosition(b.position(), QTextCursor::KeepAnchor);
    c.removeSelectedText();
    c.endEditBlock();
    m_linesLeft += lines;
    emit linesLeftView(m_linesLeft);
}

QString ReceptionBox::receptionText() const
{
    QString out;
    out.reserve(document()->characterCount() + document()->blockCount());
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next()) {
        if (b != document()->firstBlock() && !isContinuation(b))
            out += QLatin1String("\r\n");
        out += b.text();
    }
    return out;
}

bool ReceptionBox::isContinuation(const QTextBlock &block)
{
    const ReceptionLine *line = lineOf(block);
    return line && line->isContinuation();
}

// A copy gives the lines as the box has them: a long piece's blocks are one line.
bool ReceptionBox::canInsertFromMimeData(const QMimeData *source) const
{
    return source && !source->formats().isEmpty() && QPlainTextEdit::canInsertFromMimeData(source);
}

void ReceptionBox::insertFromMimeData(const QMimeData *source)
{
    if (source && !source->formats().isEmpty())
        QPlainTextEdit::insertFromMimeData(source);
}

QMimeData *ReceptionBox::createMimeDataFromSelection() const
{
    const QTextCursor sel = textCursor();
    QTextBlock b = document()->findBlock(sel.selectionStart());
    QString text;
    while (b.isValid() && b.position() <= sel.selectionEnd()) {
        if (b.position() > sel.selectionStart() && !isContinuation(b))
            text += QLatin1Char('\n');
        const int from = qMax(sel.selectionStart() - b.position(), 0);
        const int to = qMin(sel.selectionEnd() - b.position(), b.length() - 1);
        if (to > from)
            text += b.text().mid(from, to - from);
        b = b.next();
    }
    auto *mime = new QMimeData;
    mime->setText(text);
    return mime;
}

bool ReceptionBox::startJournal(const QString &fileName)
{
    return startJournal(fileName, ReceptionJournal::formatFor(fileName));
}

bool ReceptionBox::startJournal(const QString &fileName, ReceptionJournal::Format format)
{
    const bool ok = m_journal.start(fileName, format);
    if (ok)
        emit journalChanged();
    else
        emit journalNotStarted(fileName, m_journal.failure());
    return ok;
}

void ReceptionBox::stopJournal()
{
    const QString file = m_journal.fileName();
    const bool was = m_journal.running();
    m_journal.stop();
    emit journalChanged();
    if (was)
        emit journalStopped(file, QFileInfo(file).size());
}

// Writes the box to a new file that takes the old one's place only once
// every byte is written: a save that cannot finish (a full disk, a removed
// medium) leaves the old file whole. Only a regular file is saved over.
QString ReceptionBox::save(const QString &fileName, ReceptionJournal::Format format) const
{
    QTextBlock b = document()->firstBlock();
    return TargetFile::save(fileName, [&]() -> std::optional<QByteArray> {
        for (; b.isValid(); b = b.next()) {
            const ReceptionLine *line = lineOf(b);
            QByteArray out;
            if (format == ReceptionJournal::Format::Raw) {
                if (!line)
                    continue; // typed by the operator: not received
                out = line->bytes();
            } else {
                if (!line && b == document()->lastBlock() && b.text().isEmpty())
                    return std::nullopt; // the empty line after the last break
                if (line && !line->isContinuation())
                    out = ReceptionLine::stamp(line->taken()).toUtf8() + ' ';
                out += b.text().toUtf8();
                if (!isContinuation(b.next()))
                    out += TargetFile::textLineEnd();
            }
            b = b.next();
            return out;
        }
        return std::nullopt;
    });
}

void ReceptionBox::clearBox()
{
    clear();
    // A piece half shown goes on from an empty line.
    if (!m_queue.empty())
        m_queue.front().shown = false;
}

QString ReceptionBox::lineToolTip(int blockNumber) const
{
    const ReceptionLine *line = lineOf(document()->findBlockByNumber(blockNumber));
    return line ? line->toolTip() : QString();
}

void ReceptionBox::setTextSize(int points)
{
    points = std::clamp(points, 6, 48);
    if (points == textSize())
        return;
    QFont f = font();
    f.setPointSize(points);
    setFont(f);
    m_highlighter->setTextFont(f);
    emit textSizeChanged(points);
}

void ReceptionBox::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0)
            setTextSize(textSize() + steps);
        event->accept();
        return;
    }
    QPlainTextEdit::wheelEvent(event);
}

bool ReceptionBox::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QTextCursor at = cursorForPosition(help->pos());
        const QRect lineRect = blockBoundingGeometry(at.block()).translated(contentOffset()).toRect();
        const QString tip = lineRect.contains(help->pos()) ? lineToolTip(at.blockNumber()) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport(), lineRect);
        m_tipShown = !tip.isEmpty();
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

void ReceptionBox::showLineToolTip()
{
    const QString tip = lineToolTip(textCursor().blockNumber());
    if (!tip.isEmpty()) {
        QToolTip::showText(viewport()->mapToGlobal(cursorRect().bottomLeft()), tip, viewport());
        m_tipShown = true;
    }
}

// A line's tooltip goes when the lines under it move: it would name another.
void ReceptionBox::hideLineToolTip()
{
    if (m_tipShown && QToolTip::isVisible())
        QToolTip::hideText();
    m_tipShown = false;
}

void ReceptionBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Enregistrer sous…"), this, [this] { openFileDialog(false); })
        ->setObjectName(QStringLiteral("saveAs"));
    if (m_journal.running())
        menu->addAction(QStringLiteral("Arrêter le journal"), this, &ReceptionBox::stopJournal)
            ->setObjectName(QStringLiteral("stopJournal"));
    else
        menu->addAction(QStringLiteral("Journal…"), this, [this] { openFileDialog(true); })
            ->setObjectName(QStringLiteral("journal"));
    menu->addAction(QStringLiteral("Effacer"), this, &ReceptionBox::clearBox)->setObjectName(QStringLiteral("clear"));
    menu->addSeparator();
    menu->addAction(QStringLiteral("Banc d'essai…"), QKeySequence(Qt::CTRL | Qt::Key_B), this,
                    &ReceptionBox::benchRequested)->setObjectName(QStringLiteral("bench"));
    menu->popup(event->globalPos());
}

// Asks, without a loop of its own, before a save replaces a file.
void ReceptionBox::confirmSave(const QString &file, ReceptionJournal::Format format)
{
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("Enregistrer la réception"),
                                QStringLiteral("« ") + file + QStringLiteral(" » existe déjà. Voulez-vous le remplacer ?"),
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("confirmSave"));
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, file, format](int answer) {
        if (answer == QMessageBox::Yes)
            emit saved(file, save(file, format));
    });
    box->open();
}

void ReceptionBox::openFileDialog(bool journal)
{
    const QString text = QStringLiteral("Texte horodaté (*.txt)");
    const QString raw = QStringLiteral("Octets reçus (*.bin)");
    auto *dialog = new QFileDialog(this, journal ? QStringLiteral("Journal de la réception")
                                                 : QStringLiteral("Enregistrer la réception"));
    dialog->setObjectName(journal ? QStringLiteral("journalDialog") : QStringLiteral("saveDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // Both forms' files are listed whatever the form chosen; a save
    // proposes a name of its own, dated.
    const QString both = QStringLiteral("Réceptions (*.txt *.bin)");
    dialog->setNameFilters({both, text, raw});
    if (!journal)
        dialog->selectFile(QStringLiteral("vantrel-") + m_now().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                           + QStringLiteral(".txt"));
    // The journal adds to the end; a save asks its own question
    // (confirmSave): the dialog's would run a loop of its own.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    connect(dialog, &QFileDialog::fileSelected, this, [this, dialog, journal, raw](const QString &typed) {
        // The form is the filter chosen; a name typed with .bin says the same.
        // A name typed without an extension gets the filter's, unless
        // something already stands at that name: that is the one meant.
        const bool rawChosen = dialog->selectedNameFilter() == raw;
        QString file = typed;
        if (QFileInfo(typed).suffix().isEmpty() && !QFileInfo::exists(typed) && !QFileInfo(typed).isSymLink())
            file += rawChosen ? QStringLiteral(".bin") : QStringLiteral(".txt");
        const ReceptionJournal::Format format = rawChosen ? ReceptionJournal::Format::Raw
                                                          : ReceptionJournal::formatFor(file);
        if (journal)
            startJournal(file, format);
        else if (QFileInfo(file).isFile())
            confirmSave(file, format);
        else
            emit saved(file, save(file, format));
    });
    dialog->open();
}
