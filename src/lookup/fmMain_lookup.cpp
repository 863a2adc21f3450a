// The main window's address lookup through the address dictionary component.
#include "app/fmMain.h"

#include "lookup/AddressComponent.h"

#include <QMenu>

void fmMain::CreateAddressComponent()
{
    if (m_services.addressComponent)
        AddressComponent = m_services.addressComponent();
    mnJb[2]->menuAction()->setEnabled(AddressComponent != nullptr);
}

void fmMain::mnAdd_Click(int) {}
