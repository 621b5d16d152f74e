#include "gui/lists/info_edit_dlg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/lists/list_columns.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_pictures.h"

namespace {

using voxmg::info_edit::EditResult;

// The message's record as its file holds it, with the path filled in for the cells.
voxmg::FILESTS_INFO readRecord(AppContext& context, const std::string& path) {
    voxmg::FILESTS_INFO record;
    voxmg::CFileMng(context.flags).readRecord(path, record);
    voxmg::FILESTS_INFO::setText(record.path, voxmg::text::utf16FromUtf8(path));
    return record;
}

// "ファイル名": the path without the data root folder, leading blanks trimmed.
QString shownFileName(AppContext& context, const voxmg::FILESTS_INFO& record) {
    const auto root = voxmg::text::utf16FromUtf8(context.doc.dataRoot());
    QString name = toQ(voxmg::list_columns::cellText(record, voxmg::list_columns::Column::FileName, root));
    while (name.startsWith(QLatin1Char(' '))) {
        name.remove(0, 1);
    }
    return name;
}

QLineEdit* readOnlyField(QWidget* parent, const QString& text) {
    auto* field = new QLineEdit(text, parent);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setCursorPosition(0);
    // Long file names show whole as far as the screen allows.
    field->setMinimumWidth(std::min(field->fontMetrics().horizontalAdvance(text) + 16, 640));
    return field;
}

// Played on the PC: a filled loudspeaker; not yet: its outline.
QPixmap playedPicture(bool played) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath speaker;
    speaker.moveTo(2, 6);
    speaker.lineTo(5, 6);
    speaker.lineTo(9, 2);
    speaker.lineTo(9, 14);
    speaker.lineTo(5, 10);
    speaker.lineTo(2, 10);
    speaker.closeSubpath();
    const QColor colour = played ? QColor(0, 128, 0) : QColor(128, 128, 128);
    p.setPen(QPen(colour, 1.2));
    p.setBrush(played ? QBrush(colour) : QBrush(Qt::NoBrush));
    p.drawPath(speaker);
    if (played) {
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(8, 4, 6, 8), -60 * 16, 120 * 16);
    }
    return pixmap;
}

