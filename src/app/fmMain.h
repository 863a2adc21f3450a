#pragma once

#include "app/MainMenus.h"
#include "core/grid/TableState.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class AddressComponent;
class AddressTable;
class CellReactions;
class Desktop;
class QSplitter;
class QUrl;
class ExchangeCommands;
class FileCommands;
class TableJournal;
class ImeBackend;
class LabelCommands;
class ListCheckCommands;
class LookupCommands;
class MapCommands;
class RowCommands;
class SheetCommands;
class StatusFields;
class FindBar;
class UserEnvironment;
class uWeb;
class vAdd;

// What the main window needs from outside; tests pass scripted ones.
struct fmMainServices
{
    Desktop *desktop = nullptr; // message boxes, file dialogs, the desktop (required)
    // Makes the address dictionary component (null: lookup unavailable); left
    // empty, the program's own is made.
    std::function<std::unique_ptr<AddressComponent>()> addressComponent;
    ImeBackend *ime = nullptr; // input method switching; null: the program's own
};

// The program's only window: the address grid above the browser pane. It owns
// one object per menu's commands and forwards its handlers to them.
class fmMain final : public QMainWindow
{
    Q_OBJECT
public:
    explicit fmMain(fmMainServices services, QWidget *parent = nullptr);
    ~fmMain() override;
    Q_DISABLE_COPY_MOVE(fmMain)

    vAdd *grid() const { return m_vAdd; }
    uWeb *web() const { return m_uWeb; }
    const MainMenus &menus() const { return m_menus; }
    TableState &state() { return m_state; }
    AddressTable &table() const { return *m_table; }
    FileCommands &files() const { return *m_files; }
    StatusFields &statusFields() const { return *m_statusFields; }
    ExchangeCommands &exchange() const { return *m_exchange; }
    TableJournal &journal() const { return *m_journal; }
    // Keeps the table's unsaved changes in a recovery journal in the user
    // data folder (the program's one window does; tests choose).
    void keepJournal();
    // Offers back the changes of a run that ended without saving them.
    void offerRecovery();
    LookupCommands &lookup() const { return *m_lookup; }
    ListCheckCommands &listCheck() const { return *m_listCheck; }
    MapCommands &map() const { return *m_map; }
    LabelCommands &labels() const { return *m_labels; }
    bool activated() const { return m_activated; }
    bool shutDown() const { return m_shutDown; }
    int helpRequests() const { return m_helpRequests; }
    QSplitter *splitter() const { return m_splitter; }

    // Opens a file named from outside the window's own dialog (the program's
    // argument, a drop, another start) through the one Open path; while a
    // dialog or question is open, once it has closed.
    void openFile(const QString &path);
    // Another start of the program handed over `path` (empty: none): the
    // window comes to the front and opens it.
    void takeHandOver(const QString &path);

    void mnJb_Click(int index);
    void mnFile_Click(int index);
    void mnEdt_Click(int index);
    void mnAdd_Click(int index);
    void mnMap_Click(int index);

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void Form_Resize();
    void FitColumns();
    int gridChrome() const;
    void refitWhenChromeChanged();
    void endStartUpWait();
    bool showHelpPage(const QUrl &url);
    void openPendingFile();
    void checkFileOnDisk();
    void restoreSplitter();
    void saveSplitter();
    // The check's pane opened or closed below the panes: its room comes from
    // the browser pane first, and goes back when it closes.
    void checkPaneShown(bool shown);
    void fitPanesAroundCheckPane();
    void focusNextPane();
    void vAdd_ColWidthChanged(int col1, int col2);
    void vAdd_CellDblClick(int col, int row);
    void vAdd_GridRightClick(int clickType, int col, int row, int x, int y);

    fmMainServices m_services;
    TableState m_state;
    vAdd *m_vAdd;
    uWeb *m_uWeb;
    MainMenus m_menus;
    std::unique_ptr<AddressTable> m_table;
    std::unique_ptr<UserEnvironment> m_environment;
    std::unique_ptr<FileCommands> m_files;
    std::unique_ptr<ExchangeCommands> m_exchange;
    std::unique_ptr<RowCommands> m_rows;
    std::unique_ptr<SheetCommands> m_sheet;
    std::unique_ptr<StatusFields> m_statusFields;
    FindBar *m_findBar = nullptr;
    std::unique_ptr<CellReactions> m_cells;
    std::unique_ptr<LookupCommands> m_lookup;
    std::unique_ptr<ListCheckCommands> m_listCheck;
    std::unique_ptr<MapCommands> m_map;
    std::unique_ptr<LabelCommands> m_labels;
    std::unique_ptr<TableJournal> m_journal;
    QSplitter *m_splitter = nullptr;
    int m_fittedChrome = -1;    // row numbers, scroll bar and frame at the last fit
    bool m_startUpWait = false; // the wait cursor of start-up is still shown
    bool m_splitterMoved = false;
    bool m_checkPaneOpen = false;
    // The panes' heights and the splitter's state before the check's pane
    // took its room; empty: nothing to give back.
    QList<int> m_sizesBeforePane;
    QByteArray m_splitterBeforePane;
    QString m_pendingFile;      // handed over while a dialog was open
    int m_helpRequests = 0; // times the help menu was chosen
    bool m_activated = false;
    bool m_shutDown = false;
};
