#include "fmMain.h"

#include "app/ColumnFit.h"
#include "env/Program.h"
#include "grid/GridUnits.h"
#include "grid/vAdd.h"
#include "lookup/AddressComponent.h"
#include "map/ClipboardWatcher.h"
#include "map/uWeb.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {
// The designed inner area of the window, in pixels at 96 dpi.
constexpr int DesignedWidth = 945;
constexpr int DesignedGridPane = 195;
constexpr int DesignedBrowserPane = 448;
constexpr int DesignedStatusBar = 21;
} // namespace

fmMain::fmMain(fmMainServices services, QWidget *parent) : QMainWindow(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("住所･郵便番号･Map URLを調べる (Yahoo 測地系=tokyo)"));

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("Splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_pAdd = new QWidget(m_splitter);
    m_pAdd->setObjectName(QStringLiteral("pAdd"));
    auto *paneLayout = new QVBoxLayout(m_pAdd);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    m_vAdd = new vAdd(m_pAdd);
    paneLayout->addWidget(m_vAdd);
    m_uWeb = new uWeb(m_splitter);
    setMapAddresses(m_map);
    m_splitter->addWidget(m_pAdd);
    m_splitter->addWidget(m_uWeb);
    m_splitter->setSizes({DesignedGridPane, DesignedBrowserPane});
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    setCentralWidget(m_splitter);

    m_stBar = new QStatusBar(this);
    m_stBar->setObjectName(QStringLiteral("stBar"));
    setStatusBar(m_stBar);

    buildMenus();

    connect(m_vAdd, &vAdd::BlockSelected, this, &fmMain::vAdd_BlockSelected);
    connect(m_vAdd, &vAdd::CellChanged, this, &fmMain::vAdd_CellChanged);
    connect(m_vAdd, &vAdd::ColWidthChanged, this, &fmMain::vAdd_ColWidthChanged);
    connect(m_vAdd, &vAdd::CellDblClick, this, &fmMain::vAdd_CellDblClick);
    connect(m_vAdd, &vAdd::LeavingCell, this, &fmMain::vAdd_LeavingCell);
    connect(m_vAdd, &vAdd::GridRightClick, this, &fmMain::vAdd_GridRightClick);

    SetUpIme();

    m_clipboard = new ClipboardWatcher([this](const QString &text) { ClipEvent(text); }, this);

    resize(DesignedWidth, DesignedGridPane + DesignedBrowserPane + DesignedStatusBar
                              + menuBar()->sizeHint().height() + m_splitter->handleWidth());

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
    // The grid outlives this body: a cell editor it closes while the window is
    // torn down must not call back into a half-destroyed window.
    m_vAdd->disconnect(this);
}

QAction *fmMain::topAction(int index) const
{
    return index == 4 ? mnHelp : mnJb[index]->menuAction();
}

void fmMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto addMenu = [&](int index, const QString &caption) {
        mnJb[index] = bar->addMenu(caption);
        mnJb[index]->setObjectName(QStringLiteral("mnJb_%1").arg(index));
        connect(mnJb[index], &QMenu::aboutToShow, this, [this, index] { mnJb_Click(index); });
    };
    auto addItem = [&](QMenu *menu, QAction **array, int index, const QString &caption, const QKeySequence &key,
                       const QString &arrayName, void (fmMain::*handler)(int)) {
        QAction *action = caption == u"-" ? menu->addSeparator() : menu->addAction(caption);
        action->setObjectName(QStringLiteral("%1_%2").arg(arrayName).arg(index));
        if (!key.isEmpty())
            action->setShortcut(key);
        if (!action->isSeparator())
            connect(action, &QAction::triggered, this, [this, handler, index] { (this->*handler)(index); });
        array[index] = action;
    };

    addMenu(0, QStringLiteral("ﾌｧｲﾙ(&F)"));
    const QString file = QStringLiteral("mnFile");
    addItem(mnJb[0], mnFile, 0, QStringLiteral("開く(&O)"), QKeySequence(Qt::CTRL | Qt::Key_O), file, &fmMain::mnFile_Click);
    addItem(mnJb[0], mnFile, 1, QStringLiteral("上書き保存(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S), file, &fmMain::mnFile_Click);
    addItem(mnJb[0], mnFile, 2, QStringLiteral("名を付けて保存(&A)"), {}, file, &fmMain::mnFile_Click);
    addItem(mnJb[0], mnFile, 3, QStringLiteral("-"), {}, file, &fmMain::mnFile_Click);
    addItem(mnJb[0], mnFile, 4, QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"), {}, file, &fmMain::mnFile_Click);
    addItem(mnJb[0], mnFile, 5, QStringLiteral("-"), {}, file, &fmMain::mnFile_Click);
    addItem(mnJb[0], mnFile, 6, QStringLiteral("終了(&X)"), {}, file, &fmMain::mnFile_Click);

    addMenu(1, QStringLiteral("編集(&E)"));
    const QString edit = QStringLiteral("mnEdt");
    addItem(mnJb[1], mnEdt, 0, QStringLiteral("初期化(&A)"), {}, edit, &fmMain::mnEdt_Click);
    addItem(mnJb[1], mnEdt, 1, QStringLiteral("-"), {}, edit, &fmMain::mnEdt_Click);
    addItem(mnJb[1], mnEdt, 2, QStringLiteral("行消去(&C)"), {}, edit, &fmMain::mnEdt_Click);
    addItem(mnJb[1], mnEdt, 3, QStringLiteral("行挿入(&I)"), {}, edit, &fmMain::mnEdt_Click);
    addItem(mnJb[1], mnEdt, 4, QStringLiteral("行削除(&D)"), {}, edit, &fmMain::mnEdt_Click);

    addMenu(2, QStringLiteral("住所検索(&A)"));
    const QString address = QStringLiteral("mnAdd");
    addItem(mnJb[2], mnAdd, 0, QStringLiteral("任意に検索"), QKeySequence(Qt::Key_F2), address, &fmMain::mnAdd_Click);
    addItem(mnJb[2], mnAdd, 1, QStringLiteral("住所から検索"), QKeySequence(Qt::Key_F3), address, &fmMain::mnAdd_Click);
    addItem(mnJb[2], mnAdd, 2, QStringLiteral("郵便番号から検索"), QKeySequence(Qt::Key_F4), address, &fmMain::mnAdd_Click);

    addMenu(3, QStringLiteral("地図検索(&M)"));
    const QString map = QStringLiteral("mnMap");
    addItem(mnJb[3], mnMap, 0, QStringLiteral("住所で検索"), QKeySequence(Qt::Key_F5), map, &fmMain::mnMap_Click);
    addItem(mnJb[3], mnMap, 2, QStringLiteral("勤務先等で検索"), QKeySequence(Qt::Key_F7), map, &fmMain::mnMap_Click);
    addItem(mnJb[3], mnMap, 3, QStringLiteral("登録されているURLで検索"), QKeySequence(Qt::Key_F8), map, &fmMain::mnMap_Click);

    // "Help" has no items: choosing it (mouse or Alt+H) opens the help page at once.
    mnHelp = bar->addAction(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    mnHelp->setObjectName(QStringLiteral("mnJb_4"));
    connect(mnHelp, &QAction::triggered, this, [this] { mnJb_Click(4); });
}

// ---- start-up and shutdown ------------------------------------------------

void fmMain::Form_Load()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Program().ProgramName = programNameFromPath(QCoreApplication::applicationFilePath());
    Program().FormLoaded = true;
    RestoreUserEnvironment();
    CreateAddressComponent();
    m_clipboard->WatchClipboard(1);
}

void fmMain::Form_Activate()
{
    QApplication::restoreOverrideCursor();
    Quiet = true;
    m_vAdd->GoToCell(2, 1);
    m_vAdd->GoToCell(1, 1);
    Quiet = false;
}

void fmMain::Form_QueryUnload()
{
    m_shutDown = true;
    m_clipboard->WatchClipboard(0);
    AddressComponent.reset();
    Program().FileSystem = false;
    SaveUserEnvironment();
    Program().FormLoaded = false;
}

bool fmMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && !m_activated) {
        m_activated = true;
        Form_Activate();
    }
    return QMainWindow::event(event);
}

void fmMain::closeEvent(QCloseEvent *event)
{
    if (m_shutDown) {
        event->accept();
        return;
    }
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    Form_QueryUnload();
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
    if (Quiet)
        return;
    FitColumns();
}

void fmMain::FitColumns()
{
    Quiet = true;
    const double twipsPerPixel = 1440.0 / logicalDpiX();
    // The rule leaves 3 grid units beside the five columns for the grid's own
    // chrome; the row numbers and the scroll bar here take what they take, so
    // the pane is measured as the columns see it: the viewport plus 3 units.
    const int chrome = m_vAdd->verticalHeader()->sizeHint().width()
                       + m_vAdd->verticalScrollBar()->sizeHint().width() + 2 * m_vAdd->frameWidth();
    // The splitter and its panes span the window's whole inner width; the
    // window's own width is current even before the panes are laid out.
    const double paneWidth = width() - chrome + 3 * GridUnits::PixelsPerUnit;
    const auto paneTwips = float(paneWidth * twipsPerPixel);
    const float rest = ColumnFit::rest(paneTwips, twipsPerPixel,
                                       {m_vAdd->ColumnWidth(1), m_vAdd->ColumnWidth(2), m_vAdd->ColumnWidth(3),
                                        m_vAdd->ColumnWidth(4)});
    if (rest > ColumnFit::MinimumRest)
        m_vAdd->SetColumnWidth(5, rest);
    Quiet = false;
}

// ---- menus ----------------------------------------------------------------

void fmMain::mnJb_Click(int index)
{
    if (index == 4) {
        ++helpRequests;
        OpenHelp();
    }
}

void fmMain::mnFile_Click(int index)
{
    switch (index) {
    case 0: OpenCsv(); break;
    case 1: SaveCsv(false); break;
    case 2: SaveCsv(true); break;
    case 4: CopyTable(); break;
    case 6: close(); break;
    default: break;
    }
}
