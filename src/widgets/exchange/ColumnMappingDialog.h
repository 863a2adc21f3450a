#pragma once

#include "core/exchange/ColumnMapping.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QTableWidget;

// Maps a list's columns to the table's five: for each, up to three source
// columns joined in the order chosen, and a preview of the first rows as they
// will land. It opens with the guess; Enter takes it as shown.
class ColumnMappingDialog final : public QDialog
{
    Q_OBJECT
public:
    static constexpr int Joinable = 3; // source columns per table column
    static constexpr int PreviewRows = 8;

    ColumnMappingDialog(const SourceTable &source, const ColumnMapping &guess, QWidget *parent = nullptr);

    ColumnMapping mapping() const;
    // The choice for table column `column`, place `place` (0: none, n: source column n-1).
    QComboBox *chooser(int column, int place) const { return m_choosers[std::size_t(column)][std::size_t(place)]; }
    QCheckBox *headerBox() const { return m_header; }
    QTableWidget *preview() const { return m_preview; }

private:
    void updatePreview();

    const SourceTable &m_source;
    std::array<std::array<QComboBox *, Joinable>, AddressTableModel::ColumnCount> m_choosers{};
    QCheckBox *m_header = nullptr;
    QTableWidget *m_preview = nullptr;
};
