#pragma once

#include <QString>
#include <QtGlobal>

// The status bar's permanent fields, from what the window knows of the table
// and its file.
namespace StatusLine {

struct Facts
{
    QString file;      // the file of the last open or save; empty: none yet
    bool unsaved = false; // the table differs from the file
    qsizetype rows = 0; // rows with text in at least one cell
    bool utf8 = false; // the file was read as UTF-8 (saves write code page 932)
};

struct Texts
{
    QString name;     // the file's name, "(名前なし)" before the first save
    QString nameTip;  // its whole path
    QString unsaved;  // "未保存" or empty
    QString rows;     // "1,234 行"
    QString encoding; // "Shift_JIS" or "UTF-8"
    QString encodingTip;
    friend bool operator==(const Texts &, const Texts &) = default;
};

Texts describe(const Facts &facts);

} // namespace StatusLine
