#pragma once

#include <QString>

// The address dictionary component: the main window hands it the row's postal
// code, address and workplace; it shows its search window at the given screen
// position and hands back the three values, unchanged when the person makes
// no choice.
class AddressComponent
{
public:
    virtual ~AddressComponent() = default;
    // Screen position in twips of the window shown by the next PutAdd.
    virtual void SetPos(int &x, int &y) = 0;
    // Synchronous: returns when the search is over; true when the person took
    // a candidate, false when the search was cancelled (the values are then
    // as they were).
    virtual bool PutAdd(QString &zip, QString &add, QString &cmp, short mode) = 0;
};
