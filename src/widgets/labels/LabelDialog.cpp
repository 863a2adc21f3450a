#include "LabelDialog.h"

#include "core/env/Desktop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString UserDefined = QStringLiteral("ユーザー定義");

// The first page as it will print, scaled into the widget, the labels'
// edges drawn in grey.
class PagePreview final : public QWidget
{
public:
    explicit PagePreview(std::function<const LabelPages *()> pages, QWidget *parent)
        : QWidget(parent), m_pages(std::move(pages))
    {
        setObjectName(QStringLiteral("labelPreview"));
        setMinimumSize(300, 424);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        const double dotsPerMm = std::min((width() - 8) / A4Millimetres.width(), (height() - 8) / A4Millimetres.height());
        const QSizeF page(A4Millimetres.width() * dotsPerMm, A4Millimetres.height() * dotsPerMm);
        const QPointF corner((width() - page.width()) / 2, (height() - page.height()) / 2);
        painter.translate(corner);
        painter.fillRect(QRectF(QPointF(), page), Qt::white);
        painter.setPen(Qt::darkGray);
        painter.drawRect(QRectF(QPointF(), page));
        painter.setRenderHint(QPainter::TextAntialiasing);
        if (const LabelPages *pages = m_pages())
            pages->paintPage(painter, 0, dotsPerMm, true);
    }

private:
    std::function<const LabelPages *()> m_pages;
};

QDoubleSpinBox *millimetres(double min, double max, QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setRange(min, max);
    box->setDecimals(2);
    box->setSingleStep(0.1);
    box->setSuffix(QStringLiteral(" mm"));
    return box;
}

QString rowList(const QList<int> &rows)
{
    QStringList parts;
    for (int i = 0; i < rows.size() && i < 20; ++i)
        parts.append(QString::number(rows[i]));
    if (rows.size() > 20)
        parts.append(QStringLiteral("…"));
    return parts.join(QStringLiteral(", "));
}
} // namespace

