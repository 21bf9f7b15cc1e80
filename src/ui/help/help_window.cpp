#include "ui/help/help_window.h"

#include "core/help/help_collection.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/help/help_browser.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHelpContentItem>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

constexpr int kDefaultWidth = 820;
constexpr int kDefaultHeight = 580;

QString placementKey() {
    return QString::fromUtf16(HelpWindow::kPlacementKey);
}

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

HelpWindow::HelpWindow(const QString& collection, SettingsStore* store, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_store(store) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Tarnwick 2000 Help"));
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    m_engine = new QHelpEngine(collection, this);
    m_engine->setReadOnly(true);
    m_engine->setupData();

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("helpTabs"));
    QHelpContentWidget* contents = m_engine->contentWidget();
    contents->setObjectName(QStringLiteral("helpContents"));
    contents->setAccessibleName(QStringLiteral("Contents"));
    m_tabs->addTab(contents, QStringLiteral("&Contents"));
    buildIndexTab();
    buildSearchTab();

    auto* page = new QWidget(this);
    m_back = new QPushButton(QStringLiteral("&Back"), page);
    m_back->setObjectName(QStringLiteral("backButton"));
    m_back->setEnabled(false);
    m_forward = new QPushButton(QStringLiteral("&Forward"), page);
    m_forward->setObjectName(QStringLiteral("forwardButton"));
    m_forward->setEnabled(false);
    m_view = new HelpBrowser(m_engine, page);
    m_view->setObjectName(QStringLiteral("helpPage"));
    m_view->setAccessibleName(QStringLiteral("Help page"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addStretch(1);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addLayout(buttons);
    pageLayout->addWidget(m_view, 1);

    auto* splitter = new QSplitter(Qt::Horizontal, central);
    splitter->addWidget(m_tabs);
    splitter->addWidget(page);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, kDefaultWidth - 260});
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(splitter);

    connect(m_back, &QPushButton::clicked, m_view, &QTextBrowser::backward);
    connect(m_forward, &QPushButton::clicked, m_view, &QTextBrowser::forward);
    connect(m_view, &QTextBrowser::backwardAvailable, m_back, &QWidget::setEnabled);
    connect(m_view, &QTextBrowser::forwardAvailable, m_forward, &QWidget::setEnabled);
    connect(m_view, &QTextBrowser::sourceChanged, this, &HelpWindow::selectInContents);
    connect(contents, &QHelpContentWidget::linkActivated, this, &HelpWindow::open);
    // One click on an entry opens its page, as in the index's and the search's lists.
    connect(contents, &QTreeView::clicked, this, [this](const QModelIndex& item) {
        if (const QHelpContentItem* entry = m_engine->contentModel()->contentItemAt(item))
            open(entry->url());
    });
    // The contents arrive from the engine's thread, often after the first page is shown.
    connect(m_engine->contentModel(), &QHelpContentModel::contentsCreated, contents,
            [this, contents] {
                contents->expandToDepth(0);
                selectInContents(m_view->source());
            });

    // The search index is built (or brought up to date) on the engine's thread.
    QHelpSearchEngine* searchEngine = m_engine->searchEngine();
    connect(searchEngine, &QHelpSearchEngine::indexingFinished, this, [this] {
        m_indexing = false;
        if (!m_pendingSearch.isEmpty())
            runSearch();
    });
    connect(searchEngine, &QHelpSearchEngine::searchingFinished, this, &HelpWindow::showResults);
    m_indexing = true;
    searchEngine->reindexDocumentation();

    NameControlsByText(this);
    m_placementTimer = new QTimer(this);
    m_placementTimer->setSingleShot(true);
    m_placementTimer->setInterval(500);
    connect(m_placementTimer, &QTimer::timeout, this, &HelpWindow::savePlacement);
    restorePlacement();
}

HelpWindow::~HelpWindow() {
    if (m_placementTimer->isActive())
        savePlacement();
    m_engine->searchEngine()->cancelIndexing();
    m_engine->searchEngine()->cancelSearching();
}

void HelpWindow::buildIndexTab() {
    auto* tab = new QWidget(m_tabs);
    m_keywordEdit = new QLineEdit(tab);
    m_keywordEdit->setObjectName(QStringLiteral("keywordEdit"));
    QHelpIndexWidget* index = m_engine->indexWidget();
    index->setObjectName(QStringLiteral("helpIndex"));
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(buddyLabel(QStringLiteral("&Type the keyword to find:"), m_keywordEdit, tab));
    layout->addWidget(m_keywordEdit);
    layout->addWidget(buddyLabel(QStringLiteral("&Keywords:"), index, tab));
    layout->addWidget(index, 1);
    m_tabs->addTab(tab, QStringLiteral("&Index"));

    connect(m_keywordEdit, &QLineEdit::textChanged, this, &HelpWindow::applyKeyword);
    connect(m_keywordEdit, &QLineEdit::returnPressed, index,
            &QHelpIndexWidget::activateCurrentItem);
    connect(m_engine->indexModel(), &QHelpIndexModel::indexCreated, this,
            &HelpWindow::applyKeyword);
    connect(index, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& link, const QString&) { open(link.url); });
    connect(index, &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink>& links, const QString&) {
                if (!links.isEmpty())
                    open(links.first().url);
            });
}

