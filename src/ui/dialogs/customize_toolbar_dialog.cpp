#include "ui/dialogs/customize_toolbar_dialog.h"

#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"

#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <set>

namespace tw::ui {

namespace {

constexpr int kSeparator = 0;
const QString kSeparatorText = QStringLiteral("Separator");

QPushButton* makeButton(QWidget* parent, const QString& text, const QString& name,
                        const QRect& geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QListWidget* makeList(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    list->setIconSize(QSize(16, 16));
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return list;
}

} // namespace

CustomizeToolbarDialog::CustomizeToolbarDialog(QWidget* owner,
                                               std::vector<ToolbarButtonInfo> buttons,
                                               const std::vector<int>& current,
                                               std::vector<int> standard,
                                               std::function<void()> help)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_buttons(std::move(buttons)), m_help(std::move(help)) {
    m_standard = sanitized(standard);
    m_current = sanitized(current);

    setObjectName(QStringLiteral("CustomizeToolbar"));
    setWindowTitle(QStringLiteral("Customize Toolbar"));
    const DialogUnits du;
    setFont(du.font());
    setFixedSize(du.size(357, 125));
    SetDialogIcon(this, 1000);

    auto* availableLabel = new QLabel(QStringLiteral("A&vailable toolbar buttons:"), this);
    availableLabel->setGeometry(du.rect(4, 5, 120, 10));
    m_availableList = makeList(this, QStringLiteral("availableList"), du.rect(4, 17, 120, 100));
    availableLabel->setBuddy(m_availableList);
    m_availableList->setAccessibleName(QStringLiteral("Available toolbar buttons:"));

    auto* currentLabel = new QLabel(QStringLiteral("Curren&t toolbar buttons:"), this);
    currentLabel->setGeometry(du.rect(182, 5, 120, 10));
    m_currentList = makeList(this, QStringLiteral("currentList"), du.rect(182, 17, 120, 100));
    currentLabel->setBuddy(m_currentList);
    m_currentList->setAccessibleName(QStringLiteral("Current toolbar buttons:"));

    m_add = makeButton(this, QStringLiteral("&Add ->"), QStringLiteral("addButton"),
                       du.rect(131, 42, 44, 14));
    m_remove = makeButton(this, QStringLiteral("<- &Remove"), QStringLiteral("removeButton"),
                          du.rect(131, 62, 44, 14));
    auto* close = makeButton(this, QStringLiteral("&Close"), QStringLiteral("closeButton"),
                             du.rect(308, 6, 44, 14));
    close->setDefault(true);
    auto* resetButton = makeButton(this, QStringLiteral("R&eset"), QStringLiteral("resetButton"),
                                   du.rect(308, 23, 44, 14));
    auto* helpButton = makeButton(this, QStringLiteral("&Help"), QStringLiteral("helpButton"),
                                  du.rect(308, 40, 44, 14));
    helpButton->setVisible(static_cast<bool>(m_help));
    m_up = makeButton(this, QStringLiteral("Move &Up"), QStringLiteral("moveUpButton"),
                      du.rect(308, 74, 44, 14));
    m_down = makeButton(this, QStringLiteral("Move &Down"), QStringLiteral("moveDownButton"),
                        du.rect(308, 91, 44, 14));

    connect(m_add, &QPushButton::clicked, this, &CustomizeToolbarDialog::addSelected);
    connect(m_remove, &QPushButton::clicked, this, &CustomizeToolbarDialog::removeSelected);
    connect(m_up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(resetButton, &QPushButton::clicked, this, &CustomizeToolbarDialog::reset);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(helpButton, &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help();
    });
    connect(m_availableList, &QListWidget::itemDoubleClicked, this,
            &CustomizeToolbarDialog::addSelected);
    connect(m_currentList, &QListWidget::itemDoubleClicked, this,
            &CustomizeToolbarDialog::removeSelected);
    connect(m_availableList, &QListWidget::currentRowChanged, this,
            &CustomizeToolbarDialog::updateButtons);
    connect(m_currentList, &QListWidget::currentRowChanged, this,
            &CustomizeToolbarDialog::updateButtons);

    setTabOrder(m_availableList, m_add);
    setTabOrder(m_add, m_remove);
    setTabOrder(m_remove, m_currentList);
    setTabOrder(m_currentList, close);
    setTabOrder(close, resetButton);
    setTabOrder(resetButton, helpButton);
    setTabOrder(helpButton, m_up);
    setTabOrder(m_up, m_down);

    fillLists(-1, kSeparator);
    CenterWindowOnMonitor(this);
}

const ToolbarButtonInfo* CustomizeToolbarDialog::find(int id) const {
    const auto it = std::find_if(m_buttons.begin(), m_buttons.end(),
                                 [id](const ToolbarButtonInfo& b) { return b.id == id; });
    return it == m_buttons.end() ? nullptr : &*it;
}

std::vector<int> CustomizeToolbarDialog::sanitized(const std::vector<int>& ids) const {
    std::vector<int> result;
    std::set<int> seen;
    for (const int id : ids) {
        if (id == kSeparator) {
            result.push_back(id);
        } else if (find(id) && seen.insert(id).second) {
            result.push_back(id);
        }
    }
    return result;
}

std::vector<int> CustomizeToolbarDialog::available() const {
    std::vector<int> ids{kSeparator};
    for (const ToolbarButtonInfo& button : m_buttons)
        if (button.id != kSeparator &&
            std::find(m_current.begin(), m_current.end(), button.id) == m_current.end() &&
            std::find(ids.begin(), ids.end(), button.id) == ids.end())
            ids.push_back(button.id);
    return ids;
}

QListWidgetItem* CustomizeToolbarDialog::makeItem(int id) const {
    auto* item = new QListWidgetItem;
    item->setData(Qt::UserRole, id);
    if (id == kSeparator) {
        // A blank picture keeps "Separator" in line with the button texts.
        static const QIcon blank = [] {
            QPixmap pixmap(16, 16);
            pixmap.fill(Qt::transparent);
            return QIcon(pixmap);
        }();
        item->setText(kSeparatorText);
        item->setIcon(blank);
    } else if (const ToolbarButtonInfo* button = find(id)) {
        item->setText(button->text);
        item->setIcon(button->icon);
    }
    return item;
}

void CustomizeToolbarDialog::fillLists(int currentRow, int availableId) {
    m_availableList->clear();
    m_currentList->clear();
    int availableRow = 0;
    const std::vector<int> ids = available();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        m_availableList->addItem(makeItem(ids[i]));
        if (ids[i] == availableId)
            availableRow = static_cast<int>(i);
    }
    for (const int id : m_current)
        m_currentList->addItem(makeItem(id));
    m_availableList->setCurrentRow(std::min(availableRow, m_availableList->count() - 1));
    if (currentRow >= 0 && currentRow < m_currentList->count())
        m_currentList->setCurrentRow(currentRow);
    updateButtons();
}

void CustomizeToolbarDialog::updateButtons() {
    const int row = m_currentList->currentRow();
    const int count = m_currentList->count();
    m_add->setEnabled(m_availableList->currentRow() >= 0);
    m_remove->setEnabled(row >= 0 && row < count);
    m_up->setEnabled(row > 0 && row < count);
    m_down->setEnabled(row >= 0 && row + 1 < count);
}

void CustomizeToolbarDialog::changed(int currentRow, int availableId) {
    fillLists(currentRow, availableId);
    emit arrangementChanged(m_current);
}

void CustomizeToolbarDialog::addSelected() {
    const QListWidgetItem* item = m_availableList->currentItem();
    if (!item)
        return;
    const int id = item->data(Qt::UserRole).toInt();
    const int selected = m_currentList->currentRow();
    const int at = selected >= 0 ? selected + 1 : static_cast<int>(m_current.size());
    m_current.insert(m_current.begin() + at, id);
    // The available list keeps its place: the next button (or "Separator" again).
    const int availableRow = m_availableList->currentRow();
    const std::vector<int> remaining = available();
    int nextAvailable = kSeparator;
    if (id != kSeparator) {
        // The button that moved up into the added one's row is the natural next choice.
        if (availableRow < static_cast<int>(remaining.size()))
            nextAvailable = remaining[std::size_t(availableRow)];
        else if (!remaining.empty())
            nextAvailable = remaining.back();
    }
    changed(at, nextAvailable);
}

void CustomizeToolbarDialog::removeSelected() {
    const int row = m_currentList->currentRow();
    if (row < 0 || row >= static_cast<int>(m_current.size()))
        return;
    const int id = m_current[std::size_t(row)];
    m_current.erase(m_current.begin() + row);
    const int next = std::min(row, static_cast<int>(m_current.size()) - 1);
    changed(next, id);
}

void CustomizeToolbarDialog::moveSelected(int delta) {
    const int row = m_currentList->currentRow();
    const int target = row + delta;
    const int count = static_cast<int>(m_current.size());
    if (row < 0 || row >= count || target < 0 || target >= count)
        return;
    std::swap(m_current[std::size_t(row)], m_current[std::size_t(target)]);
    const QListWidgetItem* item = m_availableList->currentItem();
    changed(target, item ? item->data(Qt::UserRole).toInt() : kSeparator);
}

void CustomizeToolbarDialog::reset() {
    m_current = m_standard;
    changed(-1, kSeparator);
}

std::vector<int> CustomizeToolbar(QWidget* owner, const std::vector<ToolbarButtonInfo>& buttons,
                                  const std::vector<int>& current, const std::vector<int>& standard,
                                  const std::function<void(const std::vector<int>&)>& applied,
                                  const std::function<void()>& help) {
    CustomizeToolbarDialog dialog(owner, buttons, current, standard, help);
    if (applied)
        QObject::connect(&dialog, &CustomizeToolbarDialog::arrangementChanged, &dialog,
                         [&applied](const std::vector<int>& arrangement) { applied(arrangement); });
    dialog.exec();
    return dialog.arrangement();
}

} // namespace tw::ui
