#include "gui/store/make_box_fld_dlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

namespace boxes = voxmg::boxes;

CMakeBoxFldDlg::CMakeBoxFldDlg(AppContext& context, boxes::BoxKind& rememberedKind, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_rememberedKind(rememberedKind),
      m_boxFolder(context.doc.boxFolderPath()),
      m_answer(new QRadioButton(QStringLiteral("留守録BOX"), this)),
      m_extension(new QRadioButton(QStringLiteral("内線BOX"), this)),
      m_name(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("ボックスフォルダ作成"));
    auto* column = new QVBoxLayout(this);
    auto* kindGroup = new QGroupBox(QStringLiteral("ボックス種別"), this);
    auto* radios = new QHBoxLayout(kindGroup);
    radios->addWidget(m_answer);
    radios->addWidget(m_extension);
    radios->addStretch();
    column->addWidget(kindGroup);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("フォルダ名："), this));
    m_name->setMaxLength(14);
    m_name->setMinimumWidth(160);
    nameRow->addWidget(m_name);
    column->addLayout(nameRow);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));

    (rememberedKind == boxes::BoxKind::Extension ? m_extension : m_answer)->setChecked(true);
    m_name->setFocus();
    connect(m_ok, &QPushButton::clicked, this, &CMakeBoxFldDlg::onOk);
    (new DialogScheduleCheck(this, context))->start();
}

void CMakeBoxFldDlg::onOk() {
    const std::u16string name = fromQ(m_name->text());
    const auto kind = m_extension->isChecked() ? boxes::BoxKind::Extension : boxes::BoxKind::Answer;
    if (boxes::isValidFolderName(name)) {
        m_rememberedKind = kind;
    }
    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    const auto check = boxes::makeBoxFolder(m_boxFolder, kind, name);
    if (check != boxes::BoxCheck::Ok) {
        m_context.messages.error(this, toQ(boxes::checkText(check)));
        m_name->setFocus();
        return;
    }
    accept();
}
