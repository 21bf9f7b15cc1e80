#pragma once

#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace tw::test {

// A settings file in a fresh temporary folder, a store on it and a raw QSettings view of the
// same file for checking what was written and for planting values.
struct SettingsFixture : ::testing::Test {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("config/Tarnwick 2000.conf"));

    std::unique_ptr<SettingsStore> openStore() { return std::make_unique<SettingsStore>(file); }

    // Writes raw values ("Options/Transfer/Block Size" = ...) and flushes them to disk.
    void plant(std::initializer_list<std::pair<const char*, QVariant>> values) {
        QSettings raw(file, QSettings::IniFormat);
        for (const auto& [key, value] : values)
            raw.setValue(QString::fromUtf8(key), value);
        raw.sync();
    }

    QVariant raw(const char* key) const {
        QSettings raw(file, QSettings::IniFormat);
        return raw.value(QString::fromUtf8(key));
    }
    QStringList rawKeys() const {
        QSettings raw(file, QSettings::IniFormat);
        return raw.allKeys();
    }
    QStringList rawGroups(const char* group) const {
        QSettings raw(file, QSettings::IniFormat);
        raw.beginGroup(QString::fromUtf8(group));
        return raw.childGroups();
    }

    // Loads from a new store on the file.
    AppState load(AppGlobals& globals) {
        AppState state;
        auto store = openStore();
        LoadSettings(*store, state, globals);
        return state;
    }
};

} // namespace tw::test
