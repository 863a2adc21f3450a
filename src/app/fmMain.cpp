#include "fmMain.h"

#include "core/app/ColumnFit.h"
#include "core/app/FileNames.h"
#include "core/app/PaneRoom.h"
#include "core/env/Program.h"
#include "core/env/Twips.h"
#include "core/grid/GridUnits.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "widgets/labels/LabelCommands.h"
#include "widgets/lookup/ListCheckCommands.h"
#include "widgets/lookup/ListCheckPane.h"
#include "widgets/lookup/LookupCommands.h"
#include "widgets/map/MapCommands.h"
#include "widgets/map/uWeb.h"
#include "widgets/table/CellReactions.h"
#include "widgets/table/DesktopImeBackend.h"
#include "widgets/recovery/TableJournal.h"
#include "widgets/table/FileCommands.h"
#include "widgets/exchange/ExchangeCommands.h"
#include "widgets/table/RowCommands.h"
#include "widgets/table/SheetCommands.h"
#include "widgets/table/StatusFields.h"
#include "widgets/table/FindBar.h"
#include "core/table/RowRules.h"
#include "widgets/grid/TableHistory.h"
#include "app/UserEnvironment.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QSettings>
#include <QSplitterHandle>
#include <QTimer>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {
// The designed inner area of the window, in pixels at 96 dpi.
constexpr int DesignedWidth = 945;
constexpr int DesignedGridPane = 195;
constexpr int DesignedBrowserPane = 448;
constexpr int SplitterHandle = 8; // wide enough to grab

const QString SplitterKey = QStringLiteral("Window/Splitter");

// The splitter bar between the grid and the browser pane, with a grip of
// three short lines across its middle.
class GripHandle final : public QSplitterHandle
{
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QSplitterHandle::paintEvent(event);
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Dark));
        const int x = width() / 2;
        const int y = height() / 2;
        for (const int dx : {-8, 0, 8})
            painter.drawLine(x + dx - 2, y - 1, x + dx + 2, y - 1);
        painter.setPen(palette().color(QPalette::Light));
        for (const int dx : {-8, 0, 8})
            painter.drawLine(x + dx - 2, y + 1, x + dx + 2, y + 1);
    }
};

class GripSplitter final : public QSplitter
{
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle *createHandle() override { return new GripHandle(orientation(), this); }
};

// The first local .csv file or .xlsx workbook among dropped ones.
QString droppedCsvFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile()
            && (QFileInfo(url.toLocalFile()).suffix().compare(u"csv", Qt::CaseInsensitive) == 0
                || ExchangeCommands::isWorkbook(url.toLocalFile())))
            return url.toLocalFile();
    }
    return {};
}
} // namespace

