#include "gui/lists/find_set_dlg_s.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

using namespace voxmg::list_filter;

CFindSetDlgS::CFindSetDlgS(AppContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_schedule(new DialogScheduleCheck(this, context)) {
    setWindowTitle(QStringLiteral("選択表示"));
    const ListFilter& stored = context.doc.responseFilter();
    auto* column = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    column->addLayout(grid);
    m_name = filter_rows::addTextRow(grid, 0, QStringLiteral("メッセージ名称"), 20, stored.callerNameOn,
                                     stored.callerName);
    m_uploaded = filter_rows::addChoiceRow(grid, 1, QStringLiteral("アップロード"), QStringLiteral("済み"),
                                           QStringLiteral("未"), stored.played);
    m_flag = filter_rows::addChoiceRow(grid, 2, QStringLiteral("フラグ"), QStringLiteral("あり"),
                                       QStringLiteral("なし"), stored.flag);
    grid->setColumnStretch(1, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    column->addLayout(buttonRowWithCancel(this, {ok}));
    connect(ok, &QPushButton::clicked, this, &CFindSetDlgS::onOk);
    setMinimumWidth(380);
    m_schedule->start();
}

void CFindSetDlgS::onOk() {
    ListFilter filter;
    filter.callerNameOn = m_name.on->isChecked();
    if (filter.callerNameOn) {
        filter.callerName = fromQ(m_name.edit->text());
    }
    filter.played = filter_rows::choiceOf(m_uploaded);
    filter.flag = filter_rows::choiceOf(m_flag);
    const FilterCheck check = checkResponseFilter(filter);
    if (check != FilterCheck::Ok) {
        m_context.messages.error(this, toQ(refusalText(check)));
        return;
    }
    normalizeTexts(filter);
    m_context.doc.responseFilter() = filter;
    m_schedule->stop();
    accept();
}
