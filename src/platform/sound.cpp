#include "platform/sound.h"

#include <QFileInfo>

#ifdef TW_HAVE_CANBERRA
#include <canberra.h>

#include <mutex>
#endif

namespace tw::platform {

#ifdef TW_HAVE_CANBERRA
namespace {

// Plays through libcanberra. The context is opened on first use; when no sound server can be
// reached the player stays silent and reports failure, so the caller falls back to a beep.
class CanberraSoundPlayer : public SoundPlayer {
public:
    CanberraSoundPlayer() = default;
    ~CanberraSoundPlayer() override {
        if (m_context)
            ca_context_destroy(m_context);
    }
    CanberraSoundPlayer(const CanberraSoundPlayer&) = delete;
    CanberraSoundPlayer& operator=(const CanberraSoundPlayer&) = delete;

    bool playWave(const QString& path) override {
        const QFileInfo file(path);
        if (path.isEmpty() || !file.isFile() || !file.isReadable())
            return false;
        const QByteArray name = QFile::encodeName(file.absoluteFilePath());
        std::lock_guard lock(m_mutex);
        if (!open())
            return false;
        return ca_context_play(m_context, nextId(), CA_PROP_MEDIA_FILENAME, name.constData(),
                               CA_PROP_MEDIA_ROLE, "event", nullptr) == CA_SUCCESS;
    }

    bool playEvent(const QString& name) override {
        if (name.isEmpty())
            return false;
        const QByteArray id = name.toUtf8();
        std::lock_guard lock(m_mutex);
        if (!open())
            return false;
        return ca_context_play(m_context, nextId(), CA_PROP_EVENT_ID, id.constData(),
                               CA_PROP_MEDIA_ROLE, "event", nullptr) == CA_SUCCESS;
    }

private:
    bool open() {
        if (m_context)
            return true;
        if (m_failed)
            return false;
        ca_context* context = nullptr;
        if (ca_context_create(&context) != CA_SUCCESS) {
            m_failed = true;
            return false;
        }
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Tarnwick 2000",
                                CA_PROP_APPLICATION_ID, "tarnwick2000", nullptr);
        if (ca_context_open(context) != CA_SUCCESS) {
            ca_context_destroy(context);
            m_failed = true;
            return false;
        }
        m_context = context;
        return true;
    }
    std::uint32_t nextId() { return ++m_id; }

    std::mutex m_mutex;
    ca_context* m_context = nullptr;
    bool m_failed = false;
    std::uint32_t m_id = 0;
};

} // namespace
#endif

std::unique_ptr<SoundPlayer> CreateSoundPlayer() {
#ifdef TW_HAVE_CANBERRA
    return std::make_unique<CanberraSoundPlayer>();
#else
    return std::make_unique<NullSoundPlayer>();
#endif
}

} // namespace tw::platform
