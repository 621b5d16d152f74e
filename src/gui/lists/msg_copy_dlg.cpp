#include "gui/lists/msg_copy_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/base/text.h"
#include "core/lists/list_boxes.h"
#include "gui/base/button_row.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

using voxmg::move_copy::Mode;

CMsgCopyDlg::CMsgCopyDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_folder(new QLineEdit(this)),
      m_rusuroku(new CCheckListCtrl(this)),
      m_naisen(new CCheckListCtrl(this)),
      m_move(new QPushButton(QStringLiteral("移動"), this)),
      m_copy(new QPushButton(QStringLiteral("コピー"), this)),
      m_schedule(new DialogScheduleCheck(this, context)) {
    setWindowTitle(QStringLiteral("音声メッセージ移動・コピー"));
    const std::string boxFolder = context.doc.boxFolderPath();
    m_folder->setReadOnly(true);
    m_folder->setText(QString::fromStdString(boxFolder));
    m_folder->setCursorPosition(0);
    m_rusuroku->setBoxes(voxmg::list_boxes::boxNames(boxFolder, false));
    m_naisen->setBoxes(voxmg::list_boxes::boxNames(boxFolder, true));

    auto* column = new QVBoxLayout(this);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("ダウンロード先フォルダ"), this));
    folderRow->addWidget(m_folder, 1);
    column->addLayout(folderRow);
    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("留守録BOX"), this), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("内線BOX"), this), 0, 1);
    lists->addWidget(m_rusuroku, 1, 0);
    lists->addWidget(m_naisen, 1, 1);
    column->addLayout(lists, 1);
    column->addLayout(buttonRowWithCancel(this, {m_move, m_copy}));
    setMinimumSize(440, 360);

    for (CCheckListCtrl* list : {m_rusuroku, m_naisen}) {
        // Runs after the list's own click handler has flipped the row.
        connect(list, &QTreeWidget::itemClicked, this, [this, list](QTreeWidgetItem* item, int column) {
            if (column == 0) {
                keepOneTick(list, list->indexOfTopLevelItem(item));
            }
        });
    }
    connect(m_move, &QPushButton::clicked, this, [this] { confirm(Mode::Move); });
    connect(m_copy, &QPushButton::clicked, this, [this] { confirm(Mode::Copy); });
    m_schedule->start();
}

bool CMsgCopyDlg::choose() {
    if (m_rusuroku->topLevelItemCount() == 0 && m_naisen->topLevelItemCount() == 0) {
        m_context.messages.error(parentWidget(),
                                 QStringLiteral("フォルダにボックス情報がありません。\n確認ください。"));
        return false;
    }
    return exec() == QDialog::Accepted;
}

void CMsgCopyDlg::keepOneTick(CCheckListCtrl* list, int row) {
    if (!list->isChosen(row)) {
        return;
    }
    m_rusuroku->setAll(false);
    m_naisen->setAll(false);
    list->toggle(row);
    // The row highlight follows the tick, so no other box looks chosen.
    (list == m_rusuroku ? m_naisen : m_rusuroku)->clearSelection();
    list->setCurrentItem(list->topLevelItem(row));
}

void CMsgCopyDlg::confirm(Mode mode) {
    const bool copy = mode == Mode::Copy;
    m_schedule->stop();
    const bool yes = m_context.messages.askYesNo(
        this,
        copy ? QStringLiteral("コピーします。よろしいですか？")
             : QStringLiteral("移動します。よろしいですか？"),
        copy ? QStringLiteral("コピーの確認") : QStringLiteral("移動の確認"), UserMessages::Icon::Question);
    if (yes) {
        for (auto [list, kind] : {std::pair{m_rusuroku, "rusuroku/"}, std::pair{m_naisen, "naisen/"}}) {
            const auto chosen = list->chosenBoxes();
            if (!chosen.empty()) {
                m_mode = mode;
                m_destination = kind + voxmg::text::utf8FromUtf16(chosen.front());
                accept();
                return;
            }
        }
        m_context.messages.error(this, QStringLiteral("BOXが選択されていません。"));
    }
    m_schedule->start();
}
