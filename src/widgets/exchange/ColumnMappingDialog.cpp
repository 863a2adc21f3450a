#include "ColumnMappingDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// "A: 氏名" — the column's letter and its header (or first) cell.
QString sourceName(const SourceTable &source, int column)
{
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    const QString first = source.rows.empty() || column >= source.rows.front().size()
        ? QString()
        : source.rows.front()[column].left(20);
    return first.isEmpty() ? letters : letters + QStringLiteral(": ") + first;
}

} // namespace

ColumnMappingDialog::ColumnMappingDialog(const SourceTable &source, const ColumnMapping &guess, QWidget *parent)
    : QDialog(parent), m_source(source)
{
    setWindowTitle(QStringLiteral("取り込む列"));
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);
    const int columns = int(source.columnCount());
    for (int t = 0; t < AddressTableModel::ColumnCount; ++t) {
        grid->addWidget(new QLabel(AddressTableModel::caption(t), this), t, 0);
        const std::vector<int> &chosen = guess.sources[std::size_t(t)];
        for (int p = 0; p < Joinable; ++p) {
            auto *box = new QComboBox(this);
            box->setObjectName(QStringLiteral("column_%1_%2").arg(t).arg(p));
            box->addItem(p == 0 ? QStringLiteral("(なし)") : QStringLiteral("(つなげない)"), -1);
            for (int c = 0; c < columns; ++c)
                box->addItem(sourceName(source, c), c);
            if (std::size_t(p) < chosen.size())
                box->setCurrentIndex(box->findData(chosen[std::size_t(p)]));
            connect(box, &QComboBox::currentIndexChanged, this, &ColumnMappingDialog::updatePreview);
            grid->addWidget(box, t, p + 1);
            m_choosers[std::size_t(t)][std::size_t(p)] = box;
        }
    }
    m_header = new QCheckBox(QStringLiteral("先頭行は見出し(&H)"), this);
    m_header->setChecked(guess.header);
    connect(m_header, &QCheckBox::toggled, this, &ColumnMappingDialog::updatePreview);
    layout->addWidget(m_header);
    m_preview = new QTableWidget(0, AddressTableModel::ColumnCount, this);
    QStringList captions;
    for (int t = 0; t < AddressTableModel::ColumnCount; ++t)
        captions.append(AddressTableModel::caption(t));
    m_preview->setHorizontalHeaderLabels(captions);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_preview);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 480);
    updatePreview();
}

ColumnMapping ColumnMappingDialog::mapping() const
{
    ColumnMapping m;
    m.header = m_header->isChecked();
    for (int t = 0; t < AddressTableModel::ColumnCount; ++t)
        for (QComboBox *box : m_choosers[std::size_t(t)]) {
            const int c = box->currentData().toInt();
            std::vector<int> &s = m.sources[std::size_t(t)];
            if (c >= 0 && std::find(s.begin(), s.end(), c) == s.end())
                s.push_back(c);
        }
    return m;
}

void ColumnMappingDialog::updatePreview()
{
    const MappedRows rows = applyMapping(m_source, mapping(), PreviewRows);
    m_preview->setRowCount(int(rows.rows.size()));
    for (int r = 0; r < rows.rows.size(); ++r)
        for (int t = 0; t < AddressTableModel::ColumnCount; ++t)
            m_preview->setItem(r, t, new QTableWidgetItem(rows.rows[r].cell(t).toString()));
    m_preview->resizeColumnsToContents();
}
