#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class AddressComponent;
class AddressTable;
class Desktop;
class QWidget;

// The 住所検索 menu's command: hands the active row to the address dictionary
// component and writes back what the person chose in its search window.
class LookupCommands final
{
public:
    // Makes the component; a null result leaves the lookup unavailable.
    using Factory = std::function<std::unique_ptr<AddressComponent>()>;

    // `window` places the search window beside the active cell.
    LookupCommands(AddressTable &table, Desktop &desktop, QWidget &window, Factory factory);
    ~LookupCommands();
    Q_DISABLE_COPY_MOVE(LookupCommands)

    // Made once at start-up, released at shutdown.
    void CreateAddressComponent();
    void ReleaseAddressComponent();
    AddressComponent *component() const { return m_component.get(); }

    // Runs menu item `index`: 0 a free search, 1 from the address, 2 from the
    // postal code.
    void mnAdd_Click(int index);

private:
    AddressTable &m_table;
    Desktop &m_desktop;
    QWidget &m_window;
    Factory m_factory;
    std::unique_ptr<AddressComponent> m_component;
};
