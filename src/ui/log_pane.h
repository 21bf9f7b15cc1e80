#pragma once

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QString>
#include <QStringList>

#include <vector>

namespace tw::ui {

// The message log pane: a list of message lines with uniform line heights and no line limit.
// It paints only the lines in view, so appending stays cheap with hundreds of thousands of
// lines. After each appended line the pane applies this rule: with n the new line's index,
// top the first visible line and visible = the pane's height / the line height, when n < top
// or n > top + visible - 1 the pane scrolls so that n becomes the top line (or as far towards
// it as the list allows); otherwise the view stays. So a full pane follows the new lines, and a
// user who scrolled back keeps the view while the new line is still visible.
//
// A carriage return or line feed inside a message is shown as one space (a run of them as one
// space): every message stays one line of the pane, so the line arithmetic above holds. Other
// control characters (a server's name or reply may hold ESC, C1 or bidirectional controls) are
// shown as escapes ("\x1b", "\u202e"; ShownText). line() gives the text as appended; what is
// painted, copied and given to assistive technology is displayText() of it. A click selects a line;
// Ctrl+C copies it. Assistive technology sees the lines as the items of an accessible list
// (LogPaneAccessible).
class LogPane : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogPane(QWidget* parent = nullptr);

    void appendLine(const QString& line);
    // Appends several lines at once, with the same result as appending them one by one.
    void appendLines(const QStringList& lines);
    void clear();

    int lineCount() const { return static_cast<int>(m_lines.size()); }
    QString line(int index) const;

    // The first visible line.
    int topLine() const;
    // Scrolls so that `index` is the top line, or as far towards it as the list allows.
    void setTopLine(int index);
    // The height of one line and the pane's height divided by it.
    int lineHeight() const;
    int visibleLines() const;
    // The selected line, -1 when none.
    int selectedLine() const { return m_selected; }
    void setSelectedLine(int index);

    // The top line after appending line `newIndex` (count lines in all, `visible` of them
    // shown), starting from `top`.
    static int nextTopLine(int top, int visible, int newIndex, int count);
    // A message as the pane shows it.
    static QString displayText(const QString& line);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    // The focus shows as a focus frame around the selected line, or the whole list when no line
    // is selected.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The largest top line: the last line stays fully in view.
    int maxTopLine() const;
    int linesInViewport() const;
    void updateScrollRange();
    void ensureVisible(int index);
    // Tells assistive technology about a change (`line` -1: the pane as a whole).
    void notifyAccessibility(QAccessible::Event kind, int line);

    std::vector<QString> m_lines;
    int m_selected = -1;
};

} // namespace tw::ui
