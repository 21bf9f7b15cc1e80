#include "core/panes/file_helpers.h"

#include "core/text/format.h"
#include "core/text/string_table.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace tw {

namespace {
const QString kDocument = QStringLiteral("Document");
} // namespace

FileTypeInfo LookupFileType(const QString& extension) {
    FileTypeInfo info;
    info.description = kDocument;
    const QString key = extension.startsWith(u'.') ? extension : u'.' + extension;
    if (key == u".")
        return info;
    static const QMimeDatabase database;
    const QList<QMimeType> types = database.mimeTypesForFileName(QStringLiteral("x") + key);
    if (types.isEmpty() || !types.first().isValid())
        return info;
    const QMimeType& type = types.first();
    if (type.comment().isEmpty())
        return info;
    info.known = true;
    info.description = CutText(type.comment(), 255);
    info.iconName = type.iconName();
    info.genericIconName = type.genericIconName();
    return info;
}

QString FileTypeDescription(const QString& extension) {
    return LookupFileType(extension).description;
}

QString FormatShortSize(std::uint64_t size) {
    QString text;
    if (size <= 1023)
        text = QString::number(size);
    else if (size <= 0xFFFFFu)
        text = FormatText(QStringLiteral("%.2f K"), {double(size) / 1024.0}, 255);
    else if (size <= 0x3FFFFFFFu)
        text = FormatText(QStringLiteral("%.2f M"), {double(size) / 1048576.0}, 255);
    else
        text = FormatText(QStringLiteral("%.2f G"), {double(size) / 1073741824.0}, 255);
    const qsizetype zeros = text.indexOf(QStringLiteral(".00"));
    if (zeros >= 0)
        text.remove(zeros, 3);
    return text;
}

QString FormatSizeWithBytes(std::uint64_t size) {
    // The byte count takes the full 64-bit size: "%u" would print only its low 32 bits.
    QString format = LookupString(3709).value_or(QString());
    if (format.isEmpty())
        return FormatShortSize(size);
    format.replace(QStringLiteral("%u"), QStringLiteral("%llu"));
    return FormatText(format, {FormatShortSize(size), size}, 255);
}

QString FormatFileTimeLong(std::int64_t utcSeconds) {
    if (utcSeconds == 0)
        return QStringLiteral("Unknown");
    const QDateTime when = QDateTime::fromSecsSinceEpoch(utcSeconds).toLocalTime();
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    // Some locales' short form still carries seconds: drop them and their separator.
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+"));
    timeFormat.remove(seconds);
    return locale.toString(when.date(), QLocale::LongFormat) + QStringLiteral("  ") +
           locale.toString(when.time(), timeFormat.trimmed());
}

QString BackupFileName(const QString& path, bool backupOfForm) {
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    if (backupOfForm)
        return folder + QStringLiteral("Backup of ") + name;
    const qsizetype dot = name.lastIndexOf(u'.');
    return folder + (dot >= 0 ? name.left(dot) : name) + QStringLiteral(".bak");
}

bool BackupFile(const QString& path, bool backupOfForm) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (!info.isFile())
        return false;
    if (!(info.permissions() & QFileDevice::WriteOwner))
        return false;
    const QString target = BackupFileName(path, backupOfForm);
    if (QFileInfo(target).absoluteFilePath() == info.absoluteFilePath())
        return false;
    // Copy beside the target first, then put it in place in one step, so that a failed copy
    // never leaves a half-written backup in place of a good earlier one.
    QTemporaryFile staging(info.absolutePath() + QStringLiteral("/.backup-XXXXXX"));
    if (!staging.open())
        return false;
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    char buffer[65536];
    for (;;) {
        const qint64 n = source.read(buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (staging.write(buffer, n) != n)
            return false;
    }
    if (!staging.flush())
        return false;
    staging.setPermissions(source.permissions());
    if (std::rename(QFile::encodeName(staging.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0)
        return false;
    staging.setAutoRemove(false);
    return true;
}

} // namespace tw
