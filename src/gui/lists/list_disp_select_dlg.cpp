#include "gui/lists/list_disp_select_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

namespace {

QListWidget* nameList(QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setFixedWidth(140);
    list->setMinimumHeight(240);
    return list;
}

}  // namespace

CListDispSelectDlg::CListDispSelectDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_schedule(new DialogScheduleCheck(this, context)),
      m_choice(voxmg::list_columns::ColumnChoice::fromSettings(context.doc.settings().columns,
                                                               context.doc.settings().delColumns)),
      m_shown(nameList(this)),
      m_hidden(nameList(this)),
      m_add(new QPushButton(QStringLiteral("<< 追加"), this)),
      m_remove(new QPushButton(QStringLiteral("消去 >>"), this)),
      m_up(new QPushButton(QStringLiteral("↑ 上へ"), this)),
      m_down(new QPushButton(QStringLiteral("↓ 下へ"), this)),
      m_reset(new QPushButton(QStringLiteral("リセット"), this)) {
    setWindowTitle(QStringLiteral("録音情報表示設定"));
    auto* column = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("現在の表示項目"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("消去項目"), this), 0, 2);
    grid->addWidget(m_shown, 1, 0);
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    for (QPushButton* button : {m_add, m_remove, m_up, m_down}) {
        middle->addWidget(button);
    }
    middle->addStretch(1);
    middle->addWidget(m_reset);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_hidden, 1, 2);
    column->addLayout(grid);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    column->addLayout(buttonRowWithCancel(this, {ok}));

    connect(m_add, &QPushButton::clicked, this, [this] { fill(m_choice.add(m_hidden->currentRow()), -1); });
    connect(m_remove, &QPushButton::clicked, this,
            [this] { fill(-1, m_choice.remove(m_shown->currentRow())); });
    // A double click on the arrows arrives as two clicks: the name moves two places.
    connect(m_up, &QPushButton::clicked, this, [this] {
        const int row = m_shown->currentRow();
        const int moved = m_choice.moveUp(row);
        fill(moved >= 0 ? moved : row, -1);
    });
    connect(m_down, &QPushButton::clicked, this, [this] {
        const int row = m_shown->currentRow();
        const int moved = m_choice.moveDown(row);
        fill(moved >= 0 ? moved : row, -1);
    });
    connect(m_reset, &QPushButton::clicked, this, &CListDispSelectDlg::onReset);
    connect(ok, &QPushButton::clicked, this, &CListDispSelectDlg::onOk);
    fill(-1, -1);
    m_schedule->start();
}

void CListDispSelectDlg::fill(int shownRow, int hiddenRow) {
    m_shown->clear();
    m_hidden->clear();
    for (const auto& name : m_choice.shown) {
        m_shown->addItem(toQ(name));
    }
    for (const auto& name : m_choice.hidden) {
        m_hidden->addItem(toQ(name));
    }
    m_shown->setCurrentRow(shownRow);
    m_hidden->setCurrentRow(hiddenRow);
}

void CListDispSelectDlg::store() {
    auto file = m_context.doc.profile();
    voxmg::writeDisplayColumns(file, m_context.doc.settings(), m_choice.shown, m_choice.hidden);
    file.save(voxmg::kSettingsFileMode);
}

void CListDispSelectDlg::onReset() {
    if (!m_context.messages.askYesNo(this, QStringLiteral("リセットします。よろしいですか？"),
                                     QStringLiteral("リセットの確認"), UserMessages::Icon::Question)) {
        return;
    }
    m_choice = voxmg::list_columns::ColumnChoice::defaults();
    fill(-1, -1);
    store();
    m_schedule->stop();
    accept();
}

void CListDispSelectDlg::onOk() {
    if (!m_context.messages.askYesNo(this, QStringLiteral("設定します。よろしいですか？"),
                                     QStringLiteral("設定の確認"), UserMessages::Icon::Question)) {
        return;
    }
    if (m_choice.shown.empty()) {
        m_context.messages.error(this, QStringLiteral("表示項目が選択されていません。"));
        return;
    }
    store();
    m_schedule->stop();
    accept();
}
