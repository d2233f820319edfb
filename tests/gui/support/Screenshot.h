#pragma once
// Saves a picture of a window for a person to look at after the run.
#include <QDir>
#include <QString>
#include <QWidget>

namespace orvex::test {

// Writes <ORVEX_SHOT_DIR>/<name>; returns the path, or empty when the
// folder is not configured or the file could not be written.
inline QString SaveScreenshot(QWidget& window, const QString& name) {
    const QString dir = qEnvironmentVariable("ORVEX_SHOT_DIR");
    if (dir.isEmpty() || !QDir().mkpath(dir)) return {};
    const QString path = QDir(dir).filePath(name);
    return window.grab().save(path, "PNG") ? path : QString();
}

}  // namespace orvex::test
