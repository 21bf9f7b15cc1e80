#pragma once

#include <QString>
#include <QWidget>
#include <QtTest/QTest>

namespace tw::test {

// Saves a widget for a person to look at, when TW_SCREENSHOT_DIR names a folder.
inline void SaveScreenshot(QWidget& widget, const QString& name) {
    const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (shots.isEmpty())
        return;
    QTest::qWait(20);
    widget.grab().save(shots + u'/' + name);
}

} // namespace tw::test
