#include "ScriptedImeBackend.h"

#include "app/fmMain.h"
#include "core/lookup/AddressComponent.h"
#include "core/grid/CellText.h"
#include "core/env/Cp932.h"
#include "core/table/CsvReader.h"
#include "widgets/table/FileCommands.h"
#include "core/table/CellBlock.h"
#include "core/table/SortRules.h"
#include "harness/MainWindow.h"
#include "harness/WidgetTestMain.h"
#include "support/ScriptedDesktop.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"
#include "widgets/map/MapCommands.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTimer>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <array>
#include <memory>
#include <random>

using namespace Qt::StringLiterals;

// Random sequences of what a person does with the table, applied to the real
// window through its grid and menus and to a plain model of what should
// happen; after every step the two must agree. A failing sequence is shrunk
// to a short one and printed with the seed that replays it
// (KOTOVEN_MODEL_SEED); KOTOVEN_MODEL_STEPS sets how many steps run.
namespace {

const QString Space = u"\u3000"_s;
const QString LookupZip = u"100-0005"_s;
const QString LookupAddress = u"東京都千代田区丸の内"_s;

enum class Kind {
    Type, Key, Click, Block, Edit, Lookup, SaveReopen, Capture, Undo, Redo, Cut, Clear, Paste, Sort,
    // The file commands' seams: a plain save, an open of the file, the close
    // question answered キャンセル, another program writing the file, and the
    // window activated again. `b` 1: a link is copied while the first
    // question is open, 2: while the command's progress runs.
    Save, Open, Close, External, Activate
};

struct Action
{
    Kind kind;
    int a = 0; // key, row, menu item
    int b = 0; // column, block end, lookup taken
    QString text = {};
};

QString captureWhen(int b)
{
    return b == 1 ? u"during the question"_s : b == 2 ? u"during the progress"_s : u"never"_s;
}

QString describe(const Action &s)
{
    switch (s.kind) {
    case Kind::Type: return u"type \"%1\" and %2"_s.arg(s.text, s.a ? u"Tab"_s : u"Enter"_s);
    case Kind::Key: return u"key %1"_s.arg(s.a == Qt::Key_Up ? u"Up"_s : s.a == Qt::Key_Down ? u"Down"_s
                                           : s.a == Qt::Key_Left ? u"Left"_s : s.a == Qt::Key_Right ? u"Right"_s : u"Enter"_s);
    case Kind::Click: return u"click cell (col %1, row %2)"_s.arg(s.b).arg(s.a);
    case Kind::Block: return u"select rows %1-%2"_s.arg(s.a).arg(s.b);
    case Kind::Edit: return u"編集 item %1"_s.arg(s.a);
    case Kind::Lookup: return u"住所検索 item %1, %2"_s.arg(s.a).arg(s.b ? u"taken"_s : u"cancelled (Esc)"_s);
    case Kind::SaveReopen: return u"save as, then open the file again"_s;
    case Kind::Capture: return u"copy map link %1"_s.arg(s.text);
    case Kind::Undo: return u"元に戻す"_s;
    case Kind::Redo: return u"やり直し"_s;
    case Kind::Cut: return u"切り取り"_s;
    case Kind::Clear: return u"内容を消去"_s;
    case Kind::Paste:
        return u"貼り付け \"%1\""_s.arg(
            QString(s.text).replace(u'\t', u"\\t"_s).replace(u'\r', u"\\r"_s).replace(u'\n', u"\\n"_s));
    case Kind::Sort: return u"並べ替え column %1 %2"_s.arg(s.a).arg(s.b ? u"descending"_s : u"ascending"_s);
    case Kind::Save: return u"上書き保存, answer %1, link copied %2"_s.arg(s.a).arg(captureWhen(s.b));
    case Kind::Open: return u"開く, answer %1, link copied %2"_s.arg(s.a).arg(captureWhen(s.b));
    case Kind::Close: return u"終了, キャンセル, link copied %1"_s.arg(captureWhen(s.b));
    case Kind::External: return u"another program writes the file"_s;
    case Kind::Activate: return u"window activated, answer %1, link copied %2"_s.arg(s.a).arg(captureWhen(s.b));
    }
    return {};
}

// Answers every search with one address, or cancels it.
class ScriptedLookup final : public AddressComponent
{
public:
    void SetPos(int &, int &) override {}
    bool PutAdd(QString &zip, QString &add, QString &, short) override
    {
        if (!take)
            return false;
        zip = LookupZip;
        add = LookupAddress;
        return true;
    }
    bool take = true;
};

// What the table should be: rows of five cells and the state beside them.
struct Model
{
    QList<std::array<QString, 5>> rows;
    int row = 0, col = 0; // the active cell; 0: none
    int selFrom = 0, selTo = 0;
    bool dirty = false;
    bool ime = false;
    int prefillRow = 0; // an untouched pre-fill
    QString prefillText;
    int caretRow = 0, caretCol = 0, caretAt = 0; // typing there goes in at caretAt
    // A row typed across with Tab: Enter from where the last Tab landed goes
    // to the next row's column where the run started.
    int tabRow = 0, tabStart = 0, tabAt = 0;
    QRect area; // the highlighted cells (x columns, y rows)

    // The history: the content and place before and after each change.
    struct Place
    {
        int row, col, selFrom, selTo;
    };
    struct Step
    {
        QList<std::array<QString, 5>> before, after;
        Place placeBefore, placeAfter;
    };
    QList<Step> history;
    int index = 0;      // steps done
    int cleanIndex = 0; // where the table was loaded or saved
    QList<std::array<QString, 5>> loaded;

