#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

#include <vector>

namespace tw::ui {

// The lines of the message log pane. Appending is one row insertion per call (amortised
// constant time); the display text replaces line breaks inside a message by a space.
class LogLineModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LogLineModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void append(const QStringList& lines);
    void clear();
    const QString& line(int row) const { return m_lines[std::size_t(row)]; }

private:
    std::vector<QString> m_lines;
};

} // namespace tw::ui
