#pragma once

#include <QMainWindow>
#include <QString>
#include <QUrl>

class QTimer;

class QHelpEngine;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace tw {
class SettingsStore;
}

namespace tw::ui {

class HelpBrowser;

// The help window ("Tarnwick 2000 Help"): the contents tree, the keyword index with the
// keyword typed above it, the full-text search with its results, and the page view with Back
// and Forward. Its place and size are kept in the settings store under "DeskTop\Help". The
// contents, the index and the search index are built on the help engine's own threads; a
// request made before they are ready is carried out when they are. A main window of its own,
// so assistive technology sees a window; Escape closes it.
class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class Tab { Contents = 0, Index = 1, Search = 2 };

    // `collection` is the collection file to open (a copy the engine may write to); `store`
    // may be null (no remembered place).
    HelpWindow(const QString& collection, SettingsStore* store, QWidget* parent = nullptr);
    ~HelpWindow() override;

    // The window in front on the contents tree.
    void showContents();
    // The window in front on the index, filtered by `keyword`.
    void showIndex(const QString& keyword);
    // The window in front on the page of `topic` at its anchor; false (nothing shown) when
    // the collection lacks the topic.
    bool showTopic(int topic);
    // The window in front on a page of the document ("html/using-help.html").
    bool showPage(const QString& page);
    // Runs a full-text search for `words` on the Search tab; searchFinished reports the hits.
    void search(const QString& words);

    // The address of a topic's page with its anchor; empty when the collection lacks it.
    QUrl topicUrl(int topic) const;
    // The address of a page of the document; empty when the collection lacks it.
    QUrl pageUrl(const QString& page) const;
    QHelpEngine* engine() const { return m_engine; }
    HelpBrowser* view() const { return m_view; }
    QLineEdit* keywordEdit() const { return m_keywordEdit; }
    QLineEdit* searchEdit() const { return m_searchEdit; }
    QListWidget* results() const { return m_results; }
    QPushButton* backButton() const { return m_back; }
    QPushButton* forwardButton() const { return m_forward; }
    Tab currentTab() const;
    // True once the search index is built (and no search is waiting for it).
    bool searchReady() const { return !m_indexing; }

    static constexpr char16_t kPlacementKey[] = u"DeskTop\\Help";

signals:
    void searchFinished(int hits);

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildIndexTab();
    void buildSearchTab();
    void present(Tab tab);
    void open(const QUrl& url);
    void selectInContents(const QUrl& url);
    void applyKeyword();
    void runSearch();
    void showResults(int hits);
    void restorePlacement();
    void savePlacement();

    QHelpEngine* m_engine = nullptr;
    SettingsStore* m_store = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_keywordEdit = nullptr;
    QLineEdit* m_searchEdit = nullptr;
    QPushButton* m_searchButton = nullptr;
    QListWidget* m_results = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_forward = nullptr;
    HelpBrowser* m_view = nullptr;
    bool m_indexing = false;
    bool m_placed = false;
    // Saves the place once a move or resize has settled, not at every step of a drag.
    QTimer* m_placementTimer = nullptr;
    QString m_pendingSearch;
};

} // namespace tw::ui
