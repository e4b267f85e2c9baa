#include "ShowOpenDialog.h"

#include "TextUtil.h"

#include <QFileDialog>

namespace velplay {

QString PipesToNul(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) out += (c == u'|') ? QChar(u'\0') : c;
    return out;
}

QStringList NameFiltersFromPairs(const QString& pairs) {
    const QStringList parts = pairs.split(QChar(u'\0'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty() && parts[i + 1].isEmpty()) break; // the closing double NUL
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (auto& p : patterns) p = p.trimmed();
        const QString joined = patterns.join(u' ');
        // Qt reads the patterns from the parentheses; add them unless the description shows them already.
        if (description.endsWith(QStringLiteral("(") + joined + QStringLiteral(")"))) filters << description;
        else filters << description + QStringLiteral(" (") + joined + QStringLiteral(")");
    }
    return filters;
}

QString ShowOpenDialog(QWidget* owner, const QString& initialDir, QString& filter, int flags) {
    filter = PipesToNul(filter);

    QFileDialog dialog(owner, QStringLiteral("ファイルを開く"), initialDir);
    // Qt's own dialog on every desktop, so that the file-mode rule below always holds.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(NameFiltersFromPairs(filter));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    return QString::fromStdU16String(vel::TrimSpaces(chosen.first().toStdU16String()));
}

} // namespace velplay
