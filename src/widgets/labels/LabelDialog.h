#pragma once

#include "core/labels/LabelSheet.h"
#include "core/labels/LabelText.h"
#include "widgets/labels/LabelPages.h"

#include <QDialog>

#include <functional>
#include <memory>

class Desktop;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QSettings;
class QSpinBox;
class QWidget;

// What the dialog needs from the table: the records of the rows it may print
// and which rows each choice of rows takes.
struct LabelSource
{
    QList<LabelRecord> records;  // every row, an untouched pre-fill taken out
    int blockFrom = 0;           // the remembered block; blockTo 0: none
    int blockTo = 0;
    QStringList kinds;           // 一括チェック's kinds with rows; empty: no check yet
    std::function<bool(int row, int kind)> inKind; // kind: index in `kinds`
    // The columns of a list taken in that the rows keep unseen (氏名…), one
    // of which may give the addressee's name; empty: none.
    QStringList keptColumns;
    std::function<QString(int row, int column)> keptCell; // column: index in `keptColumns`
};

// 宛名ラベル印刷: the sheet, the rows, the content and the font, with a live
// preview of the first page; prints through the print dialog, previews page
// by page and saves a PDF. Its questions and file names go through the
// Desktop seam.
class LabelDialog final : public QDialog
{
    Q_OBJECT
public:
    // Closed with CheckFirst: the person chose to run 一括チェック first.
    static constexpr int CheckFirst = 2;

    LabelDialog(LabelSource source, Desktop &desktop, QWidget *parent = nullptr);
    ~LabelDialog() override;
    Q_DISABLE_COPY_MOVE(LabelDialog)

    // The print as the choices stand.
    LabelJob job() const;
    const LabelPages &pages() const;

    // The choices, for the person's hand and the tests'.
    bool chooseSheet(const QString &name);
    void chooseRows(LabelRows rows, int kind = 0);
    void setStart(int position); // from 1
    void setHonorific(Honorific honorific);
    void setPhone(bool phone);
    // The kept column printed as the addressee's name with 様; -1: none.
    void setAddressee(int keptColumn);
    void setFont(const QString &family, double points);
    void setOffset(QPointF mm);
    // ユーザー定義: names and keeps a sheet of the person's numbers; an error
    // text when they make no sheet.
    QString saveUserSheet(const LabelSheet &sheet);

    // "n 件は郵便番号がありません" (empty when every row has a code).
    QString missingCodeText() const;
    // The labels of the unprintable margin and those that do not fit.
    QString warningText() const;

    // Saves a PDF under a name asked through the seam. False when cancelled,
    // refused or failed (the failure is shown).
    bool savePdf();
    // Prints through the print dialog (or `printDialog`).
    bool print();
    // The preview page by page in a window of its own.
    void preview();

    // Shows the system print dialog for `printer`; tests replace it.
    std::function<bool(QPrinter &printer)> printDialog;
    // Runs the page-by-page preview window; tests replace it.
    std::function<void(QDialog &window)> runPreview;

private:
    // The sheet chosen; for ユーザー定義 the numbers typed, while they make one.
    LabelSheet currentSheet() const;
    LabelSheet userSheet() const;
    void buildSheets();
    void relayout();
    void sheetChosen();
    // Before printing: the labels that do not fit and those in the margin; true to go on.
    bool confirmPrint(const QMarginsF &printerMargins);
    QMarginsF m_printerMargins; // the default printer's unprintable margins, mm
    void keepChoices() const;

    LabelSource m_source;
    Desktop &m_desktop;
    QList<LabelSheet> m_sheets; // built in, then the user's
    std::unique_ptr<LabelPages> m_pages;
    QComboBox *m_sheet;
    QWidget *m_userBox;
    QLineEdit *m_userName;
    QDoubleSpinBox *m_userNumbers[6]; // width, height, left, top, pitch x, pitch y
    QSpinBox *m_userColumns;
    QSpinBox *m_userRows;
    QPushButton *m_userSave;
    QDoubleSpinBox *m_offsetX;
    QDoubleSpinBox *m_offsetY;
    QComboBox *m_rows;
    QComboBox *m_kind;
    QSpinBox *m_start;
    QComboBox *m_honorific;
    QCheckBox *m_phone;
    QComboBox *m_addressee; // (なし), then the kept columns
    QFontComboBox *m_font;
    QDoubleSpinBox *m_size;
    QLabel *m_missing;
    QPushButton *m_checkFirst;
    QLabel *m_warning;
    QWidget *m_preview;
    bool m_building = true;
};
