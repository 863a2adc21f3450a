#pragma once

#include "widgets/labels/LabelDialog.h"

#include <functional>
#include <utility>

class AddressTable;
class Desktop;
class QWidget;

// What the labels need of 一括チェック; the window wires it.
struct LabelChecks
{
    std::function<bool()> checked;         // a check ran to its end
    std::function<int(int row)> kindOfRow; // a checked row's CheckKind (row from 1)
    std::function<void()> runCheck;        // starts a check of the whole list
};

// 宛名ラベル印刷: the rows of the table as address labels on a sheet,
// printed, previewed or saved as a PDF.
class LabelCommands final
{
public:
    LabelCommands(AddressTable &table, LabelChecks checks, Desktop &desktop, QWidget &window)
        : m_table(table), m_checks(std::move(checks)), m_desktop(desktop), m_window(window)
    {
    }
    Q_DISABLE_COPY_MOVE(LabelCommands)

    // Opens the dialog on the table as it stands; closed with
    // LabelDialog::CheckFirst, it starts 一括チェック instead.
    void PrintLabels();

    // The table's rows for the dialog: every row with an untouched pre-fill
    // taken out, the remembered block and 一括チェック's kinds.
    LabelSource source() const;

    // Runs the dialog instead of exec(), returning its result; for tests.
    std::function<int(LabelDialog &dialog)> runDialog;

private:
    AddressTable &m_table;
    LabelChecks m_checks;
    Desktop &m_desktop;
    QWidget &m_window;
};