QPixmap statePicture(int code) {
    // The list draws nothing in a cell narrower than kMinStateCell.
    QPixmap pixmap(list_pictures::kMinStateCell, list_pictures::kStateIconHeight + 2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    list_pictures::drawStateIcon(p, pixmap.rect(), code, false);
    return pixmap;
}

// A read-only text with its picture in front.
QWidget* pictureField(QWidget* parent, const QPixmap& picture, const QString& text) {
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel(box);
    icon->setPixmap(picture);
    row->addWidget(icon);
    row->addWidget(readOnlyField(box, text), 1);
    return box;
}

// "あり"/"なし" of "フラグ"; returns the "あり" button.
QRadioButton* flagGroup(QWidget* parent, QGridLayout* grid, int row, bool on) {
    auto* group = new QGroupBox(QStringLiteral("フラグ"), parent);
    auto* yes = new QRadioButton(QStringLiteral("あり"), group);
    auto* no = new QRadioButton(QStringLiteral("なし"), group);
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(yes);
    layout->addWidget(no);
    layout->addStretch();
    (on ? yes : no)->setChecked(true);
    grid->addWidget(group, row, 0, 1, 2);
    return yes;
}

// The dialog's labelled fields, one a row.
struct FormGrid {
    explicit FormGrid(QWidget* owner) : owner(owner), grid(new QGridLayout) {}

    void add(const char* label, QWidget* field) {
        grid->addWidget(new QLabel(QString::fromUtf8(label), owner), row, 0);
        grid->addWidget(field, row++, 1);
    }

    QWidget* owner;
    QGridLayout* grid;
    int row = 0;
};

// What the user cannot change: where the message is, its state, its date and length.
void addRecordingFields(FormGrid& form, AppContext& context, const std::string& path,
                        const voxmg::FILESTS_INFO& record) {
    QWidget* owner = form.owner;
    const std::string folder(voxmg::paths::parentOf(path));
    const QString boxName = toQ(voxmg::CFileMng(context.flags).readBoxName(folder));
    const QString boxNumber = toQ(voxmg::naming::boxNumberFromName(voxmg::paths::fileName(path)));
    const int code = voxmg::list_columns::shownStateCode(record.state);
    static const char* const kStateTexts[] = {"録音情報+音声ﾃﾞｰﾀ(主装置側で未再生)",
                                              "録音情報+音声ﾃﾞｰﾀ(主装置側で再生済)", "録音情報のみ",
                                              "録音情報+音声ﾃﾞｰﾀ(主装置側で消去済)"};
    form.add("ファイル名", readOnlyField(owner, shownFileName(context, record)));
    form.add("BOX番号", readOnlyField(owner, boxNumber));
    form.add("BOX名称", readOnlyField(owner, boxName));
    form.add("再生／未再生",
             pictureField(owner, playedPicture(record.played != 0),
                          record.played != 0 ? QStringLiteral("再生済") : QStringLiteral("未再生")));
    form.add("取込", pictureField(owner, statePicture(code), QString::fromUtf8(kStateTexts[code])));
    form.add("録音日時", readOnlyField(owner, toQ(record.dateText())));
    form.add("録音時間", readOnlyField(owner, toQ(record.lengthText())));
}

// The memo as the record keeps it, four lines high. A plain text edit has no length limit of
// its own: it is held at 80 characters.
void setUpMemo(QPlainTextEdit* memo, const voxmg::FILESTS_INFO& record) {
    QString text = toQ(record.memoText());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    memo->setPlainText(text);
    memo->setFixedHeight(memo->fontMetrics().lineSpacing() * 4 + 12);
    QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [memo] {
        const QString typed = memo->toPlainText();
        if (typed.size() > 80) {
            memo->setPlainText(typed.left(80));
            memo->moveCursor(QTextCursor::End);
        }
    });
}

// "保護"/"非保護"; returns the "保護" button.
QRadioButton* protectGroup(FormGrid& form, bool on) {
    auto* group = new QGroupBox(QStringLiteral("保護／非保護"), form.owner);
    auto* protect = new QRadioButton(QStringLiteral("保護"), group);
    auto* unprotect = new QRadioButton(QStringLiteral("非保護"), group);
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(protect);
    layout->addWidget(unprotect);
    layout->addStretch();
    (on ? protect : unprotect)->setChecked(true);
    form.grid->addWidget(group, form.row++, 0, 1, 2);
    return protect;
}

// The shared end of OK: the checks, the question, then the write. True when written.
// `texts`: what the user typed, joined; characters the record cannot keep are named in the
// question, so nothing turns into "?" unseen.
bool confirmAndWrite(QDialog* dialog, AppContext& context, EditResult checked, const std::u16string& texts,
                     const std::function<EditResult()>& write) {
    if (checked != EditResult::Done) {
        context.messages.error(dialog, QStringLiteral("入力値エラーです。"));
        return false;
    }
    const std::u16string lost = voxmg::text::charactersLostInCp932(texts);
    const QString question = lost.empty() ? QStringLiteral("登録します。よろしいですか？")
                                          : QStringLiteral(
                                                "次の文字は保存できないため「?」として登録されます：\n%1\n\n"
                                                "登録します。よろしいですか？")
                                                .arg(toQ(lost));
    if (!context.messages.askYesNo(
            dialog, question, QStringLiteral("登録の確認"),
            lost.empty() ? UserMessages::Icon::Question : UserMessages::Icon::Warning)) {
        return false;
    }
    const DataFolderGuard dataLock(context, dialog);
    if (!dataLock) {
        return false;
    }
    if (write() != EditResult::Done) {
        context.messages.error(dialog, QStringLiteral("入力値エラーです。"));
        return false;
    }
    return true;
}

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

QString dialogTitle() {
    return QStringLiteral("録音情報編集");
}

}  // namespace

