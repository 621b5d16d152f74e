#include "gui/base/owr_msg_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/base/question_header.h"

COwrMsgDlg::COwrMsgDlg(const QString& text, QWidget* parent)
    : QDialog(parent), m_text(new QLabel(text, this)) {
    setWindowTitle(QStringLiteral("ﾌｧｲﾙ上書きの確認"));
    auto* column = new QVBoxLayout(this);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addLayout(questionHeader(this, {m_text, new QLabel(QStringLiteral("上書きしますか？"), this)}));
    auto* row = new QHBoxLayout;
    row->addStretch();
    const QString captions[4] = {QStringLiteral("はい"), QStringLiteral("全て上書き"),
                                 QStringLiteral("いいえ"), QStringLiteral("キャンセル")};
    for (int i = 0; i < 4; ++i) {
        m_buttons[i] = new QPushButton(captions[i], this);
        row->addWidget(m_buttons[i]);
        connect(m_buttons[i], &QPushButton::clicked, this, [this, i] {
            m_answer = static_cast<Answer>(i);
            done(i == static_cast<int>(Answer::Cancel) ? QDialog::Rejected : QDialog::Accepted);
        });
    }
    m_buttons[0]->setDefault(true);
    column->addLayout(row);
}

QPushButton* COwrMsgDlg::button(Answer answer) const {
    return m_buttons[static_cast<int>(answer)];
}

COwrMsgDlg::Answer COwrMsgDlg::ask(const QString& text, QWidget* parent) {
    COwrMsgDlg dialog(text, parent);
    dialog.exec();
    return dialog.answer();
}
