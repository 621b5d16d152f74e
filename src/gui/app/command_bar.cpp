#include "gui/app/command_bar.h"

#include <QAbstractTextDocumentLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace {

// Zero-width space: lets a line break after a separator without showing anything.
constexpr QChar kBreakHint(0x200B);

QString withBreakHints(const QString& text) {
    QString out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        out += c;
        if (c == QLatin1Char('/') || c == QLatin1Char(',') || c == QChar(0xFF1A)) {
            out += kBreakHint;
        }
    }
    return out;
}

constexpr int kMargin = 5;
constexpr int kRowHeight = 26;
constexpr int kRightButtonWidth = 100;
constexpr int kLabelWidth = 90;

}  // namespace

CommandField::CommandField(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(2);
}

void CommandField::setFieldText(const QString& text) {
    m_text = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(withBreakHints(shown));
    updateScrollBar();
}

int CommandField::lineCount() const {
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        lines += std::max(1, block.layout() != nullptr ? block.layout()->lineCount() : 1);
    }
    return lines;
}

void CommandField::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    updateScrollBar();
}

void CommandField::updateScrollBar() {
    const bool many = !m_text.isEmpty() && lineCount() > 1;
    const auto policy = many ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (verticalScrollBarPolicy() != policy) {
        setVerticalScrollBarPolicy(policy);
    }
}

CommandBar::CommandBar(QWidget* parent)
    : QWidget(parent), m_folder(new CommandField(this)), m_box(new CommandField(this)) {
    addButton(Command::FolderDownload, QStringLiteral("ﾌｫﾙﾀﾞのﾀﾞｳﾝﾛｰﾄﾞ"));
    addButton(Command::BulkDownload, QStringLiteral("一括ﾀﾞｳﾝﾛｰﾄﾞ"));
    addButton(Command::SelectedDownload, QStringLiteral("選択ﾀﾞｳﾝﾛｰﾄﾞ"));
    addButton(Command::VoiceDownload, QStringLiteral("音声ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ"));
    addButton(Command::SettingsMenu, QStringLiteral("設定"));
    addButton(Command::WindowMenu, QStringLiteral("ウィンドウ"));
    addButton(Command::About, QStringLiteral("バージョン"));
    addButton(Command::FolderChange, QStringLiteral("フォルダ名"));
    addButton(Command::OpenList, QStringLiteral("ボックス"));
    addButton(Command::Filter, QStringLiteral("選択表示"));
    addButton(Command::ShowAll, QStringLiteral("全表示"));
    addButton(Command::ShowNotDownloaded, QStringLiteral("未ﾀﾞｳﾝﾛｰﾄﾞ表示"));
    addButton(Command::Convert, QStringLiteral("変換"));
    addButton(Command::Play, QStringLiteral("再生"));
    addButton(Command::Delete, QStringLiteral("消去"));
    addButton(Command::MoveCopy, QStringLiteral("移動・コピー"));
    addButton(Command::Upload, QStringLiteral("アップロード"));
    addButton(Command::AddResponse, QStringLiteral("追加"));
    // The two popup menus open from their buttons; no arrow on them.
    setStyleSheet(QStringLiteral("QPushButton::menu-indicator { image: none; width: 0px; }"));
    setFixedHeight(kMargin + kRowHeight + 4 + 26 + 4 + 44 + 4 + kRowHeight + kMargin);
    setMinimumWidth(845 - 10);
}

QPushButton* CommandBar::addButton(Command id, const QString& caption) {
    auto* button = new QPushButton(caption, this);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    connect(button, &QPushButton::clicked, this, [this, id] { emit command(id); });
    m_buttons.insert(id, button);
    return button;
}

void CommandBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void CommandBar::layoutControls() {
    const int right = width();
    // The three right-hand buttons keep their width at the right edge.
    int y = kMargin;
    button(Command::About)->setGeometry(right - 105, y, kRightButtonWidth, kRowHeight);
    button(Command::WindowMenu)->setGeometry(right - 208, y, kRightButtonWidth, kRowHeight);
    button(Command::SettingsMenu)->setGeometry(right - 311, y, kRightButtonWidth, kRowHeight);
    int x = kMargin;
    for (Command id : {Command::FolderDownload, Command::BulkDownload, Command::SelectedDownload,
                       Command::VoiceDownload}) {
        const int w = id == Command::FolderDownload || id == Command::VoiceDownload ? 126 : 104;
        button(id)->setGeometry(x, y, w, kRowHeight);
        x += w + 3;
    }

    // The fields stretch to the right edge less the margin.
    y += kRowHeight + 4;
    button(Command::FolderChange)->setGeometry(kMargin, y, kLabelWidth, 26);
    m_folder->setGeometry(kMargin + kLabelWidth + 3, y, right - 5 - (kMargin + kLabelWidth + 3), 26);
    y += 26 + 4;
    button(Command::OpenList)->setGeometry(kMargin, y, kLabelWidth, 26);
    m_box->setGeometry(kMargin + kLabelWidth + 3, y, right - 5 - (kMargin + kLabelWidth + 3), 44);
    y += 44 + 4;

    x = kMargin;
    for (Command id :
         {Command::Filter, Command::ShowAll, Command::ShowNotDownloaded, Command::Convert, Command::Play,
          Command::Delete, Command::MoveCopy, Command::Upload, Command::AddResponse}) {
        const int w = id == Command::ShowNotDownloaded
                          ? 120
                          : (id == Command::MoveCopy || id == Command::Upload ? 96 : 80);
        button(id)->setGeometry(x, y, w, kRowHeight);
        x += w + 3;
    }
}