LabelDialog::LabelDialog(LabelSource source, Desktop &desktop, QWidget *parent)
    : QDialog(parent), m_source(std::move(source)), m_desktop(desktop)
{
    setObjectName(QStringLiteral("LabelDialog"));
    setWindowTitle(QStringLiteral("宛名ラベル印刷"));
    auto *form = new QFormLayout;

    m_sheet = new QComboBox(this);
    m_sheet->setObjectName(QStringLiteral("sheet"));
    form->addRow(QStringLiteral("用紙(&S)"), m_sheet);

    // ユーザー定義: the person's numbers, kept under a name of their own.
    m_userBox = new QGroupBox(UserDefined, this);
    auto *userForm = new QFormLayout(m_userBox);
    m_userName = new QLineEdit(m_userBox);
    userForm->addRow(QStringLiteral("名前"), m_userName);
    const char16_t *numberNames[] = {u"ラベルの幅", u"ラベルの高さ", u"左余白", u"上余白", u"横ピッチ", u"縦ピッチ"};
    for (int i = 0; i < 6; ++i) {
        m_userNumbers[i] = millimetres(0, 297, m_userBox);
        userForm->addRow(QString::fromUtf16(numberNames[i]), m_userNumbers[i]);
    }
    m_userColumns = new QSpinBox(m_userBox);
    m_userColumns->setRange(1, 20);
    m_userRows = new QSpinBox(m_userBox);
    m_userRows->setRange(1, 40);
    userForm->addRow(QStringLiteral("列数"), m_userColumns);
    userForm->addRow(QStringLiteral("行数"), m_userRows);
    m_userSave = new QPushButton(QStringLiteral("この用紙を保存"), m_userBox);
    userForm->addRow(m_userSave);
    form->addRow(m_userBox);
    // Enter in a field must not save a half-typed sheet.
    m_userSave->setAutoDefault(false);
    connect(m_userSave, &QPushButton::clicked, this, [this] {
        if (const QString problem = saveUserSheet(userSheet()); !problem.isEmpty())
            m_desktop.message(problem);
    });

    auto *offsets = new QHBoxLayout;
    m_offsetX = millimetres(-20, 20, this);
    m_offsetY = millimetres(-20, 20, this);
    m_offsetX->setPrefix(QStringLiteral("横 "));
    m_offsetY->setPrefix(QStringLiteral("縦 "));
    offsets->addWidget(m_offsetX);
    offsets->addWidget(m_offsetY);
    form->addRow(QStringLiteral("印刷位置の補正"), offsets);

    m_rows = new QComboBox(this);
    m_rows->setObjectName(QStringLiteral("rows"));
    m_rows->addItems({QStringLiteral("空白でないすべての行"), QStringLiteral("記憶したブロックの行"),
                      QStringLiteral("一括チェックの種類")});
    m_kind = new QComboBox(this);
    m_kind->addItems(m_source.kinds);
    auto *rowsLine = new QHBoxLayout;
    rowsLine->addWidget(m_rows, 1);
    rowsLine->addWidget(m_kind);
    auto *rowsLabel = new QLabel(QStringLiteral("印刷する行(&R)"), this);
    rowsLabel->setBuddy(m_rows);
    form->addRow(rowsLabel, rowsLine);
    m_start = new QSpinBox(this);
    m_start->setObjectName(QStringLiteral("start"));
    m_start->setPrefix(QStringLiteral("ラベル "));
    m_start->setSuffix(QStringLiteral(" 枚目から"));
    form->addRow(QStringLiteral("開始位置"), m_start);

    m_honorific = new QComboBox(this);
    m_honorific->addItems({QStringLiteral("御中"), QStringLiteral("様"), QStringLiteral("なし")});
    form->addRow(QStringLiteral("勤務先等の敬称"), m_honorific);
    m_addressee = new QComboBox(this);
    m_addressee->setObjectName(QStringLiteral("addressee"));
    m_addressee->addItem(QStringLiteral("(なし)"));
    m_addressee->addItems(m_source.keptColumns);
    // Only a list taken in with other columns has names to choose from.
    if (!m_source.keptColumns.isEmpty())
        form->addRow(QStringLiteral("宛名 (様) の列"), m_addressee);
    else
        m_addressee->hide();
    m_phone = new QCheckBox(QStringLiteral("電話番号も印刷する"), this);
    form->addRow(QString(), m_phone);

    m_font = new QFontComboBox(this);
    m_font->setWritingSystem(QFontDatabase::Japanese);
    m_size = new QDoubleSpinBox(this);
    m_size->setRange(SmallestLabelPoints, 36);
    m_size->setSingleStep(0.5);
    m_size->setDecimals(1);
    m_size->setSuffix(QStringLiteral(" pt"));
    m_font->setObjectName(QStringLiteral("font"));
    auto *fontLine = new QHBoxLayout;
    fontLine->addWidget(m_font, 1);
    fontLine->addWidget(m_size);
    auto *fontLabel = new QLabel(QStringLiteral("フォント(&N)"), this);
    fontLabel->setBuddy(m_font);
    form->addRow(fontLabel, fontLine);

    m_missing = new QLabel(this);
    m_missing->setObjectName(QStringLiteral("missingCodes"));
    m_checkFirst = new QPushButton(QStringLiteral("先に一括チェックする"), this);
    m_checkFirst->setAutoDefault(false);
    auto *missingLine = new QHBoxLayout;
    missingLine->addWidget(m_missing, 1);
    missingLine->addWidget(m_checkFirst);
    form->addRow(missingLine);
    connect(m_checkFirst, &QPushButton::clicked, this, [this] { done(CheckFirst); });
    m_warning = new QLabel(this);
    m_warning->setObjectName(QStringLiteral("warning"));
    m_warning->setWordWrap(true);
    form->addRow(m_warning);

    m_preview = new PagePreview([this] { return m_pages.get(); }, this);
    auto *buttons = new QDialogButtonBox(this);
    auto *previewButton = buttons->addButton(QStringLiteral("プレビュー(&V)..."), QDialogButtonBox::ActionRole);
    auto *printButton = buttons->addButton(QStringLiteral("印刷(&P)..."), QDialogButtonBox::ActionRole);
    auto *pdfButton = buttons->addButton(QStringLiteral("PDF に保存"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    connect(previewButton, &QPushButton::clicked, this, &LabelDialog::preview);
    connect(printButton, &QPushButton::clicked, this, [this] {
        if (print())
            accept();
    });
    connect(pdfButton, &QPushButton::clicked, this, [this] {
        if (savePdf())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *columns = new QHBoxLayout;
    columns->addLayout(form);
    columns->addWidget(m_preview, 1);
    auto *all = new QVBoxLayout(this);
    all->addLayout(columns, 1);
    all->addWidget(buttons);

    // The last choices, or the defaults.
    QSettings store;
    store.beginGroup(QStringLiteral("Labels"));
    const QString family = store.value(QStringLiteral("font"), QStringLiteral("Noto Sans CJK JP")).toString();
    m_font->setCurrentFont(QFont(family));
    m_size->setValue(store.value(QStringLiteral("points"), 11.0).toDouble());
    m_offsetX->setValue(store.value(QStringLiteral("offsetX"), 0.0).toDouble());
    m_offsetY->setValue(store.value(QStringLiteral("offsetY"), 0.0).toDouble());
    m_honorific->setCurrentIndex(std::clamp(store.value(QStringLiteral("honorific"), 0).toInt(), 0, 2));
    m_phone->setChecked(store.value(QStringLiteral("phone"), false).toBool());
    // The addressee's column by its name, when the list has one of that name.
    m_addressee->setCurrentIndex(
        std::max(0, int(m_source.keptColumns.indexOf(store.value(QStringLiteral("addressee")).toString())) + 1));
    const QString lastSheet = store.value(QStringLiteral("sheet"), QStringLiteral("12面")).toString();
    store.endGroup();
    buildSheets();
    chooseSheet(lastSheet);

    QPrinter printer;
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    m_printerMargins = layout.minimumMargins();

    const auto changed = [this] { relayout(); };
    for (QDoubleSpinBox *box : {m_offsetX, m_offsetY, m_size})
        connect(box, &QDoubleSpinBox::valueChanged, this, changed);
    for (QComboBox *box : {m_rows, m_kind, m_honorific, m_addressee})
        connect(box, &QComboBox::currentIndexChanged, this, changed);
    connect(m_start, &QSpinBox::valueChanged, this, changed);
    // The preview follows the numbers of a sheet of one's own as they are typed.
    for (QDoubleSpinBox *box : m_userNumbers)
        connect(box, &QDoubleSpinBox::valueChanged, this, changed);
    for (QSpinBox *box : {m_userColumns, m_userRows})
        connect(box, &QSpinBox::valueChanged, this, changed);
    connect(m_phone, &QCheckBox::toggled, this, changed);
    connect(m_font, &QFontComboBox::currentFontChanged, this, changed);
    connect(m_sheet, &QComboBox::currentIndexChanged, this, &LabelDialog::sheetChosen);
    m_building = false;
    sheetChosen();
}

LabelDialog::~LabelDialog() = default;

void LabelDialog::buildSheets()
{
    QSettings store;
    m_sheets = builtInSheets();
    m_sheets.append(readUserSheets(store));
    const QSignalBlocker blocker(m_sheet);
    m_sheet->clear();
    for (const LabelSheet &sheet : std::as_const(m_sheets))
        m_sheet->addItem(sheet.name);
    m_sheet->addItem(UserDefined);
}

bool LabelDialog::chooseSheet(const QString &name)
{
    const int index = m_sheet->findText(name);
    if (index < 0)
        return false;
    const bool changes = index != m_sheet->currentIndex();
    m_sheet->setCurrentIndex(index); // a change reaches sheetChosen through the signal
    if (!changes && !m_building)
        sheetChosen();
    return true;
}

void LabelDialog::sheetChosen()
{
    const int index = m_sheet->currentIndex();
    const bool user = index >= m_sheets.size();
    m_userBox->setVisible(user);
    const LabelSheet &shown = m_sheets[user ? 0 : index];
    if (!user) {
        m_userName->setText(shown.name);
        const double numbers[] = {shown.width, shown.height, shown.left, shown.top, shown.pitchX, shown.pitchY};
        // One layout after all of them, not one per number.
        for (int i = 0; i < 6; ++i) {
            const QSignalBlocker blocker(m_userNumbers[i]);
            m_userNumbers[i]->setValue(numbers[i]);
        }
        const QSignalBlocker columns(m_userColumns);
        const QSignalBlocker rows(m_userRows);
        m_userColumns->setValue(shown.columns);
        m_userRows->setValue(shown.rows);
    } else {
        // The numbers of the sheet shown last start one's own; a built-in
        // name cannot be kept for it.
        const QString name = m_userName->text();
        for (const LabelSheet &builtIn : builtInSheets())
            if (builtIn.name == name)
                m_userName->clear();
    }
    relayout();
}

LabelSheet LabelDialog::userSheet() const
{
    return {m_userName->text().trimmed(), m_userNumbers[0]->value(), m_userNumbers[1]->value(),
            m_userColumns->value(), m_userRows->value(), m_userNumbers[2]->value(), m_userNumbers[3]->value(),
            m_userNumbers[4]->value(), m_userNumbers[5]->value()};
}

LabelSheet LabelDialog::currentSheet() const
{
    const int index = m_sheet->currentIndex();
    if (index >= 0 && index < m_sheets.size())
        return m_sheets[index];
    // ユーザー定義: the numbers typed so far, once they make a sheet (a name
    // aside).
    LabelSheet typed = userSheet();
    if (typed.name.isEmpty())
        typed.name = UserDefined;
    return typed.problem(A4Millimetres).isEmpty() ? typed : m_sheets.value(0);
}

LabelJob LabelDialog::job() const
{
    LabelJob job;
    job.sheet = currentSheet();
    const auto which = LabelRows(m_rows->currentIndex());
    const int kind = m_kind->currentIndex();
    const auto inKind = [this, kind](int row) { return m_source.inKind && m_source.inKind(row, kind); };
    const int addressee = m_addressee->currentIndex() - 1;
    if (addressee >= 0 && m_source.keptCell) {
        QList<LabelRecord> named = m_source.records;
        for (LabelRecord &record : named)
            record.name = m_source.keptCell(record.row, addressee);
        job.records = chooseLabelRecords(named, which, m_source.blockFrom, m_source.blockTo, inKind);
    } else {
        job.records = chooseLabelRecords(m_source.records, which, m_source.blockFrom, m_source.blockTo, inKind);
    }
    job.content.honorific = Honorific(m_honorific->currentIndex());
    job.content.phone = m_phone->isChecked();
    job.family = m_font->currentFont().family();
    job.points = m_size->value();
    job.skip = m_start->value() - 1;
    job.offset = {m_offsetX->value(), m_offsetY->value()};
    return job;
}

const LabelPages &LabelDialog::pages() const
{
    return *m_pages;
}

void LabelDialog::relayout()
{
    if (m_building)
        return;
    // The rows the table has decide which choices of rows make sense.
    m_rows->setItemData(1, m_source.blockTo > 0 ? QVariant() : QVariant(0), Qt::UserRole - 1);
    m_rows->setItemData(2, m_source.kinds.isEmpty() ? QVariant(0) : QVariant(), Qt::UserRole - 1);
    m_kind->setEnabled(m_rows->currentIndex() == 2);
    const LabelSheet sheet = currentSheet();
    {
        const QSignalBlocker blocker(m_start);
        m_start->setRange(1, sheet.perPage());
    }
    m_pages = std::make_unique<LabelPages>(job());
    m_missing->setText(missingCodeText());
    m_checkFirst->setVisible(!missingCodeText().isEmpty());
    m_warning->setText(warningText());
    m_preview->update();
}

QString LabelDialog::missingCodeText() const
{
    const int missing = countWithoutCode(m_pages->job().records);
    return missing ? QStringLiteral("%1 件は郵便番号がありません").arg(missing) : QString();
}

QString LabelDialog::warningText() const
{
    QStringList lines;
    const LabelJob &job = m_pages->job();
    if (job.records.isEmpty())
        lines.append(QStringLiteral("印刷する行がありません"));
    else
        lines.append(QStringLiteral("%1 枚のラベル、%2 ページ").arg(job.records.size()).arg(m_pages->pageCount()));
    const QList<int> cells = cellsInUnprintableMargin(job.sheet, A4Millimetres, m_printerMargins, job.offset);
    if (!cells.isEmpty()) {
        QList<int> numbers;
        for (int cell : cells)
            numbers.append(cell + 1);
        lines.append(QStringLiteral("ラベル %1 は印刷できない余白にかかります").arg(rowList(numbers)));
    }
    if (const QList<int> rows = m_pages->unfitRows(); !rows.isEmpty())
        lines.append(QStringLiteral("%1 行目のラベルは 6 pt でも収まりません").arg(rowList(rows)));
    return lines.join(u'\n');
}

void LabelDialog::chooseRows(LabelRows rows, int kind)
{
    m_kind->setCurrentIndex(kind);
    m_rows->setCurrentIndex(int(rows));
    relayout();
}

void LabelDialog::setStart(int position)
{
    m_start->setValue(position);
}

void LabelDialog::setHonorific(Honorific honorific)
{
    m_honorific->setCurrentIndex(int(honorific));
}

void LabelDialog::setPhone(bool phone)
{
    m_phone->setChecked(phone);
}

void LabelDialog::setAddressee(int keptColumn)
{
    m_addressee->setCurrentIndex(std::clamp(keptColumn + 1, 0, m_addressee->count() - 1));
}

void LabelDialog::setFont(const QString &family, double points)
{
    m_font->setCurrentFont(QFont(family));
    m_size->setValue(points);
    relayout();
}

void LabelDialog::setOffset(QPointF mm)
{
    m_offsetX->setValue(mm.x());
    m_offsetY->setValue(mm.y());
}

QString LabelDialog::saveUserSheet(const LabelSheet &sheet)
{
    if (QString problem = sheet.problem(A4Millimetres); !problem.isEmpty())
        return problem;
    for (const LabelSheet &builtIn : builtInSheets())
        if (builtIn.name == sheet.name || sheet.name == UserDefined)
            return QStringLiteral("%1 は組み込みの用紙の名前です").arg(sheet.name);
    QSettings store;
    ::saveUserSheet(store, sheet);
    buildSheets();
    chooseSheet(sheet.name);
    return {};
}

void LabelDialog::keepChoices() const
{
    QSettings store;
    store.beginGroup(QStringLiteral("Labels"));
    store.setValue(QStringLiteral("sheet"), m_sheet->currentText());
    store.setValue(QStringLiteral("font"), m_font->currentFont().family());
    store.setValue(QStringLiteral("points"), m_size->value());
    store.setValue(QStringLiteral("offsetX"), m_offsetX->value());
    store.setValue(QStringLiteral("offsetY"), m_offsetY->value());
    store.setValue(QStringLiteral("honorific"), m_honorific->currentIndex());
    store.setValue(QStringLiteral("phone"), m_phone->isChecked());
    // Kept only when there was a choice: a list without kept columns leaves it.
    if (!m_source.keptColumns.isEmpty())
        store.setValue(QStringLiteral("addressee"), m_addressee->currentIndex() > 0 ? m_addressee->currentText() : QString());
    store.endGroup();
}

bool LabelDialog::confirmPrint(const QMarginsF &printerMargins)
{
    const LabelJob &job = m_pages->job();
    if (job.records.isEmpty()) {
        m_desktop.message(QStringLiteral("印刷する行がありません"));
        return false;
    }
    QStringList notes;
    if (const QList<int> rows = m_pages->unfitRows(); !rows.isEmpty())
        notes.append(QStringLiteral("次の行のラベルは 6 pt でも収まらず、はみ出す部分は印刷されません: %1").arg(rowList(rows)));
    const QList<int> cells = cellsInUnprintableMargin(job.sheet, A4Millimetres, printerMargins, job.offset);
    if (!cells.isEmpty())
        notes.append(QStringLiteral("用紙の端のラベルはプリンターの印刷できない余白にかかります"));
    if (notes.isEmpty())
        return true;
    notes.append(QStringLiteral("このまま印刷しますか?"));
    return m_desktop.ask(notes.join(u'\n'), Desktop::Buttons::YesNo) == Desktop::Answer::Yes;
}

bool LabelDialog::savePdf()
{
    if (!confirmPrint({}))
        return false;
    Desktop::FileRequest request;
    request.mode = Desktop::FileMode::Save;
    request.title = QStringLiteral("PDF に保存");
    request.startName = QStringLiteral("宛名ラベル.pdf");
    request.filter = QStringLiteral("PDF (*.pdf)");
    QString path = m_desktop.chooseFile(request);
    if (path.isEmpty())
        return false;
    // A name typed without an extension (a folder's dot aside) gets ".pdf".
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    if (const QString error = m_pages->writePdf(path); !error.isEmpty()) {
        m_desktop.message(error);
        return false;
    }
    keepChoices();
    return true;
}

bool LabelDialog::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFromTo(1, std::max(1, m_pages->pageCount()));
    const bool chosen = printDialog ? printDialog(printer) : [&] {
        QPrintDialog dialog(&printer, this);
        dialog.setMinMax(1, std::max(1, m_pages->pageCount()));
        return dialog.exec() == QDialog::Accepted;
    }();
    if (!chosen)
        return false;
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    if (!confirmPrint(layout.minimumMargins()))
        return false;
    if (!m_pages->print(printer)) {
        m_desktop.message(QStringLiteral("印刷できませんでした"));
        return false;
    }
    keepChoices();
    return true;
}

void LabelDialog::preview()
{
    QDialog window(this);
    window.setObjectName(QStringLiteral("labelPreviewWindow"));
    window.setWindowTitle(QStringLiteral("宛名ラベルのプレビュー"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    auto *view = new QPrintPreviewWidget(&printer, &window);
    view->setObjectName(QStringLiteral("printPreview"));
    view->setViewMode(QPrintPreviewWidget::SinglePageView);
    connect(view, &QPrintPreviewWidget::paintRequested, &window, [this](QPrinter *target) { m_pages->print(*target); });
    auto *previous = new QPushButton(QStringLiteral("前のページ"), &window);
    auto *next = new QPushButton(QStringLiteral("次のページ"), &window);
    auto *where = new QLabel(&window);
    where->setObjectName(QStringLiteral("previewPage"));
    auto *close = new QPushButton(QStringLiteral("閉じる"), &window);
    const auto show = [view, where] {
        where->setText(QStringLiteral("%1 / %2 ページ").arg(view->currentPage()).arg(view->pageCount()));
    };
    connect(previous, &QPushButton::clicked, view, [view, show] {
        view->setCurrentPage(view->currentPage() - 1);
        show();
    });
    connect(next, &QPushButton::clicked, view, [view, show] {
        view->setCurrentPage(view->currentPage() + 1);
        show();
    });
    connect(view, &QPrintPreviewWidget::previewChanged, where, show);
    connect(close, &QPushButton::clicked, &window, &QDialog::accept);
    auto *bar = new QHBoxLayout;
    bar->addWidget(previous);
    bar->addWidget(next);
    bar->addWidget(where, 1);
    bar->addWidget(close);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(view, 1);
    layout->addLayout(bar);
    window.resize(700, 900);
    view->updatePreview();
    if (runPreview)
        runPreview(window);
    else
        window.exec();
}
