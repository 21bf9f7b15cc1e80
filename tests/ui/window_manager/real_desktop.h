#pragma once

#include <memory>
#include <string>

#include <sys/types.h>

namespace tw::test {

// An X server of its own (Xvfb, on a free display) with a window manager (openbox) on it, for
// the tests that need real window frames. Both processes end with the object.
class RealDesktop {
public:
    // Null, with the reason in `why`, when Xvfb or openbox is missing or does not start.
    // Sets DISPLAY for this process; the QApplication is made afterwards.
    static std::unique_ptr<RealDesktop> start(std::string& why);
    ~RealDesktop();
    RealDesktop(const RealDesktop&) = delete;
    RealDesktop& operator=(const RealDesktop&) = delete;

    const std::string& display() const { return m_display; }

    // Whether the window manager has put window `id` into a frame (its _NET_FRAME_EXTENTS
    // are set): Qt's own frame geometry sometimes misses the frame of a freshly mapped window.
    static bool HasFrame(unsigned long id);

private:
    RealDesktop() = default;

    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    std::string m_display;
};

} // namespace tw::test
