#pragma once

#include "core/table/ImeMode.h"

class QWidget;

// Reaches the input method on behalf of the main window: opens it in a
// conversion mode or closes it for the grid's cells. Every failure inside is
// swallowed; the window keeps its own idea of the state (ImeOn) regardless.
class ImeBackend
{
public:
    virtual ~ImeBackend() = default;

    virtual void apply(const ImeMode::Request &request) = 0;

    // A widget that takes typed text in the grid: the grid itself (where a
    // composition may begin before any cell editor exists) and each cell
    // editor as it is made. Backends that work on widgets adjust it to the
    // last request; the widget may be destroyed at any time after.
    virtual void attach(QWidget *widget) { (void)widget; }
};
