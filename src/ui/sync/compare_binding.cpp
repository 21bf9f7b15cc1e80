#include "ui/sync/compare_binding.h"

#include "ui/panes/pane_view.h"

#include <QTimer>

namespace tw::ui {

CompareBinding::CompareBinding(AppState& state, AppRuntime& runtime, const Messages& messages,
                               PaneCompare::Hooks hooks, PaneView* localView, PaneView* remoteView,
                               QObject* parent)
    : QObject(parent), m_compare(state, runtime, messages, std::move(hooks)), m_runtime(runtime),
      m_local(localView), m_remote(remoteView) {}

void CompareBinding::toggleCompare() {
    m_compare.toggle();
    show();
    offerLater();
}

void CompareBinding::toggleOnlyDifferences() {
    m_compare.toggleOnlyDifferences();
    show();
}

void CompareBinding::paneReloaded() {
    if (!m_compare.paneChanged())
        return;
    show();
    offerLater();
}

void CompareBinding::show() {
    for (PaneView* view : {m_local, m_remote}) {
        view->setOnlyMarked(m_runtime.onlyDifferences);
        view->marksChanged();
    }
}

void CompareBinding::offerLater() {
    if (m_offerQueued || !m_compare.lastResult().skewHours)
        return;
    m_offerQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_offerQueued = false;
        if (m_compare.offerTimeOffset())
            show();
    });
}

} // namespace tw::ui