fmMain::fmMain(fmMainServices services, QWidget *parent) : QMainWindow(parent), m_services(std::move(services))
{
    Desktop &desktop = *m_services.desktop;
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("住所･郵便番号･Map URLを調べる (Yahoo 測地系=tokyo)"));

    auto *splitter = new GripSplitter(Qt::Vertical, this);
    m_splitter = splitter;
    splitter->setObjectName(QStringLiteral("Splitter"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(SplitterHandle);
    auto *pAdd = new QWidget(splitter);
    pAdd->setObjectName(QStringLiteral("pAdd"));
    auto *paneLayout = new QVBoxLayout(pAdd);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    m_vAdd = new vAdd(pAdd);
    paneLayout->addWidget(m_vAdd);
    m_uWeb = new uWeb(desktop, splitter);
    splitter->addWidget(pAdd);
    splitter->addWidget(m_uWeb);
    splitter->setSizes({DesignedGridPane, DesignedBrowserPane});
    // Both panes take a share of a change of height in proportion to their
    // present heights: the designed ones until the bar is dragged.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    connect(splitter, &QSplitter::splitterMoved, this, [this] {
        m_splitterMoved = true;
        // Dragged while the check's pane is open, the position is the
        // person's own: it stays when the pane closes.
        m_sizesBeforePane.clear();
        m_splitterBeforePane.clear();
    });
    setCentralWidget(splitter);
    auto *stBar = new QStatusBar(this);
    stBar->setObjectName(QStringLiteral("stBar"));
    setStatusBar(stBar);

    m_menus = buildMainMenus(*menuBar(), this, [this](int menu, int index) {
        switch (index < 0 ? -1 : menu) {
        case 0: mnFile_Click(index); break;
        case 1: mnEdt_Click(index); break;
        case 2: mnAdd_Click(index); break;
        case 3: mnMap_Click(index); break;
        default: mnJb_Click(menu); break;
        }
    });

    ImeBackend *ime = m_services.ime;
    if (!ime) {
        DesktopImeBackend *desktopIme = DesktopImeBackend::forSession(this);
        connect(desktopIme, &DesktopImeBackend::notice, stBar, [stBar](const QString &text) { stBar->showMessage(text, 5000); });
        ime = desktopIme;
    }
    m_table = std::make_unique<AddressTable>(*m_vAdd, m_state);
    m_environment = std::make_unique<UserEnvironment>(*this, desktop);
    m_files = std::make_unique<FileCommands>(*m_table, desktop, *this, *stBar);

    m_journal = std::make_unique<TableJournal>(*m_table, desktop, *stBar);
    m_journal->sourceFile = [this] { return m_files->fileIdentity(); };
    m_journal->adoptFile = [this](const QString &, const FileIdentity &file) { m_files->adoptFile(file); };
    m_rows = std::make_unique<RowCommands>(*m_table);
    m_sheet = std::make_unique<SheetCommands>(*m_table, desktop, *stBar);
    m_statusFields = std::make_unique<StatusFields>(*m_table, *stBar);
    m_findBar = new FindBar(*m_table, pAdd);
    paneLayout->insertWidget(0, m_findBar);
    // The spreadsheet keys act on the grid and its find bar only: the cell
    // editor, the browser pane and its address box keep their own.
    for (int i = 6; i < int(std::size(m_menus.mnEdt)); ++i) {
        if (QAction *action = m_menus.mnEdt[i]; action && !action->isSeparator()) {
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            m_vAdd->addAction(action);
            m_findBar->addAction(action);
        }
    }
    // Backspace clears the active cell and opens it for typing.
    auto *backspace = new QAction(this);
    backspace->setShortcut(QKeySequence(Qt::Key_Backspace));
    backspace->setShortcutContext(Qt::WidgetShortcut);
    m_vAdd->addAction(backspace);
    connect(backspace, &QAction::triggered, this, [this] { m_sheet->ClearAndEdit(); });
    QUndoStack &history = m_table->history().stack();
    m_menus.mnEdt[6]->setEnabled(history.canUndo());
    m_menus.mnEdt[7]->setEnabled(history.canRedo());
    connect(&history, &QUndoStack::canUndoChanged, m_menus.mnEdt[6], &QAction::setEnabled);
    connect(&history, &QUndoStack::canRedoChanged, m_menus.mnEdt[7], &QAction::setEnabled);
    m_cells = std::make_unique<CellReactions>(*m_table, *ime);
    m_lookup = std::make_unique<LookupCommands>(*m_table, desktop, *this, m_services.addressComponent);
    // The menu title stays enabled, so that the update of the postal data is
    // reachable when there is none; the searches need the component.
    m_lookup->availabilityChanged = [this](bool available) {
        for (int i : {0, 1, 2, 5})
            m_menus.mnAdd[i]->setEnabled(available);
    };
    m_listCheck = std::make_unique<ListCheckCommands>(*m_table, *m_lookup, desktop, *this);
    m_exchange = std::make_unique<ExchangeCommands>(
        *m_table, desktop,
        TableFileHooks{[this] { return m_files->mayReplaceTable(); }, [this] { m_files->forgetFile(); },
                       [this] { return ExchangeCommands::modelRows(m_listCheck->results()); }},
        *stBar);
    m_files->exportKept = [this] { return m_exchange->ExportList(); };
    // An apply from the check's pane is taken back from there as well.
    for (int i : {6, 7})
        m_listCheck->pane().addAction(m_menus.mnEdt[i]);
    m_map = std::make_unique<MapCommands>(*m_table, desktop, *m_uWeb, *stBar);
    connect(&m_listCheck->pane(), &QDockWidget::visibilityChanged, this, &fmMain::checkPaneShown);
    // F6 takes the focus between the grid and the check's pane.
    auto *nextPane = new QAction(this);
    nextPane->setObjectName(QStringLiteral("nextPane"));
    nextPane->setShortcut(QKeySequence(Qt::Key_F6));
    nextPane->setShortcutContext(Qt::WindowShortcut);
    addAction(nextPane);
    connect(nextPane, &QAction::triggered, this, &fmMain::focusNextPane);
    const CheckResultModel &checkResults = m_listCheck->results();
    LabelChecks checks{[this] { return m_listCheck->hasResults(); },
                       // 一致 rows have no entry among the results.
                       [&checkResults](int row) {
                           const int entry = checkResults.entryOfRow(row - 1);
                           return int(entry < 0 ? CheckKind::Match : checkResults.result(entry).kind);
                       },
                       [this] { m_listCheck->CheckList(); }};
    m_labels = std::make_unique<LabelCommands>(*m_table, std::move(checks), desktop, *this);

    // Every connection from the grid has the window as its context, so the
    // destructor cuts them all at once.
    CellReactions &cells = *m_cells;
    connect(m_vAdd, &vAdd::BlockSelected, this, [&cells](int c1, int r1, int c2, int r2) { cells.vAdd_BlockSelected(c1, r1, c2, r2); });
    connect(m_vAdd, &vAdd::CellChanged, this, [&cells](int col, int row) { cells.vAdd_CellChanged(col, row); });
    connect(m_vAdd, &vAdd::LeavingCell, this, [&cells](int col, int row, int newCol, int newRow, bool *cancel) {
        cells.vAdd_LeavingCell(col, row, newCol, newRow, cancel);
    });
    connect(m_vAdd, &vAdd::EditorCreated, this, [ime](QLineEdit *editor, int, int) { ime->attach(editor); });
    connect(m_vAdd, &vAdd::ColWidthChanged, this, &fmMain::vAdd_ColWidthChanged);
    connect(m_vAdd, &vAdd::CellDblClick, this, &fmMain::vAdd_CellDblClick);
    connect(m_vAdd, &vAdd::GridRightClick, this, &fmMain::vAdd_GridRightClick);
    // The row numbers widen with the row count; the fit then leaves the last
    // column less, so that no horizontal scroll bar appears.
    connect(m_vAdd->verticalHeader(), &QHeaderView::geometriesChanged, this, &fmMain::refitWhenChromeChanged);
    connect(m_vAdd->verticalScrollBar(), &QScrollBar::rangeChanged, this, &fmMain::refitWhenChromeChanged);
    setAcceptDrops(true);
    // The browser pane would show a dropped file as a page.
    qApp->installEventFilter(this);

    // The panes get their designed heights; the bars take what the style gives them.
    resize(DesignedWidth, DesignedGridPane + DesignedBrowserPane + stBar->sizeHint().height() + menuBar()->sizeHint().height()
                              + splitter->handleWidth());

    Form_Load();
}

