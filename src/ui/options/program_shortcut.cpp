#include "ui/options/program_shortcut.h"

#include "core/state/app_state.h"
#include "platform/xdg_paths.h"
#include "ui/dialogs/program_icons.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace tw::ui {

namespace {

// The icon file, or an empty path (the entries then name the icon "tarnwick2000").
QString writeProgramIcon() {
    QFile source(ProgramIconPath(1000));
    if (!source.open(QIODevice::ReadOnly))
        return {};
    const QByteArray picture = source.readAll();
    const QString path =
        QDir(platform::XdgPaths::dataFolder()).filePath(QStringLiteral("tarnwick2000.svg"));
    QFile present(path);
    if (present.open(QIODevice::ReadOnly) && present.readAll() == picture)
        return path;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(picture) != picture.size() || !out.commit())
        return {};
    return path;
}

} // namespace

ShortcutTarget ProgramShortcutTarget(const AppGlobals& globals) {
    return {globals.modulePath, writeProgramIcon()};
}

} // namespace tw::ui
