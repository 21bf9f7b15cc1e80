#include "qt_app.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace tw::test {

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { EnsureQtApplication(); }
    void TearDown() override { m_app.reset(); }

    std::unique_ptr<QApplication>& app() { return m_app; }

private:
    std::unique_ptr<QApplication> m_app;
};

QtEnvironment* environment() {
    static QtEnvironment* env = static_cast<QtEnvironment*>(
        ::testing::AddGlobalTestEnvironment(new QtEnvironment)); // owned by GoogleTest
    return env;
}

const bool kRegistered = environment() != nullptr;

} // namespace

void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "test_shell";
    static char* argv[] = {name, nullptr};
    auto& app = environment()->app();
    if (!app && !QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
}

} // namespace tw::test
