// GLib's headers come before Qt's: Qt's `signals` keyword would rename a GDBus struct member.
#include <libsecret/secret.h>

#include "platform/secrets/keyring_secrets.h"

#include <QByteArray>

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>

namespace tw::platform {

namespace {

// The attribute names of the schema, as stored in the keyring.
constexpr const char* kId = "id";
constexpr const char* kKind = "kind";
constexpr const char* kHost = "host";
constexpr const char* kUser = "user";
constexpr const char* kProtocol = "protocol";
constexpr const char* kKeyFile = "key-file";

const SecretSchema* Schema() {
    static const SecretSchema schema = {KeyringSecrets::kSchemaName,
                                        SECRET_SCHEMA_NONE,
                                        {
                                            {kId, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {kKind, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {kHost, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {kUser, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {kProtocol, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {kKeyFile, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        },
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

struct GObjectUnref {
    void operator()(gpointer o) const { g_object_unref(o); }
};
struct GHashTableUnref {
    void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};
struct ItemListFree {
    void operator()(GList* l) const { g_list_free_full(l, g_object_unref); }
};
struct SecretValueUnref {
    void operator()(SecretValue* v) const { secret_value_unref(v); }
};
using Attributes = std::unique_ptr<GHashTable, GHashTableUnref>;
using ItemList = std::unique_ptr<GList, ItemListFree>;
using Service = std::unique_ptr<SecretService, GObjectUnref>;

// A GError** for a C call, owned afterwards.
class ErrorSlot {
public:
    GError** out() { return &m_error; }
    GError* get() const { return m_error; }
    ~ErrorSlot() {
        if (m_error)
            g_error_free(m_error);
    }

private:
    GError* m_error = nullptr;
};

Attributes NewAttributes() {
    return Attributes(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free));
}

void Put(GHashTable* table, const char* name, const QString& value) {
    if (!value.isEmpty())
        g_hash_table_insert(table, g_strdup(name), g_strdup(value.toUtf8().constData()));
}

Attributes IdAttributes(const QString& id) {
    Attributes a = NewAttributes();
    Put(a.get(), kId, id);
    return a;
}

Attributes ItemAttributes(const SecretItem& item) {
    Attributes a = NewAttributes();
    Put(a.get(), kId, item.id);
    Put(a.get(), kKind, item.kind);
    Put(a.get(), kHost, item.host);
    Put(a.get(), kUser, item.user);
    Put(a.get(), kProtocol, item.protocol);
    Put(a.get(), kKeyFile, item.keyFile);
    return a;
}

// Whether an item carries exactly `wanted` among the schema's attributes.
bool SameAttributes(GHashTable* itemAttributes, GHashTable* wanted) {
    for (const char* name : {kId, kKind, kHost, kUser, kProtocol, kKeyFile}) {
        const auto* have = static_cast<const char*>(g_hash_table_lookup(itemAttributes, name));
        const auto* want = static_cast<const char*>(g_hash_table_lookup(wanted, name));
        if ((have == nullptr) != (want == nullptr) || (have && g_strcmp0(have, want) != 0))
            return false;
    }
    return true;
}

SecretOutcome FromError(const GError* error) {
    const QString message = QString::fromUtf8(error->message);
    if (error->domain == G_DBUS_ERROR &&
        (error->code == G_DBUS_ERROR_SERVICE_UNKNOWN ||
         error->code == G_DBUS_ERROR_NAME_HAS_NO_OWNER || error->code == G_DBUS_ERROR_NO_SERVER ||
         error->code == G_DBUS_ERROR_DISCONNECTED ||
         error->code == G_DBUS_ERROR_SPAWN_EXEC_FAILED ||
         error->code == G_DBUS_ERROR_SPAWN_FAILED ||
         error->code == G_DBUS_ERROR_SPAWN_CHILD_EXITED ||
         error->code == G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND))
        return {SecretStatus::Unavailable, message};
    if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CLOSED)
        return {SecretStatus::Unavailable, message};
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED)
        return {SecretStatus::Locked, message};
    if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CANCELLED)
        return {SecretStatus::Failed, QStringLiteral("cancelled")};
    if (g_dbus_error_is_remote_error(error)) {
        gchar* remote = g_dbus_error_get_remote_error(error);
        const bool locked = g_strcmp0(remote, "org.freedesktop.Secret.Error.IsLocked") == 0;
        g_free(remote);
        if (locked)
            return {SecretStatus::Locked, message};
    }
    return {SecretStatus::Failed, message};
}

} // namespace

struct KeyringSecrets::Private {
    std::mutex mutex;
    std::set<GCancellable*> running;
    // The session bus, held so that it stays the connection libsecret shares and so that its
    // loss never ends the process (GLib's default for bus connections). GLib keeps this one
    // connection for the process: a bus started later is not reached.
    GDBusConnection* bus = nullptr;

    // The call's cancellable, registered for cancelAll() while the call runs.
    class Call {
    public:
        explicit Call(Private& p) : m_p(p), m_cancellable(g_cancellable_new()) {
            std::lock_guard guard(m_p.mutex);
            m_p.running.insert(m_cancellable);
        }
        ~Call() {
            {
                std::lock_guard guard(m_p.mutex);
                m_p.running.erase(m_cancellable);
            }
            g_object_unref(m_cancellable);
        }
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        GCancellable* cancellable() const { return m_cancellable; }

    private:
        Private& m_p;
        GCancellable* m_cancellable;
    };

    // The Secret Service proxy, or the reason there is none.
    Service service(const Call& call, SecretOutcome& why) {
        {
            std::lock_guard guard(mutex);
            if (!bus) {
                ErrorSlot error;
                bus = g_bus_get_sync(G_BUS_TYPE_SESSION, call.cancellable(), error.out());
                if (!bus) {
                    why = {SecretStatus::Unavailable,
                           error.get() ? QString::fromUtf8(error.get()->message)
                                       : QStringLiteral("There is no session bus.")};
                    return nullptr;
                }
                g_dbus_connection_set_exit_on_close(bus, FALSE);
            }
        }
        ErrorSlot error;
        SecretService* s =
            secret_service_get_sync(SECRET_SERVICE_NONE, call.cancellable(), error.out());
        if (!s) {
            why = error.get() ? FromError(error.get())
                              : SecretOutcome{SecretStatus::Unavailable,
                                              QStringLiteral("There is no Secret Service.")};
            return nullptr;
        }
        return Service(s);
    }

    SecretOutcome probe();
    SecretLookup lookup(const QString& id);
    SecretOutcome store(const SecretItem& item, const QString& secret);
    SecretOutcome remove(const QString& id);

    // The outcome of a call, after which a lost service is forgotten: libsecret's shared proxy
    // is bound to the unique name of the service it first met, so a keyring started again
    // is only found through a new one.
    SecretOutcome finish(SecretOutcome outcome) {
        if (outcome.status == SecretStatus::Unavailable) {
            std::lock_guard guard(mutex);
            secret_service_disconnect();
        }
        return outcome;
    }

    // Items of the schema with the id: unlocked through the service (its prompt) when
    // `unlock`, with their secrets when `loadSecrets`.
    ItemList search(const Call& call, SecretService* s, const QString& id, bool unlock,
                    bool loadSecrets, SecretOutcome& why) {
        const Attributes attributes = IdAttributes(id);
        int flags = SECRET_SEARCH_ALL;
        if (unlock)
            flags |= SECRET_SEARCH_UNLOCK;
        if (loadSecrets)
            flags |= SECRET_SEARCH_LOAD_SECRETS;
        ErrorSlot error;
        GList* items = secret_service_search_sync(s, Schema(), attributes.get(),
                                                  static_cast<SecretSearchFlags>(flags),
                                                  call.cancellable(), error.out());
        if (error.get())
            why = FromError(error.get());
        return ItemList(items);
    }
};

KeyringSecrets::KeyringSecrets() : d(std::make_unique<Private>()) {}

KeyringSecrets::~KeyringSecrets() {
    cancelAll();
    if (d->bus)
        g_object_unref(d->bus);
}

void KeyringSecrets::cancelAll() {
    std::lock_guard guard(d->mutex);
    for (GCancellable* c : d->running)
        g_cancellable_cancel(c);
}

SecretOutcome KeyringSecrets::Private::probe() {
    Call call(*this);
    SecretOutcome why;
    const Service s = service(call, why);
    if (!s)
        return why;
    ErrorSlot error;
    std::unique_ptr<SecretCollection, GObjectUnref> collection(
        secret_collection_for_alias_sync(s.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE,
                                         call.cancellable(), error.out()));
    if (error.get())
        return FromError(error.get());
    // No default collection yet: the first store creates one (the service may prompt for it).
    if (collection && secret_collection_get_locked(collection.get()))
        return {SecretStatus::Locked, QStringLiteral("The default keyring is locked.")};
    return {};
}

SecretLookup KeyringSecrets::Private::lookup(const QString& id) {
    // A search without an id would match every item of the schema.
    if (id.isEmpty())
        return {{SecretStatus::NotFound, {}}, {}};
    Call call(*this);
    SecretOutcome why;
    const Service s = service(call, why);
    if (!s)
        return {why, {}};
    const ItemList items = search(call, s.get(), id, true, true, why);
    if (!why.ok())
        return {why, {}};
    bool locked = false;
    for (GList* l = items.get(); l; l = l->next) {
        auto* item = static_cast<::SecretItem*>(l->data);
        if (secret_item_get_locked(item)) {
            locked = true;
            continue;
        }
        std::unique_ptr<SecretValue, SecretValueUnref> value(secret_item_get_secret(item));
        if (!value)
            continue;
        const gchar* text = secret_value_get_text(value.get());
        if (!text)
            return {{SecretStatus::Damaged,
                     QStringLiteral("The keyring's item for %1 is not text.").arg(id)},
                    {}};
        return {{}, QString::fromUtf8(text)};
    }
    // An item the service would not unlock: its prompt was dismissed or could not be shown.
    if (locked)
        return {{SecretStatus::Locked, QStringLiteral("The keyring stayed locked.")}, {}};
    return {{SecretStatus::NotFound, {}}, {}};
}

SecretOutcome KeyringSecrets::Private::store(const SecretItem& item, const QString& secret) {
    if (item.id.isEmpty())
        return {SecretStatus::Failed, QStringLiteral("A secret needs an id.")};
    if (secret.contains(QChar(u'\0')))
        return {SecretStatus::Failed, QStringLiteral("A secret cannot hold a NUL character.")};
    Call call(*this);
    SecretOutcome why;
    const Service s = service(call, why);
    if (!s)
        return why;
    const Attributes attributes = ItemAttributes(item);
    QByteArray text = secret.toUtf8();
    ErrorSlot error;
    const gboolean stored = secret_password_storev_sync(
        Schema(), attributes.get(), SECRET_COLLECTION_DEFAULT, item.label.toUtf8().constData(),
        text.constData(), call.cancellable(), error.out());
    std::fill(text.begin(), text.end(), '\0');
    if (!stored)
        return error.get() ? FromError(error.get())
                           : SecretOutcome{SecretStatus::Failed,
                                           QStringLiteral("The keyring did not keep the secret.")};
    // The service replaces an item with the same attributes only; an item of the id whose
    // host or user has changed since is deleted now that the new one is kept.
    const ItemList items = search(call, s.get(), item.id, false, false, why);
    for (GList* l = items.get(); l; l = l->next) {
        auto* old = static_cast<::SecretItem*>(l->data);
        const Attributes oldAttributes(secret_item_get_attributes(old));
        if (SameAttributes(oldAttributes.get(), attributes.get()))
            continue;
        ErrorSlot deleteError;
        if (!secret_item_delete_sync(old, call.cancellable(), deleteError.out()) &&
            deleteError.get())
            return FromError(deleteError.get());
    }
    return {};
}

SecretOutcome KeyringSecrets::Private::remove(const QString& id) {
    // A search without an id would match, and delete, every item of the schema.
    if (id.isEmpty())
        return {};
    Call call(*this);
    SecretOutcome why;
    const Service s = service(call, why);
    if (!s)
        return why;
    // Searched with unlocking rather than cleared: libsecret's clear passes over locked items
    // silently, and a secret still kept must not read as removed.
    const ItemList items = search(call, s.get(), id, true, false, why);
    if (!why.ok())
        return why;
    for (GList* l = items.get(); l; l = l->next) {
        auto* item = static_cast<::SecretItem*>(l->data);
        if (secret_item_get_locked(item))
            return {SecretStatus::Locked, QStringLiteral("The keyring stayed locked.")};
        ErrorSlot error;
        if (!secret_item_delete_sync(item, call.cancellable(), error.out()) && error.get())
            return FromError(error.get());
    }
    return {};
}

SecretOutcome KeyringSecrets::probe() {
    return d->finish(d->probe());
}

SecretLookup KeyringSecrets::lookup(const QString& id) {
    SecretLookup found = d->lookup(id);
    found.outcome = d->finish(found.outcome);
    return found;
}

SecretOutcome KeyringSecrets::store(const SecretItem& item, const QString& secret) {
    return d->finish(d->store(item, secret));
}

SecretOutcome KeyringSecrets::remove(const QString& id) {
    return d->finish(d->remove(id));
}

} // namespace tw::platform
