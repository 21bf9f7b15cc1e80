#include "ui/help/help_collection_check.h"

#include "core/help/help_collection.h"

#include <QFileInfo>
#include <QHelpEngineCore>

namespace tw::ui {

bool IsCurrentHelpCollection(const QString& path) {
    if (!HelpCollectionPresent(path))
        return false;
    QHelpEngineCore engine(path);
    engine.setReadOnly(true);
    if (!engine.setupData())
        return false;
    const QString space = HelpNamespace();
    if (!engine.registeredDocumentations().contains(space))
        return false;
    const QFileInfo document(engine.documentationFileName(space));
    return document.isFile() && document.isReadable();
}

} // namespace tw::ui
