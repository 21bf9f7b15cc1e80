#include "core/session/demo_account.h"

#include "core/state/app_state.h"

namespace tw {

bool ApplyDemoServer(AppState& state, const QString& host, int port) {
    const QString name = QString::fromUtf16(kDemoAccountName);
    int index = -1;
    for (int i = 0; i < state.AccountCount(); ++i)
        if (state.Accounts[std::size_t(i)].Name == name)
            index = i;
    if (index < 0) {
        if (state.AccountCount() >= kMaxAccounts)
            return false;
        AccountRecord account;
        account.Name = name;
        account.Comments = u"A local FTP server started by run.sh with a small sample tree."_qs;
        state.Accounts.push_back(account);
        index = state.AccountCount() - 1;
    }
    AccountRecord& account = state.Accounts[std::size_t(index)];
    account.URL = host;
    account.UseIP = false;
    account.Anonymous = true;
    account.Passive = true;
    account.RemotePort = std::uint32_t(port);
    account.RemotePath = u"/"_qs;
    state.CurrentAccount = index;
    return true;
}

bool ParseDemoServer(const QString& text, QString& host, int& port) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    bool ok = false;
    const int p = text.mid(colon + 1).toInt(&ok);
    if (!ok || p <= 0 || p > 65535)
        return false;
    QString h = text.left(colon);
    if (h.startsWith(u'[') && h.endsWith(u']'))
        h = h.mid(1, h.size() - 2);
    if (h.isEmpty() || h.contains(u':') != text.left(colon).startsWith(u'['))
        return false;
    host = h;
    port = p;
    return true;
}

} // namespace tw