    // The temporary file: whether it is there and the program's current
    // file, the records it holds, whether another program changed it since
    // the program read or wrote it, and whether reading it again was declined.
    bool exists = false, current = false, changedOutside = false, declined = false;
    QList<std::array<QString, 5>> fileRecords;
    int externals = 0;

    Place place() const { return {row, col, selFrom, selTo}; }

    // The records a save writes: cells trimmed, blank rows left out, and
    // what code page 932 cannot hold as the file gives it back ("?").
    QList<std::array<QString, 5>> written() const
    {
        QList<std::array<QString, 5>> kept;
        for (const auto &r : content(true)) {
            std::array<QString, 5> exported;
            bool blank = true;
            for (size_t c = 0; c < 5; ++c) {
                exported[c] = Cp932::decode(Cp932::encode(CellText::trimAllSpaces(r[c])).bytes).text;
                blank = blank && CellText::trimAllSpaces(r[c]).isEmpty();
            }
            if (!blank)
                kept.append(exported);
        }
        return kept;
    }
    bool unmappable() const
    {
        for (const auto &r : content(true))
            for (const QString &c : r)
                if (Cp932::encode(c).unmappableCount > 0)
                    return true;
        return false;
    }

    // The file read into the table: a new history.
    void load()
    {
        rows = fileRecords;
        rows.append(std::array<QString, 5>{}); // a loaded file ends in a blank row
        row = col = 1;
        area = QRect(1, 1, 1, 1);
        selFrom = selTo = 0;
        dirty = false;
        history.clear();
        index = cleanIndex = 0;
        prefillRow = caretRow = 0;
        loaded = content(false);
        current = true;
        changedOutside = declined = false;
    }
    // The table written to the file.
    void saved()
    {
        fileRecords = written();
        exists = current = true;
        changedOutside = declined = false;
        cleanIndex = index;
        dirty = false;
    }

    QString &cell(int r, int c) { return rows[r - 1][size_t(c - 1)]; }

    // The table's content: an untouched pre-fill is none; with `withBlankTail`
    // false, blank rows at the end are none either (a spare row is no change).
    QList<std::array<QString, 5>> content(bool withBlankTail) const
    {
        QList<std::array<QString, 5>> c = rows;
        if (prefillRow >= 1 && prefillRow <= c.size() && c[prefillRow - 1][1] == prefillText)
            c[prefillRow - 1][1].clear();
        while (!withBlankTail && !c.isEmpty() && std::all_of(c.back().begin(), c.back().end(), [](const QString &t) { return t.isEmpty(); }))
            c.removeLast();
        return c;
    }
    int count() const { return int(rows.size()); }

    void dropPrefill()
    {
        if (prefillRow >= 1 && prefillRow <= count() && cell(prefillRow, 2) == prefillText) {
            cell(prefillRow, 2).clear();
            if (caretRow == prefillRow && caretCol == 2) // the caret stood in the text taken away
                caretRow = 0;
        }
        prefillRow = 0;
    }

    // The active cell moves by the person's doing.
    void enter(int r, int c)
    {
        if (r < 1 || r > count() || c < 1 || c > 5 || (r == row && c == col))
            return;
        tabRow = 0;
        caretRow = 0;
        area = QRect(c, r, 1, 1);
        ime = c == 2 || c == 3;
        if (r != prefillRow)
            dropPrefill();
        if (c == 2 && r != 1) {
            QString above = cell(r - 1, 2);
            const qsizetype space = above.indexOf(Space);
            if (space >= 0)
                above.truncate(space + 1);
            if (cell(r, 2).isEmpty() && !above.isEmpty()) {
                cell(r, 2) = above;
                prefillRow = r;
                prefillText = above;
                caretRow = r, caretCol = 2, caretAt = int(above.size());
            }
            if (r == count())
                rows.append(std::array<QString, 5>{});
        }
        row = r;
        col = c;
    }

    // Typing ends with Enter (down a row) or Tab (the next cell, on to the
    // next row after the last column, back to the first cell after the last).
    void type(const QString &text, bool tab)
    {
        if (row == 0)
            return;
        QString &target = cell(row, col);
        const QString typed = caretRow == row && caretCol == col ? QString(target).insert(caretAt, text) : text;
        caretRow = 0; // the caret is used up by the editor it placed
        if (typed != target) {
            target = typed;
            if (col == 2 && row == prefillRow)
                prefillRow = 0;
        }
        if (!tab) {
            pressEnter();
        } else if (col < 5) {
            const int start = tabRow == row && tabAt == col ? tabStart : col;
            enter(row, col + 1);
            tabRow = row, tabStart = start, tabAt = col;
        } else {
            enter(row < count() ? row + 1 : 1, 1);
        }
    }

    void pressEnter()
    {
        if (row < count())
            enter(row + 1, tabRow == row && tabAt == col ? tabStart : col);
    }

