#include "SheetCommands.h"

#include "core/table/RowRules.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"

void SheetCommands::mnEdt_Click(int index)
{
    using RowRules::EditCommand;
    switch (EditCommand(index)) {
    case EditCommand::Undo:
        m_table.history().undo();
        break;
    case EditCommand::Redo:
        m_table.history().redo();
        break;
    default:
        break;
    }
}
