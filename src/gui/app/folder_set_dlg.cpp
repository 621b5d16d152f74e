#include "gui/app/folder_set_dlg.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/app/startup.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

namespace {

QStringList subfolderNames(const QString& folder) {
    if (folder.isEmpty()) {
        return {};
    }
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

CFolderSetDlg::CFolderSetDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_last(new QRadioButton(QStringLiteral("起動時に前回のフォルダを開く"), this)),
      m_specified(new QRadioButton(QStringLiteral("起動時に指定のフォルダを開く"), this)),
      m_choose(new QPushButton(QStringLiteral("設定"), this)),
      m_folder(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("起動時のフォルダ指定"));
    m_folder->setMinimumWidth(360);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_last);
    auto* row = new QHBoxLayout;
    row->addWidget(m_specified);
    row->addStretch();
    row->addWidget(m_choose);
    column->addLayout(row);
    column->addWidget(new QLabel(QStringLiteral("指定フォルダ名"), this));
    column->addWidget(m_folder);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));

    const auto& s = context.doc.settings();
    if (s.init != 0) {
        m_specified->setChecked(true);
        m_folder->setText(toQ(s.nextFolder.str()) + toQ(s.nextFolderName.str()));
    } else {
        m_last->setChecked(true);
        m_choose->setEnabled(false);
        m_folder->setEnabled(false);
    }
    connect(m_last, &QRadioButton::clicked, this, [this] {
        m_choose->setEnabled(false);
        m_folder->setEnabled(false);
    });
    connect(m_specified, &QRadioButton::clicked, this, &CFolderSetDlg::onSpecified);
    connect(m_choose, &QPushButton::clicked, this, &CFolderSetDlg::onChoose);
    connect(m_ok, &QPushButton::clicked, this, &CFolderSetDlg::onOk);
    (new DialogScheduleCheck(this, context))->start();
}

void CFolderSetDlg::onSpecified() {
    const QString root = pathToQ(m_context.doc.dataRoot());
    const bool usable = !root.isEmpty() && !subfolderNames(root).isEmpty();
    m_choose->setEnabled(usable);
    m_folder->setEnabled(usable);
}

void CFolderSetDlg::onChoose() {
    const auto& s = m_context.doc.settings();
    const QString base = s.init != 0 ? toQ(s.nextFolder.str()) : pathToQ(m_context.doc.dataRoot());
    CFolderSetSubDlg sub(m_context, base, this);
    if (sub.exec() == QDialog::Accepted && !sub.chosenPath().isEmpty()) {
        m_folder->setText(sub.chosenPath());
    }
}

void CFolderSetDlg::onOk() {
    if (!voxmg::applyFolderChoice(m_context.doc.settings(), m_specified->isChecked(),
                                  fromQ(m_folder->text()))) {
        m_context.messages.error(this, QStringLiteral("入力値エラーです。"));
        return;
    }
    accept();
}

CFolderSetSubDlg::CFolderSetSubDlg(AppContext& context, const QString& folder, QWidget* parent)
    : QDialog(parent), m_list(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("起動時のフォルダ指定"));
    m_list->setHeaderLabels({QStringLiteral("フォルダ名"), QStringLiteral("パス名")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setColumnWidth(0, 100);
    m_list->setColumnWidth(1, 400);
    m_list->setMinimumWidth(520);
    for (const QString& name : subfolderNames(folder)) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, name);
        item->setText(1, QDir(folder).filePath(name));
    }
    for (int c = 0; c < 2; ++c) {
        m_list->resizeColumnToContents(c);
        m_list->setColumnWidth(c, std::max(m_list->columnWidth(c), c == 0 ? 100 : 400));
    }
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_list);
    column->addLayout(buttonRowWithCancel(this, {ok}));
    connect(ok, &QPushButton::clicked, this, [this] {
        if (auto* item = m_list->currentItem(); item != nullptr && item->isSelected()) {
            m_chosen = item->text(1);
        }
        accept();
    });
    (new DialogScheduleCheck(this, context))->start();
}