CInfoEditDlg::CInfoEditDlg(AppContext& context, std::string path, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_path(std::move(path)),
      m_title(new QLineEdit(this)),
      m_callerNumber(new QLineEdit(this)),
      m_callerName(new QLineEdit(this)),
      m_memo(new QPlainTextEdit(this)),
      m_protect(nullptr),
      m_flagOn(nullptr),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(dialogTitle());
    const voxmg::FILESTS_INFO record = readRecord(context, m_path);
    FormGrid form(this);
    addRecordingFields(form, context, m_path, record);
    m_title->setMaxLength(40);
    m_title->setText(toQ(record.titleText()));
    m_callerNumber->setMaxLength(32);
    m_callerNumber->setText(toQ(record.callerNumberText()));
    m_callerName->setMaxLength(32);
    m_callerName->setText(toQ(record.callerNameText()));
    setUpMemo(m_memo, record);
    form.add("タイトル", m_title);
    form.add("相手番号", m_callerNumber);
    form.add("相手名称", m_callerName);
    form.add("メモ", m_memo);
    m_protect = protectGroup(form, record.protect != 0);
    m_flagOn = flagGroup(this, form.grid, form.row++, (record.flags & voxmg::FILESTS_INFO::kUserFlag) != 0);
    form.grid->setColumnMinimumWidth(1, 380);

    auto* column = new QVBoxLayout(this);
    column->addLayout(form.grid);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    connect(m_ok, &QPushButton::clicked, this, &CInfoEditDlg::onOk);
    (new DialogScheduleCheck(this, context))->start();
}

void CInfoEditDlg::onOk() {
    const voxmg::info_edit::BoxEdit edit{.title = fromQ(m_title->text()),
                                         .callerNumber = fromQ(m_callerNumber->text()),
                                         .callerName = fromQ(m_callerName->text()),
                                         .memo = fromQ(m_memo->toPlainText()),
                                         .protect = m_protect->isChecked(),
                                         .flag = m_flagOn->isChecked()};
    const std::u16string typed = edit.title + edit.callerNumber + edit.callerName + edit.memo;
    const bool written = confirmAndWrite(this, m_context, voxmg::info_edit::check(edit), typed, [&] {
        return voxmg::info_edit::editBoxMessage(m_path, edit, m_context.flags.cancelAll).result;
    });
    if (written) {
        accept();
    }
}

CInfoEditDlgS::CInfoEditDlgS(AppContext& context, std::string path, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_path(std::move(path)),
      m_clock(localNow),
      m_name(new QLineEdit(this)),
      m_flagOn(nullptr),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(dialogTitle());
    const voxmg::FILESTS_INFO record = readRecord(context, m_path);
    FormGrid form(this);
    form.add("ファイル名", readOnlyField(this, shownFileName(context, record)));
    form.add("メッセージ番号", readOnlyField(this, toQ(record.boxNumberText())));
    form.add("アップロード", readOnlyField(this, record.played != 0 ? QStringLiteral("済み") : QString()));
    form.add("録音時間", readOnlyField(this, toQ(record.lengthText())));
    m_name->setText(toQ(record.callerNameText()));
    form.add("メッセージ名称", m_name);
    m_flagOn = flagGroup(this, form.grid, form.row++, (record.flags & voxmg::FILESTS_INFO::kUserFlag) != 0);
    form.grid->setColumnMinimumWidth(1, 340);

    auto* column = new QVBoxLayout(this);
    column->addLayout(form.grid);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    connect(m_ok, &QPushButton::clicked, this, &CInfoEditDlgS::onOk);
    (new DialogScheduleCheck(this, context))->start();
}

void CInfoEditDlgS::onOk() {
    const voxmg::info_edit::ResponseEdit edit{.name = fromQ(m_name->text()), .flag = m_flagOn->isChecked()};
    std::string newPath;
    const bool written = confirmAndWrite(this, m_context, voxmg::info_edit::check(edit), edit.name, [&] {
        auto out = voxmg::info_edit::editResponseMessage(m_path, edit, m_clock(), m_context.flags.cancelAll);
        newPath = out.path;
        return out.result;
    });
    if (written) {
        m_path = newPath;
        accept();
    }
}
