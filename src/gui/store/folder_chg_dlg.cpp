#include "gui/store/folder_chg_dlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/base/flags.h"
#include "core/store/folder_ops.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/store/folder_list_ctrl.h"
#include "gui/store/folder_nm_chg.h"

CFolderChgDlg::CFolderChgDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_list(new CFolderListCtrl(this)),
      m_change(new QPushButton(QStringLiteral("フォルダ変更"), this)),
      m_rename(new QPushButton(QStringLiteral("フォルダ名称変更"), this)),
      m_schedule(new DialogScheduleCheck(this, context)) {
    setWindowTitle(QStringLiteral("フォルダ変更"));
    m_list->setMinimumSize(520, 260);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_list);
    column->addLayout(buttonRowWithCancel(this, {m_change, m_rename}));

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CFolderChgDlg::updateButtons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CFolderChgDlg::onChange);
    connect(m_change, &QPushButton::clicked, this, &CFolderChgDlg::onChange);
    connect(m_rename, &QPushButton::clicked, this, &CFolderChgDlg::onRename);
    refreshList();
    m_schedule->start();
}

void CFolderChgDlg::refreshList() {
    m_list->setRows(voxmg::folders::folderRows(m_context.doc.dataRoot(), voxmg::folders::RowKind::Change));
    updateButtons();
}

void CFolderChgDlg::updateButtons() {
    const bool selected = m_list->hasSelection();
    m_change->setEnabled(selected);
    m_rename->setEnabled(selected);
}

void CFolderChgDlg::onChange() {
    if (!m_list->hasSelection()) {
        return;
    }
    {
        voxmg::WorkerPause pause(m_context.flags, m_context.pump);
        m_context.doc.settings().folderName = fromQ(m_list->selectedName());
    }
    accept();
}

void CFolderChgDlg::onRename() {
    const std::string folder = m_list->selectedPath();
    if (folder.empty()) {
        return;
    }
    CFolderNmChg1 dialog(m_context, folder, this);
    if (dialog.exec() == QDialog::Accepted) {
        refreshList();  // leaves no row selected, so both buttons are off again
    }
}