fmMain::~fmMain()
{
    // The grid outlives this part of the window: a cell edit it commits while
    // it is torn down must not reach the window's handlers.
    m_vAdd->disconnect(this);
    // A window destroyed without being closed still shuts down in order.
    if (!m_shutDown)
        Form_QueryUnload();
    m_vAdd->disconnect(this);
    // Nor may the grid's parts, nor events, reach it while the widget part
    // tears down its children.
    m_vAdd->verticalHeader()->disconnect(this);
    m_vAdd->verticalScrollBar()->disconnect(this);
    m_splitter->disconnect(this);
    m_listCheck->pane().disconnect(this);
    qApp->removeEventFilter(this);
}

// ---- start-up and shutdown ------------------------------------------------

void fmMain::Form_Load()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_startUpWait = true;
    // Start-up ends when the event loop first runs, whether or not the window
    // is ever activated.
    QTimer::singleShot(0, this, &fmMain::endStartUpWait);
    Program().ProgramName = programNameFromPath(QCoreApplication::applicationFilePath());
    Program().FormLoaded = true;
    m_map->setMapAddresses(m_environment->Restore());
    restoreSplitter();
    m_lookup->CreateAddressComponent();
    m_map->WatchClipboard(1);
    m_uWeb->setWindowReady(true);
}

void fmMain::endStartUpWait()
{
    if (!m_startUpWait)
        return;
    m_startUpWait = false;
    QApplication::restoreOverrideCursor();
}

void fmMain::Form_Activate()
{
    endStartUpWait();
    // Moving through the address column first lets the input method settle
    // closed on the first column.
    m_table->quietly([this] {
        m_vAdd->GoToCell(vAdd::gridColumn(AddressTableModel::Add), 1);
        m_vAdd->GoToCell(vAdd::gridColumn(AddressTableModel::Zip), 1);
    });
}

void fmMain::Form_QueryUnload()
{
    m_shutDown = true;
    m_map->WatchClipboard(0);
    m_lookup->ReleaseAddressComponent();
    Program().FileSystem = false;
    m_environment->Save();
    saveSplitter();
    Program().FormLoaded = false;
    m_uWeb->setWindowReady(false);
}

bool fmMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && !m_activated) {
        m_activated = true;
        Form_Activate();
    }
    // Every activation looks whether another program changed the open file;
    // the question comes after the event, never inside it.
    if (event->type() == QEvent::WindowActivate && !m_shutDown)
        QTimer::singleShot(0, this, [this] { checkFileOnDisk(); });
    return QMainWindow::event(event);
}

