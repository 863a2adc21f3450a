#include "StatusLine.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace StatusLine {

Texts describe(const Facts &facts)
{
    Texts texts;
    if (facts.file.isEmpty()) {
        texts.name = QStringLiteral("(名前なし)");
        texts.nameTip = QStringLiteral("まだ保存していない表です");
    } else {
        texts.name = QFileInfo(facts.file).fileName();
        texts.nameTip = QDir::toNativeSeparators(facts.file);
    }
    if (facts.unsaved)
        texts.unsaved = QStringLiteral("未保存");
    texts.rows = QStringLiteral("%1 行").arg(QLocale::c().toString(facts.rows));
    if (facts.utf8) {
        texts.encoding = QStringLiteral("UTF-8");
        texts.encodingTip = QStringLiteral("UTF-8 で読み込みました。保存するとシフト JIS (コードページ 932) で書きます");
    } else {
        texts.encoding = QStringLiteral("Shift_JIS");
        texts.encodingTip = QStringLiteral("シフト JIS (コードページ 932) で読み書きします");
    }
    return texts;
}

} // namespace StatusLine
