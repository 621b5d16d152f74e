#pragma once

#include <QDialog>

#include "core/lists/move_copy.h"

class QLabel;
class QPushButton;

// "ﾌｧｲﾙ上書きの確認": a given text above "上書きしますか？", answered with はい, 全て上書き,
// いいえ or キャンセル. Closing the window is キャンセル.
class COwrMsgDlg : public QDialog {
    Q_OBJECT
public:
    using Answer = voxmg::move_copy::Overwrite;

    COwrMsgDlg(const QString& text, QWidget* parent = nullptr);
    Answer answer() const { return m_answer; }
    // Shows the dialog modally and returns the answer.
    static Answer ask(const QString& text, QWidget* parent);

    QLabel* textLabel() const { return m_text; }
    QPushButton* button(Answer answer) const;

private:
    QLabel* m_text;
    QPushButton* m_buttons[4];
    Answer m_answer = Answer::Cancel;
};
