#pragma once

#include "core/table/CsvFormat.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

// The wait cursor for the whole of a long load or save, and a progress dialog
// with a cancel button once it has run longer than the delay.
class BusyProgress final
{
public:
    BusyProgress(QWidget *window, const QString &label, int delayMs);
    ~BusyProgress();
    Q_DISABLE_COPY_MOVE(BusyProgress)

    // `done` of `total`; a total of 0 or less: the work's end is not known
    // (the bar only moves). False once the person cancelled.
    bool step(qint64 done, qint64 total);

    // Steps of one stage, from `from` to `to` of the whole.
    Csv::Progress progress(double from, double to)
    {
        return Csv::stage([this](qint64 done, qint64 total) { return step(done, total); }, from, to);
    }

private:
    QWidget *m_window;
    QString m_label;
    int m_delayMs;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_dialog; // owned here although parented to the window
};
