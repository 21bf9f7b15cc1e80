#include "ui/help/help_browser.h"

#include <QHelpEngineCore>

namespace tw::ui {

HelpBrowser::HelpBrowser(QHelpEngineCore* engine, QWidget* parent)
    : QTextBrowser(parent), m_engine(engine) {
    setOpenExternalLinks(true);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    if (m_engine && name.scheme() == QStringLiteral("qthelp")) {
        QUrl file = name;
        file.setFragment(QString());
        const QByteArray data = m_engine->fileData(file);
        if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
            return QString::fromUtf8(data);
        return data;
    }
    return QTextBrowser::loadResource(type, name);
}

} // namespace tw::ui
