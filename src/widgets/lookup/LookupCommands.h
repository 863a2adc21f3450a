#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class AddressComponent;
class AddressTable;
class Desktop;
class QWidget;

// The 住所検索 menu's commands: the three searches hand the active row to the
// address dictionary component and write back what the person chose in its
// search window; the last item takes a newer month of Japan Post's data.
class LookupCommands final
{
public:
    // Makes the component; a null result leaves the lookup unavailable.
    using Factory = std::function<std::unique_ptr<AddressComponent>()>;

    // `window` places the search window beside the active cell.
    LookupCommands(AddressTable &table, Desktop &desktop, QWidget &window, Factory factory);
    ~LookupCommands();
    Q_DISABLE_COPY_MOVE(LookupCommands)

    // Made at start-up (and again after an update of the postal data),
    // released at shutdown.
    void CreateAddressComponent();
    void ReleaseAddressComponent();
    AddressComponent *component() const { return m_component.get(); }

    // Runs menu item `index`: 0 a free search, 1 from the address, 2 from the
    // postal code (each only with a component), 4 the update of the postal data.
    void mnAdd_Click(int index);

    // Asks for Japan Post's zip or CSV, installs it when it passes every check
    // and switches the component to it; says what changed or why not.
    void UpdatePostalData();

    // Told whether the searches can run, whenever the component is made.
    std::function<void(bool available)> availabilityChanged;

private:
    AddressTable &m_table;
    Desktop &m_desktop;
    QWidget &m_window;
    Factory m_factory;
    std::unique_ptr<AddressComponent> m_component;
};
