#pragma once

#include "map/MapSearch.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class AddressComponent;
class ClipboardWatcher;
class Desktop;
class ImeBackend;
class QAction;
class QMenu;
class QSplitter;
class QStatusBar;
class QWidget;
class uWeb;
class vAdd;

// What the main window needs from outside; tests pass scripted ones.
struct fmMainServices
{
    Desktop *desktop = nullptr; // message boxes, file dialogs, the desktop (required)
    // Makes the address dictionary component; null result: lookup unavailable.
    // Left empty, the program's own dictionary component is made.
    std::function<std::unique_ptr<AddressComponent>()> addressComponent;
    ImeBackend *ime = nullptr; // input method switching; null: the program's own
};

// The program's only window: the address grid above the browser pane.
class fmMain final : public QMainWindow
{
    Q_OBJECT
public:
    explicit fmMain(fmMainServices services, QWidget *parent = nullptr);
    ~fmMain() override;
    Q_DISABLE_COPY_MOVE(fmMain)

    vAdd *grid() const { return m_vAdd; }
    uWeb *web() const { return m_uWeb; }
    QAction *fileAction(int index) const { return mnFile[index]; }
    QAction *editAction(int index) const { return mnEdt[index]; }
    QAction *addressAction(int index) const { return mnAdd[index]; }
    QAction *mapAction(int index) const { return mnMap[index]; }
    QMenu *topMenu(int index) const { return mnJb[index]; }
    QAction *topAction(int index) const;
    QMenu *editMenu() const { return mnJb[1]; }

    // Row accessors on the active row; keys "ZIP", "ADD", "CMP", "TEL", "URL" in any case.
    static int KeyCol(const QString &key);
    QString GetRowVal(const QString &key) const;
    void SetRowVal(const QString &key, const QString &value);

    // The table state the window keeps beside the grid (public: every
    // subsystem and the tests read it under these names).
    std::unique_ptr<::AddressComponent> AddressComponent;
    bool Dirty = false;
    int SelRowFrom = 0;
    int SelRowTo = 0;
    QString CurrentFile;
    bool Quiet = false;
    bool ImeOn = false;

    bool activated() const { return m_activated; }
    bool shutDown() const { return m_shutDown; }

public Q_SLOTS:
    void mnJb_Click(int index);
    void mnFile_Click(int index);
    void mnEdt_Click(int index);
    void mnAdd_Click(int index);
    void mnMap_Click(int index);

public:
    // File commands: CSV files and the table on the clipboard.
    enum class LoadResult {
        Loaded,    // the whole file is in the table
        BadFormat, // stopped at a malformed line; the table holds what came before
        NotLoaded, // unreadable or cancelled: the table is as it was
    };
    void OpenCsv();
    LoadResult LoadCsv(const QString &path);
    bool SaveCsv(bool askName); // true when the file was written
    void CopyTable();
    int progressDelayMs = 500; // a load or save running longer shows its progress
    int helpRequests = 0;      // times the help menu was chosen

    // Map links from the clipboard.
    void ClipEvent(const QString &text);

    // ---- map search (map/) ----
    // The map service's addresses (MapRedirectAddress, MapBaseAddress); the
    // start-up reads them from the settings, tests point them elsewhere.
    const MapAddresses &mapAddresses() const { return m_map; }
    void setMapAddresses(const MapAddresses &addresses);

    // Layout.
    void FitColumns();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void Form_Resize();

    // Start-up and shutdown steps owned by the user environment.
    void RestoreUserEnvironment();
    void SaveUserEnvironment();
    // Asks about unsaved changes before the window closes; false keeps it open.
    bool ConfirmClose();
    // The help menu: opens the help page.
    void OpenHelp();

    void CreateAddressComponent();

    // Cell editing and the input method: the backend from the services, or
    // the window's own (a child of the window), and the grid hooked to it.
    void SetUpIme();
    void SetImeMode(int mode);
    ImeBackend *m_ime = nullptr;

    void vAdd_BlockSelected(int col1, int row1, int col2, int row2);
    void vAdd_CellChanged(int col, int row);
    void vAdd_ColWidthChanged(int col1, int col2);
    void vAdd_CellDblClick(int col, int row);
    void vAdd_LeavingCell(int col, int row, int newCol, int newRow, bool *cancel);
    void vAdd_GridRightClick(int clickType, int col, int row, int x, int y);

    // Marks a content change made by a command (never while Quiet).
    void markDirty();

    // ---- map search (map/) ----
    // Shows an address taken from a cell in the browser pane, but only an
    // http or https one; anything else is named in a message and not opened.
    void ShowCellAddress(const QString &address);
    MapAddresses m_map;

    fmMainServices m_services;
    QSplitter *m_splitter = nullptr;
    QWidget *m_pAdd = nullptr;
    vAdd *m_vAdd = nullptr;
    uWeb *m_uWeb = nullptr;
    QStatusBar *m_stBar = nullptr;
    ClipboardWatcher *m_clipboard = nullptr;

    QMenu *mnJb[5] = {};
    QAction *mnHelp = nullptr; // the top-level "help" entry, which has no items
    QAction *mnFile[7] = {};
    QAction *mnEdt[5] = {};
    QAction *mnAdd[3] = {};
    QAction *mnMap[4] = {};

    QString m_lastFileName; // the file dialog offers the name chosen last, in either mode

    bool m_activated = false;
    bool m_shutDown = false;
};
