#include "QtDesktop.h"

#include <algorithm>

#include "core/env/Program.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QRadioButton>
#include <QHBoxLayout>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

Desktop::Answer QtDesktop::ask(const QString &text, Buttons buttons)
{
    // Two-line messages carry a single CR between their lines, which a Qt
    // label would not break at.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(QMessageBox::NoIcon, Program().title(), shown, QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText); // a path may hold '<'
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    // The wait cursor of a long command must not hide the question.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    QApplication::restoreOverrideCursor();
    switch (result) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
}

int QtDesktop::choose(const QString &text, const QStringList &labels)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(QMessageBox::NoIcon, Program().title(), shown, QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton *> buttons;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const bool last = i + 1 == labels.size();
        buttons.append(box.addButton(labels[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (buttons.isEmpty())
        return -1;
    box.setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
    box.setEscapeButton(buttons.last());
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return int(chosen < 0 ? buttons.size() - 1 : chosen);
}

QString QtDesktop::chooseFile(const FileRequest &request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title, request.folder, request.filter);
    dialog.setAcceptMode(request.mode == FileMode::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog neither adds an extension nor asks before replacing: the
    // caller decides both.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.startName.isEmpty())
        dialog.selectFile(request.startName);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    QApplication::restoreOverrideCursor();
    if (!accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool QtDesktop::handOff(const QUrl &url, const Fallback &fallback)
{
    // The helper's end comes later; only then is a failure known.
    return m_handOff.open(url, [this, url, fallback](const QString &failure) { handOffEnded(url, failure, fallback); });
}

std::optional<Desktop::SortChoice> QtDesktop::chooseSort(const QStringList &columns, int initialColumn)
{
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("並べ替え"));
    auto *form = new QFormLayout(&dialog);
    auto *column = new QComboBox(&dialog);
    column->addItems(columns);
    column->setCurrentIndex(std::clamp(initialColumn, 0, int(columns.size()) - 1));
    form->addRow(QStringLiteral("列(&C):"), column);
    auto *ascending = new QRadioButton(QStringLiteral("昇順(&A)"), &dialog);
    auto *descending = new QRadioButton(QStringLiteral("降順(&D)"), &dialog);
    ascending->setChecked(true);
    auto *directions = new QHBoxLayout;
    directions->addWidget(ascending);
    directions->addWidget(descending);
    form->addRow(QStringLiteral("順序:"), directions);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    QApplication::restoreOverrideCursor();
    if (!accepted)
        return std::nullopt;
    return SortChoice{column->currentIndex(), descending->isChecked()};
}
