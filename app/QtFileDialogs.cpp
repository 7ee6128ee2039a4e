#include "app/QtFileDialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace kv7 {

QStringList QtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (name.isEmpty() && patterns.isEmpty())
            continue;
        patterns.replace(QLatin1String("*.*"), QLatin1String("*"));
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of the name.
        name.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)$")));
        filters << QStringLiteral("%1 (%2)").arg(name, patterns);
    }
    return filters;
}

QString LocalFolder(const QString &folder)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:[\\\\/]?$"));
    return drive.match(folder).hasMatch() ? QStringLiteral("/") : folder;
}

std::optional<QString> QtFileDialogs::ShowOpen(const FileRequest &request)
{
    return Show(request, QFileDialog::AcceptOpen);
}

std::optional<QString> QtFileDialogs::ShowSave(const FileRequest &request)
{
    return Show(request, QFileDialog::AcceptSave);
}

std::optional<QString> QtFileDialogs::Show(const FileRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(m_parent, request.title, LocalFolder(request.initialDir));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(request.mustExist && mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                                           : QFileDialog::AnyFile);
    dialog.setNameFilters(QtNameFilters(request.filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace kv7
