#include "serial/StableNames.h"

#include "protocol/OutsideText.h"

#include <QDir>
#include <QFileInfo>

namespace kv7 {

namespace {

const char *const Folders[] = {"by-id", "by-path"};

} // namespace

QString StableName(const QString &device, const QString &root)
{
    if (device.isEmpty())
        return {};
    for (const char *folder : Folders) {
        const QDir dir(root + QLatin1Char('/') + QLatin1String(folder));
        for (const QString &name : dir.entryList(QDir::System | QDir::Files, QDir::Name)) {
            QString link = dir.filePath(name);
            if (QFileInfo(link).canonicalFilePath() == device)
                return link;
        }
    }
    return {};
}

StableLookup LookUpStableName(const QString &given, const QString &root)
{
    StableLookup lookup;
    const char *folder = nullptr;
    for (const char *f : Folders) {
        if (given.startsWith(QLatin1String(f) + QLatin1Char(':')))
            folder = f;
    }
    if (!folder)
        return lookup;
    lookup.asked = true;
    const QString wanted = given.mid(int(qstrlen(folder)) + 1);
    const QDir dir(root + QLatin1Char('/') + QLatin1String(folder));
    if (wanted.isEmpty() || wanted.contains(QLatin1Char('/'))) {
        lookup.why = QStringLiteral("%1 names no adapter: give the name, or part of it, of a link in %2")
                         .arg(ShownText(given), dir.path());
        return lookup;
    }
    const QStringList names = dir.entryList(QDir::System | QDir::Files, QDir::Name);
    if (names.contains(wanted)) {
        lookup.link = dir.filePath(wanted);
        return lookup;
    }
    const QStringList matches = names.filter(wanted);
    if (matches.size() == 1)
        lookup.link = dir.filePath(matches.first());
    else if (matches.isEmpty())
        lookup.why = QStringLiteral("no adapter in %1 matches %2").arg(dir.path(), ShownText(wanted));
    else
        lookup.why = QStringLiteral("%1 matches %2 adapters in %3: %4")
                         .arg(ShownText(given))
                         .arg(matches.size())
                         .arg(dir.path(), ShownText(matches.join(QLatin1String(", "))));
    return lookup;
}

} // namespace kv7
