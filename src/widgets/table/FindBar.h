#pragma once

#include <QWidget>

class AddressTable;
class QLabel;
class QLineEdit;

// The find bar above the grid: typing finds the next cell holding the text
// (full- and half-width alike, any letter case), Enter goes on, Shift+Enter
// goes back, Esc closes the bar and returns to the grid.
class FindBar final : public QWidget
{
    Q_OBJECT
public:
    FindBar(AddressTable &table, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(FindBar)

    // Shows the bar with its text selected for typing over.
    void open();
    // Goes to the next (or previous) cell holding the text; false when none
    // does. `includeCurrent`: the active cell itself counts.
    bool find(bool backwards, bool includeCurrent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AddressTable &m_table;
    QLineEdit *m_text;
    QLabel *m_result;
};