    // Which rows a row command touches, and what it does to them.
    void edit(int item)
    {
        dropPrefill();
        const bool block = selTo >= 1;
        int first = block ? selFrom : (item == 3 && row == 0 ? 1 : row);
        int n = block ? selTo - selFrom + 1 : 1;
        // A command that changes rows forgets where a caret was placed.
        if (item == 0) {
            for (auto &r : rows)
                r = {};
            caretRow = 0;
            return;
        }
        if (item == 3) {
            if (first < 1 || first > count() + 1)
                return;
            caretRow = 0;
            rows.insert(first - 1, n, {});
            if (row == 0)
                row = col = 1;
            return;
        }
        if (first < 1 || first > count())
            return;
        n = std::min(n, count() - first + 1);
        caretRow = 0;
        if (item == 2)
            for (int r = first; r < first + n; ++r)
                rows[r - 1] = {};
        else
            rows.remove(first - 1, n);
        if (rows.isEmpty()) { // one row is always left to type into
            rows.append(std::array<QString, 5>{});
            row = 1;
            col = std::max(col, 1);
        }
        // The highlight keeps only the cells the shorter table still has
        // (none left: the active cell's again).
        area = area.intersected(QRect(1, 1, 5, count()));
        if (row > count())
            row = count();
        if (row == 0)
            col = 0;
    }

    void lookup(bool taken)
    {
        if (row == 0 || col > 3 || !taken)
            return;
        const QString address = LookupAddress + Space;
        cell(row, 1) = LookupZip;
        cell(row, 2) = address;
        if (row == prefillRow)
            prefillRow = 0;
        enter(row, 2);
        area = QRect(2, row, 1, 1);
        caretRow = row, caretCol = 2, caretAt = int(LookupAddress.size());
    }

    void saveAndReopen()
    {
        // An untouched pre-fill is no record.
        saved();
        load();
    }

    // The highlighted cells, as the grid gives them after rows came and went.
    QRect highlighted() const
    {
        if (area.isEmpty() || area.top() > count())
            return row >= 1 ? QRect(col, row, 1, 1) : QRect();
        return area.intersected(QRect(1, 1, 5, count()));
    }

    // Commands on cells forget where a caret was placed.
    void clearArea()
    {
        dropPrefill();
        caretRow = 0;
        const QRect a = highlighted();
        for (int r = a.top(); r <= a.bottom() && !a.isEmpty(); ++r)
            for (int c = a.left(); c <= a.right(); ++c)
                cell(r, c).clear();
    }

    // A spreadsheet's block at the active cell: one value fills the
    // highlighted cells, a block goes from the active cell, what falls beyond
    // the fifth column is left out, the table grows and keeps a spare row.
    void paste(const QList<QStringList> &block)
    {
        dropPrefill();
        caretRow = 0;
        if (row == 0 || block.isEmpty())
            return;
        const QRect a = highlighted();
        QList<QStringList> cells = block;
        int top = row, left = col;
        if (block.size() == 1 && block[0].size() == 1 && (a.width() > 1 || a.height() > 1)) {
            top = a.top(), left = a.left();
            cells = QList<QStringList>(a.height(), QStringList(a.width(), block[0][0]));
        }
        const int old = count();
        int right = left;
        for (int i = 0; i < cells.size(); ++i) {
            if (top + i > count())
                rows.append(std::array<QString, 5>{});
            for (int k = 0; k < cells[i].size() && left + k <= 5; ++k) {
                cell(top + i, left + k) = cells[i][k];
                right = std::max(right, left + k);
            }
        }
        if (top + cells.size() - 1 >= old)
            rows.append(std::array<QString, 5>{});
        area = QRect(QPoint(left, top), QPoint(right, top + int(cells.size()) - 1));
    }

    void sort(int column, bool descending)
    {
        dropPrefill();
        caretRow = 0;
        QList<std::array<QString, 5>> filled;
        QStringList keys;
        int blanks = 0;
        for (const auto &r : std::as_const(rows)) {
            if (std::all_of(r.begin(), r.end(), [](const QString &t) { return t.isEmpty(); })) {
                ++blanks;
                continue;
            }
            filled.append(r);
            keys.append(r[size_t(column)]);
        }
        rows.clear();
        for (const qsizetype i : SortRules::order(keys, descending ? SortRules::Direction::Descending : SortRules::Direction::Ascending,
                                                  column == 0))
            rows.append(filled[i]);
        rows.resize(rows.size() + blanks);
    }

    // Undo and redo: the content and place of the step, the blank rows at the
    // end as the table has them (a spare row added since stays).
    void restore(const QList<std::array<QString, 5>> &content, const Place &p, int tableRows)
    {
        dropPrefill();
        caretRow = 0;
        rows = content;
        while (count() < tableRows)
            rows.append(std::array<QString, 5>{});
        while (count() > tableRows && std::all_of(rows.back().begin(), rows.back().end(), [](const QString &t) { return t.isEmpty(); }))
            rows.removeLast();
        row = p.row, col = p.col, selFrom = p.selFrom, selTo = p.selTo;
        area = row >= 1 ? QRect(col, row, 1, 1) : QRect();
    }

    void capture(const QString &link)
    {
        if (row == 0 || cell(row, 5) == link)
            return;
        cell(row, 5) = link;
    }
};

} // namespace

class EditingModelTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;
    ScriptedImeBackend ime;
    ScriptedLookup *lookup = nullptr;
    QTemporaryDir folder;
    Model model;
    int links = 0;
    std::array<int, 2> seamCaptures{}; // links copied during a question, during a progress
    int reactivations = 0;
    qint64 reactivationMs = 0;

    vAdd *grid() const { return window->grid(); }

    void reset()
    {
        grid()->EndEdit();
        grid()->SetRowCount(50);
        grid()->ClearCells(-1, -1, -1, -1);
        grid()->GoToCell(1, 1);
        grid()->clearSelection();
        window->table().dropPrefill();
        window->table().setBlock(0, 0);
        window->table().history().startOver(true); // as a file just opened
        grid()->setFocus();
        model = {};
        model.rows.resize(50);
        model.row = model.col = 1;
        model.area = QRect(1, 1, 1, 1);
        model.loaded = {};
        model.ime = window->state().ImeOn;
        window->state().CurrentFile.clear();
        QFile::remove(file());
        desktop.clear();
    }

    QString file() const { return folder.filePath(u"model.csv"_s); }

    // A progress dialog takes the activation from the window (at once or a
    // little later, as the X server says); the window gets it back, and looks
    // at its file again then (the question answered No).
    void ensureActive()
    {
        if (window->isActiveWindow() && QApplication::focusWidget())
            return;
        QElapsedTimer waited;
        waited.start();
        ++reactivations;
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get(), 5000))
            qWarning("the window did not get the activation back");
        reactivationMs += waited.elapsed();
        settle();
        if (model.current && model.changedOutside && !model.dirty)
            model.declined = true;
        grid()->setFocus();
    }

    // A map link copied between two steps of a file command, taken into the
    // model once the command is over, as a step of its own.
    void modelCapture(const QString &link)
    {
        const auto before = model.content(true);
        const Model::Place place = model.place();
        model.capture(link);
        if (model.content(true) == before)
            return;
        if (model.cleanIndex > model.index)
            model.cleanIndex = -1;
        model.history.resize(model.index);
        model.history.append({before, model.content(true), place, model.place()});
        model.index = int(model.history.size());
    }

    // The answers a plain save needs as the model stands; false when the
    // changed-file question is answered キャンセル.
    bool planSave(int answer)
    {
        if (!model.current) {
            desktop.files.push_back(file());
            if (model.exists)
                desktop.answers.push_back(Desktop::Answer::Yes); // replace it
        } else if (model.changedOutside) {
            desktop.choices.push_back(answer == 0 ? 0 : 2); // 上書き保存 or キャンセル
            if (answer != 0)
                return false;
        }
        if (model.unmappable())
            desktop.answers.push_back(Desktop::Answer::Yes); // written with "?"
        return true;
    }

    // Runs a file command with a link copied during its first question
    // (when 1) or its progress (2); the link copied, or empty.
    QString duringFileCommand(int when, const std::function<void()> &command)
    {
        const QString link = window->map().mapAddresses().base + u"pl?n="_s + QString::number(++links);
        bool copied = false;
        auto copy = [&] {
            if (!std::exchange(copied, true))
                window->map().ClipEvent(link);
        };
        QTimer poll;
        if (when == 1)
            desktop.whileAsking = [&](const QString &) { copy(); };
        if (when == 2) {
            window->files().progressDelayMs = 0;
            QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
                if (auto *progress = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
                    progress && progress->isVisible())
                    copy();
            });
            poll.start(0);
        }
        command();
        desktop.whileAsking = {};
        window->files().progressDelayMs = 500;
        desktop.answers.clear();
        desktop.choices.clear();
        desktop.files.clear();
        settle();
        ensureActive();
        grid()->setFocus();
        if (copied)
            ++seamCaptures[when == 1 ? 0 : 1];
        return copied ? link : QString();
    }

    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    static void key(int k) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(k)); }

    // Runs an action on both; the model's table is dirty once its content
    // differs from the content last loaded or saved through a change of the
    // person's (a row command counts its blank rows too).
    void apply(const Action &s)
    {
        ensureActive();
        const bool rows = s.kind == Kind::Edit || s.kind == Kind::Paste;
        const auto before = model.content(true);
        const Model::Place placeBefore = model.place();
        applyOne(s);
        const bool undoing = s.kind == Kind::Undo || s.kind == Kind::Redo || s.kind == Kind::SaveReopen
                             || s.kind >= Kind::Save; // the file commands record their own
        if (!undoing && model.content(rows) != (rows ? before : trimmed(before))) {
            // Typing and a lookup become a step at the cell they change.
            const bool atCell = s.kind == Kind::Type || s.kind == Kind::Lookup;
            // A clean point among the steps undone goes with them.
            if (model.cleanIndex > model.index)
                model.cleanIndex = -1;
            model.history.resize(model.index);
            model.history.append({before, model.content(true), placeBefore, atCell ? placeBefore : model.place()});
            model.index = int(model.history.size());
        }
        model.dirty = model.index != model.cleanIndex;
    }

    // The grid's rows without the blank ones at the end.
    QList<std::array<QString, 5>> tableNow() const
    {
        QList<std::array<QString, 5>> rows;
        for (int r = 1; r <= grid()->RowCount(); ++r) {
            std::array<QString, 5> row;
            for (int c = 1; c <= 5; ++c)
                row[size_t(c - 1)] = grid()->GetCell(c, r);
            rows.append(row);
        }
        return trimmed(rows);
    }

    static QList<std::array<QString, 5>> trimmed(QList<std::array<QString, 5>> rows)
    {
        while (!rows.isEmpty() && std::all_of(rows.back().begin(), rows.back().end(), [](const QString &t) { return t.isEmpty(); }))
            rows.removeLast();
        return rows;
    }

    void applyOne(const Action &s)
    {
        switch (s.kind) {
        case Kind::Type:
            for (const QChar ch : s.text)
                QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
            key(s.a ? Qt::Key_Tab : Qt::Key_Return);
            settle();
            model.type(s.text, s.a != 0);
            break;
        case Kind::Key:
            key(s.a);
            settle();
            if (model.row == 0)
                break;
            if (s.a == Qt::Key_Return)
                model.pressEnter();
            else if (s.a == Qt::Key_Up || s.a == Qt::Key_Down)
                model.enter(std::clamp(model.row + (s.a == Qt::Key_Up ? -1 : 1), 1, model.count()), model.col);
            else
                model.enter(model.row, std::clamp(model.col + (s.a == Qt::Key_Left ? -1 : 1), 1, 5));
            break;
        case Kind::Click:
            grid()->GoToCell(s.b, s.a);
            model.enter(s.a, s.b);
            model.area = QRect(s.b, s.a, 1, 1);
            break;
        case Kind::Block: {
            const int to = std::min(s.b, model.count());
            if (s.a > to)
                break;
            const QItemSelection rows(grid()->table()->index(s.a - 1, 0), grid()->table()->index(to - 1, 4));
            grid()->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
            // Selecting what is highlighted already (as a row command leaves
            // it) changes no selection and raises no block selection.
            const QRect wanted(1, s.a, 5, to - s.a + 1);
            if (model.highlighted() != wanted || model.area.isEmpty()) {
                model.selFrom = s.a;
                model.selTo = to;
            }
            model.area = wanted;
            break;
        }
        case Kind::Edit:
            window->menus().mnEdt[s.a]->trigger();
            settle();
            model.edit(s.a);
            break;
        case Kind::Lookup:
            lookup->take = s.b != 0;
            window->menus().mnAdd[s.a]->trigger();
            settle();
            if (grid()->cellEditor() && grid()->cellEditor()->isVisible()) {
                key(Qt::Key_Escape);
                settle();
            }
            model.lookup(s.b != 0);
            break;
        case Kind::SaveReopen: {
            desktop.files = {file(), file()};
            // Replacing the file of an earlier step is asked about first,
            // then characters code page 932 cannot hold.
            if (QFileInfo::exists(file()))
                desktop.answers.push_back(Desktop::Answer::Yes);
            if (model.unmappable())
                desktop.answers.push_back(Desktop::Answer::Yes);
            window->menus().mnFile[2]->trigger();
            window->menus().mnFile[0]->trigger();
            settle();
            desktop.answers.clear();
            grid()->setFocus();
            model.saveAndReopen();
            break;
        }
        case Kind::Save: {
            const bool saves = planSave(s.a);
            const QString link = duringFileCommand(s.b, [this] { window->menus().mnFile[1]->trigger(); });
            if (saves)
                model.saved();
            if (!link.isEmpty())
                modelCapture(link);
            break;
        }
        case Kind::Open: {
            if (!model.exists)
                break;
            // 保存して開く, 保存せずに開く or キャンセル when the table is unsaved.
            bool opens = true;
            if (model.dirty) {
                desktop.choices.push_back(s.a);
                if (s.a == 0)
                    opens = planSave(0);
                opens = opens && s.a != 2;
            }
            if (opens)
                desktop.files.push_back(file());
            const QString link = duringFileCommand(s.b, [this] { window->menus().mnFile[0]->trigger(); });
            if (model.dirty && s.a == 0 && opens)
                model.saved();
            if (opens)
                model.load();
            if (!link.isEmpty())
                modelCapture(link);
            break;
        }
        case Kind::Close: {
            if (!model.dirty) // the window would close
                break;
            desktop.answers.push_back(Desktop::Answer::Cancel);
            const QString link = duringFileCommand(s.b, [this] { window->menus().mnFile[6]->trigger(); });
            if (!link.isEmpty())
                modelCapture(link);
            break;
        }
        case Kind::External: {
            // Each write is longer than the last: another size, another file.
            ++model.externals;
            const QString text = u"ext"_s + QString(model.externals, u'x');
            QFile out(file());
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(Cp932::encode(QString(u"h\r\n\""_s + text + u"\",\"\",\"\",\"\",\"\"\r\n"_s)).bytes);
            out.close();
            model.fileRecords = {{text, {}, {}, {}, {}}};
            model.changedOutside = model.exists = true;
            model.declined = false;
            break;
        }
        case Kind::Activate: {
            const bool asks = model.current && model.changedOutside && !model.dirty && !model.declined;
            desktop.answers.push_back(s.a ? Desktop::Answer::Yes : Desktop::Answer::No);
            const QString link = duringFileCommand(s.b, [this] {
                QCoreApplication::sendEvent(window.get(), new QEvent(QEvent::WindowActivate));
                settle();
            });
            if (asks && s.a)
                model.load();
            else if (asks)
                model.declined = true;
            if (!link.isEmpty())
                modelCapture(link);
            break;
        }
        case Kind::Capture:
            QGuiApplication::clipboard()->setText(s.text);
            QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->text() == s.text, 2000);
            settle();
            model.capture(s.text);
            break;
        case Kind::Undo:
        case Kind::Redo: {
            window->menus().mnEdt[s.kind == Kind::Undo ? 6 : 7]->trigger();
            settle();
            if (s.kind == Kind::Undo && model.index > 0) {
                const Model::Step &step = model.history[--model.index];
                model.restore(step.before, step.placeBefore, grid()->RowCount());
            } else if (s.kind == Kind::Redo && model.index < model.history.size()) {
                const Model::Step &step = model.history[model.index++];
                model.restore(step.after, step.placeAfter, grid()->RowCount());
            }
            break;
        }
        case Kind::Cut:
        case Kind::Clear:
            window->menus().mnEdt[s.kind == Kind::Cut ? 9 : 12]->trigger();
            settle();
            model.clearArea();
            break;
        case Kind::Paste:
            QGuiApplication::clipboard()->setText(s.text);
            QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->text() == s.text, 2000);
            settle();
            window->menus().mnEdt[11]->trigger();
            settle();
            model.paste(CellBlock::fromText(s.text));
            break;
        case Kind::Sort:
            desktop.sorts.push_back(Desktop::SortChoice{s.a, s.b != 0});
            window->menus().mnEdt[15]->trigger();
            settle();
            model.sort(s.a, s.b != 0);
            break;
        }
    }

    // Where the window and the model part; empty when they agree.
    QString difference()
    {
        if (!window->isActiveWindow())
            ensureActive();
        const TableState &state = window->state();
        if (grid()->RowCount() != model.count())
            return u"rows %1, expected %2"_s.arg(grid()->RowCount()).arg(model.count());
        for (int r = 1; r <= model.count(); ++r)
            for (int c = 1; c <= 5; ++c)
                if (grid()->GetCell(c, r) != model.cell(r, c))
                    return u"cell (col %1, row %2) is \"%3\", expected \"%4\""_s.arg(c).arg(r).arg(grid()->GetCell(c, r),
                                                                                         model.cell(r, c));
        if (grid()->CurRow() != model.row || grid()->CurCol() != model.col)
            return u"active cell (col %1, row %2), expected (col %3, row %4)"_s.arg(grid()->CurCol())
                .arg(grid()->CurRow()).arg(model.col).arg(model.row);
        if (state.SelRowFrom != model.selFrom || state.SelRowTo != model.selTo)
            return u"remembered rows %1-%2, expected %3-%4"_s.arg(state.SelRowFrom).arg(state.SelRowTo)
                .arg(model.selFrom).arg(model.selTo);
        if (state.Dirty != model.dirty)
            return u"Dirty %1, expected %2"_s.arg(state.Dirty).arg(model.dirty);
        if (state.ImeOn != model.ime)
            return u"ImeOn %1, expected %2"_s.arg(state.ImeOn).arg(model.ime);
        if (QApplication::focusWidget() != grid())
            return u"the keyboard no longer reaches the grid"_s;
        if (model.current != (state.CurrentFile == file()))
            return u"current file \"%1\", expected %2"_s.arg(state.CurrentFile, model.current ? file() : u"none"_s);
        // The file holds what the model says was written or put there.
        if (model.exists) {
            const CsvReader::Result read = CsvReader::read(file());
            QList<std::array<QString, 5>> records;
            for (const AddressTableModel::Row &row : read.rows)
                if (!row.isEmpty())
                    records.append({row.cell(0).toString(), row.cell(1).toString(), row.cell(2).toString(),
                                    row.cell(3).toString(), row.cell(4).toString()});
            if (records != model.fileRecords)
                return u"the file holds %1 records (first \"%2\"), expected %3 (first \"%4\")"_s.arg(records.size())
                    .arg(records.value(0)[1], QString::number(model.fileRecords.size()), model.fileRecords.value(0)[1]);
        }
        return {};
    }

    Action next(std::mt19937 &random)
    {
        auto pick = [&random](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(random)); };
        const int rows = std::max(model.count(), 1);
        const int roll = pick(100);
        if (roll < 25) {
            QString text;
            for (int i = 0, n = 1 + pick(3); i < n; ++i)
                text += QChar(u"abxyz0139"[pick(9)]);
            return {Kind::Type, pick(4) == 0, 0, text};
        }
        if (roll < 50)
            return {Kind::Key, std::array{Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_Return}[size_t(pick(5))]};
        if (roll < 60)
            return {Kind::Click, 1 + pick(rows), 1 + pick(5)};
        if (roll < 68) {
            const int from = 1 + pick(rows);
            return {Kind::Block, from, std::min(rows, from + pick(4))};
        }
        if (roll < 76)
            return {Kind::Edit, std::array{0, 2, 2, 3, 3, 3, 4, 4, 4}[size_t(pick(9))]};
        if (roll < 82)
            return {Kind::Lookup, pick(3), pick(2)};
        if (roll < 83)
            return {Kind::SaveReopen};
        if (roll < 88)
            return {Kind::Undo};
        if (roll < 90)
            return {Kind::Redo};
        if (roll < 91)
            return {pick(2) ? Kind::Cut : Kind::Clear};
        if (roll < 93) {
            // A spreadsheet's text: one value, or a block with quoted cells.
            QString text;
            const int height = pick(3) == 0 ? 1 : 1 + pick(3);
            const int width = height == 1 && pick(2) ? 1 : 1 + pick(4);
            for (int r = 0; r < height; ++r) {
                for (int c = 0; c < width; ++c)
                    text += (c ? u"\t"_s : QString()) + std::array{u"a"_s, u"9"_s, u"\"x\ny\""_s, QString(), u"z1"_s, u"\uD55C"_s}[size_t(pick(6))];
                text += u"\r\n"_s;
            }
            return {Kind::Paste, 0, 0, text};
        }
        if (roll < 94)
            return {Kind::Sort, pick(3), pick(2)};
        if (roll < 96)
            return {Kind::Capture, 0, 0, window->map().mapAddresses().base + u"pl?n="_s + QString::number(++links)};
        // The file commands' seams.
        switch (pick(5)) {
        case 0: return {Kind::Save, pick(2), pick(3)};
        case 1: return {Kind::Open, pick(3), pick(3)};
        case 2: return {Kind::Close, 0, pick(2)};
        case 3: return {Kind::External};
        default: return {Kind::Activate, pick(2), pick(2)};
        }
    }

    // Runs a sequence from a fresh table; the failing step's index and what
    // differed, or -1.
    std::pair<int, QString> run(const QList<Action> &actions)
    {
        reset();
        for (int i = 0; i < actions.size(); ++i) {
            apply(actions[i]);
            if (QString d = difference(); !d.isEmpty())
                return {i, d};
        }
        if (QString d = undoAndRedoAll(); !d.isEmpty())
            return {int(actions.size()) - 1, d};
        return {-1, {}};
    }

    // Undoing everything gives back the table as loaded, redoing everything
    // the table of the last step; empty when they do.
    QString undoAndRedoAll()
    {
        const auto end = model.history.isEmpty() ? model.loaded : trimmed(model.history.last().after);
        for (const auto &[item, expected] : {std::pair{6, model.loaded}, std::pair{7, end}}) {
            for (int guard = 0; guard < 200 && window->menus().mnEdt[item]->isEnabled(); ++guard) {
                window->menus().mnEdt[item]->trigger();
                settle();
            }
            const auto now = tableNow();
            for (qsizetype r = 0; r < std::max(now.size(), expected.size()); ++r) {
                const std::array<QString, 5> is = now.value(r), was = expected.value(r);
                if (is != was)
                    return u"%1 everything, row %2 is \"%3\", expected \"%4\""_s.arg(item == 6 ? u"undoing"_s : u"redoing"_s)
                        .arg(r + 1)
                        .arg(QStringList(is.begin(), is.end()).join(u'|'), QStringList(was.begin(), was.end()).join(u'|'));
            }
        }
        return {};
    }

    // Drops the actions the failure does not need; within a minute, so that
    // the failure is reported before the test's time runs out.
    QList<Action> shrink(QList<Action> actions)
    {
        QElapsedTimer spent;
        spent.start();
        for (int i = 0; i < actions.size() && spent.elapsed() < 60'000;) {
            QList<Action> shorter = actions;
            shorter.removeAt(i);
            const auto [at, what] = run(shorter);
            if (at >= 0)
                actions = shorter.mid(0, at + 1);
            else
                ++i;
        }
        return actions;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        fmMainServices services;
        services.desktop = &desktop;
        services.ime = &ime;
        services.addressComponent = [this] {
            auto component = std::make_unique<ScriptedLookup>();
            lookup = component.get();
            return component;
        };
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
        QVERIFY(lookup);
    }

    void cleanupTestCase()
    {
        window->state().Dirty = false;
        window->close();
        window.reset();
    }

    // Row commands keep only the rows they take out, and the history keeps no
    // more than its bound: the oldest steps go, the newest always stays.
    void historyIsBoundedByMemory()
    {
        reset();
        TableHistory &history = window->table().history();
        grid()->SetRowCount(400);
        for (int r = 1; r <= 400; ++r)
            grid()->SetCell(2, r, u"東京都千代田区丸の内%1"_s.arg(r));
        history.startOver(true);
        grid()->GoToCell(1, 1);
        window->table().setBlock(0, 0);
        // A save marks clean only the state it wrote: the history moved
        // since the bytes were taken leaves the table unsaved.
        const quint64 taken = history.position();
        window->menus().mnEdt[3]->trigger(); // 行挿入 at the top
        history.markSaved(taken);
        QVERIFY(window->state().Dirty);
        QCOMPARE(history.stack().count(), 1);
        QVERIFY2(history.memory() < 1000, qPrintable(QString::number(history.memory())));
        history.memoryFloor = 0; // the bound is twice the table's text
        const auto restore = qScopeGuard([&history] { history.memoryFloor = TableHistory::MemoryFloor; });
        for (int i = 0; i < 3; ++i) {
            window->table().setBlock(1, 100);
            window->menus().mnEdt[4]->trigger(); // 行削除 of 100 rows
            QVERIFY(history.memory() <= history.memoryBound() || history.stack().index() == 1);
        }
        const int kept = history.stack().count();
        QVERIFY(kept < 4);
        QVERIFY(window->state().Dirty);
        // What stays undoes to the table as the oldest step kept found it.
        for (int guard = 0; guard < 10 && history.stack().canUndo(); ++guard)
            window->menus().mnEdt[6]->trigger();
        QCOMPARE(grid()->RowCount(), 101 + 100 * kept);
        window->table().setBlock(0, 0);
    }

    // Every failure the random sequences found, replayed by name.
    void foundSequences_data()
    {
        QTest::addColumn<QList<Action>>("actions");
        QTest::addRow("untouched pre-fill saved as a record")
            << QList<Action>{{Kind::Lookup, 1, 1}, {Kind::Type, 0, 0, u"a"_s}, {Kind::SaveReopen}};
        QTest::addRow("clean point among undone steps")
            << QList<Action>{{Kind::Edit, 4}, {Kind::Save, 0, 1}, {Kind::Undo}, {Kind::Type, 1, 0, u"xy"_s}};
        QTest::addRow("link copied during an open's progress")
            << QList<Action>{{Kind::Save, 1, 1}, {Kind::Open, 1, 2}};
        QTest::addRow("link copied during the changed-file question")
            << QList<Action>{{Kind::Type, 0, 0, u"a"_s}, {Kind::Save, 0, 0}, {Kind::External}, {Kind::Type, 0, 0, u"b"_s},
                             {Kind::Save, 0, 1}};
        QTest::addRow("Enter after a paste that ended a Tab run")
            << QList<Action>{{Kind::SaveReopen}, {Kind::Click, 1, 5}, {Kind::Type, 1, 0, u"3x"_s},
                             {Kind::Paste, 0, 0, u"\ta\t\r\n"_s}, {Kind::Key, Qt::Key_Return}};
        QTest::addRow("cut after 行削除 and 行挿入")
            << QList<Action>{{Kind::Type, 0, 0, u"ax"_s}, {Kind::Click, 46, 1},
                             {Kind::Paste, 0, 0, u"\"x\ny\"\ta\r\n9\tz1\r\n\"x\ny\"\t\uD55C\r\n"_s},
                             {Kind::Lookup, 2, 1}, {Kind::Click, 37, 3}, {Kind::Type, 0, 0, u"xx0"_s},
                             {Kind::SaveReopen}, {Kind::Click, 6, 1}, {Kind::Type, 1, 0, u"9"_s},
                             {Kind::Type, 0, 0, u"x1"_s}, {Kind::Paste, 0, 0, u"\r\n"_s},
                             {Kind::Paste, 0, 0, u"a\r\n"_s}, {Kind::Key, Qt::Key_Return}, {Kind::Edit, 4},
                             {Kind::Edit, 3}, {Kind::Cut}};
        QTest::addRow("block selected again after 行削除")
            << QList<Action>{{Kind::Type, 1, 0, u"1x"_s}, {Kind::SaveReopen}, {Kind::Key, Qt::Key_Return},
                             {Kind::Type, 1, 0, u"xb"_s}, {Kind::Type, 0, 0, u"b9"_s}, {Kind::Type, 1, 0, u"3"_s},
                             {Kind::Block, 1, 3}, {Kind::Edit, 4}, {Kind::Block, 1, 1}};
        QTest::addRow("cut after a block's rows were deleted and inserted")
            << QList<Action>{{Kind::Type, 0, 0, u"ax"_s}, {Kind::Click, 46, 1},
                             {Kind::Paste, 0, 0, u"\"x\ny\"\ta\r\n9\tz1\r\n\"x\ny\"\t\uD55C\r\n"_s},
                             {Kind::Lookup, 2, 1}, {Kind::Click, 37, 3}, {Kind::Type, 0, 0, u"xx0"_s},
                             {Kind::SaveReopen}, {Kind::Click, 6, 1}, {Kind::Type, 1, 0, u"9"_s},
                             {Kind::Type, 0, 0, u"x1"_s}, {Kind::Paste, 0, 0, u"\r\n"_s},
                             {Kind::Paste, 0, 0, u"a\r\n"_s}, {Kind::Block, 5, 8}, {Kind::Edit, 3},
                             {Kind::Type, 0, 0, u"xb9"_s}, {Kind::Key, Qt::Key_Return}, {Kind::Edit, 4},
                             {Kind::Edit, 3}, {Kind::Cut}};
    }

    void foundSequences()
    {
        QFETCH(QList<Action>, actions);
        const auto [at, what] = run(actions);
        QVERIFY2(at < 0, qPrintable(u"step %1: %2"_s.arg(at).arg(what)));
    }

    void randomSequencesMatchTheModel()
    {
        const int steps = qEnvironmentVariableIsSet("KOTOVEN_MODEL_STEPS")
                              ? qEnvironmentVariableIntValue("KOTOVEN_MODEL_STEPS") : 10000;
        constexpr int Length = 100;
        QList<quint32> seeds;
        if (qEnvironmentVariableIsSet("KOTOVEN_MODEL_SEED"))
            seeds = {quint32(qEnvironmentVariableIntValue("KOTOVEN_MODEL_SEED"))};
        else
            seeds = {qEnvironmentVariableIsSet("KOTOVEN_MODEL_FIRST_SEED")
                         ? quint32(qEnvironmentVariableIntValue("KOTOVEN_MODEL_FIRST_SEED")) : 20261207u,
                     quint32(QDateTime::currentMSecsSinceEpoch() & 0x7fffffff)};
        int done = 0;
        for (const quint32 seed : seeds) {
            qInfo("model seed %u", seed);
            std::mt19937 random(seed);
            const int share = steps / int(seeds.size());
            for (int ran = 0; ran < share; ran += Length) {
                reset();
                QList<Action> actions;
                for (int i = 0; i < Length; ++i) {
                    actions.append(next(random));
                    apply(actions.last());
                    ++done;
                    if (const QString what = difference(); !what.isEmpty()) {
                        const QList<Action> shortest = shrink(actions);
                        QString report = u"seed %1: %2 after\n"_s.arg(seed).arg(run(shortest).second);
                        for (const Action &a : shortest)
                            report += u"  "_s + describe(a) + u'\n';
                        QFAIL(qPrintable(report));
                    }
                }
                if (const QString what = undoAndRedoAll(); !what.isEmpty()) {
                    const QList<Action> shortest = shrink(actions);
                    QString report = u"seed %1: %2 after\n"_s.arg(seed).arg(run(shortest).second);
                    for (const Action &a : shortest)
                        report += u"  "_s + describe(a) + u'\n';
                    QFAIL(qPrintable(report));
                }
            }
        }
        qInfo("model steps: %d; links copied during a file command's question: %d, during its progress: %d; "
              "window activated again %d times in %lld ms", done, seamCaptures[0], seamCaptures[1], reactivations,
              reactivationMs);
        // The file commands' seams were reached.
        if (done >= 2000)
            QVERIFY(seamCaptures[0] > 0 && seamCaptures[1] > 0);
    }
};

KOTOVEN_WIDGET_TEST_MAIN(EditingModelTest)
#include "EditingModelTest.moc"
