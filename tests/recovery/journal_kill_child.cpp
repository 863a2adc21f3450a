// The real window driven at random, for the kill test: it types, pastes,
// sorts, deletes, inserts and clears rows, clears cells, undoes and redoes,
// seldom clears the table (初期化), with a recovery journal
// kept in FOLDER. After every change it logs the time and the table's hash
// to FOLDER/states.log (plain writes, which a SIGKILL leaves on disk).
//   journal_kill_child drive FOLDER SEED  — runs until it is killed
//   journal_kill_child restore FOLDER     — answers はい, prints the table's hash
#include "app/fmMain.h"
#include "core/env/Program.h"
#include "support/ScriptedDesktop.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "widgets/recovery/TableJournal.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>

#include <array>
#include <cstdio>

namespace {

// The table as the journal keeps it: every row, the pre-fill left out.
QByteArray tableHash(const AddressTable &table)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const AddressTableModel::Row &row : table.content()) {
        for (int c = 0; c < AddressTableModel::ColumnCount; ++c)
            hash.addData(QByteArray(row.cell(c).toUtf8() + '\x1f'));
        hash.addData("\x1e");
    }
    return hash.result().toHex();
}

QString word(QRandomGenerator &random)
{
    static const QStringList words{u"東京都千代田区"_qs, u"100-0005"_qs, u"丸の内"_qs, u"ｶﾌﾞｼｷｶﾞｲｼｬ"_qs,
                                   u"03-1234-5678"_qs, u"大阪府"_qs, u"abc"_qs, QString()};
    return words[int(random.bounded(words.size()))] + QString::number(random.bounded(1000));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3)
        return 2;
    const bool drive = args[1] == u"drive"_qs;
    const QString folder = args[2];
    Program().ProgramFolder = folder;
    // The user data folder inside FOLDER, chosen without a question.
    QFile ini(folder + u"/UserData.ini"_qs);
    if (!ini.open(QIODevice::WriteOnly) || ini.write("%app%") != 5)
        return 3;
    ini.close();

    ScriptedDesktop desktop;
    fmMainServices services;
    services.desktop = &desktop;
    fmMain window(std::move(services));
    window.show();
    Program().UserDataFolder = folder + u'/';
    window.keepJournal();

    if (!drive) {
        desktop.answers = {Desktop::Answer::Yes};
        window.offerRecovery();
        std::printf("%s %d\n", tableHash(window.table()).constData(), int(desktop.messages().size()));
        window.journal().closeNormally();
        return 0;
    }

    QFile log(folder + u"/states.log"_qs);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return 3;
    const auto note = [&log, &window] {
        log.write(QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + ' ' + tableHash(window.table()) + '\n');
    };
    note();
    QRandomGenerator random(args.value(3).toUInt());
    vAdd *grid = window.grid();
    AddressTableModel *model = grid->table();
    // A first paste of a few hundred rows, then one change at a time.
    QString block;
    for (int i = 0; i < 300; ++i)
        block += word(random) + u'\t' + word(random) + u'\t' + word(random) + u'\n';
    QApplication::clipboard()->setText(block);
    window.menus().mnEdt[11]->trigger();
    note();
    std::printf("ready\n");
    std::fflush(stdout);

    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &window, [&] {
        const int rows = model->rowCount();
        const int row = int(random.bounded(rows));
        const int column = int(random.bounded(AddressTableModel::ColumnCount));
        switch (random.bounded(9)) {
        case 0: // typing into a cell, as the person does
        case 1:
        case 2:
            model->setData(model->index(row, column), word(random));
            break;
        case 3: // a paste of a small block
            grid->GoToCell(column + 1, row + 1);
            QApplication::clipboard()->setText(word(random) + u'\t' + word(random) + u'\n' + word(random));
            window.menus().mnEdt[11]->trigger();
            break;
        case 4: // a sort
            desktop.sorts.push_back(Desktop::SortChoice{column, random.bounded(2) == 1});
            window.menus().mnEdt[15]->trigger();
            break;
        case 5: // rows deleted, inserted or cleared
            grid->GoToCell(1, row + 1);
            window.menus().mnEdt[std::array{4, 3, 2}[random.bounded(3)]]->trigger();
            break;
        case 6: // undo or redo
            window.menus().mnEdt[random.bounded(3) == 0 ? 7 : 6]->trigger();
            break;
        case 7: // a cell's contents cleared
            grid->GoToCell(column + 1, row + 1);
            window.menus().mnEdt[12]->trigger();
            break;
        default: // 初期化, seldom: an empty table would match too easily
            if (random.bounded(40) == 0)
                window.menus().mnEdt[0]->trigger();
            break;
        }
        note();
    });
    timer.start(20);
    return QApplication::exec();
}
