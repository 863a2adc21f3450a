// 宛名ラベル印刷 through the window: a small list saved as a PDF, printed
// through the print dialog's print-to-file and previewed page by page; the
// PDF's text, as pdftotext finds it, lies inside each label's rectangle in
// the label's order.
#include "app/fmMain.h"
#include "core/labels/LabelSheet.h"
#include "harness/MainWindow.h"
#include "support/ScriptedDesktop.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "widgets/labels/LabelCommands.h"
#include "widgets/labels/LabelDialog.h"
#include "core/lookup/PostalReaders.h"
#include "support/TestData.h"
#include "widgets/lookup/ListCheckCommands.h"
#include "widgets/lookup/PostalAddressComponent.h"
#include "harness/WidgetTestMain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <memory>

namespace {

struct PdfWord
{
    int page = 0;
    QRectF box; // points from the page's top-left corner
    QString text;
};

// The words of a PDF with their boxes, through `pdftotext -bbox`.
QList<PdfWord> pdfWords(const QString &pdf, QString *error)
{
    // KOTOVEN_KEEP_PDF=folder keeps the PDFs to look at.
    if (const QString keep = qEnvironmentVariable("KOTOVEN_KEEP_PDF"); !keep.isEmpty())
        QFile::copy(pdf, keep + u'/' + QFileInfo(pdf).fileName());
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0) {
        *error = QString::fromLocal8Bit(tool.readAllStandardError());
        return {};
    }
    QList<PdfWord> words;
    QXmlStreamReader xml(tool.readAllStandardOutput());
    int page = -1;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"page") {
            ++page;
        } else if (xml.name() == u"word") {
            const auto at = [&xml](const char16_t *name) { return xml.attributes().value(QString::fromUtf16(name)).toDouble(); };
            PdfWord word;
            word.page = page;
            word.box = QRectF(QPointF(at(u"xMin"), at(u"yMin")), QPointF(at(u"xMax"), at(u"yMax")));
            word.text = xml.readElementText();
            words.append(word);
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return words;
}

// Text compared as a person reads it: NFKC (the PDF's text gives some kanji
// as their radicals, 大 as U+2F24) without spaces. Radicals of the CJK
// supplement have no NFKC form: those of common address kanji by hand.
QString plain(const QString &text)
{
    QString folded = text.normalized(QString::NormalizationForm_KC);
    const std::pair<char16_t, char16_t> supplement[] = {
        {u'⻄', u'西'}, {u'⻑', u'長'}, {u'⻘', u'青'}, {u'⻝', u'食'}, {u'⻤', u'鬼'},
        {u'⻩', u'黄'}, {u'⻲', u'亀'}, {u'⻯', u'竜'}, {u'⻆', u'角'}, {u'⻨', u'麦'},
    };
    for (const auto &[radical, kanji] : supplement)
        folded.replace(QChar(radical), QChar(kanji));
    folded.removeIf([](QChar c) { return c.isSpace(); });
    return folded;
}

QRectF inPoints(const QRectF &mm)
{
    const double k = 72.0 / 25.4;
    return {mm.x() * k, mm.y() * k, mm.width() * k, mm.height() * k};
}

// Every word lies inside the rectangle of the label it belongs to, and each
// label's words read, line by line, as the label's lines.
void checkWords(const QList<PdfWord> &words, const LabelJob &job, const QList<FittedLabel> &labels)
{
    QList<bool> used(words.size(), false);
    for (int i = 0; i < labels.size(); ++i) {
        const LabelSlot slot = labelSlot(i, job.skip, job.sheet.perPage());
        const QRectF rect = inPoints(job.sheet.labelRect(slot.cell, job.offset));
        QList<PdfWord> mine;
        for (int w = 0; w < words.size(); ++w) {
            if (words[w].page == slot.page && rect.contains(words[w].box.center())) {
                const QRectF box = words[w].box;
                // Glyph boxes reach a little past the ink; half a point.
                QVERIFY2(rect.adjusted(-0.5, -0.5, 0.5, 0.5).contains(box),
                         qPrintable(QStringLiteral("%1 reaches out of label %2").arg(words[w].text).arg(i)));
                mine.append(words[w]);
                used[w] = true;
            }
        }
        std::stable_sort(mine.begin(), mine.end(), [](const PdfWord &a, const PdfWord &b) {
            if (std::abs(a.box.top() - b.box.top()) > 2)
                return a.box.top() < b.box.top();
            return a.box.left() < b.box.left();
        });
        QString read;
        for (const PdfWord &word : mine)
            read += word.text;
        QCOMPARE(plain(read), plain(labels[i].lines.join(QString())));
    }
    for (int w = 0; w < words.size(); ++w)
        QVERIFY2(used[w], qPrintable(QStringLiteral("%1 is on no label").arg(words[w].text)));
}

} // namespace

class LabelPrintTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<fmMain> window;
    ScriptedDesktop desktop;
    QTemporaryDir dir;

    void fill()
    {
        const QStringList rows[] = {
            {QStringLiteral("1000005"), QStringLiteral("東京都千代田区丸の内2丁目7-2　JPタワー12階"), QStringLiteral("日本郵便株式会社"), QStringLiteral("03-3477-0111")},
            {QString(), QString(), QString(), QString()},
            {QStringLiteral("５３０－０００１"), QStringLiteral("大阪府大阪市北区梅田3-1-3"), QStringLiteral("大阪ステーションシティ"), QString()},
            {QString(), QStringLiteral("京都府京都市下京区東塩小路町721-1（京都タワービル）"), QString(), QString()},
            {QStringLiteral("〒060-0001"), QStringLiteral("北海道札幌市中央区北1条西2丁目1番地"), QStringLiteral("札幌市役所"), QStringLiteral("011-211-2111")},
            {QStringLiteral("812-0012"), QStringLiteral("福岡県福岡市博多区博多駅中央街1-1"), QString(), QString()},
        };
        vAdd &grid = *window->grid();
        grid.SetRowCount(int(std::size(rows)) + 1);
        for (int r = 0; r < int(std::size(rows)); ++r)
            for (int c = 0; c < 4; ++c)
                grid.SetCell(c + 1, r + 1, rows[r][c]);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext (poppler-utils) is needed: scripts/deps.sh installs it");
    }

    void init()
    {
        desktop.clear();
        fmMainServices services;
        services.desktop = &desktop;
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
        fill();
    }

    void cleanup() { window.reset(); }

    // 12面 from the ninth label: four labels on the first sheet, one on the
    // second; the untouched pre-fill is no content.
    void pdfOfASmallList()
    {
        // An address suggested in the spare row and never typed into.
        TableState &state = window->state();
        window->grid()->SetCell(2, 7, QStringLiteral("東京都"));
        state.PrefillRow = 7;
        state.PrefillText = QStringLiteral("東京都");

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a.folder")));
        const QString pdf = dir.filePath(QStringLiteral("a.folder/labels"));
        desktop.files.push_back(pdf);
        LabelJob job;
        QList<FittedLabel> labels;
        QString missing;
        window->labels().runDialog = [&](LabelDialog &dialog) {
            dialog.chooseSheet(QStringLiteral("12面"));
            dialog.setStart(9);
            dialog.setHonorific(Honorific::Sama);
            dialog.setPhone(true);
            dialog.setFont(QStringLiteral("Noto Sans CJK JP"), 12);
            missing = dialog.missingCodeText();
            job = dialog.pages().job();
            labels = dialog.pages().labels();
            return dialog.savePdf() ? int(QDialog::Accepted) : int(QDialog::Rejected);
        };
        window->menus().mnFile[9]->trigger();
        QCOMPARE(missing, QStringLiteral("1 件は郵便番号がありません"));
        QCOMPARE(desktop.messages(), QStringList());
        QCOMPARE(job.records.size(), 5);
        QCOMPARE(labels[0].lines.first(), QStringLiteral("〒100-0005"));
        QCOMPARE(labels[1].lines.first(), QStringLiteral("〒530-0001"));
        QVERIFY(labels[0].lines.contains(QStringLiteral("日本郵便株式会社　様")));
        QVERIFY(labels[0].lines.contains(QStringLiteral("TEL 03-3477-0111")));
        // The row without a code starts with its address.
        QVERIFY(labels[2].lines.first().startsWith(QStringLiteral("京都府")));
        QString error;
        const QList<PdfWord> words = pdfWords(pdf + QStringLiteral(".pdf"), &error);
        QCOMPARE(error, QString());
        QVERIFY(!words.isEmpty());
        QCOMPARE(words.last().page, 1);
        checkWords(words, job, labels);
    }

    // 印刷 goes through the print dialog; its print-to-file writes a PDF.
    // The preview shows the pages one by one.
    void printAndPreview()
    {
        const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
        int previewPages = 0;
        LabelJob job;
        QList<FittedLabel> labels;
        window->labels().runDialog = [&](LabelDialog &dialog) {
            dialog.chooseSheet(QStringLiteral("44面"));
            dialog.setStart(43); // two on the first sheet, three on the second
            dialog.runPreview = [&previewPages](QDialog &preview) {
                auto *view = preview.findChild<QPrintPreviewWidget *>();
                QTRY_VERIFY_WITH_TIMEOUT(view->pageCount() > 0, 20000);
                previewPages = view->pageCount();
            };
            dialog.preview();
            dialog.printDialog = [&pdf](QPrinter &printer) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(pdf);
                return true;
            };
            job = dialog.pages().job();
            labels = dialog.pages().labels();
            return dialog.print() ? int(QDialog::Accepted) : int(QDialog::Rejected);
        };
        window->mnFile_Click(9);
        QCOMPARE(previewPages, 2);
        QString error;
        const QList<PdfWord> words = pdfWords(pdf, &error);
        QCOMPARE(error, QString());
        QCOMPARE(words.last().page, 1);
        checkWords(words, job, labels);
    }

    // The remembered block's rows; a label that does not fit even at 6 pt is
    // named before anything is written, and saying no writes nothing. A
    // sheet of one's own is kept for the next time; numbers that make no
    // sheet are refused.
    void beforePrinting()
    {
        window->grid()->SetCell(3, 5, QString(200, QChar(u'株')));
        window->table().setBlock(5, 6);
        QCOMPARE(window->labels().source().kinds, QStringList()); // no check yet
        QString warning;
        QList<int> chosen;
        bool saved = true;
        QString refused;
        QString ownSheet = QStringLiteral("not saved");
        window->labels().runDialog = [&](LabelDialog &dialog) {
            dialog.chooseSheet(QStringLiteral("44面"));
            dialog.chooseRows(LabelRows::Block);
            for (const LabelRecord &record : dialog.pages().job().records)
                chosen.append(record.row);
            warning = dialog.warningText();
            desktop.answers.push_back(Desktop::Answer::No);
            saved = dialog.savePdf();
            refused = dialog.saveUserSheet({QStringLiteral("12面"), 86.4, 42.3, 2, 6, 18.6, 21.6, 86.4, 42.3});
            ownSheet = dialog.saveUserSheet({QStringLiteral("自作 2×8"), 90, 30, 2, 8, 12, 20, 96, 33});
            return int(QDialog::Rejected);
        };
        window->mnFile_Click(9);
        QCOMPARE(chosen, (QList<int>{5, 6}));
        QVERIFY2(warning.contains(QStringLiteral("5 行目のラベルは 6 pt でも収まりません")), qPrintable(warning));
        QVERIFY(!saved);
        QCOMPARE(desktop.asked.size(), 1);
        QVERIFY(desktop.asked[0].text.contains(QStringLiteral("6 pt でも収まらず")));
        QCOMPARE(desktop.fileRequests.size(), 0);
        QVERIFY(!refused.isEmpty());
        QCOMPARE(ownSheet, QString());

        LabelSheet kept;
        window->labels().runDialog = [&](LabelDialog &dialog) {
            if (dialog.chooseSheet(QStringLiteral("自作 2×8")))
                kept = dialog.job().sheet;
            return int(QDialog::Rejected);
        };
        window->mnFile_Click(9);
        QCOMPARE(kept, (LabelSheet{QStringLiteral("自作 2×8"), 90, 30, 2, 8, 12, 20, 96, 33}));
    }

    // 先に一括チェックする runs the check; afterwards the rows of one kind
    // can be chosen (一致: the checked rows without an entry).
    void rowsOfOneCheckKind()
    {
        window.reset();
        fmMainServices services;
        services.desktop = &desktop;
        services.addressComponent = [] {
            QTemporaryDir data;
            QFile::copy(testDataPath(QStringLiteral("lookup/KEN_ALL.CSV")), data.filePath(QStringLiteral("KEN_ALL.CSV")));
            QFile::copy(testDataPath(QStringLiteral("lookup/JIGYOSYO.CSV")), data.filePath(QStringLiteral("JIGYOSYO.CSV")));
            return std::make_unique<PostalAddressComponent>(
                std::shared_ptr<const PostalDictionary>(PostalReaders::load({data.path(), data.path()})));
        };
        window = std::make_unique<fmMain>(std::move(services));
        QVERIFY(showAndActivate(*window));
        window->listCheck().skkFolder = testDataPath(QStringLiteral("lookup"));
        vAdd &grid = *window->grid();
        grid.SetRowCount(4);
        grid.SetCell(2, 1, QStringLiteral("東京都千代田区霞が関１－１"));
        grid.SetCell(1, 2, QStringLiteral("1000005"));
        grid.SetCell(2, 2, QStringLiteral("東京都千代田区丸の内１－１"));
        grid.SetCell(1, 3, QStringLiteral("6048001"));

        QSignalSpy ended(&window->listCheck(), &ListCheckCommands::checkEnded);
        QString missing;
        window->labels().runDialog = [&missing](LabelDialog &dialog) {
            missing = dialog.missingCodeText();
            return LabelDialog::CheckFirst;
        };
        window->mnFile_Click(9);
        QCOMPARE(missing, QStringLiteral("1 件は郵便番号がありません"));
        QVERIFY(ended.wait(20000));

        QList<int> matching, noCode;
        window->labels().runDialog = [&](LabelDialog &dialog) {
            const auto rows = [&dialog] {
                QList<int> list;
                for (const LabelRecord &record : dialog.pages().job().records)
                    list.append(record.row);
                return list;
            };
            dialog.chooseRows(LabelRows::Kind, int(CheckKind::Match));
            matching = rows();
            dialog.chooseRows(LabelRows::Kind, int(CheckKind::NoCode));
            noCode = rows();
            return int(QDialog::Rejected);
        };
        window->mnFile_Click(9);
        QCOMPARE(matching, QList<int>{2});
        QCOMPARE(noCode, QList<int>{1});
    }
};

KOTOVEN_WIDGET_TEST_MAIN(LabelPrintTest)
#include "LabelPrintTest.moc"
