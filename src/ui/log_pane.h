#pragma once

#include <QListView>
#include <QString>
#include <QStringList>

#include <optional>

namespace tw::ui {

class LogLineModel;

// The message log pane: one line per message, uniform line heights, no line limit (stays fast
// with hundreds of thousands of lines). After each appended line the pane applies this rule:
// with n the new line's index, top the first visible line and visible = height / line height,
// when n < top or n > top + visible - 1 the pane scrolls so that n becomes the top line (or as
// far towards it as the list allows); otherwise the view stays. So a full pane follows the new
// lines, and a user who scrolled back keeps the view while the new line is visible.
//
// A carriage return or line feed inside a message is shown as one space (a run of them as one
// space): every message stays one line of the pane, so the line arithmetic above holds and the
// pane keeps uniform line heights. line() gives the text as appended.
class LogPane : public QListView {
    Q_OBJECT
public:
    explicit LogPane(QWidget* parent = nullptr);
    ~LogPane() override;

    void appendLine(const QString& line);
    // Appends several lines at once, with the same result as appending them one by one.
    void appendLines(const QStringList& lines);
    void clear();

    int lineCount() const;
    QString line(int index) const;

    // The first visible line (after any scrolling that is still to be laid out).
    int topLine() const;
    // Scrolls so that `index` is the top line, or as far towards it as the list allows.
    void setTopLine(int index);
    // The height of one line and the pane's height divided by it.
    int lineHeight() const;
    int visibleLines() const;

    // The top line after appending line `newIndex` (count lines in all, `visible` of them
    // shown), starting from `top`.
    static int nextTopLine(int top, int visible, int newIndex, int count);
    // A message as the pane shows it.
    static QString displayText(const QString& line);

protected:
    void updateGeometries() override;

private:
    LogLineModel* m_model = nullptr;
    std::optional<int> m_pendingTop;
};

} // namespace tw::ui
