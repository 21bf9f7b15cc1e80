#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tw {

// One running program per user. The first start listens on a local socket named after the
// main window's class and the user; a later start finds it, asks it to come forward and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket path: in the user's runtime folder when there is one, else the temp folder.
    static QString serverName();

    // True when this is the first start (it now listens); false when another start runs and
    // has been asked to come forward.
    bool becomePrimary();

signals:
    // Another start of the program asked this one to come forward.
    void raiseRequested();

private:
    bool askRunningToRaise();
    bool listen();

    QLocalServer* m_server = nullptr;
};

} // namespace tw
