#pragma once

#include <QObject>
#include <QTimer>

class AddressTable;
class QLabel;
class QStatusBar;

// The status bar's permanent fields: the file's name (its path in the
// tooltip), "未保存" while the table differs from the file, the number of
// non-blank rows and the encoding the file was read in. They follow the
// table's changes once the events of the moment are done.
class StatusFields final : public QObject
{
    Q_OBJECT
public:
    StatusFields(AddressTable &table, QStatusBar &status);
    Q_DISABLE_COPY_MOVE(StatusFields)

    // Shows the fields afresh now (after a file command, say).
    void refresh();
    void refreshSoon();

    QLabel *fileField() const { return m_file; }
    QLabel *unsavedField() const { return m_unsaved; }
    QLabel *rowsField() const { return m_rows; }
    QLabel *encodingField() const { return m_encoding; }

private:
    AddressTable &m_table;
    QTimer m_soon;
    QLabel *m_file;
    QLabel *m_unsaved;
    QLabel *m_rows;
    QLabel *m_encoding;
};
