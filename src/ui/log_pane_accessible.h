#pragma once

#include <QAccessibleWidget>
#include <QPointer>

#include <map>

namespace tw::ui {

class LogPane;

// What assistive technology sees of the message log pane: a list whose children are its
// lines, each a list item named by the line as the pane shows it. Line items are made only
// when asked for and read their text from the pane each time, so appending a line costs
// nothing while no screen reader listens.
class LogPaneAccessible : public QAccessibleWidget {
public:
    explicit LogPaneAccessible(LogPane* pane);
    ~LogPaneAccessible() override;

    // Makes the factory known to Qt's accessibility once (the pane's constructor calls it).
    static void Install();

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

private:
    LogPane* pane() const;
    mutable std::map<int, QAccessible::Id> m_lines;
};

// One line of the log pane (a list item).
class LogLineAccessible : public QAccessibleInterface {
public:
    LogLineAccessible(LogPane* pane, int index) : m_pane(pane), m_index(index) {}

    int lineIndex() const { return m_index; }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;

private:
    QPointer<LogPane> m_pane;
    int m_index;
};

} // namespace tw::ui
