#include "BusyProgress.h"

#include "core/env/Program.h"

#include <QApplication>
#include <QProgressDialog>

BusyProgress::BusyProgress(QWidget *window, const QString &label, int delayMs)
    : m_window(window), m_label(label), m_delayMs(delayMs)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_clock.start();
}

BusyProgress::~BusyProgress()
{
    delete m_dialog;
    QApplication::restoreOverrideCursor();
}

bool BusyProgress::step(qint64 done, qint64 total)
{
    if (!m_dialog) {
        if (m_clock.elapsed() < m_delayMs)
            return true;
        m_dialog = new QProgressDialog(m_label, QString(), 0, 1000, m_window);
        m_dialog->setCancelButtonText(QProgressDialog::tr("Cancel"));
        m_dialog->setWindowTitle(Program().title());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->show();
    }
    if (total > 0) {
        m_dialog->setRange(0, 1000);
        m_dialog->setValue(int(done * 1000 / total));
    } else {
        m_dialog->setRange(0, 0);
    }
    // Lets the dialog paint and take its cancel click.
    QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}
