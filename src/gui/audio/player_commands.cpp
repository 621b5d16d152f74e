#include "gui/audio/player_commands.h"

#include <QDockWidget>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTableView>
#include <QTimer>

#include "core/base/paths.h"
#include "core/lists/play_operation.h"
#include "core/mail/mail_outbox.h"
#include "core/store/file_mng.h"
#include "gui/audio/player_host.h"
#include "gui/audio/player_pane.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_windows.h"

namespace {

constexpr std::chrono::seconds kSeekStep{5};

// "営業  2026/12/07 10:15  山田": what the pane names the message by.
QString captionOf(const voxmg::FILESTS_INFO& r) {
    const std::u16string caller = !r.callerNameText().empty() ? r.callerNameText() : r.callerNumberText();
    const std::u16string box = !r.boxNameText().empty() ? r.boxNameText() : r.boxNumberText();
    QStringList parts;
    for (const auto& part : {box, r.dateText(), caller}) {
        if (!part.empty()) {
            parts << toQ(part);
        }
    }
    return parts.join(QStringLiteral("  "));
}

}  // namespace

PlayerCommands::PlayerCommands(PlayerHost& host, ListWindows& lists, voxmg::player::AudioSink& sink)
    : m_host(host),
      m_frame(host.frameHost()),
      m_lists(lists),
      m_dock(new QDockWidget(QStringLiteral("内蔵プレーヤー"), m_frame.frameWindow())) {
    AppContext& context = m_frame.context();
    // The mark "再生" writes; always-download waits meanwhile, as it does for "再生".
    auto markPlayed = [&context](const std::string& path) {
        voxmg::WorkerPause pause(context.flags, context.pump);
        const voxmg::CFileMng files(context.flags);
        return voxmg::markPlayedOnPc(files, path);
    };
    m_pane = new PlayerPane(sink, markPlayed, m_dock);
    m_dock->setObjectName(QStringLiteral("playerDock"));
    m_dock->setWidget(m_pane);
    m_dock->setFeatures(QDockWidget::DockWidgetClosable);
    m_dock->setAllowedAreas(Qt::BottomDockWidgetArea);
    m_dock->installEventFilter(this);
    m_host.addBottomDock(m_dock);
    m_dock->hide();

    // The list shows "再生済" once the pane marked the message.
    connect(m_pane, &PlayerPane::marked, this, [this] { m_frame.refreshActiveList(); });
    m_host.onActiveListChanged([this] { followSoon(); });
    connect(&lists, &ListWindows::created, this, &PlayerCommands::attach);
    connect(&lists, &ListWindows::closed, this, [this] { followSoon(); });
    for (CListDispView* view : lists.views()) {
        attach(view);
    }

    m_frame.setCommand(Command::PlayerPane, {[this] { setShown(m_dock->isHidden()); }, [] { return true; },
                                             [this] { return !m_dock->isHidden(); }});
    setShown(context.doc.settings().playerPane);
}

PlayerCommands::~PlayerCommands() = default;

void PlayerCommands::setShown(bool shown) {
    m_frame.context().doc.settings().playerPane = shown;
    m_dock->setVisible(shown);
    m_host.updateMinimumHeight();
    if (shown) {
        follow();
    } else {
        m_pane->clearMessage();
    }
}

void PlayerCommands::attach(CListDispView* view) {
    // Keys reach the table, which has the focus in a list window.
    view->table()->installEventFilter(this);
    connect(view->table()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { followSoon(); });
    // A rebuild clears the selection without a word: a message gone from the list (deleted by
    // another run, moved away) must leave the pane too.
    connect(view, &CListDispView::countsChanged, this, [this] { followSoon(); });
}

void PlayerCommands::followSoon() {
    // A refresh clears and restores the selection: the pane looks once it is back.
    if (!m_followQueued) {
        m_followQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_followQueued = false;
            follow();
        });
    }
}

void PlayerCommands::follow() {
    if (m_dock->isHidden()) {
        return;
    }
    auto* view = qobject_cast<CListDispView*>(m_frame.activeList());
    if (view == nullptr) {
        m_pane->clearMessage();
        return;
    }
    const int record = view->firstSelectedFile();
    if (record < 0) {
        // Nothing selected: nothing to show (a list switched to, a delete). While the list is
        // being read (-2) the pane keeps its message until the selection is back.
        if (record == -1) {
            m_pane->clearMessage();
        }
        return;
    }
    const voxmg::FILESTS_INFO& r = view->rows().record(record);
    if (r.pathText().empty()) {
        m_pane->clearMessage(
            QStringLiteral("この番号にはメッセージがありません。"));  // an empty response slot
        return;
    }
    const auto& doc = m_frame.context().doc;
    m_pane->setGain(doc.settings().levelOrWav);
    QString caption = captionOf(r);
    // The mail sender measured it and found no speech (a caller who hung up).
    const std::string settingsFolder =
        voxmg::paths::withTrailingSeparator(voxmg::paths::parentOf(doc.settingsPath()));
    if (!view->isResponseList() && voxmg::mail::markedSilent(settingsFolder, r.pathUtf8())) {
        caption += QStringLiteral("  ［無音］");
    }
    m_pane->showMessage({r.pathUtf8(), !view->isResponseList()}, caption);
}

void PlayerCommands::playSelected(CListDispView& view) {
    if (m_dock->isHidden()) {
        setShown(true);
    }
    if (m_frame.activeList() == &view) {
        follow();
    }
    if (m_pane->session().state() != voxmg::player::PaneState::Playing) {
        m_pane->togglePlay();
    }
}

bool PlayerCommands::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_dock && event->type() == QEvent::Close) {
        // Closed with its own button: remembered as hidden.
        m_frame.context().doc.settings().playerPane = false;
        m_pane->clearMessage();
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    auto* view = qobject_cast<CListDispView*>(watched->parent());
    if (view == nullptr || mods != Qt::NoModifier) {
        return false;
    }
    return triageKey(*view, key->key());
}

bool PlayerCommands::hasSelection(CListDispView& view) {
    if (!view.table()->selectionModel()->selectedRows().isEmpty()) {
        return true;
    }
    m_frame.context().messages.error(m_frame.frameWindow(), QStringLiteral("選択されていません。"));
    return false;
}

bool PlayerCommands::triageKey(CListDispView& view, int key) {
    switch (key) {
        case Qt::Key_Space:
            if (m_dock->isHidden()) {
                setShown(true);
            }
            follow();
            m_pane->togglePlay();
            return true;
        case Qt::Key_Left:
            m_pane->seekBy(-kSeekStep);
            return true;
        case Qt::Key_Right:
            m_pane->seekBy(kSeekStep);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            m_frame.runMenuCommand(Command::EditRecordingInfo);
            return true;
        case Qt::Key_Delete:
            if (hasSelection(view)) {
                m_frame.runMenuCommand(Command::Delete);
            }
            return true;
        case Qt::Key_F:
            if (hasSelection(view)) {
                // The row the keys are on when it is selected, else the first selected one.
                const QModelIndex current = view.table()->currentIndex();
                const bool onSelected =
                    current.isValid() && view.table()->selectionModel()->isRowSelected(current.row());
                view.toggleFlag(onSelected ? current.row()
                                           : view.table()->selectionModel()->selectedRows().front().row());
            }
            return true;
        case Qt::Key_N:
            view.selectNextUnplayed();
            return true;
        default:
            return false;
    }
}