void fmMain::closeEvent(QCloseEvent *event)
{
    if (m_shutDown) {
        event->accept();
        return;
    }
    if (!m_files->ConfirmClose()) {
        event->ignore();
        return;
    }
    Form_QueryUnload();
    m_journal->closeNormally();
    event->accept();
}

// ---- layout ---------------------------------------------------------------

void fmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void fmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void fmMain::Form_Resize()
{
    if (isMinimized())
        return;
    FitColumns();
}

void fmMain::vAdd_ColWidthChanged(int, int)
{
    if (m_state.Quiet)
        return;
    FitColumns();
}

int fmMain::gridChrome() const
{
    return m_vAdd->verticalHeader()->sizeHint().width() + m_vAdd->verticalScrollBar()->sizeHint().width()
           + 2 * m_vAdd->frameWidth();
}

void fmMain::refitWhenChromeChanged()
{
    if (!isMinimized() && gridChrome() != m_fittedChrome)
        FitColumns();
}

void fmMain::FitColumns()
{
    m_table->quietly([this] {
        const double twipsPerPixel = Twips::perPixel(logicalDpiX());
        // The rule leaves 3 grid units beside the five columns for the grid's
        // own chrome; the row numbers and the scroll bar here take what they
        // take, so the pane is measured as the columns see it: the viewport
        // plus 3 units.
        const int chrome = gridChrome();
        m_fittedChrome = chrome;
        // The splitter and its panes span the window's whole inner width; the
        // window's own width is current even before the panes are laid out.
        const double paneWidth = width() - chrome + 3 * GridUnits::PixelsPerUnit;
        const auto paneTwips = float(paneWidth * twipsPerPixel);
        using enum AddressTableModel::Column;
        const float rest = ColumnFit::rest(paneTwips, twipsPerPixel,
                                           {m_vAdd->ColumnWidth(vAdd::gridColumn(Zip)), m_vAdd->ColumnWidth(vAdd::gridColumn(Add)),
                                            m_vAdd->ColumnWidth(vAdd::gridColumn(Cmp)), m_vAdd->ColumnWidth(vAdd::gridColumn(Tel))});
        if (rest > ColumnFit::MinimumRest)
            m_vAdd->SetColumnWidth(vAdd::gridColumn(Url), rest);
    });
}

// ---- grid notifications and menus: forwards to the subsystems' commands ----

void fmMain::vAdd_CellDblClick(int col, int row)
{
    if (col == vAdd::gridColumn(AddressTableModel::Url))
        m_map->ShowCellAddress(m_vAdd->GetCell(col, row));
}

void fmMain::vAdd_GridRightClick(int, int, int, int, int)
{
    m_menus.mnJb[1]->popup(QCursor::pos());
}

// The remembered splitter position lives in the per-user settings store, not
// in the settings document, whose form stays as it is.
void fmMain::restoreSplitter()
{
    const QSettings store;
    const QByteArray state = store.value(SplitterKey).toByteArray();
    if (!state.isEmpty())
        m_splitter->restoreState(state);
}

void fmMain::saveSplitter()
{
    if (!m_splitterMoved)
        return;
    // Never a position made for the check's pane.
    QSettings store;
    store.setValue(SplitterKey, m_splitterBeforePane.isEmpty() ? m_splitter->saveState() : m_splitterBeforePane);
}

void fmMain::checkPaneShown(bool shown)
{
    // Also told when the window comes back from being minimised.
    if (shown == m_checkPaneOpen || m_shutDown)
        return;
    m_checkPaneOpen = shown;
    if (shown) {
        if (m_listCheck->pane().isFloating()) {
            m_sizesBeforePane.clear();
            m_splitterBeforePane.clear();
            return;
        }
        // The window lays the pane out after this.
        if (!m_sizesBeforePane.isEmpty())
            QTimer::singleShot(0, this, &fmMain::fitPanesAroundCheckPane);
        return;
    }
    if (m_sizesBeforePane.isEmpty())
        return;
    m_splitterBeforePane.clear();
    QTimer::singleShot(0, this, [this, before = std::exchange(m_sizesBeforePane, {})] {
        if (m_checkPaneOpen || m_shutDown)
            return;
        if (layout())
            layout()->activate();
        m_splitter->setSizes(before);
    });
}

