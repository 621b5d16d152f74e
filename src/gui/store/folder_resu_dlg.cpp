#include "gui/store/folder_resu_dlg.h"

#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/base/flags.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/qt_text.h"

namespace {
constexpr int kEntryRole = Qt::UserRole + 1;
}

CFolderResuDlg::CFolderResuDlg(AppContext& context, voxmg::RecycleList& recycle, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_recycle(recycle),
      m_entries(recycle.entries()),
      m_list(new QTreeWidget(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("復活フォルダの選択"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QString(), QStringLiteral("フォルダ名"), QStringLiteral("パス名")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setMinimumSize(520, 220);

    std::vector<int> order(m_entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<int>(i);
    }
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return QString::compare(pathToQ(m_entries[a].name), pathToQ(m_entries[b].name), Qt::CaseInsensitive) <
               0;
    });
    for (int index : order) {
        auto* item = new QTreeWidgetItem(m_list);
        // Not user-checkable: the click handler below flips it, which would otherwise flip
        // twice when the box itself is hit.
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setText(1, pathToQ(m_entries[index].name));
        item->setText(2, pathToQ(m_entries[index].orgPath));
        item->setData(0, kEntryRole, index);
    }
    for (int column = 0; column < 3; ++column) {
        m_list->resizeColumnToContents(column);
    }
    // A click anywhere on a row's check column flips it, not only on the box itself.
    connect(m_list, &QTreeWidget::itemClicked, this, [](QTreeWidgetItem* item, int column) {
        if (column != 0) {
            return;
        }
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_list);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    connect(m_ok, &QPushButton::clicked, this, &CFolderResuDlg::onOk);
}

void CFolderResuDlg::setChecked(int row, bool on) {
    if (auto* item = m_list->topLevelItem(row)) {
        item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
}

void CFolderResuDlg::onOk() {
    std::vector<voxmg::FLDLIST_RECYCLE> chosen;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        auto* item = m_list->topLevelItem(row);
        if (item->checkState(0) == Qt::Checked) {
            chosen.push_back(m_entries[static_cast<std::size_t>(item->data(0, kEntryRole).toInt())]);
        }
    }
    if (!chosen.empty()) {
        const DataFolderGuard dataLock(m_context, this);
        if (!dataLock) {
            return;
        }
        voxmg::WorkerPause pause(m_context.flags, m_context.pump);
        m_restored = m_recycle.restore(chosen);
    }
    accept();
}
