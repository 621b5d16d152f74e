#include "gui/lists/del_kind_set_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/question_header.h"
#include "gui/base/user_messages.h"

using voxmg::delete_op::DeleteKind;

CDelKindSetDlg::CDelKindSetDlg(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_unit(new QPushButton(QStringLiteral("主装置のみ"), this)),
      m_both(new QPushButton(QStringLiteral("主装置とＰＣ"), this)),
      m_pc(new QPushButton(QStringLiteral("ＰＣのみ"), this)),
      m_schedule(new DialogScheduleCheck(this, context)) {
    setWindowTitle(QStringLiteral("音声メッセージ消去"));
    auto* column = new QVBoxLayout(this);
    column->addLayout(
        questionHeader(this, {new QLabel(QStringLiteral("選択した音声メッセージを消去します。"), this),
                              new QLabel(QStringLiteral("消去種別を選択してください。"), this)}));
    column->addLayout(buttonRowWithCancel(this, {m_unit, m_both, m_pc}, DefaultButton::Cancel));
    connect(m_unit, &QPushButton::clicked, this, [this] { choose(DeleteKind::UnitOnly); });
    connect(m_both, &QPushButton::clicked, this, [this] { choose(DeleteKind::Both); });
    connect(m_pc, &QPushButton::clicked, this, [this] { choose(DeleteKind::PcOnly); });
    connect(&m_loginTimer, &QTimer::timeout, this, &CDelKindSetDlg::checkLogin);
    checkLogin();
    m_loginTimer.start(context.timings.loginCheckMs);
    m_schedule->start();
}

void CDelKindSetDlg::checkLogin() {
    const bool loggedIn = m_context.doc.loggedIn();
    m_unit->setEnabled(loggedIn);
    m_both->setEnabled(loggedIn);
}

void CDelKindSetDlg::choose(DeleteKind kind) {
    m_schedule->stop();
    if (!m_context.messages.askYesNo(this, QStringLiteral("消去します。よろしいですか？"),
                                     QStringLiteral("消去の確認"), UserMessages::Icon::Question)) {
        m_schedule->start();
        return;
    }
    m_kind = kind;
    accept();
}
