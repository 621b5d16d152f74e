#include "gui/lists/box_open_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/lists/list_boxes.h"
#include "core/lists/list_slots.h"
#include "gui/base/app_context.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_pictures.h"

namespace {

QWidget* boxColumn(const QString& title, CCheckListCtrl* list, QList<QPushButton*>& buttons,
                   QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* column = new QVBoxLayout(group);
    // Rows are only ticked here, never selected.
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFont(list_pictures::listFont());
    column->addWidget(list);
    auto* row = new QHBoxLayout;
    auto* all = new QPushButton(QStringLiteral("全選択"), group);
    auto* none = new QPushButton(QStringLiteral("全未選択"), group);
    QObject::connect(all, &QPushButton::clicked, list, [list] { list->setAll(true); });
    QObject::connect(none, &QPushButton::clicked, list, [list] { list->setAll(false); });
    row->addWidget(all);
    row->addWidget(none);
    column->addLayout(row);
    buttons << all << none;
    return group;
}

}  // namespace

CBoxOpenDlg::CBoxOpenDlg(AppContext& context, int openLists, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_openLists(openLists),
      m_answer(new CCheckListCtrl(this)),
      m_extension(new CCheckListCtrl(this)),
      m_boxes(new QRadioButton(QStringLiteral("BOX選択"), this)),
      m_response(new QRadioButton(QStringLiteral("システム応答メッセージ"), this)),
      m_open(new QPushButton(QStringLiteral("開く"), this)) {
    setWindowTitle(QStringLiteral("ボックス/システム応答メッセージを開く"));
    const auto& doc = m_context.doc;
    const std::string boxFolder = doc.boxFolderPath();

    auto* layout = new QVBoxLayout(this);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("ダウンロード先フォルダ"), this));
    auto* folder = new QLineEdit(pathToQ(boxFolder), this);
    folder->setReadOnly(true);
    folderRow->addWidget(folder, 1);
    layout->addLayout(folderRow);

    layout->addWidget(m_boxes);
    auto* lists = new QHBoxLayout;
    lists->addWidget(boxColumn(QStringLiteral("留守録BOX"), m_answer, m_listButtons, this));
    lists->addWidget(boxColumn(QStringLiteral("内線BOX"), m_extension, m_listButtons, this));
    layout->addLayout(lists, 1);
    layout->addWidget(m_response);

    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    buttons->addStretch(1);
    buttons->addWidget(m_open);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    m_open->setDefault(true);
    connect(m_open, &QPushButton::clicked, this, &CBoxOpenDlg::openChosen);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_boxes, &QRadioButton::toggled, this, [this](bool on) { enableBoxLists(on); });

    // Boxes an open list of this box folder already shows cannot be chosen again.
    const auto& settings = doc.settings();
    const auto shown = voxmg::list_slots::shownBoxes(settings, m_openLists, settings.folderName.str());
    const auto answers = voxmg::list_boxes::boxNames(boxFolder, false);
    const auto extensions = voxmg::list_boxes::boxNames(boxFolder, true);
    m_answer->setBoxes(answers, {}, shown.answer);
    m_extension->setBoxes(extensions, {}, shown.extension);
    m_anyBox = !answers.empty() || !extensions.empty();
    m_boxes->setChecked(true);
    m_response->setEnabled(!voxmg::list_slots::responseListOpen(settings, m_openLists));
    resize(460, 420);
    m_schedule = new DialogScheduleCheck(this, m_context);
}

int CBoxOpenDlg::exec() {
    if (!m_anyBox) {
        m_context.messages.error(parentWidget(),
                                 QStringLiteral("フォルダにボックス情報がありません。\n確認ください。"));
        return QDialog::Rejected;
    }
    m_schedule->start();
    return QDialog::exec();
}

void CBoxOpenDlg::enableBoxLists(bool on) {
    m_answer->setEnabled(on);
    m_extension->setEnabled(on);
    for (QPushButton* button : m_listButtons) {
        button->setEnabled(on);
    }
}

void CBoxOpenDlg::openChosen() {
    if (m_openLists >= voxmg::list_slots::kMaxLists) {
        m_context.messages.error(this, QStringLiteral("開ける一覧表が上限に達しています。"));
        return;
    }
    std::u16string title;
    if (m_response->isChecked()) {
        title = voxmg::list_boxes::kResponse;
    } else {
        title = voxmg::list_boxes::build(m_answer->chosenBoxes(), m_extension->chosenBoxes());
        if (title.empty()) {
            m_context.messages.error(this, QStringLiteral("BOXが選択されていません。"));
            return;
        }
    }
    auto& settings = m_context.doc.settings();
    m_slot = voxmg::list_slots::storeNewList(settings, m_openLists, settings.folderName.str(), title);
    accept();
}
