#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryFile>

#include <initializer_list>

namespace kv7::test {

// Before the application exists: the offscreen platform with one screen per
// device-pixel ratio, side by side, so one window can move between ratios.
// Qt lists them by name, which is the ratio as written.
inline bool UseOffscreenScreens(std::initializer_list<double> ratios)
{
    QStringList screens;
    int x = 0;
    for (const double ratio : ratios) {
        screens << QStringLiteral(R"({"name": "%1", "x": %2, "y": 0, "width": 1000, "height": 800, "dpr": %1})")
                       .arg(ratio)
                       .arg(x);
        x += 1000;
    }
    // Read when the application starts; removed when the program ends.
    static QTemporaryFile config;
    if (!config.open())
        return false;
    config.write(QStringLiteral(R"({"screens": [%1]})").arg(screens.join(QLatin1Char(','))).toUtf8());
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    return true;
}

} // namespace kv7::test