void fmMain::focusNextPane()
{
    const ListCheckPane &pane = m_listCheck->pane();
    const QWidget *focus = QApplication::focusWidget();
    if (pane.isVisible() && !(focus && pane.isAncestorOf(focus))) {
        m_vAdd->EndEdit();
        pane.list()->setFocus(Qt::ShortcutFocusReason);
    } else {
        m_vAdd->setFocus(Qt::ShortcutFocusReason);
    }
}

void fmMain::fitPanesAroundCheckPane()
{
    if (!m_checkPaneOpen || m_sizesBeforePane.size() != 2 || m_shutDown)
        return;
    if (layout())
        layout()->activate();
    const QList<int> now = m_splitter->sizes();
    if (now.size() != 2)
        return;
    const int total = now[0] + now[1];
    const int grid = PaneRoom::gridHeight(m_sizesBeforePane[0], m_sizesBeforePane[1], total);
    m_splitter->setSizes({grid, total - grid});
}

// ---- files from outside ---------------------------------------------------

void fmMain::openFile(const QString &path)
{
    if (path.isEmpty() || m_shutDown)
        return;
    m_pendingFile = path;
    openPendingFile();
}

void fmMain::openPendingFile()
{
    if (m_pendingFile.isEmpty() || m_shutDown)
        return;
    // A question or dialog of this window is open: the file waits for it.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(200, this, &fmMain::openPendingFile);
        return;
    }
    // Workbooks are taken in, not opened: they are not the table's file.
    const QString path = std::exchange(m_pendingFile, QString());
    if (ExchangeCommands::isWorkbook(path))
        m_exchange->ImportFile(path);
    else
        m_files->OpenFile(path);
    m_statusFields->refresh();
}

void fmMain::checkFileOnDisk()
{
    if (!m_shutDown && !QApplication::activeModalWidget())
        m_files->CheckFileOnDisk();
}

void fmMain::keepJournal() { m_journal->enable(Program().UserDataFolder + u"journal"_qs); }

void fmMain::offerRecovery() { m_journal->offerRestore(); }

void fmMain::takeHandOver(const QString &path)
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    openFile(path);
}

void fmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedCsvFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void fmMain::dragMoveEvent(QDragMoveEvent *event)
{
    if (!droppedCsvFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void fmMain::dropEvent(QDropEvent *event)
{
    const QString file = droppedCsvFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    // The drop ends before the file is opened, so that its question and
    // messages do not run inside the drag.
    QTimer::singleShot(0, this, [this, file] { openFile(file); });
}

bool fmMain::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || !m_uWeb->isAncestorOf(widget))
            break;
        auto *drop = static_cast<QDropEvent *>(event);
        const QString file = droppedCsvFile(drop->mimeData());
        if (file.isEmpty())
            break;
        // A CSV file dropped on the pane opens as the table, as on the grid.
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop)
            QTimer::singleShot(0, this, [this, file] { openFile(file); });
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- help -------------------------------------------------------------------

bool fmMain::showHelpPage(const QUrl &url)
{
    if (m_shutDown || (url.isLocalFile() && !QFileInfo(url.toLocalFile()).isFile()))
        return false;
    m_uWeb->setURL(url.toString());
    return true;
}

void fmMain::mnJb_Click(int index)
{
    if (index == 4) {
        ++m_helpRequests;
        // Without a desktop browser the page shows in the browser pane.
        // The helper ends later, perhaps after the window has gone.
        m_environment->OpenHelp([window = QPointer<fmMain>(this)](const QUrl &url) {
            return window && window->showHelpPage(url);
        });
    }
}

void fmMain::mnFile_Click(int index)
{
    if (index == 6) {
        close();
        return;
    }
    if (index == 7 || index == 8)
        m_exchange->mnFile_Click(index);
    else if (index == 9)
        m_labels->PrintLabels();
    else
        m_files->mnFile_Click(index);
    m_statusFields->refresh(); // a save under another name changes nothing else
}

void fmMain::mnEdt_Click(int index)
{
    if (index < 5)
        m_rows->mnEdt_Click(index);
    else
        index == int(RowRules::EditCommand::Find) ? m_findBar->open() : m_sheet->mnEdt_Click(index);
}

void fmMain::mnAdd_Click(int index)
{
    if (index == 5) {
        // The panes as they are before the check's pane opens below them
        // (its showing lays them out anew at once).
        if (m_listCheck->pane().isHidden()) {
            m_sizesBeforePane = m_splitter->sizes();
            m_splitterBeforePane = m_splitter->saveState();
        }
        m_listCheck->CheckList();
    }
    else
        m_lookup->mnAdd_Click(index);
}

void fmMain::mnMap_Click(int index)
{
    m_map->mnMap_Click(index);
}