void HelpWindow::buildSearchTab() {
    auto* tab = new QWidget(m_tabs);
    m_searchEdit = new QLineEdit(tab);
    m_searchEdit->setObjectName(QStringLiteral("searchEdit"));
    m_searchButton = new QPushButton(QStringLiteral("&Search"), tab);
    m_searchButton->setObjectName(QStringLiteral("searchButton"));
    m_results = new QListWidget(tab);
    m_results->setObjectName(QStringLiteral("searchResults"));
    auto* query = new QHBoxLayout;
    query->addWidget(m_searchEdit, 1);
    query->addWidget(m_searchButton);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(buddyLabel(QStringLiteral("&Words to look for:"), m_searchEdit, tab));
    layout->addLayout(query);
    layout->addWidget(buddyLabel(QStringLiteral("&Pages found:"), m_results, tab));
    layout->addWidget(m_results, 1);
    m_tabs->addTab(tab, QStringLiteral("&Search"));

    const auto start = [this] { search(m_searchEdit->text()); };
    connect(m_searchButton, &QPushButton::clicked, this, start);
    connect(m_searchEdit, &QLineEdit::returnPressed, this, start);
    connect(m_results, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { open(item->data(Qt::UserRole).toUrl()); });
    connect(m_results, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { open(item->data(Qt::UserRole).toUrl()); });
}

HelpWindow::Tab HelpWindow::currentTab() const {
    return static_cast<Tab>(m_tabs->currentIndex());
}

void HelpWindow::present(Tab tab) {
    m_tabs->setCurrentIndex(int(tab));
    BringToFront(this);
}

// The contents entry of a page: the section of its anchor when the contents have one, else the
// page (the widget's own lookup ignores the anchor).
void HelpWindow::selectInContents(const QUrl& url) {
    QHelpContentWidget* contents = m_engine->contentWidget();
    QModelIndex item = contents->indexOf(url);
    if (!item.isValid())
        return;
    QHelpContentModel* model = m_engine->contentModel();
    for (int row = 0; url.hasFragment() && row < model->rowCount(item); ++row) {
        const QModelIndex section = model->index(row, 0, item);
        if (const QHelpContentItem* entry = model->contentItemAt(section);
            entry && entry->url() == url) {
            item = section;
            break;
        }
    }
    contents->setCurrentIndex(item);
}

void HelpWindow::open(const QUrl& url) {
    if (url.isValid())
        m_view->setSource(url);
}

void HelpWindow::showContents() {
    if (m_view->source().isEmpty())
        open(pageUrl(QStringLiteral("html/index.html")));
    present(Tab::Contents);
    m_engine->contentWidget()->setFocus();
}

void HelpWindow::showIndex(const QString& keyword) {
    present(Tab::Index);
    m_keywordEdit->setText(keyword);
    applyKeyword();
    m_keywordEdit->setFocus();
    m_keywordEdit->selectAll();
}

void HelpWindow::applyKeyword() {
    if (!m_engine->indexModel()->isCreatingIndex())
        m_engine->indexWidget()->filterIndices(m_keywordEdit->text());
}

QUrl HelpWindow::topicUrl(int topic) const {
    const QList<QHelpLink> links = m_engine->documentsForIdentifier(HelpTopicIdentifier(topic));
    return links.isEmpty() ? QUrl() : links.first().url;
}

bool HelpWindow::showTopic(int topic) {
    const QUrl url = topicUrl(topic);
    if (!url.isValid() || m_engine->fileData(url).isEmpty())
        return false;
    open(url);
    present(Tab::Contents);
    return true;
}

QUrl HelpWindow::pageUrl(const QString& page) const {
    return m_engine->findFile(
        QUrl(QStringLiteral("qthelp://%1/tarnwick2000/%2").arg(HelpNamespace(), page)));
}

bool HelpWindow::showPage(const QString& page) {
    const QUrl url = pageUrl(page);
    if (!url.isValid())
        return false;
    open(url);
    present(Tab::Contents);
    return true;
}

void HelpWindow::search(const QString& words) {
    present(Tab::Search);
    if (m_searchEdit->text() != words)
        m_searchEdit->setText(words);
    m_pendingSearch = words.trimmed();
    if (!m_pendingSearch.isEmpty() && !m_indexing)
        runSearch();
}

void HelpWindow::runSearch() {
    const QString words = m_pendingSearch;
    m_pendingSearch.clear();
    m_results->clear();
    m_engine->searchEngine()->search(words);
}

void HelpWindow::showResults(int hits) {
    m_results->clear();
    const QList<QHelpSearchResult> found = m_engine->searchEngine()->searchResults(0, hits);
    for (const QHelpSearchResult& result : found) {
        auto* item = new QListWidgetItem(result.title(), m_results);
        item->setData(Qt::UserRole, result.url());
        item->setToolTip(result.url().path());
    }
    emit searchFinished(int(found.size()));
}

void HelpWindow::restorePlacement() {
    QRect screen = VirtualScreenBounds();
    const QString key = placementKey();
    if (m_store && m_store->ValueExists(key, QStringLiteral("Width"))) {
        const WindowPlacement p = LoadWindowPlacement(*m_store, key, screen);
        if (p.Width > 100 && p.Height > 100)
            setGeometry(p.Left, p.Top, p.Width, p.Height);
    } else {
        resize(kDefaultWidth, kDefaultHeight);
        if (const QScreen* primary = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), size());
            frame.moveCenter(primary->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    m_placed = true;
}

void HelpWindow::savePlacement() {
    if (!m_placed || !m_store || isMinimized() || isMaximized())
        return;
    const QRect r = geometry();
    SaveWindowPlacement(*m_store, placementKey(),
                        WindowPlacement{r.top(), r.left(), r.height(), r.width(), 1});
}

void HelpWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (m_placed)
        m_placementTimer->start();
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (m_placed)
        m_placementTimer->start();
}

void HelpWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    m_placementTimer->stop();
    savePlacement();
}

} // namespace tw::ui
